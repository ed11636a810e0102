// Bitstream files of the simulated logic devices. Our own format, not a
// real device's:
//   "LCB1"            4 bytes magic
//   design name       8 bytes ASCII, e.g. "007CA003"
//   payload length    4 bytes little-endian
//   payload           length bytes
//   checksum          4 bytes little-endian, FNV-1a over name, length and payload
// A logic device shifts the bits in most significant bit first, checks the
// header and checksum, and ignores anything clocked after the last byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tvsim {

constexpr size_t kBitstreamHeader = 16;
constexpr uint32_t kMaxPayload = 1u << 20;

std::vector<uint8_t> make_bitstream(const std::string& design, uint32_t payload_len, uint32_t seed);
uint32_t bitstream_checksum(const uint8_t* name_len_payload, size_t n);

class BitstreamReceiver {
public:
    enum class State { Idle, Receiving, Done, Bad };
    void start();                 // PROGRAM: forget everything, wait for bits
    void stop() { state_ = State::Idle; bytes_.clear(); }
    void push_bit(int bit);       // one configuration clock
    void push_byte(uint8_t b);    // byte-wide configuration
    State state() const { return state_; }
    const std::string& design() const { return design_; }

private:
    void take_byte(uint8_t b);
    State state_ = State::Idle;
    std::vector<uint8_t> bytes_;
    uint8_t shift_ = 0;
    int nbits_ = 0;
    uint32_t expected_ = 0;
    std::string design_;
};

}  // namespace tvsim
