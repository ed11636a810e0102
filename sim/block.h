// One hardware block of the box. A block maps itself onto box registers in
// its constructor (Box::map); a read passes the value through every block
// mapped on that register, so that blocks sharing a register (12h carries
// comparators, EEPROM data and DONE) each contribute their own bits.
#pragma once
#include <cstdint>

namespace tvsim {

class Block {
public:
    virtual ~Block() = default;
    virtual void write(uint8_t reg, uint8_t value) { (void)reg; (void)value; }
    // v: the value composed so far (starts at 00h); returns the new value.
    virtual uint8_t read(uint8_t reg, uint8_t v) { (void)reg; return v; }
    // The box reset pulse (register 02h bit 0).
    virtual void reset() {}
};

}  // namespace tvsim
