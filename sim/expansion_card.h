// The expansion card's logic device behind register DFh, with its probe bit.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class ExpansionCard : public Block {
public:
    ExpansionCard(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
