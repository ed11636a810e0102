#include "expansion_dac.h"

#include "box.h"
#include "expansion_card.h"

namespace tvsim {

namespace {
constexpr uint8_t kChannel1Low = 0xC0;
constexpr uint8_t kChannel8High = 0xCF;
constexpr uint8_t kUpdate = 0xD0;
}  // namespace

ExpansionDac::ExpansionDac(Box& box, BoxFile&) : box_(box)
{
    box.map(kChannel1Low, kUpdate, this);
}

void ExpansionDac::write(uint8_t reg, uint8_t value)
{
    if (reg > kChannel8High || !box_.expansion().loaded())
        return;
    uint16_t& p = pending_[(reg - kChannel1Low) / 2];
    if ((reg - kChannel1Low) % 2 == 0)
        p = static_cast<uint16_t>((p & 0xF00) | value);
    else
        p = static_cast<uint16_t>((p & 0x0FF) | ((value & 0x0F) << 8));
}

uint8_t ExpansionDac::read(uint8_t reg, uint8_t v)
{
    if (reg == kUpdate && box_.expansion().loaded())
        for (int i = 0; i < 8; ++i)
            code_[i] = pending_[i];
    return v;
}

uint16_t ExpansionDac::code(int channel) const
{
    return channel >= 1 && channel <= 8 ? code_[channel - 1] : 0;
}

double ExpansionDac::volts(int channel) const
{
    return -10.0 + 20.0 * code(channel) / 4095.0;
}

}  // namespace tvsim
