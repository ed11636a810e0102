#include "port_logic.h"

namespace tvsim {

namespace {
constexpr uint8_t kData = 0x01;
constexpr uint8_t kProgram = 0x02;
constexpr uint8_t kClock = 0x04;
constexpr const char* kDesign = "004CA000";
}  // namespace

PortLogic::PortLogic(Box&, BoxFile& cfg)
{
    rejects_ = cfg.flag("fault.port_logic_rejects", false);
    // A box that kept its power since an earlier load: the bus answers at once.
    configured_ = cfg.flag("port_logic.loaded", false) && !rejects_;
}

void PortLogic::data_lines(uint8_t value)
{
    if (configured_) {
        last_ = value;
        return;
    }
    const uint8_t fell = static_cast<uint8_t>(last_ & ~value);
    const uint8_t rose = static_cast<uint8_t>(value & ~last_);
    last_ = value;
    if (fell & kProgram) {
        receiver_.start();
        return;
    }
    if ((rose & kClock) && (value & kProgram)) {
        receiver_.push_bit(value & kData);
        if (receiver_.state() == BitstreamReceiver::State::Done && receiver_.design() == kDesign && !rejects_)
            configured_ = true;
    }
}

void PortLogic::reset()
{
    configured_ = false;
    receiver_.stop();
}

}  // namespace tvsim
