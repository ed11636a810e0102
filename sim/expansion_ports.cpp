#include "expansion_ports.h"

#include "box.h"
#include "expansion_card.h"

namespace tvsim {

namespace {
constexpr uint8_t kPort1 = 0xD8;
constexpr uint8_t kPort3 = 0xDA;
constexpr uint8_t kDirection = 0xDF;
}  // namespace

ExpansionPorts::ExpansionPorts(Box& box, BoxFile& cfg) : box_(box)
{
    for (int p = 1; p <= 3; ++p) {
        const std::string key = "expansion_ports.in" + std::to_string(p);
        input_[p - 1] = static_cast<uint8_t>(cfg.integer(key, 0x00));
    }
    box.map(kPort1, kPort3, this);
    box.map(kDirection, kDirection, this);
}

void ExpansionPorts::reset()
{
    dir_ = 0;
    latch_ = {};
}

uint8_t ExpansionPorts::output_mask(int port) const
{
    switch (port) {
    case 1:
        return dir_ & 0x01 ? 0xFF : 0x00;
    case 2:
        return dir_ & 0x02 ? 0xFF : 0x00;
    case 3:
        return static_cast<uint8_t>((dir_ & 0x04 ? 0x0F : 0x00) | (dir_ & 0x08 ? 0xF0 : 0x00));
    default:
        return 0;
    }
}

void ExpansionPorts::write(uint8_t reg, uint8_t value)
{
    if (!box_.expansion().loaded())
        return;
    if (reg == kDirection)
        dir_ = value & 0x0F;
    else
        latch_[reg - kPort1] = value;
}

uint8_t ExpansionPorts::read(uint8_t reg, uint8_t v)
{
    if (reg == kDirection || !box_.expansion().loaded())
        return v;
    const int port = reg - kPort1 + 1;
    const uint8_t out = output_mask(port);
    return static_cast<uint8_t>((latch_[port - 1] & out) | (input_[port - 1] & ~out));
}

}  // namespace tvsim
