// Analog input: digits to volts, the conversion handshake on a recording
// port, and measurements on the simulated box against its box file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "bus_events.h"
#include "fixture.h"
#include "link/state.h"
#include "measure/analog_in.h"
#include "measure/analog_out.h"
#include "sim/adc.h"
#include "sim/box.h"
#include "sim/dac.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

constexpr float kK = 20.0f / 4096.0f;   // volts per digit of a -10..10 V converter

void set_calibration(float z1, float z10, float z100, float k)
{
    g_dev.ADx1Zero = z1;
    g_dev.ADx10Zero = z10;
    g_dev.ADx100Zero = z100;
    g_dev.ADx1VoltProDigit = k;
}

TEST(AdToVolts, ZerosSignRuleAndOverflow)
{
    struct Case {
        uint8_t reg, mux;
        float digits;
        double expect;
    };
    const double k = kK;
    const Case cases[] = {
        {0xE0, 0xF0, 3072, 1024 * k},
        {0xE0, 0x0F, 3072, -1024 * k},          // low nibble F, code <= EFh: negated
        {0xE0, 0xEF, 1000, 1048 * k},
        {0xE0, 0x1F, 3072, -1024 * k},
        {0xE0, 0xFF, 3072, 1024 * k},           // FFh keeps its sign
        {0xE0, 0xFE, 3072, 1024 * k},
        {0xE0, 0xF1, 1000, -1048 * k},
        {0xE1, 0xF0, 3072, (3072 - 2050) * k / 10},
        {0xE2, 0xF0, 3072, (3072 - 2060) * k / 100},
        {0xE0, 0xF0, 0, -99.999f},              // digits 0: overflow with the computed sign
        {0xE0, 0x0F, 0, 99.999f},
        {0xE0, 0xFF, 0, -99.999f},
        {0xE0, 0xF0, 0.9f, -99.999f},           // truncated to 0
        {0xE0, 0xF0, -0.5f, -99.999f},
        {0xE0, 0xF0, 4095, 99.999f},
        {0xE0, 0x0F, 4095, -99.999f},
        {0xE0, 0xF0, 4094.9f, (4094.9f - 2048) * k},
        {0xE0, 0xF0, 1.0f, (1 - 2048) * k},
        {0xE0, 0xF0, 65535, (65535 - 2048) * k},   // a timeout is converted like any value
    };
    set_calibration(2048, 2050, 2060, kK);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.reg) << " " << int(c.mux) << " " << c.digits);
        EXPECT_NEAR(ad_to_volts(c.reg, c.mux, c.digits), c.expect, 1e-5);
    }
    // a zero at 0 V (unipolar converter): a non-negative voltage overflows to +99.999
    set_calibration(0, 0, 0, kK);
    EXPECT_FLOAT_EQ(static_cast<float>(ad_to_volts(0xE0, 0xF0, 0)), 99.999f);
}

TEST(AdToDigits, InverseOfTheCalibration)
{
    struct Case {
        int32_t gain;
        uint8_t mux;
        float volts;
        int32_t expect;
    };
    const Case cases[] = {
        {1, 0xF0, 5.0f, 3072}, {10, 0xF0, 0.5f, 3074}, {100, 0xF0, 0.05f, 3084},
        {1, 0x0F, 5.0f, 1024}, {1, 0xFF, 5.0f, 3072},
    };
    set_calibration(2048, 2050, 2060, kK);
    for (const Case& c : cases)
        EXPECT_EQ(ad_to_digits(c.gain, c.mux, c.volts), c.expect) << c.gain << " " << c.volts;
    set_calibration(0, 0, 0, kK);
    EXPECT_EQ(ad_to_digits(1, 0xF0, -1.5f * kK), -1);   // truncated toward zero
    set_calibration(7, 0, 0, 0.0f);
    EXPECT_EQ(ad_to_digits(1, 0xF0, 1.0f), 7);           // uncalibrated: the zero, no division
}

// Exact bus traffic in 8-bit mode: each inbyte reads the data port once.
class AdBus : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0xA4, 1);
    }
    std::vector<BusEvent> events() const { return bus_events(rec_.log, 0x378); }
};

TEST_F(AdBus, ReadyPollIsBoundedByTwentyStatusReads)
{
    struct Case {
        int ready_at;      // status read that first shows the ready bit
        uint16_t expect;
    };
    const Case cases[] = {{1, 0xAB5}, {3, 0xAB5}, {19, 0xAB5}, {20, kAdTimeout}, {0, kAdTimeout}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ready_at);
        rec_.log.clear();
        auto& data = rec_.script[0x378];
        data.clear();
        for (int i = 1; i < (c.ready_at > 0 ? c.ready_at : 30); ++i)
            data.push_back(0x50);   // result bits, ready bit low
        if (c.ready_at > 0) {
            data.push_back(0x51);
            data.push_back(0xAB);
        }
        EXPECT_EQ(ad_read_raw(0xE1, 0xF3), c.expect);
        std::vector<BusEvent> want = {{'w', 0xE1, 0xF3}};
        const int reads = c.expect == kAdTimeout ? 20 : c.ready_at;
        for (int i = 0; i < reads; ++i)
            want.push_back({'r', 0xE4, 0});
        if (c.expect != kAdTimeout)
            want.push_back({'r', 0xE5, 0});
        EXPECT_EQ(events(), want);
    }
}

TEST_F(AdBus, GainByteSelectsRegisterAndZero)
{
    struct Case {
        uint8_t gain, reg;
        double expect;
    };
    set_calibration(2048, 2050, 2060, kK);
    // result 0xC00 = 3072 digits
    const Case cases[] = {{1, 0xE0, 1024 * kK}, {10, 0xE1, 1022 * kK / 10}, {100, 0xE2, 1012 * kK / 100},
                          {16, 0xE0, 1024 * kK}, {0, 0xE0, 1024 * kK}};
    for (const Case& c : cases) {
        rec_.log.clear();
        rec_.script[0x378] = {0x01, 0xC0};
        EXPECT_NEAR(getADV(c.gain, 0xF0), c.expect, 1e-6) << int(c.gain);
        EXPECT_EQ(events().front(), (BusEvent{'w', c.reg, 0xF0})) << int(c.gain);
    }
}

TEST_F(AdBus, RefVoltageIsOneConversionOfFEhAtGainOne)
{
    set_calibration(2048, 0, 0, 0.0025f);
    rec_.script[0x378] = {0x01, 0xF5};   // 0xF50 = 3920 digits
    EXPECT_NEAR(GetADRefVoltage(), (3920 - 2048) * 0.0025, 1e-5);
    const std::vector<BusEvent> want = {{'w', 0xE0, 0xFE}, {'r', 0xE4, 0}, {'r', 0xE5, 0}};
    EXPECT_EQ(events(), want);
}

// Script for n conversions that all return their first status read ready.
void script_conversions(RecordingPort& rec, const std::vector<uint16_t>& values)
{
    for (uint16_t v : values) {
        rec.script[0x378].push_back(static_cast<uint8_t>(0x01 | ((v & 0x0F) << 4)));
        rec.script[0x378].push_back(static_cast<uint8_t>(v >> 4));
    }
}

TEST_F(AdBus, StatisticsLineOverPreRunAndMainRun)
{
    // pre-run mean 0x800; main run 7FEh 800h 803h 801h: two outliers beyond
    // +-1, average 2048.5 rounds up to 801h
    script_conversions(rec_, std::vector<uint16_t>(1999, 0x800));
    script_conversions(rec_, {0x801, 0x7FE, 0x800, 0x803, 0x801});
    EXPECT_EQ(getADmStat(1, 0xF0, 4), 0x801);
    EXPECT_EQ(testsupport::all_messages(), "Average: 801  Min: 7fe  Max: 803  Digit: 6  Samples > +-1: 2\n");
    EXPECT_EQ(rec_.slept_ms(), 1u);
    const auto ev = events();
    EXPECT_EQ(std::count(ev.begin(), ev.end(), BusEvent{'w', 0xE0, 0xF0}), 2001 + 4);
}

TEST_F(AdBus, TimeoutsCountInTheMeanAndTheStatistics)
{
    rec_.script[0x378] = {};
    rec_.default_read = 0x00;   // never ready
    EXPECT_DOUBLE_EQ(ad_read_mean(0xE0, 0xF0, 3), 65535.0);
    EXPECT_EQ(getADmStat(1, 0xF0, 2), 0xFFFF);
    EXPECT_EQ(testsupport::all_messages(), "Average: ffff  Min: ffff  Max: ffff  Digit: 1  Samples > +-1: 0\n");
}

// On the simulated box: the calibration is the box file's truth, so the
// measured volts must be the true input volts within the noise.
class AdBox : public LibraryTest {
protected:
    void start(const std::string& extra)
    {
        use_box("port_logic.loaded = yes\nadc.gain_error = 0.0018\n" + extra);
        bring_up();
        // converter: -10..10 V, zero +2.6 digits, gain error +0.18 %
        set_calibration(2048 + 2.6f, 2048 + 7.3f, 2048 + 21.8f, static_cast<float>(20.0 / 4096 / 1.0018));
    }
};

TEST_F(AdBox, MeanVoltsMatchTheTrueInputs)
{
    start("adc.in5 = dc 3.3\nadc.in0 = dc -7.25\nadc.in2 = dc 0.42\nadc.in3 = dc 0.061\n");
    EXPECT_NEAR(getADVm(1, 0xF5, 400), 3.3, 0.0015);
    EXPECT_NEAR(getADVm(1, 0xF0, 400), -7.25, 0.0015);
    EXPECT_NEAR(getADVm(1, 0x0F, 400), -7.25, 0.0015);   // exchanged code, same sign
    EXPECT_NEAR(getADVm(1, 0xFE, 400), 4.591, 0.0015);    // the box's reference voltage
    // gains 10 and 100 share the gain-1 slope; their amplifiers' own errors
    // (-0.25 %, +0.4 %) are what the box has
    EXPECT_NEAR(getADVm(10, 0xF2, 400), 0.42 * 0.9975, 0.0002);
    EXPECT_NEAR(getADVm(10, 0x2F, 400), 0.42 * 0.9975, 0.0002);
    EXPECT_NEAR(getADVm(100, 0xF3, 400), 0.061 * 1.004, 0.00003);
    EXPECT_FLOAT_EQ(getADV(100, 0xF5), 99.999f);          // 330 V at gain 100: out of range
}

TEST_F(AdBox, OutputAO1LoopsBackThroughMuxC)
{
    start("");
    for (uint16_t code : {0x200, 0x800, 0xC35}) {
        da_write(0xE8, code, 1);
        const double truth = box_->dac().ao_volts(1);
        EXPECT_NEAR(getADVm(1, 0xFC, 400), truth, 0.0015) << code;
        EXPECT_NEAR(getADVm(1, 0xCF, 400), truth, 0.0015) << code;
    }
}

TEST_F(AdBox, ConverterThatNeverGetsReadyGivesFFFFh)
{
    start("fault.adc_never_ready = yes\n");
    EXPECT_EQ(ad_read_raw(0xE0, 0xFE), kAdTimeout);
    EXPECT_GT(std::fabs(getADV(1, 0xFE)), 20.0f);   // far outside every range, as callers detect it
}

TEST_F(AdBox, StatisticsOfANoiselessInput)
{
    start("adc.noise = 0\nadc.in1 = dc 1.0\n");
    // 2048 + 2.6 + 1.0 V x 1.0018 x 204.8 = 2255.77 -> 8d0h
    EXPECT_EQ(getADmStat(1, 0xF1, 500), 0x8d0);
    EXPECT_EQ(getADmStat(1, 0xF1, 0), 0x8d0);   // n < 1 runs one conversion
    EXPECT_EQ(getADVm(1, 0xF1, -3), getADV(1, 0xF1));
    EXPECT_EQ(testsupport::all_messages(),
              "Average: 8d0  Min: 8d0  Max: 8d0  Digit: 1  Samples > +-1: 0\n"
              "Average: 8d0  Min: 8d0  Max: 8d0  Digit: 1  Samples > +-1: 0\n");
    EXPECT_EQ(box_->adc().conversions(), 2 * (1 + 2000) + 500 + 1 + 2);
}

}  // namespace
