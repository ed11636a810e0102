// Logic device of board 007: PROGRAM, serial load through register 12h, DONE.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class MainLogic : public Block {
public:
    MainLogic(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
