#include "expansion_card.h"

#include "box.h"

namespace tvsim {

namespace {
constexpr uint8_t kCardReg = 0xDF;

constexpr uint8_t kSetupFirst = 0x40;
constexpr uint8_t kSetupSecond = 0x80;
constexpr uint8_t kData = 0x01;
constexpr uint8_t kProgram = 0x02;   // active low
constexpr uint8_t kClock = 0x04;
constexpr uint8_t kProbe = 0x10;
}  // namespace

ExpansionCard::ExpansionCard(Box& box, BoxFile& cfg)
{
    present_ = cfg.flag("expansion.present", true);
    const bool loaded = cfg.flag("expansion.loaded", false);
    device_.set_faults(cfg.flag("fault.expansion_rejects", false), false);
    if (!present_)
        return;
    if (loaded)
        device_.preload("012CA000");
    box.map(kCardReg, kCardReg, this);
}

void ExpansionCard::write(uint8_t, uint8_t value)
{
    if (armed_ && value == kSetupSecond) {
        armed_ = false;
        setup_ = true;
        pins_ = value;
        device_.program(true);
        return;
    }
    armed_ = value == kSetupFirst;
    if (!setup_) {
        probe_ = value & kProbe;
        return;
    }
    const uint8_t rose = static_cast<uint8_t>(value & ~pins_);
    pins_ = value;
    device_.program((value & kProgram) == 0);
    if (rose & kClock)
        device_.clock(value & kData);
    if (device_.done()) {
        // The configured card takes its register over.
        setup_ = false;
        probe_ = 0;
    }
}

uint8_t ExpansionCard::read(uint8_t, uint8_t v)
{
    if (setup_ || !device_.done())
        return v;
    return static_cast<uint8_t>(v | probe_);
}

}  // namespace tvsim
