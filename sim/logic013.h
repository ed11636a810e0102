// The 013 logic device behind registers 10h and 05h.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Logic013 : public Block {
public:
    Logic013(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
