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
    // Count and mode of counter 0..2 of the reference timer block (counter 2
    // is also the sampling clock, one count per microsecond).
    uint16_t count(int counter) const;
    int mode(int counter) const;
};

}  // namespace tvsim
