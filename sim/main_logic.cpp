#include "main_logic.h"

#include "box.h"

namespace tvsim {

namespace {
constexpr uint8_t kConfigReg = 0x12;
constexpr uint8_t kScratchReg = 0xA0;

constexpr uint8_t kData = 0x01;
constexpr uint8_t kClock = 0x02;
constexpr uint8_t kLoading = 0x04;
constexpr uint8_t kProgram = 0x08;   // active low
constexpr uint8_t kDone = 0x08;
}  // namespace

MainLogic::MainLogic(Box& box, BoxFile& cfg)
{
    const int loaded = cfg.choice("main_logic.loaded", {"none", "007CA000", "007CA003", "007CA004"}, 0);
    device_.set_faults(cfg.flag("fault.main_logic_rejects", false), cfg.flag("fault.main_logic_no_reset", false));
    static const char* const kNames[] = {"", "007CA000", "007CA003", "007CA004"};
    if (loaded > 0)
        device_.preload(kNames[loaded]);
    box.map(kConfigReg, kConfigReg, this);
    box.map(kScratchReg, kScratchReg, this);
}

void MainLogic::write(uint8_t reg, uint8_t value)
{
    if (reg == kScratchReg) {
        if (device_.done())
            scratch_ = value;
        return;
    }
    const uint8_t rose = static_cast<uint8_t>(value & ~pins_);
    pins_ = value;
    device_.program((value & kProgram) == 0);
    if (!device_.done())
        scratch_ = 0;   // a cleared device forgets its registers
    if ((rose & kClock) && (value & kLoading))
        device_.clock(value & kData);
}

uint8_t MainLogic::read(uint8_t reg, uint8_t v)
{
    if (reg == kScratchReg)
        return device_.done() ? scratch_ : v;
    return device_.done() ? static_cast<uint8_t>(v | kDone) : v;
}

// The box reset clears the design's registers, not the configuration: only
// PROGRAM does that.
void MainLogic::reset()
{
    scratch_ = 0;
}

}  // namespace tvsim
