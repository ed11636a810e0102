#include "measure/digital.h"

#include "link/regs.h"

namespace {

// D8h, D9h, DAh for ports 1-3; 0 for any other number.
uint8_t kestel_port_register(int32_t port)
{
    if (port < 1 || port > 3)
        return 0;
    return static_cast<uint8_t>(reg::kKestelPort1 + (port - 1));
}

}  // namespace

uint8_t kestel_dir_byte(uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4)
{
    return static_cast<uint8_t>((d1 != 0 ? 0x01 : 0) | (d2 != 0 ? 0x02 : 0) | (d3 != 0 ? 0x04 : 0) |
                                (d4 != 0 ? 0x08 : 0));
}

extern "C" {

TARVENIX_API void SetDigitalPortP0(uint8_t value)
{
    outbyte(reg::kP0, value);
}

TARVENIX_API uint8_t GetDigitalPortP1(void)
{
    return inbyte(reg::kP1);
}

TARVENIX_API void BcKestel1SetDigitalPortDir(uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4)
{
    outbyte(reg::kKestelDir, kestel_dir_byte(d1, d2, d3, d4));
}

TARVENIX_API void BcKestel1SetDigitalPort(int32_t port, uint8_t value)
{
    const uint8_t r = kestel_port_register(port);
    if (r != 0)
        outbyte(r, value);
}

TARVENIX_API uint8_t BcKestel1GetDigitalPort(int32_t port)
{
    const uint8_t r = kestel_port_register(port);
    return r != 0 ? inbyte(r) : kNoKestelPort;
}

}  // extern "C"
