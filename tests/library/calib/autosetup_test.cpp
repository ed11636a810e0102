// The automatic setup against simulated boxes: found, tuned, calibrated
// against the box file's truth, stored, and brought back by a fresh library
// state with InitTarvenixDevice. Then the ways it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "calib/adjust.h"
#include "fixture.h"
#include "host_hooks.h"
#include "link/backend_sim.h"
#include "link/state.h"
#include "sim/adc.h"
#include "sim/box.h"
#include "sim/dac.h"
#include "sim/eeprom24c02.h"
#include "tarvenix.h"
#include "tee_port.h"

using testsupport::g_host;
using testsupport::g_messages;

namespace {

constexpr uint32_t kFixedTime = 0x5F5E1234;   // time stamps are reproducible

// Converter truth written into every box file, so that the checks below
// compare with the file and not with what the library computed.
struct Truth {
    double reference = 4.5937;      // adc.reference, also stored in the EEPROM
    double zero1 = 2.6, zero10 = 7.3, zero100 = 21.8;   // digits above the nominal zero
    double ad_gain_error = -0.0040; // a converter a little wider than its jumper range
    double ao_offset[2] = {0.0085, -0.0062};
    double ao_gain_error[2] = {0.0012, 0.0021};
};

struct Row {
    const char* name;
    bool newer;
    uint16_t port;
    const char* ad;      // adc.range
    uint16_t outputs;    // expected high nibble: 10h, 30h, 50h, 90h, D0h
    bool card;
    bool byte_link;      // bidirectional port: 8-bit link; else nibble only
    bool search;
    float ref_given;     // *ref_volts on entry
};

const char* ao_range(uint16_t outputs, int ao)
{
    switch (outputs) {
    case 0x10: return "0..10";
    case 0x30: return "0..-10";
    case 0x50: return ao == 1 ? "-10..10" : "0..10";
    case 0x90: return ao == 1 ? "0..10" : "-10..10";
    default: return "-10..10";
    }
}

uint16_t ad_code(const char* ad)
{
    if (std::strcmp(ad, "0..5") == 0)
        return 2;
    if (std::strcmp(ad, "0..10") == 0)
        return 3;
    if (std::strcmp(ad, "-5..5") == 0)
        return 4;
    return 5;
}

// Volts of the A/D input range at gain 1 (low, span) as the jumper names it.
void ad_span(const char* ad, double* low, double* span)
{
    switch (ad_code(ad)) {
    case 2: *low = 0; *span = 5; break;
    case 3: *low = 0; *span = 10; break;
    case 4: *low = -5; *span = 10; break;
    default: *low = -10; *span = 20; break;
    }
}

// Ideal output line of a jumper range: volts at code 0, volts per code.
void ao_line(const char* range, double* low, double* step)
{
    if (std::strcmp(range, "0..10") == 0) {
        *low = 0; *step = 10.0 / 4096;
    } else if (std::strcmp(range, "0..-10") == 0) {
        *low = 0; *step = -10.0 / 4096;
    } else {
        *low = -10; *step = 20.0 / 4096;
    }
}

std::string port_kind_lines(uint16_t box_port, bool byte_link)
{
    std::string s;
    char line[64];
    for (uint16_t p : {0x3BC, 0x378, 0x278}) {
        // the other standard addresses have no port, except 3BCh below a box at
        // 378h, which is a port without a box (the search must skip it)
        const char* kind = p == box_port ? (byte_link ? "bidir" : "output")
                                         : (p == 0x3BC && box_port == 0x378 ? "bidir" : "none");
        std::snprintf(line, sizeof line, "port.%X = %s\n", p, kind);
        s += line;
    }
    return s;
}

std::string box_text(const Row& r, const Truth& t)
{
    char buf[2048];
    std::snprintf(buf, sizeof buf,
                  "box.port = %Xh\n"
                  "box.family = %s\n"
                  "%s"
                  "expansion.present = %s\n"
                  "adc.range = %s\n"
                  "adc.reference = %.4f\n"
                  "adc.zero1 = %.3f\nadc.zero10 = %.3f\nadc.zero100 = %.3f\n"
                  "adc.gain_error = %.5f\n"
                  "dac.ao1_range = %s\ndac.ao2_range = %s\n"
                  "dac.ao1_offset = %.4f\ndac.ao2_offset = %.4f\n"
                  "dac.ao1_gain_error = %.5f\ndac.ao2_gain_error = %.5f\n"
                  "timing.settle_ns = 600\n",
                  r.port, r.newer ? "newer" : "older", port_kind_lines(r.port, r.byte_link).c_str(),
                  r.card ? "yes" : "no", r.ad, t.reference, t.zero1, t.zero10, t.zero100, t.ad_gain_error,
                  ao_range(r.outputs, 1), ao_range(r.outputs, 2), t.ao_offset[0], t.ao_offset[1],
                  t.ao_gain_error[0], t.ao_gain_error[1]);
    std::string s = buf;
    if (r.newer) {
        std::snprintf(buf, sizeof buf, "eeprom.ref_voltage = %.4f\n", t.reference);
        s += buf;
    } else {
        s += "box.device_code = 12h\n";
    }
    return s;
}

const char* ad_line(uint16_t code)
{
    switch (code & 0x0F) {
    case 2: return "-> A/D Jumper-Settings, Input-Range:  0V....+5V at Gain=1\n";
    case 3: return "-> A/D Jumper-Settings, Input-Range:  0V...+10V at Gain=1\n";
    case 4: return "-> A/D Jumper-Settings, Input-Range:  -5V....+5V at Gain=1\n";
    default: return "-> A/D Jumper-Settings, Input-Range:  -10V...+10V at Gain=1\n";
    }
}

const char* da_line_text(uint16_t outputs)
{
    switch (outputs) {
    case 0x10: return "-> D/A Jumper-Settings, Output-Range:  AO1 0V..+10V   AO2 0V..+10V\n";
    case 0x30: return "-> D/A Jumper-Settings, Output-Range:  AO1 0V..-10V   AO2 0V..-10V\n";
    case 0x50: return "-> D/A Jumper-Settings, Output-Range:  AO1 -10V..+10V   AO2 0V..+10V\n";
    case 0x90: return "-> D/A Jumper-Settings, Output-Range:  AO1 0V..+10V   AO2 -10V..+10V\n";
    default: return "-> D/A Jumper-Settings, Output-Range:  AO1 -10V..+10V   AO2 -10V..+10V\n";
    }
}

std::string port_hex(uint16_t p)
{
    char b[8];
    std::snprintf(b, sizeof b, "%X", p);
    return b;
}

// The number in a message matching re (first group), or NaN.
double number_in(const std::string& text, const std::regex& re)
{
    std::smatch m;
    return std::regex_match(text, m, re) ? std::stod(m[1].str()) : std::nan("");
}

std::vector<std::string> file_lines(const std::string& content)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        const size_t e = content.find('\n', pos);
        lines.push_back(content.substr(pos, e == std::string::npos ? std::string::npos : e + 1 - pos));
        pos = e == std::string::npos ? content.size() : e + 1;
    }
    return lines;
}

template <typename T>
T ee_value(tvsim::Box& box, int offset)
{
    uint8_t b[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        b[i] = box.eeprom().cell(offset + static_cast<int>(i));
    T v;
    std::memcpy(&v, b, sizeof v);
    return v;
}

class AutoSetupTest : public testsupport::LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        char t[16];
        std::snprintf(t, sizeof t, "%u", kFixedTime);
        setenv("TARVENIX_FIXED_TIME", t, 1);
    }
    void TearDown() override
    {
        unsetenv("TARVENIX_FIXED_TIME");
        LibraryTest::TearDown();
    }

    // The next process: library state as at load, registered again, the
    // same box still powered.
    void fresh_library()
    {
        testsupport::reset_state(dir_.path());
        ASSERT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
        g_messages.clear();
    }

    int32_t run(int32_t search, int32_t* port, float* ref)
    {
        const uint64_t t0 = box_->now_ns();
        const auto w0 = std::chrono::steady_clock::now();
        const int32_t r = AutoSetup(search, 1, port, ref);
        wall_ms_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count();
        virtual_s_ = static_cast<double>(box_->now_ns() - t0) * 1e-9;
        return r;
    }

    double wall_ms_ = 0;
    double virtual_s_ = 0;
};

// ---- the table of boxes that must set up and come back ----

class AutoSetupBoxes : public AutoSetupTest, public testing::WithParamInterface<Row> {};

TEST_P(AutoSetupBoxes, SetsUpCalibratesStoresAndInitialisesAgain)
{
    const Row& r = GetParam();
    // an older box without a given value runs on the default reference:
    // give the simulated one exactly that, so the calibration can be exact
    const bool default_ref = !r.newer && r.ref_given == 0.0f;
    Truth t;
    if (default_ref)
        t.reference = 4.591;
    use_box(box_text(r, t));

    int32_t port = r.search ? 0 : r.port;
    float ref = r.ref_given;
    ASSERT_EQ(run(r.search ? 1 : 0, &port, &ref), 1) << testsupport::all_messages();
    std::printf("[ timing   ] %s: one AutoSetup %.0f ms wall, %.1f s virtual\n", r.name, wall_ms_, virtual_s_);

    // -- messages, in order
    std::vector<std::string> want = {"\n please wait...\n"};
    if (r.search) {
        for (uint16_t p : {0x3BC, 0x378, 0x278}) {
            want.push_back("Search device on I/O address " + port_hex(p) + "h ...");
            if (p == r.port)
                break;
            want.push_back(" --> not found\n");
        }
    } else {
        want.push_back("Search device on I/O address " + port_hex(r.port) + "h...");
    }
    want.push_back(" --> found\n");
    char line[200];
    if (r.newer) {
        std::snprintf(line, sizeof line, "-> Stored Reference Voltage: %.3fV\n", float(t.reference));
        want.push_back(line);
    } else if (default_ref) {
        want.push_back("-> WARNING, device version has no internal memory, not possible to do Auto-Setup\n");
        want.push_back("-> WARNING, re-run Setup and input reference voltage noted at bottom side of device\n");
        want.push_back("-> WARNING, reference voltage parameter missing, set to default: 4.591V\n");
        want.push_back("-> WARNING, device not adjusted for max. performance\n");
    }
    const uint16_t code = static_cast<uint16_t>(r.outputs | ad_code(r.ad));
    want.push_back(ad_line(code));
    want.push_back(da_line_text(r.outputs));
    if (r.byte_link)
        want.push_back("-> data transfer 8-Bit bi-directional mode\n");
    // the supply voltage and the elapsed time are checked by value below
    const std::regex supply_re("-> Device supply voltage UDC\\+: ([0-9]+\\.[0-9]{2}) Volt\n");
    const std::regex elapsed_re("-> Elapsed time since start of setup: ([0-9]+) sec\n");
    size_t supply_at = 0, elapsed_at = 0;
    for (size_t i = 0; i < g_messages.size(); ++i) {
        if (std::regex_match(g_messages[i], supply_re))
            supply_at = i;
        if (std::regex_match(g_messages[i], elapsed_re))
            elapsed_at = i;
    }
    ASSERT_GT(supply_at, 0u) << testsupport::all_messages();
    ASSERT_GT(elapsed_at, 0u) << testsupport::all_messages();
    want.push_back(g_messages[supply_at]);
    if (r.card)
        want.push_back("-> Box Card Kestel-1 found and initialized\n");
    if (r.newer)
        want.push_back("-> EEProm setup data updated\n");
    want.push_back("-> Tarvenix OK\n");
    want.push_back(g_messages[elapsed_at]);
    want.push_back("-> OK\n");
    EXPECT_EQ(g_messages, want);
    const double supply = number_in(g_messages[supply_at], supply_re);
    EXPECT_NEAR(supply, r.newer ? 12.0 : 15.0, 0.15);   // the simulated supply of each family
    const double elapsed = number_in(g_messages[elapsed_at], elapsed_re);
    EXPECT_LE(elapsed, virtual_s_);
    EXPECT_GE(elapsed, std::floor(virtual_s_) - 1);

    // -- what the call leaves
    EXPECT_EQ(port, int32_t(r.port));
    EXPECT_FLOAT_EQ(ref, default_ref ? 4.591f : r.newer && r.ref_given == 0.0f ? float(t.reference) : r.ref_given);
    EXPECT_EQ(g_dev.iolpt, r.port);
    EXPECT_EQ(IsTarvenixInitialized(), 1);
    EXPECT_EQ(IsTarvenixParFileWritten(), 1);
    EXPECT_EQ((g_dev.io_status & 0xA0) == 0xA0, r.byte_link);
    for (int ao = 1; ao <= 2; ++ao) {
        // 0 V, or the nearest end of a range that does not reach 0 V
        double l = 0, s = 0;
        ao_line(ao_range(r.outputs, ao), &l, &s);
        const double g = 1.0 + t.ao_gain_error[ao - 1];
        const double zero_code = std::clamp((0.0 - (l * g + t.ao_offset[ao - 1])) / (s * g), 0.0, 4095.0);
        EXPECT_NEAR(box_->dac().code(ao), zero_code, 1.0) << "AO" << ao;
    }

    // -- calibration against the box file's truth
    const double uref = default_ref ? 4.591 : r.ref_given != 0.0f ? r.ref_given : t.reference;
    double low = 0, span = 0;
    ad_span(r.ad, &low, &span);
    const double nominal_zero = -low / span * 4096.0;
    EXPECT_NEAR(g_dev.ADx1Zero, nominal_zero + t.zero1, 0.1);
    EXPECT_NEAR(g_dev.ADx10Zero, nominal_zero + t.zero10, 0.1);
    EXPECT_NEAR(g_dev.ADx100Zero, nominal_zero + t.zero100, 0.1);
    const double k_true = span / 4096.0 / (1.0 + t.ad_gain_error) * uref / t.reference;
    EXPECT_NEAR(g_dev.ADx1VoltProDigit, k_true, k_true * 3e-4);
    const float* lc[2] = {&g_dev.DA0Lc, &g_dev.DA1Lc};
    const float* step[2] = {&g_dev.DA0VoltProDigit, &g_dev.DA1VoltProDigit};
    for (int ao = 0; ao < 2; ++ao) {
        double l = 0, s = 0;
        ao_line(ao_range(r.outputs, ao + 1), &l, &s);
        const double g = 1.0 + t.ao_gain_error[ao];
        EXPECT_NEAR(*lc[ao], l * g + t.ao_offset[ao], 0.004) << "AO" << ao + 1;
        EXPECT_NEAR(*step[ao], s * g, std::fabs(s) * 8e-4) << "AO" << ao + 1;
    }
    const DeviceState calibrated = g_dev;

    // -- stored: parameter file, EEPROM record, time stamp
    const std::vector<std::string> par = file_lines(dir_.read("TARVENIX.PAR"));
    ASSERT_EQ(par.size(), 21u);
    EXPECT_EQ(par[4].substr(0, 12), "   0 (   0h)");
    std::snprintf(line, sizeof line, "%4u (%4Xh)", code, code);
    EXPECT_EQ(par[11].substr(0, 12), line);
    std::snprintf(line, sizeof line, "%11f", calibrated.ADx1Zero);
    EXPECT_EQ(par[12].substr(0, 11), line);
    EXPECT_EQ(par[20], "--> Tarvenix OK\r\n");
    const std::string stamp_file = "AD." + port_hex(r.port);
    if (r.newer) {
        EXPECT_EQ(ee_value<uint16_t>(*box_, 0x0C), 0);
        EXPECT_EQ(ee_value<uint16_t>(*box_, 0x2C), code);
        EXPECT_EQ(ee_value<float>(*box_, 0x30), calibrated.ADx1Zero);
        EXPECT_EQ(ee_value<float>(*box_, 0x3C), calibrated.ADx1VoltProDigit);
        EXPECT_EQ(ee_value<float>(*box_, 0x44), calibrated.DA0VoltProDigit);
        EXPECT_EQ(ee_value<float>(*box_, 0x4C), calibrated.DA1VoltProDigit);
        EXPECT_EQ(ee_value<uint32_t>(*box_, 0xFC), kFixedTime);
        std::snprintf(line, sizeof line, "%8X\n", kFixedTime);
        EXPECT_EQ(dir_.read(stamp_file), line);
    } else {
        EXPECT_FALSE(dir_.exists(stamp_file));
    }

    // -- the next process brings the box back from what was stored
    fresh_library();
    ASSERT_EQ(InitTarvenixDevice(r.search ? 0 : r.port), 1) << testsupport::all_messages();
    EXPECT_EQ(g_dev.iolpt, r.port);
    EXPECT_NEAR(g_dev.ADx1Zero, calibrated.ADx1Zero, 1e-5);
    // the older family comes back from the file, whose values have six decimals
    const double file_digit = r.newer ? 0.0 : 5.0e-7;
    EXPECT_NEAR(g_dev.ADx1VoltProDigit, calibrated.ADx1VoltProDigit, file_digit + 1e-9);
    EXPECT_NEAR(g_dev.DA0Lc, calibrated.DA0Lc, file_digit + 1e-9);
    EXPECT_NEAR(g_dev.DA1VoltProDigit, calibrated.DA1VoltProDigit, file_digit + 1e-9);
    // and the outputs go where they are told, as the A/D sees them and as they are
    for (int ao = 1; ao <= 2; ++ao) {
        double l = 0, s = 0;
        ao_line(ao_range(r.outputs, ao), &l, &s);
        // a unipolar A/D sees a negative output only through the exchanged code
        const bool mirror = std::max(l, l + 4095 * s) < 0.1 && low >= 0.0;
        const double ad_low = mirror ? -(low + span) * 0.95 : low * 0.95;
        const double ad_high = mirror ? -low * 0.95 : (low + span) * 0.95;
        const uint8_t code_in = ao == 1 ? (mirror ? 0xCF : 0xFC) : (mirror ? 0xDF : 0xFD);
        const double lo = std::max(std::min(l, l + 4095 * s), ad_low) + 0.1;
        const double hi = std::min(std::max(l, l + 4095 * s), ad_high) - 0.1;
        for (double v : {lo, (lo + hi) / 2, hi}) {
            SCOPED_TRACE(testing::Message() << "AO" << ao << " " << v << " V");
            EXPECT_EQ(putDAVolt(static_cast<uint8_t>(ao), float(v), 1), 0);
            // half a code, and the calibration divisors one above the code span
            // (up to 0.05 % of the distance from code 0); six decimals of
            // the file's scale factors add up to 4 mV for the older family
            const double tol = 0.0035 + 2.6e-4 * std::fabs(v - l) + (r.newer ? 0.0 : 0.004);
            EXPECT_NEAR(box_->dac().ao_volts(ao), v, tol);
            EXPECT_NEAR(getADVm(1, code_in, 1000), v, tol);
        }
    }
}

// Pairwise over ports, families, card and link; every A/D range with every
// output combination the system knows.
const Row kRows[] = {
    {"new_378_bip10_D0_card_byte_search", true, 0x378, "-10..10", 0xD0, true, true, true, 0.0f},
    {"new_3BC_uni5_10_nocard_nibble_given", true, 0x3BC, "0..5", 0x10, false, false, false, 0.0f},
    {"old_278_uni10_30_card_byte_search", false, 0x278, "0..10", 0x30, true, true, true, 0.0f},
    {"old_378_bip5_50_nocard_nibble_given", false, 0x378, "-5..5", 0x50, false, false, false, 4.5937f},
    {"new_278_bip10_90_nocard_nibble_search", true, 0x278, "-10..10", 0x90, false, false, true, 0.0f},
    {"old_3BC_uni5_D0_card_byte_given", false, 0x3BC, "0..5", 0xD0, true, true, false, 0.0f},
    {"new_378_uni10_50_card_nibble_given", true, 0x378, "0..10", 0x50, true, false, false, 0.0f},
    {"old_278_bip5_10_nocard_byte_search", false, 0x278, "-5..5", 0x10, false, true, true, 4.5937f},
    {"new_3BC_bip10_30_card_byte_search", true, 0x3BC, "-10..10", 0x30, true, true, true, 0.0f},
    {"old_378_uni5_90_card_nibble_search", false, 0x378, "0..5", 0x90, true, false, true, 0.0f},
    {"new_278_uni10_D0_nocard_byte_given", true, 0x278, "0..10", 0xD0, false, true, false, 0.0f},
    {"old_3BC_bip5_30_nocard_nibble_given", false, 0x3BC, "-5..5", 0x30, false, false, false, 4.5937f},
    {"new_378_bip10_10_nocard_byte_given", true, 0x378, "-10..10", 0x10, false, true, false, 0.0f},
    {"old_278_uni5_50_card_nibble_search", false, 0x278, "0..5", 0x50, true, false, true, 0.0f},
    {"new_3BC_uni10_90_card_byte_search", true, 0x3BC, "0..10", 0x90, true, true, true, 0.0f},
    {"old_378_bip5_D0_card_byte_given", false, 0x378, "-5..5", 0xD0, true, true, false, 0.0f},
    {"new_278_bip5_90_card_nibble_given", true, 0x278, "-5..5", 0x90, true, false, false, 0.0f},
    {"old_3BC_bip10_50_nocard_byte_search", false, 0x3BC, "-10..10", 0x50, false, true, true, 4.5937f},
    {"new_378_uni5_30_nocard_byte_search", true, 0x378, "0..5", 0x30, false, true, true, 0.0f},
    {"old_278_uni10_10_nocard_nibble_given", false, 0x278, "0..10", 0x10, false, false, false, 4.5937f},
};

INSTANTIATE_TEST_SUITE_P(Table, AutoSetupBoxes, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& i) { return std::string(i.param.name); });


// ---- boxes that must not pass, and the edges of the ranges code ----

const char* const kNotReadyTail[] = {
    "-> FATAL ERROR, A/D-Converter adjustment error, D/A-Converter not tested\n",
    "-> FATAL ERROR, D/A-Converter adjustment error\n",
    "-> FATAL ERROR, Tarvenix not ready\n",
};

struct FailCase {
    const char* name;
    std::string box;                 // box file text
    int32_t search;
    std::vector<std::string> lines;  // messages up to the not-ready lines
    bool found;                      // the box stays initialised at 378h
};

// The messages of a failed run: the case's lines, the not-ready report, the
// elapsed time and the system-error line.
std::vector<std::string> failed_run(const std::vector<std::string>& head)
{
    std::vector<std::string> all = {"\n please wait...\n"};
    all.insert(all.end(), head.begin(), head.end());
    all.insert(all.end(), std::begin(kNotReadyTail), std::end(kNotReadyTail));
    all.push_back("-> Elapsed time since start of setup: 0 sec\n");   // replaced by the actual line
    all.push_back("-> FATAL ERROR, Tarvenix measurement system error, check error messages\n");
    return all;
}

const std::string kNewBox = "box.port = 378h\nport.378 = bidir\nadc.reference = 4.5937\neeprom.ref_voltage = 4.5937\n"
                            "adc.gain_error = -0.004\ndac.ao1_gain_error = 0.0012\ntiming.settle_ns = 600\n";

class AutoSetupFails : public AutoSetupTest, public testing::WithParamInterface<FailCase> {};

TEST_P(AutoSetupFails, ReportsStoresNothingAndReturnsZero)
{
    const FailCase& c = GetParam();
    use_box(c.box);
    int32_t port = 0x378;
    float ref = 0.0f;
    EXPECT_EQ(run(c.search, &port, &ref), 0);
    std::vector<std::string> want = failed_run(c.lines);
    const std::regex elapsed_re("-> Elapsed time since start of setup: [0-9]+ sec\n");
    ASSERT_EQ(g_messages.size(), want.size()) << testsupport::all_messages();
    ASSERT_TRUE(std::regex_match(g_messages[want.size() - 2], elapsed_re)) << g_messages[want.size() - 2];
    want[want.size() - 2] = g_messages[want.size() - 2];
    EXPECT_EQ(g_messages, want);

    EXPECT_EQ(g_dev.iolpt, c.found ? 0x378 : kNoBox);
    EXPECT_EQ(IsTarvenixInitialized(), c.found ? 1 : 0);
    EXPECT_EQ(IsTarvenixParFileWritten(), 0);
    EXPECT_FALSE(dir_.exists("TARVENIX.PAR"));
    EXPECT_FALSE(dir_.exists("AD.378"));
    if (box_->newer_family()) {
        EXPECT_EQ(ee_value<uint32_t>(*box_, 0x0C) & 0xFFFF, 0xFFFFu);   // no record
        EXPECT_EQ(ee_value<uint32_t>(*box_, 0xFC), 0xFFFFFFFFu);         // no time stamp
    }
}

const std::string kSearch378 = "Search device on I/O address 378h...";
const std::string kStored = "-> Stored Reference Voltage: 4.594V\n";

const FailCase kFailCases[] = {
    {"no_box_anywhere", "box.present = no\nport.378 = bidir\n", 1,
     {"Search device on I/O address 3BCh ...", " --> not found\n", "Search device on I/O address 378h ...",
      " --> not found\n", "Search device on I/O address 278h ...", " --> not found\n"},
     false},
    // a bidirectional port without a box: the port kind (2) shows as the LCA bit
    {"no_box_on_the_given_port", "box.present = no\nport.378 = bidir\n", 0,
     {kSearch378, " --> not found\n", "-> FATAL ERROR, LCA error\n"}, false},
    {"wrong_device_code", kNewBox + "eeprom.device_class = 1002h\n", 0,
     {kSearch378, " --> unknown device connected", " --> not found\n", "-> FATAL ERROR, LCA error\n",
      "-> FATAL ERROR, 007LAxxx error\n"},
     false},
    {"blank_eeprom", kNewBox + "eeprom.contents = blank\n", 0,
     {kSearch378, " --> unknown device connected", " --> not found\n", "-> FATAL ERROR, LCA error\n",
      "-> FATAL ERROR, 007LAxxx error\n"},
     false},
    // the adjustment design never configures: no scratch register to tune on
    // either, so the link falls back to nibble mode and fails there too
    {"corrupt_board_007_bitstream", kNewBox + "fault.main_logic_rejects = yes\n", 0,
     {kSearch378, " --> found\n", kStored, "ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n",
      "ERROR: 007LAxxx LCA configuration failed, DONE-pin low\n",
      "-> WARNING, data transfer 8-Bit bi-directional mode not reliable\n", "-> FATAL ERROR, data transfer error\n",
      "-> FATAL ERROR, LCA error\n", "-> FATAL ERROR, 007LAxxx error\n"},
     true},
    // U1's slope beyond 0.028 V per count: the reference sources fail their limits
    {"reference_source_outside_limits", kNewBox + "refs.u1_slope = 0.031\n", 0,
     {kSearch378, " --> found\n", kStored, "-> FATAL ERROR, 004LAxxx D/A error\n", "-> FATAL ERROR, 007LAxxx error\n"},
     true},
    // the older family's U1 is a fixed source that must lie within 14.5..16.2 V
    {"fixed_u1_outside_its_window", "box.family = older\nport.378 = bidir\nrefs.u1_fixed = 16.5\n", 0,
     {kSearch378, " --> found\n",
      "-> WARNING, device version has no internal memory, not possible to do Auto-Setup\n",
      "-> WARNING, re-run Setup and input reference voltage noted at bottom side of device\n",
      "-> WARNING, reference voltage parameter missing, set to default: 4.591V\n",
      "-> WARNING, device not adjusted for max. performance\n", "-> FATAL ERROR, 004LAxxx D/A error\n",
      "-> FATAL ERROR, 007LAxxx error\n"},
     true},
};

INSTANTIATE_TEST_SUITE_P(Table, AutoSetupFails, testing::ValuesIn(kFailCases),
                         [](const testing::TestParamInfo<FailCase>& i) { return std::string(i.param.name); });

// A/D -10..10 V with both outputs -10..10 V runs the self-test; an AO2 that
// cannot reach +10 V (gain 0.4 % low) fails it, and the whole code with it.
TEST_F(AutoSetupTest, SelfTestFailureTurnsTheRangesCodeToZero)
{
    use_box(kNewBox + "dac.ao2_gain_error = -0.004\n");
    int32_t port = 0x378;
    float ref = 0.0f;
    const int before = box_->adc().conversions();
    EXPECT_EQ(run(0, &port, &ref), 0);
    EXPECT_GT(box_->adc().conversions() - before, 40000);   // two conversions per trial, 20000 trials
    const std::string all = testsupport::all_messages();
    EXPECT_NE(all.find(" --> found\n-> Stored Reference Voltage: 4.594V\n-> FATAL ERROR, 007LAxxx error\n"
                       "-> FATAL ERROR, A/D-Converter adjustment error, D/A-Converter not tested\n"
                       "-> FATAL ERROR, D/A-Converter adjustment error\n-> FATAL ERROR, Tarvenix not ready\n"),
              std::string::npos)
        << all;
    // the calibration itself was made and is kept
    EXPECT_NEAR(g_dev.DA1VoltProDigit, 20.0 * 0.996 / 4096, 2e-6);
    EXPECT_FALSE(dir_.exists("TARVENIX.PAR"));
}

// AO1 -10..10 V and AO2 0..-10 V make the high nibble 70h: no output range is
// reported, neither output is calibrated, and the run still succeeds.
TEST_F(AutoSetupTest, UnknownOutputCombinationIsReportedByNothingAndStillStored)
{
    use_box(kNewBox + "dac.ao2_range = 0..-10\n");
    int32_t port = 0x378;
    float ref = 0.0f;
    EXPECT_EQ(run(0, &port, &ref), 1) << testsupport::all_messages();
    const std::string all = testsupport::all_messages();
    EXPECT_NE(all.find("-> A/D Jumper-Settings, Input-Range:  -10V...+10V at Gain=1\n"
                       "-> data transfer 8-Bit bi-directional mode\n"),
              std::string::npos)
        << all;
    EXPECT_EQ(all.find("D/A"), std::string::npos);
    EXPECT_EQ(g_dev.DA0VoltProDigit, 0.0f);
    EXPECT_EQ(g_dev.DA1VoltProDigit, 0.0f);
    EXPECT_EQ(ee_value<uint16_t>(*box_, 0x2C), 0x75);
    EXPECT_EQ(file_lines(dir_.read("TARVENIX.PAR"))[11].substr(0, 12), " 117 (  75h)");
}

// The box is set up but what must be stored cannot be: a directory stands
// where the parameter file or the time stamp file would go.
TEST_F(AutoSetupTest, StoringFailuresEndTheRunWithTheirOwnLine)
{
    struct Case {
        const char* in_the_way;
        const char* line;
        bool par_file;   // TARVENIX.PAR written all the same
    };
    const Case cases[] = {
        {"TARVENIX.PAR", "-> FATAL ERROR, parameter data write error\n", false},
        {"AD.378", "-> FATAL ERROR, Time Stamp write error\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in_the_way);
        testsupport::reset_state(dir_.path());
        std::filesystem::remove_all(dir_.file("TARVENIX.PAR"));
        std::filesystem::remove_all(dir_.file("AD.378"));
        std::filesystem::create_directory(dir_.file(c.in_the_way));
        use_box(kNewBox);
        int32_t port = 0x378;
        float ref = 0.0f;
        EXPECT_EQ(run(0, &port, &ref), 0);
        const size_t n = g_messages.size();
        ASSERT_GE(n, 4u) << testsupport::all_messages();
        EXPECT_EQ(g_messages[n - 4], "-> EEProm setup data updated\n");
        EXPECT_EQ(g_messages[n - 3], c.line) << testsupport::all_messages();
        EXPECT_EQ(g_messages[n - 1], "-> FATAL ERROR, Tarvenix measurement system error, check error messages\n");
        EXPECT_EQ(std::filesystem::is_regular_file(dir_.file("TARVENIX.PAR")), c.par_file);
        // the time stamp follows only a stored parameter record
        EXPECT_EQ(ee_value<uint32_t>(*box_, 0xFC) == kFixedTime, c.par_file);
        EXPECT_EQ(IsTarvenixInitialized(), 1);
    }
}

// Port access stays granted at the port where the box was found, and
// nowhere else; with no box found none is left.
TEST_F(AutoSetupTest, PortAccessIsLeftOnlyWhereTheBoxIs)
{
    using G = std::vector<std::pair<uint16_t, bool>>;
    struct Case {
        std::string box;
        int32_t search;
        int32_t result;
        G grants;
        uint16_t iolpt;
    };
    const std::string at278 = "box.port = 278h\nport.278 = bidir\nport.378 = bidir\nadc.gain_error = -0.004\n"
                              "timing.settle_ns = 600\n";
    const Case cases[] = {
        {at278, 1, 1, {{0x3BC, true}, {0x3BC, false}, {0x378, true}, {0x378, false}, {0x278, true}}, 0x278},
        {"box.present = no\nport.378 = bidir\n", 1, 0,
         {{0x3BC, true}, {0x3BC, false}, {0x378, true}, {0x378, false}, {0x278, true}, {0x278, false}}, kNoBox},
        {"box.present = no\nport.378 = bidir\n", 0, 0, {{0x378, true}, {0x378, false}}, kNoBox},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        testsupport::reset_state(dir_.path());
        use_box(c.box);
        TeePort tee(sim_backend());
        driver_close();
        port_set_backend_override(&tee);
        ASSERT_EQ(enableDLLmessages_PortwardInit(testsupport::collect), 1);
        int32_t port = 0x378;
        float ref = 0.0f;
        EXPECT_EQ(AutoSetup(c.search, 0, &port, &ref), c.result) << testsupport::all_messages();
        EXPECT_EQ(tee.grants, c.grants);
        EXPECT_EQ(g_dev.iolpt, c.iolpt);
        driver_close();
        port_set_backend_override(nullptr);
    }
}

// ---- a reference voltage given by the user ----

struct RefCase {
    const char* name;
    int answer;              // to the overwrite question; -1: none is asked
    bool blank_word;         // the EEPROM's reference voltage never written
    float expect_ref;        // *ref_volts on return
    uint32_t expect_stored;  // EEPROM 04h afterwards
};

class AutoSetupReference : public AutoSetupTest, public testing::WithParamInterface<RefCase> {};

TEST_P(AutoSetupReference, AskedBeforeTheStoredValueIsOverwritten)
{
    const RefCase& c = GetParam();
    std::string text = kNewBox;
    if (c.blank_word) {
        // a programmed identity whose reference voltage cells were never written
        uint8_t image[256];
        std::memset(image, 0xFF, sizeof image);
        image[0] = 0x00;
        image[1] = 0x10;   // device class 1000h
        dir_.write("blank_ref.bin", std::string(reinterpret_cast<char*>(image), sizeof image));
        text += "eeprom.image = " + dir_.file("blank_ref.bin") + "\n";
    }
    use_box(text);
    if (c.answer >= 0)
        g_host.answers.push_back(c.answer);
    int32_t port = 0x378;
    float ref = 4.6f;
    EXPECT_EQ(run(0, &port, &ref), 1) << testsupport::all_messages();
    EXPECT_FLOAT_EQ(ref, c.expect_ref);
    EXPECT_EQ(ee_value<uint32_t>(*box_, 0x04), c.expect_stored);

    std::vector<std::string> want = {"\n please wait...\n", kSearch378, " --> found\n"};
    want.push_back(c.blank_word ? "-> INFO, old reference voltage value was: -nanV\n"
                                : "-> INFO, old reference voltage value was: 4.594V\n");
    if (c.answer == 1)
        want.push_back("-> INFO, new reference voltage: 4.600V saved to memory\n");
    ASSERT_GE(g_messages.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(g_messages.begin(), g_messages.begin() + want.size()), want);
    if (c.answer >= 0) {
        ASSERT_EQ(g_host.questions.size(), 1u);
        EXPECT_EQ(g_host.questions[0].first, "Quorin");
        EXPECT_EQ(g_host.questions[0].second,
                  "Do you really want to overwrite ?\n\nold reference voltage: 4.594V\nnew reference voltage: 4.600V\n");
    } else {
        EXPECT_TRUE(g_host.questions.empty());
    }
    // the scale follows the value the adjustment used, against the true 4.5937 V
    const double k_true = 20.0 / 4096 / 0.996;
    EXPECT_NEAR(g_dev.ADx1VoltProDigit, k_true * c.expect_ref / 4.5937, k_true * 3e-4);
}

uint32_t float_bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

const RefCase kRefCases[] = {
    {"yes_overwrites", 1, false, 4.6f, float_bits(4.6f)},
    {"no_keeps_the_stored_value", 0, false, 4.5937f, float_bits(4.5937f)},
    {"never_written_is_used_once", -1, true, 4.6f, 0xFFFFFFFFu},
};

INSTANTIATE_TEST_SUITE_P(Table, AutoSetupReference, testing::ValuesIn(kRefCases),
                         [](const testing::TestParamInfo<RefCase>& i) { return std::string(i.param.name); });

// Values at the float's limits, a corrupt old one and a mistyped new one:
// the question still shows both in full, and No brings the old one back.
TEST_F(AutoSetupTest, OverwriteQuestionShowsValuesOfAnySize)
{
    std::string text = kNewBox;
    const std::string key = "eeprom.ref_voltage = 4.5937\n";
    text.replace(text.find(key), key.size(), "eeprom.ref_voltage = -3.0e38\n");
    use_box(text);
    g_host.answers.push_back(0);
    int32_t port = 0x378;
    float ref = 3.0e38f;
    EXPECT_EQ(run(0, &port, &ref), 0);   // no scale can be made with either value
    EXPECT_EQ(ref, -3.0e38f);
    char want[300];
    std::snprintf(want, sizeof want,
                  "Do you really want to overwrite ?\n\nold reference voltage: %.3fV\nnew reference voltage: %.3fV\n",
                  -3.0e38f, 3.0e38f);
    ASSERT_EQ(g_host.questions.size(), 1u);
    EXPECT_EQ(g_host.questions[0].second, want);
}

}  // namespace

namespace {

// The built-in default box (its image kept in memory here) is what a user
// without a box file meets: it must set up, and its outputs must then be
// where the library puts them.
TEST_F(AutoSetupTest, BuiltInDefaultBoxSetsUp)
{
    use_box("box.port = 378h\nbox.family = newer\n");
    int32_t port = 0;
    float ref = 0.0f;
    ASSERT_EQ(run(1, &port, &ref), 1) << testsupport::all_messages();
    EXPECT_EQ(port, 0x378);
    EXPECT_FLOAT_EQ(ref, float(box_->adc().reference()));   // the value stored in the box is its own
    for (int ao = 1; ao <= 2; ++ao)
        for (float v : {-9.5f, -4.0f, 0.5f, 6.0f, 9.5f}) {
            SCOPED_TRACE(testing::Message() << "AO" << ao << " " << v << " V");
            EXPECT_EQ(putDAVolt(static_cast<uint8_t>(ao), v, 1), 0);
            EXPECT_NEAR(box_->dac().ao_volts(ao), v, 0.0035 + 2.6e-4 * (v + 10.0));
            EXPECT_NEAR(getADVm(1, ao == 1 ? 0xFC : 0xFD, 1000), v, 0.0035 + 2.6e-4 * (v + 10.0));
        }
}

}  // namespace
