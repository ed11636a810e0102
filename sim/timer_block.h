// The 8254-style measurement timer block.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class TimerBlock : public Block {
public:
    TimerBlock(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
