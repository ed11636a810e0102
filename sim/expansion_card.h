// The expansion card's logic device behind register DFh. Writing 40h and
// then 80h (bits 6 and 7, the set-up values) puts DFh into set-up mode, in
// which it drives the device's configuration pins: bit 1 PROGRAM (held 1,
// low clears the device), bit 0 data, bit 2 clock (data taken on the rising
// edge). When the device is configured it takes DFh over: bit 4 is latched
// and read back, which is how the library finds a loaded card. Without the
// card nothing answers at DFh.
//
// Box file keys:
//   expansion.present = yes
//   expansion.loaded = no           configured at power-up
//   fault.expansion_rejects = no    every bitstream is rejected, the card stays silent
#pragma once
#include <cstdint>

#include "block.h"
#include "box_file.h"
#include "config_device.h"

namespace tvsim {

class Box;

class ExpansionCard : public Block {
public:
    ExpansionCard(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    bool present() const { return present_; }
    // The card is fitted and its logic device is configured.
    bool loaded() const { return present_ && device_.done(); }

private:
    bool present_ = true;
    bool setup_ = false;        // DFh drives the configuration pins
    bool armed_ = false;        // the last write was the first set-up value
    uint8_t pins_ = 0;
    uint8_t probe_ = 0;
    ConfigDevice device_{"012", 4};
};

}  // namespace tvsim
