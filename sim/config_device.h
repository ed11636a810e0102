// The configuration interface shared by the box's loadable logic devices:
// a PROGRAM input that clears the device, then configuration data shifted
// in serially (one bit per clock, most significant bit first) or taken a
// byte per strobe. The device accepts only a complete, intact bitstream of
// its own family ("007...", "012...", "013..."); anything else leaves DONE
// low. Serial devices need a few more clocks after the last bit to finish
// their start-up before DONE rises, which is why loaders clock a trailing
// byte of 1 bits.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "bitstream.h"

namespace tvsim {

class ConfigDevice {
public:
    ConfigDevice(std::string family, int startup_clocks)
        : family_(std::move(family)), startup_clocks_(startup_clocks)
    {
        rx_.start();   // after power-up the device has cleared itself and waits for data
    }
    // Box file faults: every bitstream rejected; PROGRAM ignored once configured.
    void set_faults(bool rejects, bool ignores_program)
    {
        rejects_ = rejects;
        ignores_program_ = ignores_program;
    }
    // A device that kept its configuration since an earlier load.
    void preload(const std::string& design);

    // PROGRAM input level: asserted clears the device; releasing it starts
    // a new configuration.
    void program(bool asserted);
    // One rising edge of the configuration clock with the data bit.
    void clock(int bit);
    // One byte-wide configuration strobe.
    void strobe(uint8_t byte);

    bool done() const { return !design_.empty(); }
    bool clearing() const { return clearing_; }
    const std::string& design() const { return design_; }

private:
    bool accepted() const;
    std::string family_;
    int startup_clocks_;
    bool rejects_ = false;
    bool ignores_program_ = false;
    bool clearing_ = false;
    int startup_ = 0;
    BitstreamReceiver rx_;
    std::string design_;
};

}  // namespace tvsim
