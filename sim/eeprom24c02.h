// The box's identity EEPROM: a 24C02 (256 bytes) on a two-wire bus that the
// box exposes through two register bits.
//
//   register 02h, write: bit 7 = 1 pulls the data line low, bit 6 = 1 pulls
//                        the clock line low (open drain; 0 releases the line)
//   register 12h, read:  bit 1 = the data line as it is (wired AND of the
//                        library's drive and the chip's)
//
// Layered as the hardware is: TwoWireDecoder turns line changes into start,
// stop, byte and acknowledge events and knows nothing of memory; At24c02Core
// handles those events (device select, word address, byte/page write with
// its write cycle, current-address and random read) and knows nothing of
// lines. Eeprom24c02 is the box block that wires them to the registers.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "block.h"
#include "box_file.h"

namespace tvsim {

class Box;

// What a device on the bus answers to the decoder's events.
class TwoWireTarget {
public:
    virtual ~TwoWireTarget() = default;
    virtual void start_condition() = 0;
    virtual void stop_condition() = 0;
    // First byte after a start: device address and R/W bit. true = acknowledge.
    virtual bool select(uint8_t address_byte) = 0;
    // A byte written by the controller. true = acknowledge.
    virtual bool receive(uint8_t byte) = 0;
    // The next byte the controller reads.
    virtual uint8_t transmit() = 0;
};

// Bit-level state of a device on the two-wire bus. Data is sampled on the
// rising clock edge; the device changes its own drive only while the clock
// is low. A data change while the clock is high is a start (falling) or a
// stop (rising).
class TwoWireDecoder {
public:
    enum class State {
        Idle,           // waiting for a start
        Address,        // shifting in the device address byte
        Receive,        // shifting in a byte from the controller
        AckOut,         // the device pulls data low for one clock
        Transmit,       // shifting a byte out to the controller
        AckIn,          // the controller acknowledges (low) or not (high)
        Ignore,         // not addressed or not acknowledged: wait for start/stop
    };

    explicit TwoWireDecoder(TwoWireTarget& target) : target_(target) {}
    // The controller's drive of both lines (true = released, high).
    void set_lines(bool clock, bool data);
    // The data line as it is: low when either side pulls it low.
    bool data_line() const { return data_; }
    bool clock_line() const { return clock_; }
    State state() const { return state_; }

private:
    void clock_rises();
    void clock_falls();
    void update_data();
    void drive_next_bit();

    TwoWireTarget& target_;
    State state_ = State::Idle;
    State after_ack_ = State::Idle;
    bool clock_ = true;
    bool data_ = true;
    bool controller_data_ = true;
    bool device_low_ = false;      // the device pulls data low
    bool controller_acked_ = false;
    int bits_ = 0;
    uint8_t shift_ = 0;
};

// A 24C02: 256 bytes, device address 1010 A2 A1 A0 R/W with the select pins
// tied low (answers A0h/A1h only), 8-byte write pages, one address pointer
// shared by writes and reads. A write is committed by the stop condition and
// then runs a self-timed write cycle during which the chip answers nothing.
class At24c02Core : public TwoWireTarget {
public:
    At24c02Core(const Box& box, uint64_t write_cycle_ns) : box_(box), write_cycle_ns_(write_cycle_ns) {}

    void start_condition() override;
    void stop_condition() override;
    bool select(uint8_t address_byte) override;
    bool receive(uint8_t byte) override;
    uint8_t transmit() override;

    std::array<uint8_t, 256> memory{};
    std::set<uint8_t> stuck;                  // cells that keep their value on write
    bool busy() const;
    uint64_t writes_committed() const { return writes_; }
    // Called when a write cycle starts (the block saves its image file there).
    std::function<void()> on_commit;

private:
    const Box& box_;
    uint64_t write_cycle_ns_;
    uint64_t busy_until_ = 0;
    uint64_t writes_ = 0;
    uint8_t pointer_ = 0;
    bool word_address_next_ = false;
    std::vector<std::pair<uint8_t, uint8_t>> page_;   // (cell, value) latched, not yet written
};

class Eeprom24c02 : public Block {
public:
    Eeprom24c02(Box& box, BoxFile& cfg);
    void write(uint8_t reg, uint8_t value) override;
    uint8_t read(uint8_t reg, uint8_t v) override;

    // Tests and tools: the chip's contents and its bus state.
    uint8_t cell(int offset) const { return core_.memory[static_cast<size_t>(offset) & 0xFF]; }
    const std::array<uint8_t, 256>& image() const { return core_.memory; }
    const std::string& image_path() const { return image_path_; }
    bool present() const { return present_; }
    bool busy() const { return core_.busy(); }
    uint64_t writes_committed() const { return core_.writes_committed(); }
    TwoWireDecoder::State bus_state() const { return decoder_.state(); }

    // Where the built-in default box keeps its image:
    // $XDG_STATE_HOME/tarvenix/eeprom.bin, else ~/.local/state/tarvenix/eeprom.bin,
    // else "" (memory only).
    static std::string default_image_path();

private:
    void save_image();

    bool present_ = true;
    std::string image_path_;
    At24c02Core core_;
    TwoWireDecoder decoder_{core_};
};

}  // namespace tvsim
