// Transient sampling mode.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Sampler : public Block {
public:
    Sampler(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
