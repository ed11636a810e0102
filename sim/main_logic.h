// Logic device of board 007, configured serially through register 12h:
// written bit 0 data, bit 1 clock (data taken on the rising edge), bit 2 set
// while loading, bit 3 PROGRAM (held 1, pulsed 0 to clear the device); read
// bit 3 DONE. The other bits of 12h belong to the comparators and the EEPROM
// data line. The loaded design (007CA000 adjustment, 007CA003 pulse width and
// frequency, 007CA004 event counting) decides how the timer block is wired.
// While any 007 design runs, register A0h is a scratch register.
//
// Box file keys:
//   main_logic.loaded = none | 007CA000 | 007CA003 | 007CA004   (none)
//   fault.main_logic_rejects = no   every bitstream is rejected, DONE stays low
//   fault.main_logic_no_reset = no  once configured, PROGRAM is ignored (DONE stays high)
#pragma once
#include <cstdint>
#include <string>

#include "block.h"
#include "box_file.h"
#include "config_device.h"

namespace tvsim {

class Box;

class MainLogic : public Block {
public:
    MainLogic(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;
    void reset() override;
    // Name of the loaded design ("007CA003" ...) while DONE is high, else empty.
    const std::string& design() const { return device_.design(); }
    bool done() const { return device_.done(); }

private:
    ConfigDevice device_{"007", 4};
    uint8_t pins_ = 0x08;   // last value written to 12h; PROGRAM released at power-up
    uint8_t scratch_ = 0;
};

}  // namespace tvsim
