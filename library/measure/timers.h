// The measurement timer block: three 16-bit down-counters in 8254 command
// format (18h-1Bh) and the two registers of the board-007 design (F8h, F9h).
// Design "007CA003" measures pulse widths and frequencies, "007CA004" counts
// events; the caller loads the matching design first. Nothing here waits.
#pragma once
#include "link/regs.h"
#include <cstdint>

#include "tarvenix.h"


// 8254 command bytes of one counter.
struct TimerCounter {
    uint8_t data_reg;
    uint8_t mode0, mode1, mode2;
    uint8_t latch;
    uint8_t status_readback;   // read-back of the status byte only
};
constexpr TimerCounter kTimerCounters[3] = {
    {0x18, 0x30, 0x32, 0x34, 0x00, 0xE2},
    {0x19, 0x70, 0x72, 0x74, 0x40, 0xE4},
    {0x1A, 0xB0, 0xB2, 0xB4, 0x80, 0xE8},
};

// Status byte after a read-back.
constexpr uint8_t kTimerOut = 0x80;        // the counter has run through zero
constexpr uint8_t kTimerNullCount = 0x40;  // the count is not yet loaded

// F8h bits A and B of each counter in the event-counting design.
struct EventBits {
    uint8_t a, b;
};
constexpr EventBits kEventBits[3] = {{0x01, 0x02}, {0x04, 0x08}, {0x10, 0x20}};

// Seconds per count for the time-base bits 3-2 of the pulse-width mode byte.
constexpr float kTimeBase[4] = {1.25e-7f, 4e-6f, 0.000128f, 0.000128f};
constexpr double kGateSeconds = 0.000128;   // one count of the frequency gate

// Result of GetPWM16/GetFreqM for a counter above 2 (no register touched);
// distinct from every status value so that polling loops end.
constexpr float kNoCounter = -4.0f;

// Writes command to command_reg unless command_reg is 0, then reads the
// counter's low and high byte from data_reg.
uint16_t timer_read16(uint8_t command_reg, uint8_t command, uint8_t data_reg);

// Counts of the pulse-width variant (mode bits 1-0): 1 -> n - 2, 2 -> n + 2,
// 0 and the undefined 3 -> n.
int32_t pwm_corrected_counts(uint32_t n, uint8_t mode);
