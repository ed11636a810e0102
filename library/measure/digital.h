// Digital ports: P0 outputs and P1 inputs of the box, and the three ports of
// the expansion card with their direction register. Single register accesses,
// no shadow copy: a port number outside 1-3 touches no register.
#pragma once
#include "link/regs.h"
#include <cstdint>

#include "tarvenix.h"


// Byte returned by BcKestel1GetDigitalPort for a port number outside 1-3.
constexpr uint8_t kNoKestelPort = 0x00;

// The direction byte for four flags: bit n set when flag n+1 is non-zero.
uint8_t kestel_dir_byte(uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4);
