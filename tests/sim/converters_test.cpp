// The simulated converters and reference sources, driven through their box
// registers only, checked against the box file's values.
#include <gtest/gtest.h>

#include "fixture.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sim/adc.h"
#include "sim/box.h"
#include "sim/dac.h"
#include "sim/digital_ports.h"
#include "sim/expansion_dac.h"
#include "sim/ref_sources.h"

namespace {

using testsupport::make_box;

// Starts a conversion, waits the conversion time and reads the 12-bit result.
uint16_t convert(tvsim::Box& box, uint8_t gain_reg, uint8_t mux)
{
    box.reg_write(gain_reg, mux);
    box.sleep_ns(20000);
    const uint8_t s = box.reg_read(0xE4);
    EXPECT_EQ(s & 0x01, 1);
    return static_cast<uint16_t>((s >> 4) | (box.reg_read(0xE5) << 4));
}

void ref_count(tvsim::Box& box, uint8_t control, uint8_t reg, uint16_t count)
{
    box.reg_write(0x17, control);
    box.reg_write(reg, static_cast<uint8_t>(count & 0xFF));
    box.reg_write(reg, static_cast<uint8_t>(count >> 8));
}

TEST(SimAdc, ReadyBitComesAfterTheConversionTimeAndHoldsTheResult)
{
    auto box = make_box("adc.noise = 0\nadc.gain_error = 0.0018\ntiming.conversion_ns = 8000\nadc.in2 = dc 1.25\n");
    box->reg_write(0xE0, 0xF2);
    EXPECT_EQ(box->reg_read(0xE4) & 0x01, 0);
    box->sleep_ns(7000);
    EXPECT_EQ(box->reg_read(0xE4) & 0x01, 0);
    box->sleep_ns(1000);
    const uint8_t s = box->reg_read(0xE4);
    ASSERT_EQ(s & 0x01, 1);
    // 2048 + 2.6 zero + 1.25 V x 1.0018 x 204.8 digits/V = 2307.06
    EXPECT_EQ((s >> 4) | (box->reg_read(0xE5) << 4), 2307);
}

TEST(SimAdc, NeverReadyFaultKeepsTheReadyBitLow)
{
    auto box = make_box("fault.adc_never_ready = yes\n");
    box->reg_write(0xE0, 0xFE);
    box->sleep_ns(1000000);
    EXPECT_EQ(box->reg_read(0xE4) & 0x01, 0);
}

// Ranges at gain 1, clipping, the differential multiplexer and the fixed
// inputs (E reference, F ground, C/D outputs), with noise off.
TEST(SimAdc, RangesMultiplexerAndClipping)
{
    struct Case {
        const char* range;
        uint8_t mux;
        double in0;       // volts on external input 0
        int expect;
    };
    const Case cases[] = {
        {"-10..10", 0xF0, 5.0, 2048 + 1024},
        {"-10..10", 0x0F, 5.0, 2048 - 1024},     // exchanged: as far below the zero
        {"-10..10", 0xFF, 5.0, 2048},
        {"-10..10", 0xF0, 10.5, 4095},
        {"-10..10", 0xF0, -10.5, 0},
        {"-5..5", 0xF0, 2.5, 2048 + 1024},
        {"0..10", 0xF0, 5.0, 2048},
        {"0..10", 0x0F, 5.0, 0},                 // negative in a unipolar range clips at 0
        {"0..5", 0xF0, 2.5, 2048},
        {"0..5", 0xF0, 6.0, 4095},
        {"-10..10", 0xFE, 0.0, 2048 + 1024},     // reference 5.0 V in this box
        {"-10..10", 0xEF, 0.0, 2048 - 1024},
        {"-10..10", 0xE0, 1.0, 1229},            // input 0 against the reference: 1 V - 5 V
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.range) + " mux " + std::to_string(c.mux));
        auto box = make_box(std::string("adc.noise = 0\nadc.zero1 = 0\nadc.gain_error = 0\nadc.reference = 5.0\n") +
                          "adc.range = " + c.range + "\nadc.in0 = dc " + std::to_string(c.in0) + "\n");
        EXPECT_EQ(convert(*box, 0xE0, c.mux), c.expect);
    }
}

TEST(SimAdc, GainsHaveTheirOwnZerosAndErrors)
{
    auto box = make_box("adc.noise = 0\nadc.zero1 = 3\nadc.zero10 = -6\nadc.zero100 = 20\nadc.gain_error = 0\n"
                      "adc.gain10_error = 0.01\nadc.gain100_error = -0.02\nadc.in1 = dc 0.05\n");
    EXPECT_EQ(convert(*box, 0xE0, 0xFF), 2051);
    EXPECT_EQ(convert(*box, 0xE1, 0xFF), 2042);
    EXPECT_EQ(convert(*box, 0xE2, 0xFF), 2068);
    // 0.05 V x 10 x 1.01 x 204.8 = 103.4; x 100 x 0.98 = 1003.5 (rounds half up)
    EXPECT_EQ(convert(*box, 0xE1, 0xF1), 2042 + 103);
    EXPECT_EQ(convert(*box, 0xE2, 0xF1), 2068 + 1004);
    // sample() is the same conversion, without the registers
    EXPECT_EQ(box->adc().sample(0xE1, 0xF1), 2042 + 103);
}

TEST(SimAdc, SignalsFollowVirtualTime)
{
    auto box = make_box("adc.in3 = sine 1.0 2.0 50\nadc.in4 = square 0.5 1.5 1000\n");
    auto& adc = box->adc();
    const uint64_t t0 = box->now_ns();
    const uint64_t period = 20000000;   // 50 Hz
    box->sleep_ns(period - t0 % period + period / 4);   // a quarter period in: the crest
    EXPECT_NEAR(adc.input_volts(3), 3.0, 1e-6);
    box->sleep_ns(period / 2);
    EXPECT_NEAR(adc.input_volts(3), -1.0, 1e-6);
    // square: 1 ms period, high for the first half
    box->sleep_ns(1000000 - box->now_ns() % 1000000 + 100000);
    EXPECT_DOUBLE_EQ(adc.input_volts(4), 2.0);
    box->sleep_ns(500000);
    EXPECT_DOUBLE_EQ(adc.input_volts(4), -1.0);
}

TEST(SimAdc, NoiseIsSeededAndOfTheGivenSize)
{
    const std::string text = "seed = 7\nadc.noise = 1.5\nadc.gain_error = 0.0018\nadc.in0 = dc 1.0\n";
    auto a = make_box(text);
    auto b = make_box(text);
    std::vector<int> va, vb;
    double sum = 0, sq = 0;
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        va.push_back(convert(*a, 0xE0, 0xF0));
        vb.push_back(convert(*b, 0xE0, 0xF0));
        sum += va.back();
        sq += double(va.back()) * va.back();
    }
    EXPECT_EQ(va, vb);
    const double mean = sum / n;
    const double rms = std::sqrt(sq / n - mean * mean);
    EXPECT_NEAR(rms, 1.5, 0.15);
    EXPECT_NEAR(mean, 2048 + 2.6 + 1.0 * 1.0018 * 204.8, 0.15);
}

TEST(SimAdc, BadSignalIsABoxFileError)
{
    std::string error;
    EXPECT_EQ(tvsim::Box::from_text("adc.in2 = ramp 1 2\n", &error), nullptr);
    EXPECT_NE(error.find("adc.in2"), std::string::npos) << error;
    EXPECT_EQ(tvsim::Box::from_text("adc.in2 = sine 1 2\n", &error), nullptr);
}

TEST(SimDac, CodesTakeEffectAtTheUpdateReadInEachRange)
{
    struct Case {
        const char* range;
        double at600h;   // ideal volts at code 600h
    };
    const Case cases[] = {{"0..10", 3.75}, {"0..-10", -3.75}, {"-10..10", -2.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        auto box = make_box(std::string("dac.ao1_range = ") + c.range + "\ndac.ao2_range = " + c.range +
                          "\ndac.ao1_offset = 0.01\ndac.ao1_gain_error = 0.002\n"
                          "dac.ao2_offset = 0\ndac.ao2_gain_error = 0\n");
        const double before = box->dac().ao_volts(1);
        box->reg_write(0xE8, 0x00);
        box->reg_write(0xE9, 0x06);
        box->reg_write(0xEA, 0x00);
        box->reg_write(0xEB, 0x06);
        EXPECT_EQ(box->dac().ao_volts(1), before);   // not yet: no update read
        (void)box->reg_read(0xEC);
        EXPECT_EQ(box->dac().code(1), 0x600);
        EXPECT_NEAR(box->dac().ao_volts(1), c.at600h * 1.002 + 0.01, 1e-9);
        EXPECT_NEAR(box->dac().ao_volts(2), c.at600h, 1e-9);
        // the A/D sees them on mux C and D
        EXPECT_NEAR(box->adc().mux_volts(0xFC), box->dac().ao_volts(1), 1e-12);
        EXPECT_NEAR(box->adc().mux_volts(0xDF), -box->dac().ao_volts(2), 1e-12);
    }
}

TEST(SimExpansionDac, ChannelsAnswerOnlyWhileTheCardIsLoaded)
{
    for (bool loaded : {true, false}) {
        auto box = make_box(std::string("expansion.loaded = ") + (loaded ? "yes" : "no") + "\n");
        box->reg_write(0xCE, 0xFF);
        box->reg_write(0xCF, 0x0F);
        box->reg_write(0xC2, 0x00);
        box->reg_write(0xC3, 0x08);
        EXPECT_EQ(box->expansion_dac().code(8), 0);   // before the update read
        (void)box->reg_read(0xD0);
        EXPECT_EQ(box->expansion_dac().code(8), loaded ? 4095 : 0);
        EXPECT_EQ(box->expansion_dac().code(2), loaded ? 0x800 : 0);
        if (loaded) {
            EXPECT_DOUBLE_EQ(box->expansion_dac().volts(8), 10.0);
        }
    }
}

constexpr const char* kExactRefs = "refs.ref_2v5 = 2.5\nrefs.ref_10v = 10.0\nrefs.um_offset = 0\nrefs.um_slope = 0.0125\n";

TEST(SimRefSources, CountsSetTheSourcesAndTheComparatorsCompareUM)
{
    auto box = make_box(std::string(kExactRefs) + "refs.u0_offset = 0.1\nrefs.u0_slope = 0.01\n"
                      "refs.u1_offset = 0\nrefs.u1_slope = 0.02\n");
    auto& refs = box->refs();
    ref_count(*box, 0x32, 0x14, 300);   // U0 = 3.1 V
    ref_count(*box, 0x72, 0x15, 400);   // U1 = 8.0 V
    ref_count(*box, 0xB2, 0x16, 100);   // UM = 1.25 V
    EXPECT_EQ(refs.count(0), 300);
    EXPECT_EQ(refs.count(2), 100);
    EXPECT_EQ(refs.mode(1), 1);
    box->sleep_ns(100000000);
    EXPECT_NEAR(refs.u0_volts(), 3.1, 1e-6);
    EXPECT_NEAR(refs.u1_volts(), 8.0, 1e-6);
    EXPECT_NEAR(refs.um_volts(), 1.25, 1e-6);

    struct Step {
        uint16_t um;
        uint8_t bits;   // comparator bits 10h 20h 40h 80h (supply left out)
    };
    // UM 2.4875, 2.5125, 3.1125, 8.0125, 10.0125 V
    const Step steps[] = {{199, 0x00}, {201, 0x10}, {249, 0x50}, {641, 0xD0}, {801, 0xF0}};
    for (const Step& s : steps) {
        ref_count(*box, 0xB2, 0x16, s.um);
        box->sleep_ns(8000000);
        EXPECT_EQ(box->reg_read(0x12) & 0xF0, s.bits) << "UM count " << s.um;
    }
}

TEST(SimRefSources, SourcesSettleWellWithinThePausesOfTheLibrary)
{
    auto box = make_box(kExactRefs);
    auto& refs = box->refs();
    ref_count(*box, 0xB2, 0x16, 800);
    box->sleep_ns(1000);
    EXPECT_LT(refs.um_volts(), 1.0);            // a fresh step has not arrived yet
    box->sleep_ns(8000000);
    EXPECT_NEAR(refs.um_volts(), 10.0, 1e-4);   // 8 ms later it has
    ref_count(*box, 0x32, 0x14, 900);
    box->sleep_ns(20000000);
    EXPECT_GT(std::fabs(refs.u0_volts() - (0.012 + 0.011 * 900)), 1e-3);   // U0 is slower ...
    box->sleep_ns(50000000);
    EXPECT_NEAR(refs.u0_volts(), 0.012 + 0.011 * 900, 1e-4);               // ... but in 70 ms
}

TEST(SimRefSources, StoppedCounterAndRailLimitTheSources)
{
    auto box = make_box(std::string(kExactRefs) + "refs.rail = 12\n");
    ref_count(*box, 0xB2, 0x16, 2000);          // 25 V asked, rail at 12 V
    box->sleep_ns(10000000);
    EXPECT_NEAR(box->refs().um_volts(), 12.0, 1e-6);
    ref_count(*box, 0xB0, 0x16, 1);             // mode 0, as the shutdown stops it
    box->sleep_ns(10000000);
    EXPECT_EQ(box->refs().mode(2), 0);
    EXPECT_NEAR(box->refs().um_volts(), 0.0, 1e-6);
    // counter 2 as the sampling clock: mode 2
    ref_count(*box, 0xB4, 0x16, 50);
    EXPECT_EQ(box->refs().mode(2), 2);
    EXPECT_EQ(box->refs().count(2), 50);
}

// The supply reaches its comparator through the divider of the family and
// revision; later revisions switch it in with P0 bit 7.
TEST(SimRefSources, SupplyDividerPerFamilyAndRevision)
{
    struct Case {
        const char* box;
        uint8_t p0;
        double seen;
    };
    const Case cases[] = {
        {"box.family = older\nrefs.supply = 15\n", 0x00, 15.0},
        {"refs.supply = 12\neeprom.device_class = 1000h\n", 0x00, 12.0 / 4.404},
        {"refs.supply = 12\neeprom.device_class = 1001h\n", 0x00, 8.0},
        {"refs.supply = 12\neeprom.device_class = 1002h\n", 0x80, 12.0 / 4.404},
        {"refs.supply = 12\neeprom.device_class = 1002h\n", 0x00, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        auto box = make_box(c.box);
        box->reg_write(0x10, c.p0);
        EXPECT_NEAR(box->refs().supply_seen(), c.seen, 1e-9);
        // the comparator switches where UM passes it
        const double slope = box->newer_family() ? 0.0125 : 0.0180;
        const uint16_t below = static_cast<uint16_t>((c.seen - 0.004) / slope - 1);
        if (c.seen > 0.1) {
            ref_count(*box, 0xB2, 0x16, below);
            box->sleep_ns(8000000);
            EXPECT_EQ(box->reg_read(0x12) & 0x01, 0);
            ref_count(*box, 0xB2, 0x16, static_cast<uint16_t>(below + 2));
            box->sleep_ns(8000000);
            EXPECT_EQ(box->reg_read(0x12) & 0x01, 1);
        } else {
            ref_count(*box, 0xB2, 0x16, 1);
            box->sleep_ns(8000000);
            EXPECT_EQ(box->reg_read(0x12) & 0x01, 1);
        }
    }
}

TEST(SimRefSources, OlderFamilyHasAFixedU1)
{
    auto box = make_box("box.family = older\nrefs.u1_fixed = 14.9\n");
    ref_count(*box, 0x72, 0x15, 100);
    box->sleep_ns(100000000);
    EXPECT_DOUBLE_EQ(box->refs().u1_volts(), 14.9);
}

}  // namespace
