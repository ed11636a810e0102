// The box's voltage outputs (AO1, AO2, the expansion card's eight D/A
// channels) and its reference sources UM, U0, U1 with the comparators.
#pragma once
#include "link/regs.h"
#include <cstdint>

#include "tarvenix.h"


// Comparator bits at 12h: each is set while UM is above the named voltage.
namespace cmp {
constexpr uint8_t kSupply = 0x01;
constexpr uint8_t kRef2V5 = 0x10;
constexpr uint8_t kRef10V = 0x20;
constexpr uint8_t kU0 = 0x40;
constexpr uint8_t kU1 = 0x80;
}  // namespace cmp

// Reference timer control bytes: counter 0/1/2, mode 1, low then high byte.
constexpr uint8_t kCtlU0 = 0x32;
constexpr uint8_t kCtlU1 = 0x72;
constexpr uint8_t kCtlUM = 0xB2;

// The expansion D/A scale in codes per volt: the 32-bit float 434CC00Eh.
constexpr float kKestelCodesPerVolt = 204.75021f;

// Successive approximation of UM over 0-1023 against one comparator bit:
// a trial step is kept while (status & mask) is 0 with polarity 0, or
// non-zero with any other polarity. UM is left at the last trial. 80 ms.
uint16_t ref_search(uint8_t status_reg, uint8_t mask, int polarity);
// The voltage where the comparator switches: ref_search x UM_m + UM_1.
double ref_measure(uint8_t status_reg, uint8_t mask, int polarity);
// One calibration pass of UM, U0 and U1 (x: the expected voltage of a fixed
// U1 on the older family, or negative to calibrate U1 like U0).
// 0 ok, 1 comparator codes not in the ratio 3..5, 2 U0/U1 outside limits.
int32_t init_da_pass(float x);
// code to register reg (low byte) and reg+1 (high byte); update: read ECh.
void da_write(uint8_t reg, uint16_t code, int update);
// The same for the expansion card, update read at D0h.
void kestel_da_write(uint8_t reg, uint16_t code, int update);
