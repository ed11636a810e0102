// The expansion card's eight D/A channels: channel n takes its code at
// C0h + 2(n-1) (low byte) and the next register (high byte); a read of D0h
// makes all written codes effective. Range -10..+10 V over codes 0..4095.
// The channels answer only while the card's logic is loaded.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class ExpansionDac : public Block {
public:
    ExpansionDac(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;

    // Effective code and voltage of channel 1..8.
    uint16_t code(int channel) const;
    double volts(int channel) const;

private:
    Box& box_;
    uint16_t pending_[8] = {};
    uint16_t code_[8] = {};
};

}  // namespace tvsim
