// Converter adjustment: loads the adjustment and working designs of board
// 007, re-tunes the link, calibrates the reference sources, then measures the
// A/D zeros and scale, recognises the jumper ranges of the A/D input and of
// both D/A outputs and calibrates the outputs, all from signals inside the box.
#pragma once
#include <cstdint>

#include "measure/analog_out.h"

// Adjustment error bits (result of adjust_converters, stored as DevError).
namespace adjust_error {
constexpr uint16_t kTransfer = 0x0001;    // link could not be tuned again, not even in nibble mode
constexpr uint16_t kLogic = 0x0002;       // a board 007 design could not be loaded
constexpr uint16_t kReference = 0x0004;   // init_da failed
constexpr uint16_t kRanges = 0x0008;      // ranges code lacks its A/D or its D/A part
}  // namespace adjust_error

// Ranges code Set007: low nibble A/D range, high nibble output patterns.
namespace ranges {
constexpr uint16_t kAdUnipolar5 = 2;      // 0..+5 V at gain 1
constexpr uint16_t kAdUnipolar10 = 3;     // 0..+10 V
constexpr uint16_t kAdBipolar5 = 4;       // -5..+5 V
constexpr uint16_t kAdBipolar10 = 5;      // -10..+10 V
constexpr uint16_t kDaPositive = 0x10;    // output recognised, 0..+10 V
constexpr uint16_t kDaNegative = 0x30;    // 0..-10 V
constexpr uint16_t kAo1Bipolar = 0x50;    // AO1 -10..+10 V
constexpr uint16_t kAo2Bipolar = 0x90;    // AO2 -10..+10 V
constexpr uint16_t kSelfTest = 0xD5;      // A/D -10..+10 V, both outputs -10..+10 V
}  // namespace ranges

// Multiplexer codes of the box's own signals (first nibble, second nibble
// = the two inputs of the differential input).
namespace mux_code {
constexpr uint8_t kZero = 0xFF;
constexpr uint8_t kRef = 0xFE;
constexpr uint8_t kRefSwapped = 0xEF;
constexpr uint8_t kAo1 = 0xFC;
constexpr uint8_t kAo1Swapped = 0xCF;
constexpr uint8_t kAo2 = 0xFD;
constexpr uint8_t kAo2Swapped = 0xDF;
}  // namespace mux_code

// set007: in/out, 0 on entry; left as it was when the converters were not
// calibrated. link_status: as left by link_setup.
uint16_t adjust_converters(float uref, uint16_t& set007, uint16_t link_status);
// Returns the ranges code, 0 when the A/D part failed.
uint16_t calibrate_converters(float uref);
// Digits at 0 V at gain register E0h/E1h/E2h.
double measure_zero(uint8_t gain_reg);
// Highest D/A code 0..4095 whose gain-1 reading of `code` does not exceed target.
uint16_t da_search(uint8_t da_reg, uint8_t code, uint16_t target);
// Volts of `code`, or of its nibble-exchanged code when the first is out of
// range; 0.0 when neither is within +-20 V.
float measure_with_swap(uint8_t gain, uint8_t code, int32_t n);

// ---- the arithmetic, kept apart from the box ----

// Zeros: 1792 digits and below is a unipolar input range.
constexpr float kBipolarZeroAbove = 1792.0f;
constexpr float kZeroLimit = 2304.0f;

// 4 (bipolar) or 2 (unipolar) from the gain-1 zero.
uint16_t range_class_of_zero(float zero);
// A zero above 2304 always fails; exactly 0 fails where `zero_required`
// (gain 1 always, gains 10/100 only in a bipolar range).
bool zero_acceptable(float zero, bool zero_required);
// Final A/D range code 2..5 from the class (2/4), the gain-1 zero and the
// volts per digit k, or 0 when a full-scale end falls outside 0..4095 (or k
// is not a positive finite number). The thresholds compare in single
// precision, so that k equal to the float 0.004 (0.002) stays in the 5 V range.
uint16_t ad_range_code(uint16_t range_class, float zero, float k);

// Output recognition at code 600h: the pattern from the direct reading
// (10h or 0), and from the exchanged one (bipolar pattern, 30h or 0).
uint16_t direct_pattern(float volts);
uint16_t exchanged_pattern(float volts, uint16_t bipolar_pattern);

enum class OutputKind { None, Positive, Negative, Bipolar };
// Kind of output 1 (AO1) or 2 (AO2) by the high nibble of the ranges code.
OutputKind output_kind(int output, uint16_t ranges_code);

// The two calibration points of one output.
struct CalPlan {
    uint16_t high_code;
    bool high_exchanged;
    uint16_t low_code;
    bool low_exchanged;
    bool low_with_swap;
    uint16_t divisor;
};
// false when the A/D range or the kind has no plan.
bool calibration_plan(uint16_t ad_range, OutputKind kind, CalPlan* plan);

struct DaLine {
    float lc;      // volts at code 0
    float slope;   // volts per code step
};
DaLine da_line(float v_high, float v_low, uint16_t low_code, uint16_t divisor);

// Self-test voltage in volts from a random number 0..32767: -9.999..+10.000 V
// on a 1 mV grid.
float selftest_volts(int32_t random15);
bool selftest_pass(float set, float measured);
