// The expansion card's three 8-bit digital ports (D8h, D9h, DAh) and their
// direction register (DFh bits 0-3, 1 = output). The card's logic routes the
// four direction flags as: flag 0 -> port 1, flag 1 -> port 2, flag 2 ->
// port 3 bits 0-3, flag 3 -> port 3 bits 4-7. A read gives the output latch
// on output lines and the input levels of the box file on input lines. The
// ports work only while the card's logic device is loaded; before that they
// neither latch nor drive the bus (reads give the floating value 00h).
#pragma once
#include <array>
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class ExpansionPorts : public Block {
public:
    ExpansionPorts(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;

    // Output-enable mask of port 1..3 from the direction flags.
    uint8_t output_mask(int port) const;
    // What the card drives on the connector of port 1..3 (output lines only).
    uint8_t latch(int port) const { return latch_[port - 1]; }
    void set_input(int port, uint8_t v) { input_[port - 1] = v; }

private:
    Box& box_;
    uint8_t dir_ = 0;
    std::array<uint8_t, 3> latch_{};
    std::array<uint8_t, 3> input_{};
};

}  // namespace tvsim
