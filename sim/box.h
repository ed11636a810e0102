// The simulated machine: the PC's parallel ports and the measurement box on
// one of them. The box is reached only through port_write/port_read (the
// port's data, status and control registers); it decodes the lines itself.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "block.h"
#include "box_file.h"
#include "bus_decoder.h"
#include "clock.h"
#include "parallel_port.h"

namespace tvsim {

class PortLogic;
class BoxControl;
class Eeprom24c02;
class MainLogic;
class Logic013;
class ExpansionCard;
class ExpansionDac;
class ExpansionPorts;
class Adc;
class Dac;
class RefSources;
class TimerBlock;
class Sampler;
class DigitalPorts;

struct Timing {
    uint64_t io_access_ns = 1000;  // one ISA port access
    uint64_t delay_ns = 50;        // one iteration of the library's busy-wait
    uint64_t settle_ns = 1500;     // read data valid this long after the strobe / nibble select
};

class Box {
public:
    // Builds the machine from a box file; null and *error on a bad file.
    static std::unique_ptr<Box> from_file(const std::string& path, std::string* error);
    static std::unique_ptr<Box> from_text(const std::string& text, std::string* error);
    // The built-in default box (the newer family at 378h).
    static std::unique_ptr<Box> default_box(std::string* error);
    static std::string default_box_text();
    ~Box();

    // The PC side: port instructions and time.
    void port_write(uint16_t port, uint8_t value);
    uint8_t port_read(uint16_t port);
    void delay_loop(uint32_t iterations);
    void sleep_ns(uint64_t ns);
    uint64_t now_ns() const { return clock_.now(); }
    VirtualClock& clock() { return clock_; }
    const Timing& timing() const { return timing_; }

    // The box side: register space behind the bus logic.
    void map(uint8_t first, uint8_t last, Block* block);
    uint8_t reg_read(uint8_t reg);
    void reg_write(uint8_t reg, uint8_t value);
    void reset();                      // box reset pulse: every block to its reset state
    bool bus_answers() const;          // the bus logic is there (port-side logic loaded or older family)
    bool ack_low() const;              // the acknowledge input as the box drives it

    bool newer_family() const { return newer_family_; }
    uint16_t box_base() const { return box_base_; }
    bool box_present() const { return box_present_; }
    uint32_t seed() const { return seed_; }
    BusDecoder& bus() { return bus_; }

    PortLogic& port_logic() { return *port_logic_; }
    BoxControl& control() { return *control_; }
    Eeprom24c02& eeprom() { return *eeprom_; }
    MainLogic& main_logic() { return *main_logic_; }
    Logic013& logic013() { return *logic013_; }
    ExpansionCard& expansion() { return *expansion_; }
    ExpansionDac& expansion_dac() { return *expansion_dac_; }
    ExpansionPorts& expansion_ports() { return *expansion_ports_; }
    Adc& adc() { return *adc_; }
    Dac& dac() { return *dac_; }
    RefSources& refs() { return *refs_; }
    TimerBlock& timers() { return *timers_; }
    Sampler& sampler() { return *sampler_; }
    DigitalPorts& digital() { return *digital_; }

private:
    Box() = default;
    static std::unique_ptr<Box> make(BoxFile& cfg, bool read_ok, std::string* error);
    bool build(BoxFile& cfg, std::string* error);
    ParallelPort* find_port(uint16_t port, int* offset);

    VirtualClock clock_;
    Timing timing_;
    std::vector<ParallelPort> ports_;
    BusDecoder bus_{*this};
    uint16_t box_base_ = 0x378;
    bool box_present_ = true;
    bool newer_family_ = true;
    uint32_t seed_ = 1;
    std::array<std::vector<Block*>, 256> map_;
    std::vector<Block*> blocks_;

    std::unique_ptr<PortLogic> port_logic_;
    std::unique_ptr<BoxControl> control_;
    std::unique_ptr<Eeprom24c02> eeprom_;
    std::unique_ptr<MainLogic> main_logic_;
    std::unique_ptr<Logic013> logic013_;
    std::unique_ptr<ExpansionCard> expansion_;
    std::unique_ptr<ExpansionDac> expansion_dac_;
    std::unique_ptr<ExpansionPorts> expansion_ports_;
    std::unique_ptr<Adc> adc_;
    std::unique_ptr<Dac> dac_;
    std::unique_ptr<RefSources> refs_;
    std::unique_ptr<TimerBlock> timers_;
    std::unique_ptr<Sampler> sampler_;
    std::unique_ptr<DigitalPorts> digital_;
};

}  // namespace tvsim
