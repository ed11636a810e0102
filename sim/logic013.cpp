#include "logic013.h"

#include "box.h"

namespace tvsim {

namespace {
constexpr uint8_t kControlReg = 0x10;
constexpr uint8_t kDataReg = 0x05;

constexpr uint8_t kStrobe = 0x01;
constexpr uint8_t kProgram = 0x02;   // active high
constexpr uint8_t kLoading = 0x0C;
constexpr uint8_t kDone = 0x01;
constexpr uint8_t kInitHigh = 0x02;
}  // namespace

Logic013::Logic013(Box& box, BoxFile& cfg)
{
    present_ = cfg.flag("logic013.present", false);
    const bool loaded = cfg.flag("logic013.loaded", false);
    device_.set_faults(cfg.flag("fault.logic013_rejects", false), cfg.flag("fault.logic013_no_reset", false));
    init_low_ = cfg.flag("fault.logic013_init_low", false);
    if (!present_)
        return;
    if (loaded)
        device_.preload("013CA000");
    // Mapped after the digital ports, so that a read of 10h ends here.
    box.map(kDataReg, kDataReg, this);
    box.map(kControlReg, kControlReg, this);
}

void Logic013::write(uint8_t reg, uint8_t value)
{
    if (reg == kDataReg) {
        data_ = value;
        return;
    }
    const uint8_t rose = static_cast<uint8_t>(value & ~pins_);
    pins_ = value;
    device_.program((value & kProgram) != 0);
    if (init_low_)
        return;
    if ((rose & kStrobe) && (value & kLoading) == kLoading)
        device_.strobe(data_);
}

uint8_t Logic013::read(uint8_t reg, uint8_t v)
{
    if (reg == kDataReg)
        return v;
    uint8_t s = 0;
    if (device_.done())
        s |= kDone;
    if (!init_low_ && !device_.clearing())
        s |= kInitHigh;
    return s;
}

}  // namespace tvsim
