// Reference timer block, UM/U0/U1 and the comparators.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class RefSources : public Block {
public:
    RefSources(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
