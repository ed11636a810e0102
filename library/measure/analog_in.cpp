// Analog input: conversions through E0h-E2h and E4h/E5h, calibration from
// DeviceState. None of these checks whether a box is initialised.
#include "measure/analog_in.h"

#include <cmath>
#include <cstdio>

#include "link/messages.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kStatPreRun = 2000;   // conversions before the statistics run

// The mux codes 0Fh, 1Fh ... EFh have ground on the high side of the
// differential input: their readings are negated so that both codes of an
// exchanged pair give the signal with its own sign.
bool exchanged_code(uint8_t mux)
{
    return (mux & 0x0F) == 0x0F && mux <= 0xEF;
}

void zero_and_factor(uint8_t gain_reg, float* zero, float* factor)
{
    switch (gain_reg) {
    case reg::kAdGain10:
        *zero = g_dev.ADx10Zero;
        *factor = 10.0f;
        break;
    case reg::kAdGain100:
        *zero = g_dev.ADx100Zero;
        *factor = 100.0f;
        break;
    default:
        *zero = g_dev.ADx1Zero;
        *factor = 1.0f;
        break;
    }
}

// The exports take a signed count; below 1 they convert once.
uint32_t sample_count(int32_t samples)
{
    return samples < 1 ? 1u : static_cast<uint32_t>(samples);
}

}  // namespace

uint8_t ad_gain_register(uint8_t gain)
{
    if (gain == 10)
        return reg::kAdGain10;
    if (gain == 100)
        return reg::kAdGain100;
    return reg::kAdGain1;
}

uint16_t ad_read_raw(uint8_t gain_reg, uint8_t mux)
{
    outbyte(gain_reg, mux);
    // Busy poll without pause, bounded by a count of reads: the 20th read
    // ends the wait whatever its ready bit says.
    uint8_t s = 0;
    for (int reads = 1;; ++reads) {
        s = inbyte(reg::kAdStatus);
        if (reads == kAdStatusReads)
            return kAdTimeout;
        if (s & 0x01)
            break;
    }
    const uint16_t high = inbyte(reg::kAdHigh);
    return static_cast<uint16_t>((s >> 4) | (high << 4));
}

double ad_read_mean(uint8_t gain_reg, uint8_t mux, uint32_t n)
{
    if (n == 0)
        return 0.0;
    // 64-bit: a 32-bit sum of 4095s wraps after about a million conversions.
    uint64_t sum = 0;
    for (uint32_t i = 0; i < n; ++i)
        sum += ad_read_raw(gain_reg, mux);
    return static_cast<double>(sum) / static_cast<double>(n);
}

double ad_to_volts(uint8_t gain_reg, uint8_t mux, float digits)
{
    float zero = 0.0f;
    float factor = 1.0f;
    zero_and_factor(gain_reg, &zero, &factor);
    double v = (static_cast<double>(digits) - zero) * g_dev.ADx1VoltProDigit / factor;
    if (exchanged_code(mux))
        v = -v;
    // The overflow decision is made on the truncated digits, before the sign
    // of the computed voltage is given to the overflow value.
    uint16_t t = 0;
    if (std::isfinite(digits) && std::fabs(digits) < 2147483648.0f)
        t = static_cast<uint16_t>(static_cast<int32_t>(digits));
    if (t == 0 || t == 0x0FFF)
        return v < 0 ? -kAdOverflow : kAdOverflow;
    return v;
}

int32_t ad_to_digits(int32_t gain_factor, uint8_t mux, float volts)
{
    float zero = g_dev.ADx1Zero;
    if (gain_factor == 10)
        zero = g_dev.ADx10Zero;
    else if (gain_factor == 100)
        zero = g_dev.ADx100Zero;
    double x = volts;
    if (exchanged_code(mux))
        x = -x;
    if (g_dev.ADx1VoltProDigit == 0.0f)
        return static_cast<int32_t>(zero);
    const double d = gain_factor * x / g_dev.ADx1VoltProDigit + zero;
    if (!(d > -2147483648.0))
        return INT32_MIN;
    if (!(d < 2147483647.0))
        return INT32_MAX;
    return static_cast<int32_t>(d);
}

extern "C" {

TARVENIX_API float getADV(uint8_t gain, uint8_t mux)
{
    const uint8_t r = ad_gain_register(gain);
    return static_cast<float>(ad_to_volts(r, mux, ad_read_raw(r, mux)));
}

TARVENIX_API float getADVm(uint8_t gain, uint8_t mux, int32_t samples)
{
    const uint8_t r = ad_gain_register(gain);
    const float mean = static_cast<float>(ad_read_mean(r, mux, sample_count(samples)));
    return static_cast<float>(ad_to_volts(r, mux, mean));
}

TARVENIX_API uint16_t getADmStat(uint8_t gain, uint8_t mux, int32_t samples)
{
    const uint8_t r = ad_gain_register(gain);
    const uint32_t n = sample_count(samples);
    outbyte(r, mux);
    sleep_ms(1);

    uint32_t pre = 0;
    for (uint32_t i = 0; i < kStatPreRun; ++i)
        pre += ad_read_raw(r, mux);
    const int64_t m = pre / kStatPreRun;

    uint64_t sum = 0;
    uint16_t lo = 0xFFFF;
    uint16_t hi = 0;
    uint32_t outliers = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t v = ad_read_raw(r, mux);
        sum += v;
        if (v < lo)
            lo = v;
        if (v > hi)
            hi = v;
        if (v > m + 1 || v < m - 1)
            ++outliers;
    }
    const uint16_t average = static_cast<uint16_t>(static_cast<uint32_t>(static_cast<double>(sum) / n + 0.5));
    // Longest line: three 4-digit hex values and two 10-digit counts.
    char line[128];
    std::snprintf(line, sizeof line, "Average: %x  Min: %x  Max: %x  Digit: %u  Samples > +-1: %u\n", average,
                  lo, hi, static_cast<unsigned>(hi - lo + 1), outliers);
    msg(line);
    return average;
}

TARVENIX_API float GetADRefVoltage(void)
{
    return getADVm(1, 0xFE, 1);
}

}  // extern "C"
