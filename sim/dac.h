// D/A outputs AO1 and AO2.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Dac : public Block {
public:
    Dac(Box& box, BoxFile& cfg);
    // Voltage at output 1 (AO1) or 2 (AO2).
    double ao_volts(int output) const;
};

}  // namespace tvsim
