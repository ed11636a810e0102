#include "calib/adjust.h"

#include <cmath>

#include "link/bus.h"
#include "link/link_setup.h"
#include "link/regs.h"
#include "link/state.h"
#include "measure/analog_in.h"
#include "measure/analog_out.h"
#include "platform/platform.h"
#include "tarvenix.h"

namespace {

constexpr uint32_t kZeroSamples = 1000;      // per zero and per reference reading
constexpr uint32_t kRefineSamples = 100;     // per reading of the refined zero
constexpr int32_t kPointSamples = 1000;      // per calibration point
constexpr int kSelfTestTrials = 10000;       // per output
constexpr uint16_t kRecognitionCode = 0x600; // +3.75 V, -2.5 V or -3.75 V by range
constexpr int32_t kTuneRepetitions = 0x7FFF;

// The settling time of an output after a code change, before it is measured.
void settle_output()
{
    sleep_ms(1);
}

struct Output {
    int number;            // 1 = AO1, 2 = AO2
    uint8_t da_reg;
    uint8_t direct;
    uint8_t exchanged;
    uint16_t bipolar_pattern;
};
constexpr Output kOutputs[2] = {
    {1, reg::kAo1Low, mux_code::kAo1, mux_code::kAo1Swapped, ranges::kAo1Bipolar},
    {2, reg::kAo2Low, mux_code::kAo2, mux_code::kAo2Swapped, ranges::kAo2Bipolar},
};

// Measures one calibration point of an output.
float measure_point(const Output& out, uint16_t code, bool exchanged, bool with_swap)
{
    da_write(out.da_reg, code, 1);
    settle_output();
    const uint8_t m = exchanged ? out.exchanged : out.direct;
    return with_swap ? measure_with_swap(1, m, kPointSamples) : getADVm(1, m, kPointSamples);
}

// Recognises the jumper range of one output at code 600h; 0 = not recognised.
uint16_t recognise_output(const Output& out)
{
    da_write(out.da_reg, kRecognitionCode, 1);
    settle_output();
    const uint16_t direct = direct_pattern(getADV(1, out.direct));
    if (direct != 0)
        return direct;
    return exchanged_pattern(getADV(1, out.exchanged), out.bipolar_pattern);
}

void calibrate_output(const Output& out, uint16_t ad_range, uint16_t code)
{
    CalPlan plan{};
    if (!calibration_plan(ad_range, output_kind(out.number, code), &plan))
        return;
    const float high = measure_point(out, plan.high_code, plan.high_exchanged, false);
    const float low = measure_point(out, plan.low_code, plan.low_exchanged, plan.low_with_swap);
    const DaLine line = da_line(high, low, plan.low_code, plan.divisor);
    if (out.number == 1) {
        g_dev.DA0VoltProDigit = line.slope;
        g_dev.DA0Lc = line.lc;
    } else {
        g_dev.DA1VoltProDigit = line.slope;
        g_dev.DA1Lc = line.lc;
    }
}

// rand()-style generator with 15-bit results; only the range of the test
// voltages matters, not the sequence.
class Rand15 {
public:
    explicit Rand15(uint32_t seed) : state_(seed) {}
    int32_t next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};

// Sets random voltages on one output and reads them back; false if any
// trial is off by 20 mV or more in both the single and the averaged reading.
bool self_test_output(const Output& out, Rand15& rng)
{
    bool ok = true;
    for (int i = 0; i < kSelfTestTrials; ++i) {
        const float v = selftest_volts(rng.next());
        putDAVolt(static_cast<uint8_t>(out.number), v, 1);
        (void)getADV(1, out.direct);   // the first conversion after a change is discarded
        float m = getADV(1, out.direct);
        if (!selftest_pass(v, m)) {
            m = getADVm(1, out.direct, 10);
            if (!selftest_pass(v, m))
                ok = false;
        }
    }
    return ok;
}

}  // namespace

// ---- arithmetic ----

uint16_t range_class_of_zero(float zero)
{
    return zero > kBipolarZeroAbove ? ranges::kAdBipolar5 : ranges::kAdUnipolar5;
}

bool zero_acceptable(float zero, bool zero_required)
{
    if (zero > kZeroLimit)
        return false;
    return !(zero_required && zero == 0.0f);
}

uint16_t ad_range_code(uint16_t range_class, float zero, float k)
{
    // A reference reading at or below the zero gives no usable scale.
    if (!std::isfinite(k) || k <= 0.0f)
        return 0;
    const double z = zero;
    if (range_class == ranges::kAdBipolar5) {
        uint16_t c = ranges::kAdBipolar5;
        double span = 5.0;
        if (k > 0.004f) {
            c = ranges::kAdBipolar10;
            span = 10.0;
        }
        const double digits = span / static_cast<double>(k);
        return (z + digits < 4095.0 && digits < z) ? c : 0;
    }
    if (range_class == ranges::kAdUnipolar5) {
        uint16_t c = ranges::kAdUnipolar5;
        double span = 5.0;
        if (k > 0.002f) {
            c = ranges::kAdUnipolar10;
            span = 10.0;
        }
        return z + span / static_cast<double>(k) < 4095.0 ? c : 0;
    }
    return 0;
}

uint16_t direct_pattern(float volts)
{
    return (volts > 3.5f && volts < 4.0f) ? ranges::kDaPositive : 0;
}

uint16_t exchanged_pattern(float volts, uint16_t bipolar_pattern)
{
    if (volts > -2.75f && volts < -2.25f)
        return bipolar_pattern;
    if (volts > -4.0f && volts < -3.5f)
        return ranges::kDaNegative;
    return 0;
}

OutputKind output_kind(int output, uint16_t ranges_code)
{
    const uint16_t h = ranges_code & 0xF0;
    if (h == 0x30)
        return OutputKind::Negative;
    if (h == 0x10 || h == (output == 1 ? 0x90 : 0x50))
        return OutputKind::Positive;
    if (h == 0xD0 || h == (output == 1 ? 0x50 : 0x90))
        return OutputKind::Bipolar;
    return OutputKind::None;
}

bool calibration_plan(uint16_t ad_range, OutputKind kind, CalPlan* plan)
{
    // Divisors exactly as the boxes have always been adjusted, including
    // those one above the code span (2001, 4049, 1986, 4034): changing them
    // would shift the stored slope of every box by up to 0.05 %.
    switch (ad_range) {
    case ranges::kAdUnipolar5:
        switch (kind) {
        case OutputKind::Negative: *plan = {2000, true, 0, true, true, 2001}; return true;
        case OutputKind::Positive: *plan = {2000, false, 0, false, true, 2001}; return true;
        case OutputKind::Bipolar: *plan = {3040, false, 1055, true, false, 1986}; return true;
        default: return false;
        }
    case ranges::kAdUnipolar10:
        switch (kind) {
        case OutputKind::Negative: *plan = {4048, true, 0, true, true, 4049}; return true;
        case OutputKind::Positive: *plan = {4048, false, 0, false, true, 4049}; return true;
        case OutputKind::Bipolar: *plan = {4064, false, 31, true, false, 4034}; return true;
        default: return false;
        }
    case ranges::kAdBipolar5:
        switch (kind) {
        case OutputKind::Negative:
        case OutputKind::Positive: *plan = {2016, false, 31, false, false, 1985}; return true;
        case OutputKind::Bipolar: *plan = {3040, false, 1055, false, false, 1985}; return true;
        default: return false;
        }
    case ranges::kAdBipolar10:
        switch (kind) {
        case OutputKind::Negative:
        case OutputKind::Positive: *plan = {4064, false, 31, false, false, 4033}; return true;
        case OutputKind::Bipolar: *plan = {4064, false, 31, true, false, 4033}; return true;
        default: return false;
        }
    default:
        return false;
    }
}

DaLine da_line(float v_high, float v_low, uint16_t low_code, uint16_t divisor)
{
    const float inverse = 1.0f / static_cast<float>(divisor);
    DaLine line{};
    line.slope = (v_high - v_low) * inverse;
    line.lc = low_code == 0 ? v_low : v_low - static_cast<float>(low_code) * line.slope;
    return line;
}

float selftest_volts(int32_t random15)
{
    int32_t x = (random15 * 20001) / 32768;
    if (x > 10000)
        x -= 20000;
    return static_cast<float>(x * 0.001);
}

bool selftest_pass(float set, float measured)
{
    return static_cast<double>(set) - 0.02 < measured && measured < static_cast<double>(set) + 0.02;
}

// ---- measuring helpers ----

double measure_zero(uint8_t gain_reg)
{
    const double z = ad_read_mean(gain_reg, mux_code::kZero, kZeroSamples);
    if (z <= kBipolarZeroAbove || gain_reg == reg::kAdGain100)
        return z;
    // Bipolar range: AO1 near 0 V read directly and exchanged; the mean of
    // the two is the zero whatever AO1's small voltage, and eight adjacent
    // codes average out the converter's quantisation.
    uint16_t code = da_search(reg::kAo1Low, mux_code::kAo1, static_cast<uint16_t>(z));
    // A search that ends on the top code never read above the zero: AO1 is
    // jumpered 0..-10 V and falls with its code, so its 0 V end is code 0.
    // (The search result would be -10 V, which clips at gains 10 and 100.)
    if (code == 0x0FFF)
        code = 0;
    double sum = 0.0;
    for (uint16_t k = 0; k < 8; ++k) {
        da_write(reg::kAo1Low, static_cast<uint16_t>(code + k), 1);
        settle_output();
        const double a = ad_read_mean(gain_reg, mux_code::kAo1, kRefineSamples);
        const double b = ad_read_mean(gain_reg, mux_code::kAo1Swapped, kRefineSamples);
        sum += (a + b) * 0.5;
    }
    return sum * 0.125;
}

uint16_t da_search(uint8_t da_reg, uint8_t code, uint16_t target)
{
    uint16_t result = 0;
    for (int bit = 11; bit >= 0; --bit) {
        const uint16_t trial = static_cast<uint16_t>(result + (1u << bit));
        da_write(da_reg, trial, 1);
        settle_output();
        // a conversion timeout (FFFFh) counts as above the target
        if (ad_read_raw(reg::kAdGain1, code) <= target)
            result = trial;
    }
    return result;
}

float measure_with_swap(uint8_t gain, uint8_t code, int32_t n)
{
    float v = getADVm(gain, code, n);
    if (std::fabs(v) <= 20.0f)
        return v;
    const uint8_t swapped = static_cast<uint8_t>((code << 4) | (code >> 4));
    v = getADVm(gain, swapped, n);
    if (std::fabs(v) <= 20.0f)
        return v;
    return 0.0f;
}

// ---- the procedure ----

uint16_t calibrate_converters(float uref)
{
    outbyte(reg::kControl, 0x8B);
    // both outputs to code 800h, not yet effective
    outbyte(reg::kAo1Low, 0x00);
    outbyte(reg::kAo1High, 0x08);
    outbyte(reg::kAo2Low, 0x00);
    outbyte(reg::kAo2High, 0x08);

    g_dev.ADx1Zero = static_cast<float>(measure_zero(reg::kAdGain1));
    uint16_t c = range_class_of_zero(g_dev.ADx1Zero);
    if (!zero_acceptable(g_dev.ADx1Zero, true))
        return 0;
    const bool bipolar = c == ranges::kAdBipolar5;
    g_dev.ADx10Zero = static_cast<float>(measure_zero(reg::kAdGain10));
    if (!zero_acceptable(g_dev.ADx10Zero, bipolar))
        return 0;
    g_dev.ADx100Zero = static_cast<float>(measure_zero(reg::kAdGain100));
    if (!zero_acceptable(g_dev.ADx100Zero, bipolar))
        return 0;

    const double ref = ad_read_mean(reg::kAdGain1, mux_code::kRef, kZeroSamples);
    g_dev.ADx1VoltProDigit = static_cast<float>(uref / (ref - g_dev.ADx1Zero));
    if (bipolar) {
        const double ref_swapped = ad_read_mean(reg::kAdGain1, mux_code::kRefSwapped, kZeroSamples);
        g_dev.ADx1VoltProDigit = static_cast<float>(
            (g_dev.ADx1VoltProDigit + uref / (g_dev.ADx1Zero - ref_swapped)) * 0.5);
    }
    c = ad_range_code(c, g_dev.ADx1Zero, g_dev.ADx1VoltProDigit);
    if (c == 0)
        return 0;

    for (const Output& out : kOutputs) {
        const uint16_t pattern = recognise_output(out);
        if (pattern == 0)
            return c & 0x0F;
        c |= pattern;
    }

    for (const Output& out : kOutputs)
        calibrate_output(out, c & 0x0F, c);

    // both outputs to 0 V, effective together
    putDAVolt(1, 0.0f, 0);
    putDAVolt(2, 0.0f, 1);
    outbyte_word(reg::kTimControl, 0x34, reg::kTimCount0, 8);
    outbyte_word(reg::kTimControl, 0x74, reg::kTimCount1, 40);
    outbyte_word(reg::kTimControl, 0xB4, reg::kTimCount2, 80);

    if (c == ranges::kSelfTest) {
        Rand15 rng(calendar_time() ^ tick_ms());
        bool ok = true;
        for (const Output& out : kOutputs)
            ok = self_test_output(out, rng) && ok;
        if (!ok)
            c = 0;
        // the trials leave random voltages behind: back to 0 V
        putDAVolt(1, 0.0f, 0);
        putDAVolt(2, 0.0f, 1);
    }
    return c;
}

uint16_t adjust_converters(float uref, uint16_t& set007, uint16_t link_status)
{
    uint16_t err = 0;
    if (lcasetup("007CA000.LCB") != 0)
        err = adjust_error::kLogic;

    // The adjustment design answers on A0h as a scratch register.
    int32_t r = tune_wait(reg::kScratch, 0x00, kTuneRepetitions, 0);
    if (r != 0 && (link_status & 0xE0) != link_status::kNibbleOk) {
        g_dev.io_status = ctl::kNibbleMode;
        announce_mode();
        r = tune_wait(reg::kScratch, 0x00, kTuneRepetitions, 1);
        if (r != 0)
            err |= adjust_error::kTransfer;
    }

    if (init_da(15.0f) != 0)
        err |= adjust_error::kReference;
    if (lcasetup("007CA003.LCB") != 0)
        err |= adjust_error::kLogic;

    if (err == 0)
        set007 = calibrate_converters(uref);
    if ((set007 & 0x0F) == 0 || (set007 & 0xF0) == 0)
        err |= adjust_error::kRanges;
    return err;
}
