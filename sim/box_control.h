// Link and control registers of the box: 00h/01h (read mode announced by
// the library), 02h bit 0 (box reset pulse), 03h/05h, 06h/07h (test line:
// the box pulls the port's acknowledge input low), 13h (box control, reads
// back what was written with bit 7 forced to 1). On the older family the acknowledge input also
// answers the address scan: it is low while the latched address equals the
// box's device code. The older family's test line reaches the port only
// once the library has announced its read mode (register 00h or 01h) since
// the last box reset: right after a reset the box stays silent, which is how
// a loader's link test tells it from a box with port-side logic.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class BoxControl : public Block {
public:
    BoxControl(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;
    bool ack_low() const;
    uint8_t control13() const { return reg13_; }
    uint16_t device_code() const { return device_code_; }
    int resets() const { return resets_; }

private:
    Box& box_;
    uint16_t device_code_ = 0x12;
    bool answers_ = true;      // box file fault: the test line never reaches the port
    bool test_line_ = false;
    bool mode_announced_ = false;
    uint8_t reg13_ = 0;
    int resets_ = 0;
};

}  // namespace tvsim
