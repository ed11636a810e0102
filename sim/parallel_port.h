// One PC parallel port: data, status and control registers at a base.
#pragma once
#include <cstdint>

namespace tvsim {

enum class PortKind {
    None = 0,           // nothing at this address: every register reads FFh
    OutputOnly = 1,     // data lines always driven by the port (reads return the latch)
    Bidirectional = 2,  // control bit 5 releases the data lines
};

struct ParallelPort {
    uint16_t base = 0;
    PortKind kind = PortKind::Bidirectional;
    bool has_box = false;
    uint8_t data = 0;     // data latch as written by the PC
    uint8_t control = 0;  // control latch as written by the PC

    bool lines_released() const { return kind == PortKind::Bidirectional && (control & 0x20) != 0; }
};

}  // namespace tvsim
