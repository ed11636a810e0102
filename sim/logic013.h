// The 013 logic device, configured byte-wide: register 10h written bit 1
// PROGRAM (1 clears the device, 0 releases it), bits 2 and 3 set while
// loading, bit 0 the byte strobe (the byte in register 05h is taken on its
// rising edge); read bit 0 DONE, bit 1 /INIT (low while the device clears
// itself). Only fitted when the box file says so; then its status replaces
// the P0 latch when 10h is read, so the newer family's register test on 10h
// no longer reads back.
//
// Box file keys:
//   logic013.present = no
//   logic013.loaded = no            configured at power-up (DONE high)
//   fault.logic013_rejects = no     every bitstream is rejected, DONE stays low
//   fault.logic013_no_reset = no    once configured, PROGRAM is ignored (DONE stays high)
//   fault.logic013_init_low = no    /INIT stays low, the device never takes data
#pragma once
#include <cstdint>
#include <string>

#include "block.h"
#include "box_file.h"
#include "config_device.h"

namespace tvsim {

class Box;

class Logic013 : public Block {
public:
    Logic013(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    bool present() const { return present_; }
    const std::string& design() const { return device_.design(); }

private:
    bool present_ = false;
    bool init_low_ = false;
    uint8_t pins_ = 0;
    uint8_t data_ = 0;
    ConfigDevice device_{"013", 0};
};

}  // namespace tvsim
