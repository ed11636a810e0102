// The expansion card's eight D/A channels.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class ExpansionDac : public Block {
public:
    ExpansionDac(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
