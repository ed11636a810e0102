#include "measure/timers.h"

#include "link/bus.h"
#include "link/regs.h"

namespace {

constexpr uint16_t kCountFull = 0xFFFF;   // event counters run in mode 2 with this count
constexpr uint8_t kJoin[2] = {0x40, 0x80};             // GetCount32 channel 0: counters 0+1, 1: 1+2
constexpr uint8_t kReadBackBoth[2] = {0x06, 0x0C};     // read-back counter masks of the pairs
constexpr uint8_t kReadBackCounts = 0xD0;              // read-back: latch counts, not status

uint8_t timer_status(const TimerCounter& c)
{
    outbyte(reg::kTimControl, c.status_readback);
    return inbyte(c.data_reg);
}

}  // namespace

uint16_t timer_read16(uint8_t command_reg, uint8_t command, uint8_t data_reg)
{
    if (command_reg != 0)
        outbyte(command_reg, command);
    const uint8_t low = inbyte(data_reg);
    const uint8_t high = inbyte_na();
    return static_cast<uint16_t>(high * 256 + low);
}

int32_t pwm_corrected_counts(uint32_t n, uint8_t mode)
{
    switch (mode & 0x03) {
    case 1:
        return static_cast<int32_t>(n) - 2;
    case 2:
        return static_cast<int32_t>(n) + 2;
    default:
        return static_cast<int32_t>(n);
    }
}

extern "C" {

TARVENIX_API void StartPWM16(uint8_t counter, uint8_t mode)
{
    if (counter > 2)
        return;
    const TimerCounter& c = kTimerCounters[counter];
    outbyte(reg::kTimMode, static_cast<uint8_t>(mode | 0x03));
    outbyte_word(reg::kTimControl, c.mode0, c.data_reg, 0);   // count 0 = 65536
    outbyte(reg::kTimMode, mode);
}

TARVENIX_API float GetPWM16(uint8_t counter, uint8_t mode)
{
    if (counter > 2)
        return kNoCounter;
    const TimerCounter& c = kTimerCounters[counter];
    const uint8_t s = timer_status(c);
    if (s & kTimerOut)
        return -3.0f;
    if (s & kTimerNullCount)
        return -1.0f;
    if (inbyte(reg::kTimMode) & 0x01)
        return -2.0f;
    const uint16_t v = timer_read16(reg::kTimControl, c.latch, c.data_reg);
    const uint32_t n = (65536u - v) % 65536u;
    return static_cast<float>(pwm_corrected_counts(n, mode)) * kTimeBase[(mode >> 2) & 0x03];
}

TARVENIX_API void StartFreqM(uint8_t gate_counter, uint8_t count_counter, uint16_t gate)
{
    if (gate_counter > 2 || count_counter > 2)
        return;
    if (gate == 0)
        gate = 1;
    const TimerCounter& k = kTimerCounters[count_counter];
    const TimerCounter& g = kTimerCounters[gate_counter];
    outbyte_word(reg::kTimControl, k.mode0, k.data_reg, 0);
    outbyte_word(reg::kTimControl, g.mode1, g.data_reg, gate);
    outbyte(reg::kTimFreqStart, 0x00);
}

TARVENIX_API float GetFreqM(uint8_t count_counter, uint16_t gate)
{
    if (count_counter > 2)
        return kNoCounter;
    if (gate == 0)
        gate = 1;
    if (inbyte(reg::kTimMode) & 0x02)
        return -1.0f;
    const TimerCounter& k = kTimerCounters[count_counter];
    const uint8_t s = timer_status(k);
    if (s & kTimerOut)
        return -2.0f;
    if (s & kTimerNullCount)
        return -3.0f;
    const uint16_t v = timer_read16(reg::kTimControl, k.latch, k.data_reg);
    const uint32_t n = 65536u - v;   // 1-65536
    return static_cast<float>(n / (gate * kGateSeconds));   // rounded to float once
}

TARVENIX_API uint16_t GetCount16(uint8_t counter, uint8_t restart)
{
    if (counter > 2)
        return 0;
    const TimerCounter& c = kTimerCounters[counter];
    if (restart != 0) {
        // A selects the software clock B for this counter; the B pulse after
        // the count is written loads it, as an 8254 loads on the next clock.
        const uint8_t a = kEventBits[counter].a;
        const uint8_t ab = static_cast<uint8_t>(a | kEventBits[counter].b);
        outbyte(reg::kTimMode, ab);
        outbyte_word(reg::kTimControl, c.mode2, c.data_reg, kCountFull);
        outbyte(reg::kTimMode, a);
        outbyte(reg::kTimMode, ab);
        outbyte(reg::kTimMode, a);
        if (restart == 1)
            outbyte(reg::kTimMode, 0x00);
    }
    const uint16_t v = timer_read16(reg::kTimControl, c.latch, c.data_reg);
    return static_cast<uint16_t>(kCountFull - v);
}

TARVENIX_API uint32_t GetCount32(uint8_t channel, uint8_t restart)
{
    if (channel > 1)
        return 0;
    const TimerCounter& lo_c = kTimerCounters[channel];
    const TimerCounter& hi_c = kTimerCounters[channel + 1];
    if (restart != 0) {
        GetCount16(channel, 1);
        GetCount16(static_cast<uint8_t>(channel + 1), 2);
        outbyte(reg::kTimMode, kJoin[channel]);
    }
    outbyte(reg::kTimControl, static_cast<uint8_t>(kReadBackCounts | kReadBackBoth[channel]));
    const uint16_t lo = timer_read16(0, 0, lo_c.data_reg);
    const uint16_t hi = timer_read16(0, 0, hi_c.data_reg);
    // the low counter passes every 65535 events (mode 2, count FFFFh)
    return static_cast<uint32_t>(kCountFull - lo) + static_cast<uint32_t>(kCountFull - hi) * 65535u;
}

}  // extern "C"
