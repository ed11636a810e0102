// Decodes a recorded port log back into box register cycles, the way the
// box's bus logic sees them: address strobe, write strobe, read strobe.
#pragma once
#include <cstdint>
#include <vector>

#include "recording_port.h"

struct BusEvent {
    char op;          // 'w' register write, 'r' register read (read strobe)
    uint8_t reg;
    uint8_t value;    // written value (reads: 0)
    bool operator==(const BusEvent& o) const { return op == o.op && reg == o.reg && value == o.value; }
};

inline std::vector<BusEvent> bus_events(const std::vector<PortAccess>& log, uint16_t base)
{
    std::vector<BusEvent> out;
    uint8_t data = 0, control = 0, address = 0;
    for (const auto& a : log) {
        if (a.kind != 'W')
            continue;
        if (a.port == base) {
            data = a.value;
        } else if (a.port == base + 2) {
            const uint8_t rising = static_cast<uint8_t>(a.value & ~control);
            control = a.value;
            if (rising & 0x08)
                address = data;
            if (rising & 0x01)
                out.push_back({'w', address, data});
            if (rising & 0x02)
                out.push_back({'r', address, 0});
        }
    }
    return out;
}

// Only the register writes, as (register, value) pairs.
inline std::vector<BusEvent> bus_writes(const std::vector<PortAccess>& log, uint16_t base)
{
    std::vector<BusEvent> out;
    for (const auto& e : bus_events(log, base))
        if (e.op == 'w')
            out.push_back(e);
    return out;
}
