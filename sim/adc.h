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
};

}  // namespace tvsim
