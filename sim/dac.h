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
};

}  // namespace tvsim
