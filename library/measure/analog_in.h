// The box's 12-bit A/D converter: single and averaged conversions, digits to
// volts with the calibration of DeviceState, and the statistics run.
#pragma once
#include "link/regs.h"
#include <cstdint>

#include "tarvenix.h"


constexpr uint16_t kAdTimeout = 0xFFFF;   // ad_read_raw: the conversion did not finish
constexpr float kAdOverflow = 99.999f;    // |volts| of an input outside the range
constexpr int kAdStatusReads = 20;        // the 20th status read ends the wait

// Gain byte 10 -> E1h, 100 -> E2h, anything else -> E0h (gain 1).
uint8_t ad_gain_register(uint8_t gain);

// One conversion of multiplexer code mux at gain register gain_reg (E0h-E2h):
// 0-4095, or FFFFh when the ready bit did not come within 19 status reads.
uint16_t ad_read_raw(uint8_t gain_reg, uint8_t mux);
// Mean of n conversions (timeouts included as 65535). n = 0 converts nothing
// and gives 0.0.
double ad_read_mean(uint8_t gain_reg, uint8_t mux, uint32_t n);
// Digits to volts with the zero of the gain register and ADx1VoltProDigit;
// +-99.999 when the truncated digits are 0 or 4095.
double ad_to_volts(uint8_t gain_reg, uint8_t mux, float digits);
// Volts to digits at gain factor 1, 10 or 100 (any other factor uses the
// gain-1 zero), truncated toward zero. An uncalibrated converter
// (ADx1VoltProDigit = 0) gives the zero itself.
int32_t ad_to_digits(int32_t gain_factor, uint8_t mux, float volts);
