// 256-byte two-wire EEPROM on register 02h (lines) and 12h bit 1 (data in).
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

class Eeprom24c02 : public Block {
public:
    Eeprom24c02(Box& box, BoxFile& cfg);
};

}  // namespace tvsim
