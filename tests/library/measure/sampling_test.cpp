// Transient sampling: the acquisition loop's register traffic and exits
// against a scripted recording port, the conversion into times and volts,
// the rejected calls, and captures on the simulated box.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bus_events.h"
#include "fixture.h"
#include "link/state.h"
#include "measure/sampling.h"
#include "sim/sampler.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

using W = std::vector<BusEvent>;

// Register reads of the acquisition as the box would answer them.
class SampleScript {
public:
    // The counter before the start, then `same` unchanged reads and the
    // change that synchronises.
    void sync(int same = 0)
    {
        push(counter_);
        for (int i = 0; i < same; ++i)
            push(counter_);
        counter_ = (counter_ + 1) & 0x0F;
        push(counter_);
    }
    // `idle` unchanged status reads, then a sample `skip` counts further on.
    void sample(uint16_t value, int idle = 0, int skip = 0)
    {
        for (int i = 0; i < idle; ++i)
            push(static_cast<uint8_t>(((last_ & 0x0F) << 4) | counter_));
        counter_ = (counter_ + 1 + skip) & 0x0F;
        push(static_cast<uint8_t>(((value & 0x0F) << 4) | counter_));
        push(static_cast<uint8_t>(value >> 4));
        last_ = value;
    }
    void idle(int reads)
    {
        for (int i = 0; i < reads; ++i)
            push(counter_);
    }
    std::deque<uint8_t> reads;

private:
    void push(uint8_t v) { reads.push_back(v); }
    uint8_t counter_ = 5;
    uint16_t last_ = 0;
};

class SamplingBus : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0xA4, 0);
    }
    void play(const SampleScript& s) { rec_.script[0x378] = s.reads; }
    std::vector<BusEvent> events() const { return bus_events(rec_.log, 0x378); }
    size_t count(const BusEvent& e) const
    {
        const auto ev = events();
        return static_cast<size_t>(std::count(ev.begin(), ev.end(), e));
    }
    std::vector<uint16_t> ring_ = std::vector<uint16_t>(kTesRingSize, 0xAAAA);
};

TEST_F(SamplingBus, ImmediateRunRegisterTrafficAndTriggerAtTheSecondSampleOfEntryOne)
{
    const uint16_t list[] = {2, 0xE0F0, 0xE1F1};
    SampleScript s;
    s.sync(1);
    for (uint16_t v = 0x101; v <= 0x107; ++v)
        s.sample(v, 1);
    play(s);
    uint16_t index = 0xBEEF;
    EXPECT_EQ(getADTes(list, ring_.data(), 1, 0x1234, 2, 0, 0, kTesImmediate, 1000, &index), 0);
    EXPECT_EQ(index, 4);   // fifth sample: j = -1, 0, 1, 2, 1
    for (uint16_t m = 0; m < 7; ++m)
        EXPECT_EQ(ring_[m], 0x101 + m);
    EXPECT_EQ(ring_[7], 0xAAAA);

    W want = {{'w', 0xFC, 0x02}, {'w', 0x17, 0xB4}, {'w', 0x16, 0x34}, {'w', 0x16, 0x12}, {'w', 0xE0, 0xF0},
              {'r', 0xE4, 0},    {'r', 0xE4, 0},    {'r', 0xE4, 0}};
    for (int n = 1; n <= 7; ++n) {
        want.push_back({'r', 0xE4, 0});
        want.push_back({'r', 0xE4, 0});
        want.push_back(n % 2 == 1 ? BusEvent{'w', 0xE1, 0xF1} : BusEvent{'w', 0xE0, 0xF0});
        want.push_back({'r', 0xE5, 0});
    }
    want.push_back({'w', 0xFC, 0x00});
    EXPECT_EQ(events(), want);
}

TEST_F(SamplingBus, EachCounterJumpIsOneLostSampleEvent)
{
    const uint16_t list[] = {1, 0xE0F0};
    SampleScript s;
    s.sync();
    s.sample(1);
    s.sample(2, 0, 2);   // 3 -> 6 style jump: two samples missed, one event
    s.sample(3);
    s.sample(4, 0, 14);  // a jump of 15 still changes the counter
    s.sample(5);
    play(s);
    uint16_t index = 0;
    EXPECT_EQ(getADTes(list, ring_.data(), 1, 100, 1, 0, 0, kTesImmediate, 1000, &index), 2);
}

TEST_F(SamplingBus, LostSampleCountStopsBelowTheStatusValues)
{
    // every sample of a long record skips one: 65539 events would wrap to 3
    const uint16_t list[] = {1, 0xE0F0};
    SampleScript s;
    s.sync();
    for (int n = 0; n < 65540; ++n)
        s.sample(static_cast<uint16_t>(n & 0x0FFF), 0, 1);
    play(s);
    uint16_t index = 0;
    EXPECT_EQ(getADTes(list, ring_.data(), 0xFFFF, 100, 1, 0, 0, kTesImmediate, 1000, &index), kTesMaxLost);
}

TEST_F(SamplingBus, StatusReadBoundEndsWithADTimeoutAndSamplingOff)
{
    struct Case {
        const char* what;
        int sync_same, idle_after;
        size_t status_reads;
    };
    // the bound counts from the start through the synchronisation, and again
    // from every sample
    const Case cases[] = {
        {"no sample at all", 60, 0, 1 + 50},
        {"sync after 10 reads", 9, 60, 1 + 10 + 40},
    };
    const uint16_t list[] = {1, 0xE0F0};
    for (const Case& c : cases) {
        rec_.log.clear();
        SampleScript s;
        if (c.sync_same >= 50) {
            s.idle(1 + c.sync_same);
        } else {
            s.sync(c.sync_same);
            s.idle(c.idle_after);
        }
        play(s);
        uint16_t index = 7;
        EXPECT_EQ(getADTes(list, ring_.data(), 10, 50, 1, 0, 0, kTesImmediate, 1000, &index), kTesAdTimeout)
            << c.what;
        EXPECT_EQ(count({'r', 0xE4, 0}), c.status_reads) << c.what;
        EXPECT_EQ(events().back(), (BusEvent{'w', 0xFC, 0x00})) << c.what;
        EXPECT_EQ(index, 7);
    }
    // 49 reads without a sample after a sample are still within the bound
    rec_.log.clear();
    SampleScript s;
    s.sync();
    s.sample(0, 47);   // the synchronising read counts too
    for (int n = 1; n < 5; ++n)
        s.sample(static_cast<uint16_t>(n), 48);
    play(s);
    uint16_t index = 0;
    EXPECT_EQ(getADTes(list, ring_.data(), 1, 50, 1, 0, 0, kTesImmediate, 1000, &index), 0);
}

TEST_F(SamplingBus, PostZeroEndsAtTheFirstSampleWithoutTrigger)
{
    const uint16_t list[] = {2, 0xE0F0, 0xE0F1};
    SampleScript s;
    s.sync();
    s.sample(0x321);
    s.sample(0x322);
    play(s);
    uint16_t index = 9;
    EXPECT_EQ(getADTes(list, ring_.data(), 0, 100, 1, 0, 0, kTesImmediate, 1000, &index), kTesNoTrigger);
    EXPECT_EQ(ring_[0], 0x321);
    EXPECT_EQ(ring_[1], 0xAAAA);
    EXPECT_EQ(index, 9);
    EXPECT_EQ(count({'r', 0xE5, 0}), 1u);
    EXPECT_EQ(events().back(), (BusEvent{'w', 0xFC, 0x00}));
}

TEST_F(SamplingBus, EdgeTriggersNeedMoreThanNTimesPreSamplesOfTheEntry)
{
    struct Case {
        uint8_t mode;
        std::vector<uint16_t> values;   // N = 1: samples 3.. belong to entry 1
        int index;                      // -1: no trigger
    };
    const Case cases[] = {
        // the crossing at k = 1 is too early (k > 1 x 2 needed); the one at k = 3 fires
        {kTesRising, {0, 0, 50, 150, 50, 150, 0, 0, 0, 0}, 5},
        {kTesRising, {0, 0, 50, 150, 50, 100, 0, 0, 0, 0}, 5},    // reaching the level is enough
        {kTesRising, {0, 0, 50, 150, 150, 150, 99, 100, 0, 0}, 7},
        {kTesFalling, {0, 0, 150, 50, 150, 50, 0, 0, 0, 0}, 5},
        {kTesFalling, {0, 0, 150, 50, 150, 100, 0, 0, 0, 0}, 5},
        {kTesFalling, {0, 0, 100, 100, 100, 100, 100, 100, 100, 100}, -1},
        {7, {0, 0, 50, 150, 50, 150, 50, 150, 50, 150}, -1},      // no such mode: never fires
    };
    const uint16_t list[] = {1, 0xE0F0};
    for (const Case& c : cases) {
        rec_.log.clear();
        SampleScript s;
        s.sync();
        for (uint16_t v : c.values)
            s.sample(v);
        play(s);
        uint16_t index = 0xBEEF;
        const uint16_t r = getADTes(list, ring_.data(), 4, 100, 1, 2, 100, c.mode, 8, &index);
        if (c.index < 0) {
            EXPECT_EQ(r, kTesNoTrigger) << int(c.mode);
            EXPECT_EQ(index, 0xBEEF);
            EXPECT_EQ(count({'r', 0xE5, 0}), 10u);   // u > 8 at the tenth sample
        } else {
            EXPECT_EQ(r, 0) << int(c.mode);
            EXPECT_EQ(index, c.index) << int(c.mode);
            // pre = 2 counts as two of the four post samples
            EXPECT_EQ(count({'r', 0xE5, 0}), static_cast<size_t>(c.index + 3)) << int(c.mode);
        }
    }
}

TEST_F(SamplingBus, CallsOutsideTheLimitsTouchNoRegisterAndNoArray)
{
    const uint16_t ok[] = {2, 0xE0F0, 0xE2F1};
    const uint16_t none[] = {0};
    const uint16_t gain_e3[] = {2, 0xE0F0, 0xE3F1};
    const uint16_t gain_10[] = {1, 0x0AF0};
    uint16_t list25[26] = {25};
    for (int i = 1; i <= 25; ++i)
        list25[i] = 0xE0F0;
    std::vector<float> out(8, 1.5f);
    uint16_t index = 0;
    uint16_t far_index = 0x6000;

    struct Case {
        const char* what;
        uint16_t result;
    };
    const Case cases[] = {
        {"null list", getADTes(nullptr, ring_.data(), 1, 100, 1, 0, 0, 2, 10, &index)},
        {"null ring", getADTes(ok, nullptr, 1, 100, 1, 0, 0, 2, 10, &index)},
        {"null index", getADTes(ok, ring_.data(), 1, 100, 1, 0, 0, 2, 10, nullptr)},
        {"N = 0", getADTes(none, ring_.data(), 1, 100, 1, 0, 0, 2, 10, &index)},
        {"N = 25", getADTes(list25, ring_.data(), 1, 100, 1, 0, 0, 2, 10, &index)},
        {"gain E3h", getADTes(gain_e3, ring_.data(), 1, 100, 1, 0, 0, 2, 10, &index)},
        {"gain byte 0Ah", getADTes(gain_10, ring_.data(), 1, 100, 1, 0, 0, 2, 10, &index)},
        {"pre x N = 24576", getADTes(ok, ring_.data(), 1, 100, 1, 12288, 0, 2, 10, &index)},
        {"dat null output", getADTesDat(ok, ring_.data(), nullptr, 2, 100, 1, 0, 1.0f, 2, 10, &index)},
        {"dat count x N = 24576", getADTesDat(ok, ring_.data(), out.data(), 12288, 100, 1, 0, 1.0f, 2, 10, &index)},
        {"dat trigger entry 0", getADTesDat(ok, ring_.data(), out.data(), 2, 100, 0, 0, 1.0f, 2, 10, &index)},
        {"dat trigger entry 3", getADTesDat(ok, ring_.data(), out.data(), 2, 100, 3, 0, 1.0f, 2, 10, &index)},
        {"dat index outside ring", getADTesDat(ok, ring_.data(), out.data(), 2, 100, 1, 0, 1.0f, 2, 10, &far_index)},
        {"dat pre x N = 24576", getADTesDat(ok, ring_.data(), out.data(), 2, 100, 1, 12288, 1.0f, 2, 10, &index)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, kTesRejected) << c.what;
    EXPECT_TRUE(rec_.log.empty());
    EXPECT_EQ(ring_[0], 0xAAAA);
    EXPECT_EQ(out, std::vector<float>(8, 1.5f));
    EXPECT_EQ(far_index, 0x6000);
}

class SamplingDat : public SamplingBus {
protected:
    void SetUp() override
    {
        SamplingBus::SetUp();
        g_dev.ADx1Zero = 2048.0f;
        g_dev.ADx10Zero = 2000.0f;
        g_dev.ADx100Zero = 1900.0f;
        g_dev.ADx1VoltProDigit = 0.005f;
    }
    static float volts(uint8_t gain_reg, uint16_t d)
    {
        const float zero = gain_reg == 0xE0 ? 2048.0f : 2000.0f;
        const float factor = gain_reg == 0xE0 ? 1.0f : 10.0f;
        return (static_cast<float>(d) - zero) * 0.005f / factor;
    }
};

TEST_F(SamplingDat, LevelInDigitsOfTheTriggerEntryAndBlocksPerEntry)
{
    // entry 2 at gain 10 triggers: 0.05 V = 10 x 0.05 / 0.005 + 2000 = 2100 digits
    const uint16_t list[] = {2, 0xE0F0, 0xE1F1};
    std::vector<uint16_t> values = {1, 2, 3000, 2050, 3001, 2060, 3002, 2099, 3003, 2100, 3004, 2500, 3005, 2600};
    SampleScript s;
    s.sync();
    for (uint16_t v : values)
        s.sample(v);
    play(s);
    std::vector<float> out(2 * 3 * 2, 0.0f);
    uint16_t index = 0;
    const uint16_t interval = 40;
    EXPECT_EQ(getADTesDat(list, ring_.data(), out.data(), 3, interval, 2, 1, 0.05f, kTesRising, 100, &index), 0);
    EXPECT_EQ(index, 9);   // the sample of 2100 digits
    EXPECT_EQ(count({'r', 0xE5, 0}), values.size());

    // start = 9 - 1 x 2 = 7; entry 2 (the trigger entry) from ring 7, entry 1 one sample later
    const float e1_times[] = {-40e-6f, 40e-6f, 120e-6f};
    const float e2_times[] = {-80e-6f, 0.0f, 80e-6f};
    const uint16_t e1_digits[] = {3003, 3004, 3005};
    const uint16_t e2_digits[] = {2099, 2100, 2500};
    for (int n = 0; n < 3; ++n) {
        EXPECT_FLOAT_EQ(out[n], e1_times[n]);
        EXPECT_FLOAT_EQ(out[3 + n], volts(0xE0, e1_digits[n]));
        EXPECT_FLOAT_EQ(out[6 + n], e2_times[n]);
        EXPECT_FLOAT_EQ(out[9 + n], volts(0xE1, e2_digits[n]));
    }
}

TEST_F(SamplingDat, StartBeforeTheRingBeginningWrapsToItsEnd)
{
    // more than a ring of samples before the crossing: the trigger lands at index 2
    const uint16_t list[] = {1, 0xE0F0};
    SampleScript s;
    s.sync();
    const uint32_t before = kTesRingSize + 2;
    for (uint32_t n = 0; n < before; ++n)
        s.sample(static_cast<uint16_t>(1000 + n % 7));
    s.sample(3000);
    for (int n = 0; n < 5; ++n)   // t runs from pre = 5 to count = 10
        s.sample(static_cast<uint16_t>(3100 + n));
    play(s);
    std::vector<float> out(2 * 10, 0.0f);
    uint16_t index = 0;
    EXPECT_EQ(getADTesDat(list, ring_.data(), out.data(), 10, 50, 1, 5, 2.0f, kTesRising, 100000, &index), 0);
    ASSERT_EQ(index, 2);
    const uint32_t ring_pos[] = {kTesRingSize - 3, kTesRingSize - 2, kTesRingSize - 1, 0, 1, 2, 3, 4, 5, 6};
    for (int n = 0; n < 10; ++n) {
        EXPECT_FLOAT_EQ(out[n], static_cast<float>((n - 5) * 50) * 1e-6f) << n;
        EXPECT_FLOAT_EQ(out[10 + n], volts(0xE0, ring_[ring_pos[n]])) << n;
    }
    EXPECT_FLOAT_EQ(out[10 + 5], volts(0xE0, 3000));
}

TEST_F(SamplingDat, WithoutTriggerTheCallersIndexPlacesTheRecord)
{
    const uint16_t list[] = {1, 0xE0F0};
    SampleScript s;
    s.sync();
    for (uint16_t v : {2100, 2101, 2102, 2103, 2104, 2105})
        s.sample(v);
    play(s);
    std::vector<float> out(4, 0.0f);
    uint16_t index = 3;
    EXPECT_EQ(getADTesDat(list, ring_.data(), out.data(), 2, 10, 1, 2, 9.0f, kTesRising, 3, &index), kTesNoTrigger);
    EXPECT_EQ(index, 3);
    EXPECT_FLOAT_EQ(out[0], -20e-6f);
    EXPECT_FLOAT_EQ(out[2], volts(0xE0, 2101));   // start = 3 - 2
    EXPECT_FLOAT_EQ(out[3], volts(0xE0, 2102));
}

TEST_F(SamplingBus, FindMaxTesRateAtOrBelow20ReturnsTheStartUnmeasured)
{
    EXPECT_EQ(FindMaxTesRate(15), 15);
    EXPECT_EQ(FindMaxTesRate(20), 20);
    EXPECT_EQ(FindMaxTesRate(0), 0);
    EXPECT_TRUE(rec_.log.empty());
}

// ---------------------------------------------------------------- simulated box

class SamplingBox : public LibraryTest {
protected:
    // A/D -10..10 V without zero, gain error or noise: d = 2048 + V x 204.8
    void start(const std::string& inputs)
    {
        use_box("port_logic.loaded = yes\n"
                "adc.range = -10..10\nadc.zero1 = 0\nadc.gain_error = 0\nadc.noise = 0\n" +
                inputs);
        bring_up(0xA4, 10);
        g_dev.ADx1Zero = 2048.0f;
        g_dev.ADx1VoltProDigit = 20.0f / 4096.0f;
    }
    std::vector<uint16_t> ring_ = std::vector<uint16_t>(kTesRingSize, 0);
};

TEST_F(SamplingBox, SineCaptureTriggersAtTheLevelWithTimesAndVoltagesOfBothInputs)
{
    const double hz = 50.0, amp = 2.0;
    start("adc.in0 = sine 0 2 50\nadc.in1 = dc 1.25\n");
    const uint16_t list[] = {2, 0xE0F0, 0xE0F1};
    const uint16_t count = 500, pre = 100, interval = 100;
    std::vector<float> out(2 * count * 2);
    uint16_t index = 0;
    const uint16_t r = getADTesDat(list, ring_.data(), out.data(), count, interval, 1, pre, 1.0f, kTesRising, 50000,
                                   &index);
    ASSERT_EQ(r, 0) << "lost samples or no trigger";
    const float* t1 = out.data();
    const float* v1 = t1 + count;
    const float* t2 = out.data() + 2 * count;
    const float* v2 = t2 + count;
    EXPECT_FLOAT_EQ(t1[0], -0.02f);
    EXPECT_FLOAT_EQ(t1[pre], 0.0f);
    EXPECT_FLOAT_EQ(t1[1], -0.0198f);
    EXPECT_FLOAT_EQ(t2[0], -0.0199f);   // entry 2 one interval after entry 1
    // the trigger sample is the first at or above 1 V after one below it
    EXPECT_GE(v1[pre], 1.0f);
    EXPECT_LT(v1[pre - 1], 1.0f);
    // the record is the sine: 1 V rising is phase pi/6, at most one sample late
    const double step = 2.0 * M_PI * hz * 200e-6;
    double worst = 0;
    for (int n = 0; n < count; ++n) {
        const double expect = amp * std::sin(M_PI / 6 + 2.0 * M_PI * hz * t1[n]);
        worst = std::max(worst, std::fabs(v1[n] - expect));
        EXPECT_NEAR(v2[n], 1.25, 0.006) << n;
    }
    EXPECT_LT(worst, amp * step + 0.01);
    EXPECT_EQ(box_->sampler().on(), false);
}

TEST_F(SamplingBox, TooShortAnIntervalLosesSamplesAndFindMaxTesRateFindsTheLimit)
{
    start("adc.in0 = dc 1\nadc.in1 = dc 2\n");
    bring_up(0x04, 10);   // nibble reads: about 10 us per register read
    const uint16_t list[] = {2, 0xE0F0, 0xE0F1};
    uint16_t index = 0;
    EXPECT_GT(getADTes(list, ring_.data(), 2000, 5, 1, 0, 0, kTesImmediate, 10000, &index), 0);

    const int32_t best = FindMaxTesRate(150);
    ASSERT_GT(best, 20);
    ASSERT_LT(best, 60);
    EXPECT_EQ(FindMaxTesRate(static_cast<uint16_t>(best)), best);
    const int32_t failed = FindMaxTesRate(static_cast<uint16_t>(best - 1));
    EXPECT_LT(failed, 0);
    EXPECT_EQ(getADTes(list, ring_.data(), 0x3000, static_cast<uint16_t>(best), 1, 0, 0x800, kTesImmediate, 10000,
                       &index),
              0);
}

TEST_F(SamplingBox, WithoutTheSamplingClockTheRunTimesOut)
{
    start("adc.in0 = dc 1\n");
    const uint16_t list[] = {1, 0xE0F0};
    uint16_t index = 0;
    // interval 0: the clock count 0 is 65536 us, far beyond 0 status reads
    EXPECT_EQ(getADTes(list, ring_.data(), 10, 0, 1, 0, 0, kTesImmediate, 100, &index), kTesAdTimeout);
    EXPECT_FALSE(box_->sampler().on());
}

}  // namespace
