// Port-side logic device of the newer family. Until a valid 004 design is
// loaded the box's bus logic does not exist: strobes are ignored and
// nothing is driven. It is configured straight from the port's data lines:
// bit 1 PROGRAM (a falling edge clears it and starts a load), bit 2 the
// configuration clock (data sampled on the rising edge), bit 0 the data.
// Once configured it ignores the data lines (they carry bus traffic); the
// box reset pulse clears it, so that it listens again.
#pragma once
#include "bitstream.h"
#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class PortLogic : public Block {
public:
    PortLogic(Box& box, BoxFile& cfg);
    void data_lines(uint8_t value);
    void reset() override;
    bool configured() const { return configured_; }
    const std::string& design() const { return receiver_.design(); }

private:
    bool rejects_ = false;     // box file fault: the device never configures
    bool configured_ = false;
    uint8_t last_ = 0;
    BitstreamReceiver receiver_;
};

}  // namespace tvsim
