// Analog outputs and the reference sources. The reference sources are
// counters of the reference timer block (8254 format, control register 17h);
// the count sets the voltage, and the comparators at 12h compare UM with the
// supply, the 2.5 V and 10 V references, U0 and U1.
#include "measure/analog_out.h"

#include <cmath>
#include <cstdio>

#include "link/bus.h"
#include "link/messages.h"
#include "link/regs.h"
#include "link/state.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kSearchSettleMs = 8;   // UM and comparator settling per trial
constexpr uint32_t kSourceSettleMs = 70;  // U0/U1 settling after a new count

// Setting model of a reference source: count = (V - one_point) / slope + 1,
// at least 1, truncated; counts above 65535 wrap as the 16-bit counter does.
uint16_t source_count(float volts, float one_point, float slope)
{
    double code = (static_cast<double>(volts) - one_point) / slope + 1.0;
    if (!(code >= 1.0))        // also NaN
        code = 1.0;
    if (std::isinf(code))
        return 0xFFFF;
    return static_cast<uint16_t>(static_cast<uint64_t>(std::fmod(std::trunc(code), 65536.0)));
}

// Sets one reference source. A source whose slope is 0 is not calibrated
// (or cannot be set): nothing is written, the count is 0 — for UM too, where
// the count would be a division by zero.
uint16_t set_source(float volts, float one_point, float slope, uint8_t ctl, uint8_t count_reg)
{
    if (slope == 0.0f)
        return 0;
    const uint16_t code = source_count(volts, one_point, slope);
    outbyte_word(reg::kRefControl, ctl, count_reg, code);
    return code;
}

// Calibrates U0 or U1 from the comparator voltages at counts 100 and 900.
// Returns false when slope or one-point is outside the limits of a working
// source.
bool calibrate_source(uint8_t ctl, uint8_t count_reg, uint8_t bit, float* one_point, float* slope)
{
    outbyte_word(reg::kRefControl, ctl, count_reg, 100);
    sleep_ms(kSourceSettleMs);
    const double a = ref_measure(reg::kStatus12, bit, 0);
    outbyte_word(reg::kRefControl, ctl, count_reg, 900);
    sleep_ms(kSourceSettleMs);
    const double b = ref_measure(reg::kStatus12, bit, 0);
    *slope = static_cast<float>((b - a) * 0.00125);   // 1/800 counts
    *one_point = static_cast<float>(a - 99.0 * *slope);
    return *slope > 0.0f && *slope < 0.028f && *one_point > -0.5f && *one_point < 0.11f;
}

}  // namespace

uint16_t ref_search(uint8_t status_reg, uint8_t mask, int polarity)
{
    uint16_t code = 0;
    for (uint16_t step = 512; step != 0; step >>= 1) {
        outbyte_word(reg::kRefControl, kCtlUM, reg::kRefCount2, static_cast<uint16_t>(code + step));
        sleep_ms(kSearchSettleMs);
        const uint8_t b = static_cast<uint8_t>(inbyte(status_reg) & mask);
        if ((b == 0 && polarity == 0) || (b != 0 && polarity != 0))
            code = static_cast<uint16_t>(code + step);
    }
    return code;
}

double ref_measure(uint8_t status_reg, uint8_t mask, int polarity)
{
    return static_cast<double>(ref_search(status_reg, mask, polarity)) * g_dev.UM_m + g_dev.UM_1;
}

int32_t init_da_pass(float x)
{
    g_dev.R_UM_2V5 = ref_search(reg::kStatus12, cmp::kRef2V5, 0);
    g_dev.R_UM_10V = ref_search(reg::kStatus12, cmp::kRef10V, 0);
    const uint32_t r2 = g_dev.R_UM_2V5;
    const uint32_t r10 = g_dev.R_UM_10V;
    // Equal codes (both 0 when nothing answers) would pass the ratio test
    // and give an infinite slope.
    if (3 * r2 > r10 || 5 * r2 < r10 || r10 <= r2)
        return 1;

    g_dev.UM_m = 7.5f / static_cast<float>(static_cast<int32_t>(r10 - r2));
    g_dev.UM_1 = 2.5f - static_cast<float>(static_cast<int32_t>(r2) - 1) * g_dev.UM_m;
    int32_t result = 0;

    if (!calibrate_source(kCtlU0, reg::kRefCount0, cmp::kU0, &g_dev.U0_1, &g_dev.U0_m))
        result = 2;

    if (x >= 0.0f && g_dev.rev_dev < 0x1000) {
        // The older family has a fixed U1: only its value is checked.
        g_dev.U1_1 = static_cast<float>(ref_measure(reg::kStatus12, cmp::kU1, 0));
        g_dev.U1_m = 0.0f;
        if (!(x - 0.5f <= g_dev.U1_1 && g_dev.U1_1 <= x + 1.2f))
            result = 2;
    } else if (!calibrate_source(kCtlU1, reg::kRefCount1, cmp::kU1, &g_dev.U1_1, &g_dev.U1_m)) {
        result = 2;
    }

    UM(0.0f);
    U0(0.0f);
    U1(0.0f);
    sleep_ms(kSourceSettleMs);
    return result;
}

void da_write(uint8_t reg, uint16_t code, int update)
{
    outbyte(reg, static_cast<uint8_t>(code & 0xFF));
    outbyte(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>(code >> 8));
    if (update != 0)
        (void)inbyte(reg::kDaUpdate);
}

void kestel_da_write(uint8_t reg, uint16_t code, int update)
{
    outbyte(reg, static_cast<uint8_t>(code & 0xFF));
    outbyte(static_cast<uint8_t>(reg + 1), static_cast<uint8_t>(code >> 8));
    if (update != 0)
        (void)inbyte(reg::kKestelUpdate);
}

extern "C" {

TARVENIX_API int32_t init_da(float volts)
{
    int32_t r = 1;
    for (int pass = 0; pass < 3; ++pass) {
        r = init_da_pass(volts);
        if (r == 0)
            break;
    }
    return r;
}

TARVENIX_API int32_t ShowDARefValues(int32_t header)
{
    if (header != 0)
        msg("R_UM_2V5, R_UM_10V,  UM_1,    UM_m,   U0_1,    U0_m,   U1_1,    U1_m\n");
    char line[256];
    std::snprintf(line, sizeof line, "%i       %i        %.3f   %.3f   %.3f   %.3f   %.3f   %.3f\n",
                  static_cast<int>(g_dev.R_UM_2V5), static_cast<int>(g_dev.R_UM_10V),
                  static_cast<double>(g_dev.UM_1), static_cast<double>(g_dev.UM_m),
                  static_cast<double>(g_dev.U0_1), static_cast<double>(g_dev.U0_m),
                  static_cast<double>(g_dev.U1_1), static_cast<double>(g_dev.U1_m));
    msg(line);
    return 0;
}

TARVENIX_API uint16_t UM(float volts)
{
    return set_source(volts, g_dev.UM_1, g_dev.UM_m, kCtlUM, reg::kRefCount2);
}

TARVENIX_API uint16_t U0(float volts)
{
    return set_source(volts, g_dev.U0_1, g_dev.U0_m, kCtlU0, reg::kRefCount0);
}

TARVENIX_API uint16_t U1(float volts)
{
    return set_source(volts, g_dev.U1_1, g_dev.U1_m, kCtlU1, reg::kRefCount1);
}

// The IT1 input reaches the U0 comparator through a divider of 1/0.755287
// on the older family and of 1/0.3776435 on the newer one.
TARVENIX_API uint16_t SetIT1Volt(float volts)
{
    return U0(g_dev.rev_dev < 0x1000 ? volts * 0.755287f : volts * 0.3776435f);
}

// The supply reaches the comparator through a divider of 4.404 (1000h and
// after 1001h; there switched in by P0 bit 7) or 1.5 (1001h); the older
// family compares it directly.
TARVENIX_API float GetUDC(void)
{
    const uint16_t rev = g_dev.rev_dev;
    if (rev > 0x1001)
        outbyte(reg::kP0, 0x80);
    double v = ref_measure(reg::kStatus12, cmp::kSupply, 0);
    if (rev == 0x1000) {
        v *= 4.404;
    } else if (rev == 0x1001) {
        v *= 1.5;
    } else if (rev > 0x1001) {
        v *= 4.404;
        outbyte(reg::kP0, 0x00);
    }
    return static_cast<float>(v);
}

TARVENIX_API int32_t putDAVolt(uint8_t output, float volts, uint8_t update)
{
    uint8_t reg = 0;
    float lc = 0.0f;
    float vpd = 0.0f;
    if (output == 1) {
        reg = reg::kAo1Low;
        lc = g_dev.DA0Lc;
        vpd = g_dev.DA0VoltProDigit;
    } else if (output == 2) {
        reg = reg::kAo2Low;
        lc = g_dev.DA1Lc;
        vpd = g_dev.DA1VoltProDigit;
    } else {
        return 1;
    }
    if (vpd == 0.0f)
        return 1;
    const double q = (static_cast<double>(volts) - lc) / vpd + 0.5;
    int32_t result = 0;
    uint16_t code = 0;
    // Truncation toward zero: -1 < q < 4096 gives a code without clamping.
    if (q >= 4096.0) {
        code = 4095;
        result = 1;
    } else if (q <= -1.0 || std::isnan(q)) {
        code = 0;
        result = 1;
    } else {
        code = static_cast<uint16_t>(static_cast<int32_t>(q));
    }
    da_write(reg, code, update != 0);
    return result;
}

TARVENIX_API void BcKestel1putDAVolt(int32_t channel, float volts, uint8_t update)
{
    if (channel < 1 || channel > 8)
        return;
    const float q = (volts + 10.0f) * kKestelCodesPerVolt + 0.5f;
    uint16_t code = 0;
    if (q >= 4095.0f)
        code = 4095;
    else if (q > 0.0f)
        code = static_cast<uint16_t>(q);
    kestel_da_write(static_cast<uint8_t>(reg::kKestelDa1 + 2 * (channel - 1)), code, update != 0);
}

}  // extern "C"
