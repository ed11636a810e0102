// Virtual time of the simulated box, in nanoseconds. Every port access and
// every busy-wait iteration advances it; nothing in the simulator sleeps.
#pragma once
#include <cstdint>

namespace tvsim {

class VirtualClock {
public:
    uint64_t now() const { return ns_; }
    void advance(uint64_t ns) { ns_ += ns; }

private:
    uint64_t ns_ = 0;
};

}  // namespace tvsim
