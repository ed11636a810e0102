#include "box_control.h"

#include "box.h"

namespace tvsim {

BoxControl::BoxControl(Box& box, BoxFile& cfg) : box_(box)
{
    device_code_ = static_cast<uint16_t>(cfg.integer("box.device_code", 0x12));
    answers_ = cfg.flag("box.answers", true);
    box.map(0x00, 0x07, this);
    box.map(0x13, 0x13, this);
}

void BoxControl::write(uint8_t reg, uint8_t value)
{
    switch (reg) {
    case 0x00:
        box_.bus().set_eight_bit(true);
        mode_announced_ = true;
        break;
    case 0x01:
        box_.bus().set_eight_bit(false);
        mode_announced_ = true;
        break;
    case 0x02:
        if (value & 0x01) {
            ++resets_;
            box_.reset();
        }
        break;
    case 0x06: test_line_ = true; break;
    case 0x07: test_line_ = false; break;
    case 0x13: reg13_ = value; break;
    default: break;
    }
}

uint8_t BoxControl::read(uint8_t reg, uint8_t v)
{
    // bit 7 of the box control register always reads 1
    return reg == 0x13 ? static_cast<uint8_t>(reg13_ | 0x80) : v;
}

void BoxControl::reset()
{
    test_line_ = false;
    mode_announced_ = false;
    reg13_ = 0;
}

bool BoxControl::ack_low() const
{
    if (!answers_ || !box_.bus_answers())
        return false;
    if (!box_.newer_family() && !mode_announced_)
        return false;
    if (test_line_)
        return true;
    return !box_.newer_family() && box_.bus().address() == device_code_;
}

}  // namespace tvsim
