#include "digital_ports.h"

#include "box.h"

namespace tvsim {

DigitalPorts::DigitalPorts(Box& box, BoxFile& cfg)
{
    p1_ = static_cast<uint8_t>(cfg.integer("p1", 0x00));
    box.map(0x10, 0x11, this);
}

void DigitalPorts::write(uint8_t reg, uint8_t value)
{
    if (reg == 0x10)
        p0_ = value;
}

uint8_t DigitalPorts::read(uint8_t reg, uint8_t v)
{
    (void)v;
    return reg == 0x10 ? p0_ : p1_;
}

}  // namespace tvsim
