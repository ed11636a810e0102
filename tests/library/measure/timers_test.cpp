// Timer block exports: exact command sequences and status decoding against a
// recording port, and measurements on the simulated box against the signals
// of its box file.
#include <gtest/gtest.h>

#include <cmath>

#include "bus_events.h"
#include "fixture.h"
#include "link/state.h"
#include "measure/timers.h"
#include "platform/platform.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

class TimerBus : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder();
        g_dev.iolpt = 0x378;
        g_dev.io_status = 0xA4;   // 8-bit reads: the script is the register values in order
        rec_.log.clear();
    }
    std::vector<BusEvent> events() const { return bus_events(rec_.log, 0x378); }
    std::vector<BusEvent> writes() const { return bus_writes(rec_.log, 0x378); }
    void reads(std::initializer_list<uint8_t> values) { rec_.script[0x378] = values; }
};

using W = std::vector<BusEvent>;

TEST_F(TimerBus, StartPWM16HoldsProgramsModeZeroAndArms)
{
    const uint8_t data[3] = {0x18, 0x19, 0x1A};
    const uint8_t mode0[3] = {0x30, 0x70, 0xB0};
    for (uint8_t c = 0; c < 3; ++c) {
        rec_.log.clear();
        StartPWM16(c, 0x09);
        EXPECT_EQ(writes(), (W{{'w', 0xF8, 0x0B}, {'w', 0x1B, mode0[c]}, {'w', data[c], 0x00},
                               {'w', data[c], 0x00}, {'w', 0xF8, 0x09}}))
            << int(c);
    }
}

TEST_F(TimerBus, GetPWM16ReadsStatusRunningBitThenTheLatchedCount)
{
    reads({0x00, 0x00, 0xF0, 0xFF});
    EXPECT_FLOAT_EQ(GetPWM16(1, 0x00), 16 * 1.25e-7f);
    EXPECT_EQ(events(), (W{{'w', 0x1B, 0xE4}, {'r', 0x19, 0}, {'r', 0xF8, 0}, {'w', 0x1B, 0x40},
                           {'r', 0x19, 0}, {'r', 0x19, 0}}));
}

TEST_F(TimerBus, GetPWM16DecodesVariantsTimeBasesAndStatus)
{
    struct Case {
        uint8_t mode, status, f8, lo, hi;
        float expect;
    };
    const Case cases[] = {
        {0x00, 0x00, 0x00, 0xF0, 0xFF, 16 * 1.25e-7f},
        {0x01, 0x00, 0x00, 0xF0, 0xFF, 14 * 1.25e-7f},      // n - 2
        {0x02, 0x00, 0x00, 0xF0, 0xFF, 18 * 1.25e-7f},      // n + 2
        {0x03, 0x00, 0x00, 0xF0, 0xFF, 16 * 1.25e-7f},      // no variant: uncorrected
        {0x04, 0x00, 0x00, 0xF0, 0xFF, 16 * 4e-6f},
        {0x08, 0x00, 0x00, 0xF0, 0xFF, 16 * 0.000128f},
        {0x0C, 0x00, 0x00, 0xF0, 0xFF, 16 * 0.000128f},
        {0x01, 0x00, 0x00, 0x00, 0x00, -2 * 1.25e-7f},      // count 0: (65536 - 0) mod 65536
        {0x01, 0x00, 0x00, 0xFF, 0xFF, -1 * 1.25e-7f},      // count 1
        {0x00, 0x00, 0x00, 0x01, 0x00, 65535 * 1.25e-7f},
        {0x00, 0x80, 0x00, 0, 0, -3.0f},                    // output set: overflow
        {0x00, 0xC0, 0x00, 0, 0, -3.0f},
        {0x00, 0x40, 0x00, 0, 0, -1.0f},                    // null count
        {0x00, 0x00, 0x01, 0, 0, -2.0f},                    // still running
    };
    for (const Case& c : cases) {
        reads({c.status, c.f8, c.lo, c.hi});
        EXPECT_FLOAT_EQ(GetPWM16(0, c.mode), c.expect) << std::hex << int(c.mode) << " " << int(c.status);
    }
    // the two time bases are the floats nearest to 125 ns, 4 us and 128 us
    EXPECT_EQ(kTimeBase[0], static_cast<float>(1.25e-7));
    EXPECT_EQ(kTimeBase[1], static_cast<float>(4e-6));
    EXPECT_EQ(kTimeBase[2], static_cast<float>(0.000128));
}

TEST_F(TimerBus, StartFreqMProgramsCountThenGateAndOpensIt)
{
    StartFreqM(1, 2, 0);   // gate 0 is taken as 1
    EXPECT_EQ(writes(), (W{{'w', 0x1B, 0xB0}, {'w', 0x1A, 0x00}, {'w', 0x1A, 0x00}, {'w', 0x1B, 0x72},
                           {'w', 0x19, 0x01}, {'w', 0x19, 0x00}, {'w', 0xF9, 0x00}}));
    rec_.log.clear();
    StartFreqM(0, 1, 0x1234);
    EXPECT_EQ(writes(), (W{{'w', 0x1B, 0x70}, {'w', 0x19, 0x00}, {'w', 0x19, 0x00}, {'w', 0x1B, 0x32},
                           {'w', 0x18, 0x34}, {'w', 0x18, 0x12}, {'w', 0xF9, 0x00}}));
}

TEST_F(TimerBus, GetFreqMDividesCountsByTheGateTime)
{
    struct Case {
        uint16_t gate;
        uint8_t f8, status, lo, hi;
        float expect;
    };
    const Case cases[] = {
        {8, 0x00, 0x00, 0x00, 0xFF, 250000.0f},            // 256 events in 1024 us
        {0, 0x00, 0x00, 0x00, 0xFF, 256 / 0.000128f},      // gate 0 divides by one count
        {1000, 0x00, 0x00, 0x00, 0x00, 65536 / 0.128f},    // latched 0: 65536 events
        {8, 0x02, 0, 0, 0, -1.0f},                         // gate still open
        {8, 0x00, 0x80, 0, 0, -2.0f},                      // overflow
        {8, 0x00, 0x40, 0, 0, -3.0f},                      // null count
    };
    for (const Case& c : cases) {
        reads({c.f8, c.status, c.lo, c.hi});
        EXPECT_NEAR(GetFreqM(2, c.gate), c.expect, std::fabs(c.expect) * 1e-6) << c.gate << " " << int(c.status);
    }
    // one rounding to float: 14080 events in 17 x 128 us = 6470588.235 Hz
    reads({0x00, 0x00, 0x00, 0xC9});
    EXPECT_EQ(GetFreqM(2, 17), 6470588.0f);
    rec_.log.clear();
    reads({0x00, 0x00, 0x00, 0xFF});
    (void)GetFreqM(2, 8);
    EXPECT_EQ(events(), (W{{'r', 0xF8, 0}, {'w', 0x1B, 0xE8}, {'r', 0x1A, 0}, {'w', 0x1B, 0x80},
                           {'r', 0x1A, 0}, {'r', 0x1A, 0}}));
}

TEST_F(TimerBus, GetCount16RestartSequenceClocksTheCountInWithB)
{
    reads({0xFE, 0xFF});
    EXPECT_EQ(GetCount16(1, 1), 1);
    EXPECT_EQ(events(), (W{{'w', 0xF8, 0x0C}, {'w', 0x1B, 0x74}, {'w', 0x19, 0xFF}, {'w', 0x19, 0xFF},
                           {'w', 0xF8, 0x04}, {'w', 0xF8, 0x0C}, {'w', 0xF8, 0x04}, {'w', 0xF8, 0x00},
                           {'w', 0x1B, 0x40}, {'r', 0x19, 0}, {'r', 0x19, 0}}));

    rec_.log.clear();   // restart 2 leaves F8h at A
    GetCount16(2, 2);
    EXPECT_EQ(writes(), (W{{'w', 0xF8, 0x30}, {'w', 0x1B, 0xB4}, {'w', 0x1A, 0xFF}, {'w', 0x1A, 0xFF},
                           {'w', 0xF8, 0x10}, {'w', 0xF8, 0x30}, {'w', 0xF8, 0x10}, {'w', 0x1B, 0x80}}));

    rec_.log.clear();   // restart 0 only latches and reads
    reads({0x00, 0x00});
    EXPECT_EQ(GetCount16(0, 0), 0xFFFF);
    EXPECT_EQ(events(), (W{{'w', 0x1B, 0x00}, {'r', 0x18, 0}, {'r', 0x18, 0}}));
}

TEST_F(TimerBus, GetCount32JoinsThePairAndLatchesBothCounts)
{
    // restart: counter 0 with 1, counter 1 with 2, join bit; reads: 2 for each restart, then lo, hi
    reads({0, 0, 0, 0, 0xFE, 0xFF, 0xFD, 0xFF});
    EXPECT_EQ(GetCount32(0, 1), 131071u);
    const W w = writes();
    ASSERT_GE(w.size(), 2u);
    EXPECT_EQ(w[w.size() - 2], (BusEvent{'w', 0xF8, 0x40}));
    EXPECT_EQ(w.back(), (BusEvent{'w', 0x1B, 0xD6}));

    rec_.log.clear();
    reads({0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(GetCount32(1, 0), 0xFFFFu + 0xFFFFu * 65535u);
    EXPECT_EQ(events(), (W{{'w', 0x1B, 0xDC}, {'r', 0x19, 0}, {'r', 0x19, 0}, {'r', 0x1A, 0}, {'r', 0x1A, 0}}));
}

TEST_F(TimerBus, CountersAboveTheTablesTouchNoRegister)
{
    StartPWM16(3, 0);
    EXPECT_EQ(GetPWM16(3, 0), kNoCounter);
    StartFreqM(3, 2, 8);
    StartFreqM(1, 3, 8);
    EXPECT_EQ(GetFreqM(3, 8), kNoCounter);
    EXPECT_EQ(GetCount16(3, 1), 0);
    EXPECT_EQ(GetCount16(0xFF, 0), 0);
    EXPECT_EQ(GetCount32(2, 1), 0u);
    EXPECT_TRUE(rec_.log.empty());
}

// ---------------------------------------------------------------- simulated box

class TimerBox : public LibraryTest {
protected:
    void start(const std::string& design, const std::string& signals)
    {
        use_box("port_logic.loaded = yes\nmain_logic.loaded = " + design + "\n" + signals);
        bring_up(0xA4, 10);
    }
    // Polls like the setup program until the result is no longer "call again".
    float pwm(uint8_t mode)
    {
        StartPWM16(0, mode);
        float v = -1.0f;
        for (int i = 0; i < 200000 && (v == -1.0f || v == -2.0f); ++i)
            v = GetPWM16(0, mode);
        return v;
    }
    float freq(uint16_t gate)
    {
        StartFreqM(1, 2, gate);
        float v = -1.0f;
        for (int i = 0; i < 200000 && v == -1.0f; ++i)
            v = GetFreqM(2, gate);
        return v;
    }
};

TEST_F(TimerBox, PulseWidthVariantsAndTimeBasesMeasureTheInput)
{
    start("007CA003", "timer.pulse_high_us = 250\ntimer.pulse_low_us = 750\n");
    struct Case {
        uint8_t mode;
        double truth_s, count_s;
    };
    const Case cases[] = {
        {0x00, 250e-6, 125e-9},    // high time
        {0x01, 750e-6, 125e-9},    // low time
        {0x02, 1000e-6, 125e-9},   // period
        {0x04, 250e-6, 4e-6},
        {0x05, 750e-6, 4e-6},
        {0x0A, 1000e-6, 128e-6},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(pwm(c.mode), c.truth_s, c.count_s * 1.01) << std::hex << int(c.mode);
}

TEST_F(TimerBox, PulseLongerThan65536CountsIsAnOverflow)
{
    start("007CA003", "timer.pulse_high_us = 10000\ntimer.pulse_low_us = 1000\n");
    EXPECT_EQ(pwm(0x00), -3.0f);             // 80000 counts of 125 ns
    EXPECT_NEAR(pwm(0x04), 0.01, 4e-6);      // 2500 counts of 4 us
}

TEST_F(TimerBox, PulseMeasurementWaitsWhileTheInputIsConstant)
{
    start("007CA003", "timer.pulse_high_us = 0\n");
    StartPWM16(0, 0x00);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(GetPWM16(0, 0x00), -2.0f);
}

TEST_F(TimerBox, FrequencyOfTheInputWithinOneCountOfTheGate)
{
    struct Case {
        double hz;
        uint16_t gate;
    };
    const Case cases[] = {{1000.0, 1000}, {250000.0, 8}, {12345.0, 100}};
    for (const Case& c : cases) {
        start("007CA003", "timer.freq_hz = " + std::to_string(c.hz) + "\n");
        const double gate_s = c.gate * 128e-6;
        EXPECT_NEAR(freq(c.gate), c.hz, 1.01 / gate_s) << c.hz;
    }
}

TEST_F(TimerBox, FrequencyOverflowAndNoInput)
{
    start("007CA003", "timer.freq_hz = 1000000\n");
    EXPECT_EQ(freq(1000), -2.0f);    // 128000 events in 128 ms
    start("007CA003", "timer.freq_hz = 0\n");
    EXPECT_EQ(freq(8), -3.0f);       // no edge ever loads the count
}

TEST_F(TimerBox, EventCountersCountFromTheRestart)
{
    start("007CA004", "timer.events0_hz = 1000\ntimer.events1_hz = 3000\ntimer.events2_hz = 20\n");
    sleep_ms(50);   // events before the restart do not count
    EXPECT_LE(GetCount16(0, 1), 1);
    EXPECT_LE(GetCount16(1, 1), 1);
    EXPECT_LE(GetCount16(2, 1), 1);
    sleep_ms(100);
    EXPECT_NEAR(GetCount16(0, 0), 100, 1);
    EXPECT_NEAR(GetCount16(1, 0), 300, 1);
    EXPECT_NEAR(GetCount16(2, 0), 2, 1);
    // a restart of one counter leaves the others counting
    EXPECT_LE(GetCount16(1, 1), 1);
    sleep_ms(100);
    EXPECT_NEAR(GetCount16(0, 0), 200, 1);
    EXPECT_NEAR(GetCount16(1, 0), 300, 1);
}

TEST_F(TimerBox, SixteenBitCounterWrapsAfter65535Events)
{
    start("007CA004", "timer.events0_hz = 100000\n");
    GetCount16(0, 1);
    sleep_ms(700);   // 70000 events
    EXPECT_NEAR(GetCount16(0, 0), 70000 - 65535, 2);
}

TEST_F(TimerBox, ThirtyTwoBitPairsCountBeyondOnePass)
{
    start("007CA004", "timer.events0_hz = 1000000\ntimer.events1_hz = 400000\n");
    // the bus cycles of the restart and the read take about 0.1 ms more
    GetCount32(0, 1);
    sleep_ms(200);
    EXPECT_NEAR(static_cast<double>(GetCount32(0, 0)), 200000.0, 250.0);
    GetCount32(1, 1);   // counter 1 now low counter of the pair 1+2
    sleep_ms(500);
    EXPECT_NEAR(static_cast<double>(GetCount32(1, 0)), 200000.0, 100.0);
}

TEST_F(TimerBox, WithoutAMeasurementDesignTheBlockDoesNotAnswer)
{
    start("007CA000", "timer.freq_hz = 1000\n");
    StartFreqM(1, 2, 8);
    EXPECT_EQ(inbyte(0xF8), 0x00);
    EXPECT_EQ(GetCount16(0, 1), 0xFFFF);   // reads 00h 00h
}

}  // namespace
