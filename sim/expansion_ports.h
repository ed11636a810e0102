// The expansion card's three digital ports.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class ExpansionPorts : public Block {
public:
    ExpansionPorts(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
