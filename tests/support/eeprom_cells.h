// A value as stored in the simulated EEPROM's cells (little-endian bytes
// of the variable, as the library copies them).
#pragma once
#include <cstddef>
#include <cstdint>

#include "sim/box.h"
#include "sim/eeprom24c02.h"

namespace testsupport {

template <typename T>
T eeprom_value(tvsim::Box& box, int offset)
{
    T v;
    for (size_t i = 0; i < sizeof v; ++i)
        reinterpret_cast<uint8_t*>(&v)[i] = box.eeprom().cell(offset + static_cast<int>(i));
    return v;
}

}  // namespace testsupport
