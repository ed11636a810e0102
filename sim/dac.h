// D/A outputs AO1 and AO2. The codes written to E8h/E9h (AO1) and EAh/EBh
// (AO2), low byte then high byte, become effective together at the next
// read of ECh. The jumper range of each output (0..10, 0..-10 or -10..10 V)
// is the span of 4096 codes; each output has an offset (V) and a gain error.
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Dac : public Block {
public:
    Dac(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;

    // Voltage at output 1 (AO1) or 2 (AO2).
    double ao_volts(int output) const;
    // The effective 12-bit code of output 1 or 2.
    uint16_t code(int output) const;
    int updates() const { return updates_; }

private:
    struct Output {
        double low = -10.0;       // V at code 0 of the ideal converter
        double span = 20.0;       // V over 4096 codes (negative for 0..-10 V)
        double offset = 0.0;
        double gain_error = 0.0;
        uint16_t pending = 0x800;
        uint16_t code = 0x800;    // mid-scale at power-on
    };
    Output out_[2];
    int updates_ = 0;
};

}  // namespace tvsim
