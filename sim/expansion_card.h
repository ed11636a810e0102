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
    // The card is fitted and its logic device is configured.
    bool loaded() const { return loaded_; }

private:
    bool loaded_ = false;
};

}  // namespace tvsim
