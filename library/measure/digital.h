// Digital ports: P0 outputs and P1 inputs of the box, and the three ports of
// the expansion card with their direction register. Single register accesses,
// no shadow copy: a port number outside 1-3 touches no register.
#pragma once
#include <cstdint>

#include "tarvenix.h"

namespace reg {
constexpr uint8_t kKestelPort1 = 0xD8;   // expansion card ports 1-3: D8h, D9h, DAh
constexpr uint8_t kKestelPort3 = 0xDA;
constexpr uint8_t kKestelDir = 0xDF;     // bits 0-3: direction flags, 1 = output
}  // namespace reg

// Byte returned by BcKestel1GetDigitalPort for a port number outside 1-3.
constexpr uint8_t kNoKestelPort = 0x00;

// The direction byte for four flags: bit n set when flag n+1 is non-zero.
uint8_t kestel_dir_byte(uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4);
