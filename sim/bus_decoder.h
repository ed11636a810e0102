// The box's side of the strobe protocol on the port lines: address strobe
// (control bit 3) latches an address from the data lines, write strobe
// (bit 0) writes the data lines into the addressed register, read strobe
// (bit 1) makes the box drive the register's value, either on the data lines
// (8-bit mode) or a nibble at a time on status bits 5, 4, 3, 7 (nibble mode,
// the data lines choosing the nibble: 01h high, 00h low).
//
// The driven value is valid only settle_ns after the strobe or the nibble
// select; a read before that sees the lines still floating high, which is
// what the library's wait-state tuning finds.
#pragma once
#include <cstdint>

namespace tvsim {

class Box;
struct ParallelPort;

class BusDecoder {
public:
    explicit BusDecoder(Box& box) : box_(box) {}
    void control_written(ParallelPort& port, uint8_t old_control);
    void data_written(ParallelPort& port);
    // What the box drives onto the data lines now, or -1 if nothing.
    int data_lines() const;
    // Status register bits 3, 4, 5, 7 as driven in a nibble read; -1 if not in one.
    int nibble_status() const;

    void set_eight_bit(bool on) { eight_bit_ = on; }
    bool eight_bit() const { return eight_bit_; }
    uint8_t address() const { return address_; }
    void reset() { reading_ = false; }

private:
    bool settled() const;
    Box& box_;
    uint8_t address_ = 0;
    bool eight_bit_ = false;
    bool reading_ = false;
    uint8_t value_ = 0;
    bool high_nibble_ = false;
    uint64_t valid_from_ = 0;
};

}  // namespace tvsim
