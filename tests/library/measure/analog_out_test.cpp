// Analog outputs and reference sources: exact codes and bus traffic on a
// recording port, and the reference calibration on the simulated box
// against the box file's true sources.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "bus_events.h"
#include "fixture.h"
#include "link/state.h"
#include "measure/analog_out.h"
#include "sim/box.h"
#include "sim/dac.h"
#include "sim/digital_ports.h"
#include "sim/expansion_dac.h"
#include "sim/ref_sources.h"
#include "tarvenix.h"

using testsupport::LibraryTest;

namespace {

static_assert(std::bit_cast<uint32_t>(kKestelCodesPerVolt) == 0x434CC00Eu);

class OutBus : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        use_recorder_at(0xA4, 1);
    }
    std::vector<BusEvent> events() const { return bus_events(rec_.log, 0x378); }
};

TEST_F(OutBus, PutDAVoltCodesClampingAndRefusals)
{
    struct Case {
        uint8_t output;
        double quotient;   // (V - Lc) / volts per digit
        uint8_t update;
        int32_t result;
        int code;          // -1: nothing written
    };
    const Case cases[] = {
        {1, 4095.4, 0, 0, 4095}, {1, 4095.6, 0, 1, 4095}, {2, 2047.7, 1, 0, 2048},
        {1, -1.4, 1, 0, 0},      // truncation toward zero: no clamp above -1.5
        {1, -1.6, 1, 1, 0},      {2, 100000.0, 0, 1, 4095}, {3, 10.0, 1, 1, -1},
        {0, 10.0, 1, 1, -1},
    };
    g_dev.DA0Lc = -10.02f;
    g_dev.DA0VoltProDigit = 0.0048f;
    g_dev.DA1Lc = 0.013f;
    g_dev.DA1VoltProDigit = -0.00245f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quotient);
        rec_.log.clear();
        const float lc = c.output == 2 ? g_dev.DA1Lc : g_dev.DA0Lc;
        const float vpd = c.output == 2 ? g_dev.DA1VoltProDigit : g_dev.DA0VoltProDigit;
        const float volts = static_cast<float>(lc + c.quotient * vpd);
        EXPECT_EQ(putDAVolt(c.output, volts, c.update), c.result);
        std::vector<BusEvent> want;
        if (c.code >= 0) {
            const uint8_t reg = c.output == 2 ? 0xEA : 0xE8;
            want = {{'w', reg, static_cast<uint8_t>(c.code & 0xFF)},
                    {'w', static_cast<uint8_t>(reg + 1), static_cast<uint8_t>(c.code >> 8)}};
            if (c.update)
                want.push_back({'r', 0xEC, 0});
        }
        EXPECT_EQ(events(), want);
    }
    g_dev.DA0VoltProDigit = 0.0f;   // output not calibrated
    rec_.log.clear();
    EXPECT_EQ(putDAVolt(1, 1.0f, 1), 1);
    EXPECT_TRUE(events().empty());
}

TEST_F(OutBus, ExpansionChannelsUseTheFloatScale)
{
    struct Case {
        int32_t channel;
        float volts;
        uint8_t update;
        uint8_t reg;
        int code;   // -1: nothing written
    };
    const Case cases[] = {
        {8, 10.0f, 1, 0xCE, 4095}, {1, -10.0f, 1, 0xC0, 0}, {3, 0.0f, 0, 0xC4, 2048},
        {2, 25.0f, 1, 0xC2, 4095}, {2, -11.0f, 1, 0xC2, 0},
        // -5 uV separates the float scale from 204.75: 2048.0011 against 2047.9990
        {4, -0.000005f, 1, 0xC6, 2048}, {0, 1.0f, 1, 0, -1}, {9, 1.0f, 1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        rec_.log.clear();
        BcKestel1putDAVolt(c.channel, c.volts, c.update);
        std::vector<BusEvent> want;
        if (c.code >= 0) {
            want = {{'w', c.reg, static_cast<uint8_t>(c.code & 0xFF)},
                    {'w', static_cast<uint8_t>(c.reg + 1), static_cast<uint8_t>(c.code >> 8)}};
            if (c.update)
                want.push_back({'r', 0xD0, 0});
        }
        EXPECT_EQ(events(), want);
    }
}

TEST_F(OutBus, SettingTheSourcesWritesTheirCounters)
{
    g_dev.U0_1 = 0.02f;
    g_dev.U0_m = 0.01f;
    g_dev.U1_1 = 0.0f;
    g_dev.U1_m = 0.0001f;
    g_dev.UM_1 = 0.0125f;
    g_dev.UM_m = 0.0125f;
    EXPECT_EQ(U0(5.0f), 499);     // (5 - 0.02) / 0.01 + 1 = 499
    EXPECT_EQ(U0(0.02f), 1);      // at the 1-point ...
    EXPECT_EQ(U0(-3.0f), 1);      // ... and below: count 1
    EXPECT_EQ(U1(10.0f), 34465);  // 100001 written modulo 65536
    EXPECT_EQ(UM(2.51f), 200);
    const std::vector<BusEvent> want = {
        {'w', 0x17, 0x32}, {'w', 0x14, 0xF3}, {'w', 0x14, 0x01}, {'w', 0x17, 0x32}, {'w', 0x14, 0x01},
        {'w', 0x14, 0x00}, {'w', 0x17, 0x32}, {'w', 0x14, 0x01}, {'w', 0x14, 0x00}, {'w', 0x17, 0x72},
        {'w', 0x15, 0xA1}, {'w', 0x15, 0x86}, {'w', 0x17, 0xB2}, {'w', 0x16, 0xC8}, {'w', 0x16, 0x00},
    };
    EXPECT_EQ(events(), want);

    // IT1 threshold through U0: 10 V -> 3.776435 V (newer), 7.55287 V (older)
    g_dev.U0_1 = 0.0f;
    g_dev.rev_dev = 0x1000;
    EXPECT_EQ(SetIT1Volt(10.0f), 378);
    g_dev.rev_dev = 0x12;
    EXPECT_EQ(SetIT1Volt(10.0f), 756);

    // uncalibrated sources are not written
    rec_.log.clear();
    g_dev.U0_m = g_dev.U1_m = g_dev.UM_m = 0.0f;
    EXPECT_EQ(U0(1.0f), 0);
    EXPECT_EQ(U1(1.0f), 0);
    EXPECT_EQ(UM(1.0f), 0);
    EXPECT_EQ(SetIT1Volt(1.0f), 0);
    EXPECT_TRUE(events().empty());
}

TEST_F(OutBus, RefSearchIsTenTrialsWithEightMsEach)
{
    // comparator answers for the trials 512, 256+..., polarity 0: keep on 0
    rec_.script[0x378] = {0x10, 0x00, 0x10, 0x00, 0x00, 0x10, 0x10, 0x00, 0x10, 0x00};
    EXPECT_EQ(ref_search(0x12, 0x10, 0), 256 + 64 + 32 + 4 + 1);
    // each trial: control B2h to 17h, the UM count to 16h low then high, one read of 12h
    const auto ev = events();
    ASSERT_EQ(ev.size(), 40u);
    std::vector<uint16_t> trials;
    for (size_t i = 0; i < ev.size(); i += 4) {
        EXPECT_EQ(ev[i], (BusEvent{'w', 0x17, 0xB2}));
        EXPECT_EQ(ev[i + 1].reg, 0x16);
        EXPECT_EQ(ev[i + 3], (BusEvent{'r', 0x12, 0}));
        trials.push_back(static_cast<uint16_t>(ev[i + 1].value | (ev[i + 2].value << 8)));
    }
    const std::vector<uint16_t> want = {512, 256, 384, 320, 352, 368, 360, 356, 358, 357};
    EXPECT_EQ(trials, want);
    EXPECT_EQ(rec_.slept_ms(), 80u);

    // polarity 1 keeps a step when the bit is set
    rec_.log.clear();
    rec_.script[0x378] = {0x10, 0x00, 0x10, 0x00, 0x00, 0x10, 0x10, 0x00, 0x10, 0x00};
    EXPECT_EQ(ref_search(0x12, 0x10, 1), 512 + 128 + 16 + 8 + 2);
}

TEST_F(OutBus, ShowDARefValuesLines)
{
    g_dev.R_UM_2V5 = 200;
    g_dev.R_UM_10V = 801;
    g_dev.UM_1 = 0.0125f;
    g_dev.UM_m = 0.0124792f;
    g_dev.U0_1 = 0.021f;
    g_dev.U0_m = 0.011f;
    g_dev.U1_1 = -0.0005f;
    g_dev.U1_m = 0.0106f;
    EXPECT_EQ(ShowDARefValues(1), 0);
    EXPECT_EQ(ShowDARefValues(0), 0);
    EXPECT_EQ(testsupport::all_messages(),
              "R_UM_2V5, R_UM_10V,  UM_1,    UM_m,   U0_1,    U0_m,   U1_1,    U1_m\n"
              "200       801        0.013   0.012   0.021   0.011   -0.001   0.011\n"
              "200       801        0.013   0.012   0.021   0.011   -0.001   0.011\n");
}

TEST_F(OutBus, InitDaWithoutABoxFailsTheRatioTest)
{
    // nothing answers: every comparator bit reads set, both searches give 0
    rec_.default_read = 0xFF;
    EXPECT_EQ(init_da(15.0f), 1);
    EXPECT_EQ(g_dev.R_UM_2V5, 0);
    EXPECT_EQ(g_dev.UM_m, 0.0f);
}

// The simulated box: truths from the box file.
class RefBox : public LibraryTest {
protected:
    void start(const std::string& extra)
    {
        use_box("port_logic.loaded = yes\n" + extra);
        bring_up();
    }
};

constexpr const char* kExactRefs = "refs.ref_2v5 = 2.5\nrefs.ref_10v = 10.0\n";

TEST_F(RefBox, SearchBounds)
{
    start("refs.ref_10v = 30\nrefs.ref_2v5 = -1\n");
    EXPECT_EQ(ref_search(0x12, 0x20, 0), 1023);   // UM never reaches 30 V: bit never set
    EXPECT_EQ(ref_search(0x12, 0x10, 0), 0);      // always above -1 V: bit always set
    EXPECT_EQ(box_->refs().count(2), 1);          // UM left at the last trial
}

// init_da recovers the true lines of UM, U0 and U1 (voltage at count 1 and
// volts per count) within the UM quantisation, and leaves the sources at 0 V.
TEST_F(RefBox, InitDaRecoversTheTrueSources)
{
    struct Case {
        const char* box;
        double um_off, um_slope, u0_off, u0_slope, u1_off, u1_slope;   // u1_slope 0: fixed U1
    };
    const Case cases[] = {
        {"refs.um_offset = 0.004\nrefs.um_slope = 0.0125\nrefs.u0_offset = 0.012\nrefs.u0_slope = 0.011\n"
         "refs.u1_offset = -0.008\nrefs.u1_slope = 0.0105\n",
         0.004, 0.0125, 0.012, 0.011, -0.008, 0.0105},
        {"refs.um_offset = -0.03\nrefs.um_slope = 0.0131\nrefs.u0_offset = -0.3\nrefs.u0_slope = 0.0097\n"
         "refs.u1_offset = 0.05\nrefs.u1_slope = 0.0139\n",
         -0.03, 0.0131, -0.3, 0.0097, 0.05, 0.0139},
        {"box.family = older\nrefs.um_offset = 0.01\nrefs.um_slope = 0.018\nrefs.u0_offset = 0.02\n"
         "refs.u0_slope = 0.0155\nrefs.u1_fixed = 15.3\n",
         0.01, 0.018, 0.02, 0.0155, 15.3, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        start(std::string(kExactRefs) + c.box);
        if (!box_->newer_family())
            g_dev.rev_dev = 0x12;
        EXPECT_EQ(init_da(15.0f), 0);
        const double q = c.um_slope;   // one UM count
        EXPECT_NEAR(g_dev.UM_m, c.um_slope, c.um_slope * 2.0 / (g_dev.R_UM_10V - g_dev.R_UM_2V5));
        EXPECT_NEAR(g_dev.UM_1, c.um_off + c.um_slope + 0.5 * q, 0.6 * q);   // biased up by up to a count
        EXPECT_NEAR(g_dev.U0_m, c.u0_slope, 1e-4);
        EXPECT_NEAR(g_dev.U0_1, c.u0_off + c.u0_slope, 3 * q);
        if (c.u1_slope > 0) {
            EXPECT_NEAR(g_dev.U1_m, c.u1_slope, 1e-4);
            EXPECT_NEAR(g_dev.U1_1, c.u1_off + c.u1_slope, 3 * q);
        } else {
            EXPECT_EQ(g_dev.U1_m, 0.0f);
            EXPECT_NEAR(g_dev.U1_1, c.u1_off, 3 * q);
        }
        // the sources end at their 0 V counts
        EXPECT_NEAR(box_->refs().um_volts(), 0.0, 2 * q);
        EXPECT_NEAR(box_->refs().u0_volts(), std::max(0.0, c.u0_off + c.u0_slope), 2 * c.u0_slope);
        TearDown();
        SetUp();
    }
}

TEST_F(RefBox, InitDaFailuresEachFromABoxFile)
{
    struct Case {
        const char* what;
        const char* box;
        int32_t result;
    };
    const Case cases[] = {
        {"UM offset moves the 2.5 V code: ratio 8.5", "refs.um_offset = 1.5\n", 1},
        {"UM offset low: ratio below 3", "refs.um_offset = -2.0\n", 1},
        {"U0 dead (slope 0)", "refs.u0_slope = 0\n", 2},
        {"U1 steeper than 0.028 V per count",
         "refs.um_slope = 0.04\nrefs.rail = 45\nrefs.u1_slope = 0.03\n", 2},
        {"U0 1-point above 0.11 V", "refs.u0_offset = 0.2\n", 2},
        {"U1 1-point below -0.5 V", "refs.u1_offset = -0.6\n", 2},
        {"older family, fixed U1 below the window", "box.family = older\nrefs.u1_fixed = 14.3\n", 2},
        {"older family, fixed U1 above the window", "box.family = older\nrefs.u1_fixed = 16.4\n", 2},
        {"older family, fixed U1 inside the window", "box.family = older\nrefs.u1_fixed = 16.1\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(std::string(kExactRefs) + c.box);
        if (!box_->newer_family())
            g_dev.rev_dev = 0x12;
        const uint64_t t0 = box_->now_ns();
        EXPECT_EQ(init_da(15.0f), c.result);
        // a failing calibration is tried three times: each pass takes at
        // least its ten-step searches (80 ms each)
        const double passes_ms = (box_->now_ns() - t0) / 1e6;
        if (c.result == 1) {
            EXPECT_NEAR(passes_ms, 3 * 160, 20);
        } else if (c.result == 2) {
            EXPECT_GT(passes_ms, 3 * (5 * 80 + 3 * 70));
        } else {
            EXPECT_LT(passes_ms, 6 * 80 + 5 * 70 + 50);
        }
        TearDown();
        SetUp();
    }
}

TEST_F(RefBox, SupplyVoltagePerFamilyAndRevision)
{
    struct Case {
        const char* box;
        uint16_t rev;
        double supply;
        double tolerance;   // one UM count through the divider
    };
    const Case cases[] = {
        {"refs.supply = 12.3\neeprom.device_class = 1000h\n", 0x1000, 12.3, 0.0125 * 4.404},
        {"refs.supply = 9.1\neeprom.device_class = 1001h\n", 0x1001, 9.1, 0.0125 * 1.5},
        {"refs.supply = 24.0\neeprom.device_class = 1002h\n", 0x1002, 24.0, 0.0125 * 4.404},
        {"box.family = older\nrefs.supply = 15.2\n", 0x12, 15.2, 0.018},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        start(std::string(kExactRefs) + c.box);
        g_dev.rev_dev = c.rev;
        ASSERT_EQ(init_da(15.0f), 0);
        outbyte(0x10, 0xAF);
        const float v = GetUDC();
        EXPECT_GE(v, c.supply - 0.2 * c.tolerance);   // the search ends on the count above
        EXPECT_LE(v, c.supply + 2.2 * c.tolerance);
        // later revisions switch the divider with P0 bit 7 and leave P0 at 00h
        EXPECT_EQ(box_->digital().p0(), c.rev > 0x1001 ? 0x00 : 0xAF);
        TearDown();
        SetUp();
    }
}

TEST_F(RefBox, OutputsReachTheirCalibratedVolts)
{
    start("dac.ao1_range = 0..10\ndac.ao1_offset = 0.012\ndac.ao1_gain_error = 0.003\n");
    // calibration from the box file's truth: AO1 0..10 V, AO2 -10..10 V with its default errors
    g_dev.DA0Lc = 0.012f;
    g_dev.DA0VoltProDigit = static_cast<float>(10.0 / 4096 * 1.003);
    g_dev.DA1VoltProDigit = static_cast<float>(20.0 / 4096 * (1 + 0.0021));
    g_dev.DA1Lc = static_cast<float>(-10.0 * (1 + 0.0021) - 0.0062);
    EXPECT_EQ(putDAVolt(1, 6.5f, 0), 0);
    EXPECT_EQ(putDAVolt(2, -3.3f, 1), 0);   // one update read makes both effective
    EXPECT_NEAR(box_->dac().ao_volts(1), 6.5, 0.5 * 10.0 / 4096 * 1.003 + 1e-6);
    EXPECT_NEAR(box_->dac().ao_volts(2), -3.3, 0.5 * 20.0 / 4096 * 1.0021 + 1e-6);
    EXPECT_EQ(putDAVolt(1, -0.5f, 1), 1);   // below a unipolar output's range: clamped to code 0
    EXPECT_EQ(box_->dac().code(1), 0);
}

TEST_F(RefBox, ExpansionChannelsOnTheLoadedCard)
{
    start("expansion.loaded = yes\n");
    BcKestel1putDAVolt(8, 10.0f, 0);
    BcKestel1putDAVolt(5, -2.5f, 1);
    EXPECT_EQ(box_->expansion_dac().code(8), 4095);
    EXPECT_NEAR(box_->expansion_dac().volts(5), -2.5, 10.0 / 4095);
}

}  // namespace
