// Digital ports of the box: P0 output latch at 10h (reads back, which makes
// it the newer family's test register), P1 inputs at 11h.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class DigitalPorts : public Block {
public:
    DigitalPorts(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override { p0_ = 0; }
    uint8_t p0() const { return p0_; }
    void set_p1(uint8_t v) { p1_ = v; }

private:
    uint8_t p0_ = 0;
    uint8_t p1_ = 0;
};

}  // namespace tvsim
