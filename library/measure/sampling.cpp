#include "measure/sampling.h"

#include <cstddef>
#include <new>

#include "link/bus.h"
#include "link/regs.h"
#include "measure/analog_in.h"

namespace {

constexpr uint8_t kSamplingOn = 0x02;
constexpr uint8_t kSamplingOff = 0x00;
constexpr uint8_t kClockMode2 = 0xB4;          // reference counter 2, rate generator
constexpr float kMicro = 1e-6f;

inline uint8_t gain_of(uint16_t entry) { return static_cast<uint8_t>(entry >> 8); }
inline uint8_t code_of(uint16_t entry) { return static_cast<uint8_t>(entry & 0xFF); }

uint16_t stop_sampling(uint16_t result)
{
    outbyte(reg::kSampling, kSamplingOff);
    return result;
}

// The acquisition after the arguments were checked. No allocation and no
// message inside: every status read is a full bus cycle and the box does not
// wait for us.
uint16_t acquire(const uint16_t* list, uint16_t* ring, uint16_t post, uint16_t interval, int32_t trigger_entry,
                 uint16_t pre, uint16_t level, uint8_t mode, uint32_t trigger_timeout, uint16_t* trigger_index)
{
    const int32_t n = list[0];
    if (mode == kTesImmediate)
        trigger_entry = 1;
    int32_t l = 1;              // entry selected for the next conversion
    int32_t j = -2;             // entry of the sample just read (-1, 0: none yet)
    uint16_t lost = 0;
    uint32_t m = 0;             // ring index
    uint32_t k = 0;             // trigger-entry samples before the trigger
    uint32_t t = 0;             // trigger-entry samples counted for the end
    uint32_t u = 0;             // samples since the start
    bool triggered = false;
    uint16_t last = 0;
    uint32_t reads = 0;
    const uint32_t pre_samples = static_cast<uint32_t>(n) * pre;

    outbyte(reg::kSampling, kSamplingOn);
    outbyte_word(reg::kRefControl, kClockMode2, reg::kRefCount2, interval);
    outbyte(gain_of(list[1]), code_of(list[1]));

    // The first change of the counter only synchronises; its sample is not read.
    uint8_t c = static_cast<uint8_t>(inbyte(reg::kAdStatus) & 0x0F);
    uint8_t s;
    do {
        s = inbyte(reg::kAdStatus);
        if (++reads >= interval)
            return stop_sampling(kTesAdTimeout);
    } while ((s & 0x0F) == c);
    c = static_cast<uint8_t>(s & 0x0F);

    for (;;) {
        do {
            s = inbyte(reg::kAdStatus);
            if (++reads >= interval)
                return stop_sampling(kTesAdTimeout);
        } while ((s & 0x0F) == c);
        const uint8_t q = static_cast<uint8_t>(s & 0x0F);
        reads = 0;

        if (++l > n)
            l = 1;
        outbyte(gain_of(list[l]), code_of(list[l]));   // input of the conversion after next
        if (++j > n)
            j = 1;
        if (q != ((c + 1) & 0x0F) && lost < kTesMaxLost)
            ++lost;   // one event however many samples were missed
        c = q;
        const uint16_t value = static_cast<uint16_t>((s >> 4) | (inbyte(reg::kAdHigh) << 4));

        if (j == trigger_entry) {
            if (triggered) {
                ++t;
            } else {
                bool fire = false;
                if (k > pre_samples) {
                    if (mode == kTesRising)
                        fire = last < level && value >= level;
                    else if (mode == kTesFalling)
                        fire = last > level && value <= level;
                    else if (mode == kTesImmediate)
                        fire = true;
                }
                if (fire) {
                    t = pre;
                    *trigger_index = static_cast<uint16_t>(m);
                    triggered = true;
                }
                ++k;
                last = value;
            }
        }
        ring[m] = value;
        if (++m >= kTesRingSize)
            m = 0;
        if (t >= post)
            break;
        if (u > trigger_timeout && !triggered)
            break;
        ++u;
    }
    return stop_sampling(triggered ? lost : kTesNoTrigger);
}

}  // namespace

bool tes_list_valid(const uint16_t* list, uint16_t pre)
{
    if (list == nullptr)
        return false;
    const uint32_t n = list[0];
    if (n < 1 || n > kTesMaxEntries)
        return false;
    for (uint32_t i = 1; i <= n; ++i) {
        const uint8_t g = gain_of(list[i]);
        if (g < reg::kAdGain1 || g > reg::kAdGain100)
            return false;
    }
    return n * pre < kTesRingSize;
}

extern "C" {

TARVENIX_API uint16_t getADTes(const uint16_t* list, uint16_t* ring, uint16_t post, uint16_t interval,
                               int32_t trigger_entry, uint16_t pre, uint16_t level, uint8_t mode,
                               uint32_t trigger_timeout, uint16_t* trigger_index)
{
    if (ring == nullptr || trigger_index == nullptr || !tes_list_valid(list, pre))
        return kTesRejected;
    return acquire(list, ring, post, interval, trigger_entry, pre, level, mode, trigger_timeout, trigger_index);
}

TARVENIX_API uint16_t getADTesDat(const uint16_t* list, uint16_t* ring, float* output, uint16_t count,
                                  uint16_t interval, int32_t trigger_entry, uint16_t pre, float level,
                                  uint8_t mode, uint32_t trigger_timeout, uint16_t* trigger_index)
{
    if (ring == nullptr || output == nullptr || trigger_index == nullptr || !tes_list_valid(list, pre))
        return kTesRejected;
    const int32_t n = list[0];
    const int32_t b = trigger_entry;
    if (b < 1 || b > n || static_cast<uint32_t>(n) * count >= kTesRingSize || *trigger_index >= kTesRingSize)
        return kTesRejected;

    const uint8_t b_gain = gain_of(list[b]);
    int32_t factor = 1;
    for (int i = 0; i < (b_gain & 0x0F); ++i)
        factor *= 10;
    // a level below the zero gives negative digits; taken modulo 65536
    const uint16_t level_digits = static_cast<uint16_t>(ad_to_digits(factor, code_of(list[b]), level));

    const uint16_t r = acquire(list, ring, count, interval, b, pre, level_digits, mode, trigger_timeout,
                               trigger_index);

    const int32_t pre_n = static_cast<int32_t>(pre) * n;
    int32_t start = static_cast<int32_t>(*trigger_index) - pre_n;
    if (start < 0)
        start += static_cast<int32_t>(kTesRingSize);
    for (int32_t i = 1; i <= n; ++i) {
        int32_t rel, off;
        if (i == b) {
            rel = 0;
            off = start;
        } else if (i > b) {
            rel = i - b;
            off = start + i - b;
        } else {
            rel = n + i - b;
            off = start + n + i - b;
        }
        if (off > 0x5FFF)
            off -= static_cast<int32_t>(kTesRingSize);
        float* times = output + 2 * static_cast<std::size_t>(count) * static_cast<std::size_t>(i - 1);
        float* volts = times + count;
        for (int32_t s = 0; s < count; ++s) {
            const int32_t ticks = ((rel - pre_n) + s * n) * static_cast<int32_t>(interval);
            times[s] = static_cast<float>(ticks) * kMicro;
            int32_t x = s * n + off;
            if (x > 0x5FFF)
                x -= static_cast<int32_t>(kTesRingSize);
            volts[s] = static_cast<float>(ad_to_volts(gain_of(list[i]), code_of(list[i]), ring[x]));
        }
    }
    return r;
}

TARVENIX_API int32_t FindMaxTesRate(uint16_t start_interval_us)
{
    uint16_t* list = new (std::nothrow) uint16_t[3];
    uint16_t* ring = new (std::nothrow) uint16_t[kTesRingSize];
    if (list == nullptr || ring == nullptr) {
        delete[] list;
        delete[] ring;
        return 0;
    }
    list[0] = 2;
    list[1] = 0xE0F0;
    list[2] = 0xE0F1;

    const int32_t start = start_interval_us;
    int32_t interval = start;
    int32_t step = 1;
    uint16_t r = 0;
    uint16_t index = 0;
    while (interval > 20) {
        r = acquire(list, ring, 0x3000, static_cast<uint16_t>(interval), 1, 0, 0x800, kTesImmediate, 10000, &index);
        if (r != 0) {
            interval += step;
            break;
        }
        step = interval > 1000 ? 1000 : interval > 100 ? 100 : 1;
        interval -= step;
    }
    delete[] list;
    delete[] ring;
    if (interval > start)
        return -static_cast<int32_t>(r);
    return interval;
}

}  // extern "C"
