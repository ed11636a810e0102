// 12-bit A/D converter with gains 1/10/100 and the differential multiplexer.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Adc : public Block {
public:
    Adc(Box& box, BoxFile& cfg);
    // One conversion now, as the sampling mode clocks it: 12-bit code of
    // the multiplexer code at gain register E0h/E1h/E2h.
    uint16_t sample(uint8_t gain_reg, uint8_t mux);
};

}  // namespace tvsim
