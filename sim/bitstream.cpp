#include "bitstream.h"

namespace tvsim {

uint32_t bitstream_checksum(const uint8_t* p, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

std::vector<uint8_t> make_bitstream(const std::string& design, uint32_t payload_len, uint32_t seed)
{
    std::vector<uint8_t> out = {'L', 'C', 'B', '1'};
    for (size_t i = 0; i < 8; ++i)
        out.push_back(i < design.size() ? static_cast<uint8_t>(design[i]) : ' ');
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(payload_len >> (8 * i)));
    uint32_t x = seed * 2654435761u + 1;
    for (uint32_t i = 0; i < payload_len; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(static_cast<uint8_t>(x));
    }
    const uint32_t sum = bitstream_checksum(out.data() + 4, out.size() - 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(sum >> (8 * i)));
    return out;
}

void BitstreamReceiver::start()
{
    state_ = State::Receiving;
    bytes_.clear();
    shift_ = 0;
    nbits_ = 0;
    expected_ = 0;
    design_.clear();
}

void BitstreamReceiver::push_bit(int bit)
{
    if (state_ != State::Receiving)
        return;
    shift_ = static_cast<uint8_t>((shift_ << 1) | (bit & 1));
    if (++nbits_ == 8) {
        nbits_ = 0;
        take_byte(shift_);
    }
}

void BitstreamReceiver::push_byte(uint8_t b)
{
    if (state_ == State::Receiving)
        take_byte(b);
}

void BitstreamReceiver::take_byte(uint8_t b)
{
    bytes_.push_back(b);
    if (bytes_.size() == 4 && !(bytes_[0] == 'L' && bytes_[1] == 'C' && bytes_[2] == 'B' && bytes_[3] == '1')) {
        state_ = State::Bad;
        return;
    }
    if (bytes_.size() == kBitstreamHeader) {
        expected_ = bytes_[12] | (bytes_[13] << 8) | (bytes_[14] << 16) | (static_cast<uint32_t>(bytes_[15]) << 24);
        if (expected_ > kMaxPayload) {
            state_ = State::Bad;
            return;
        }
    }
    if (bytes_.size() >= kBitstreamHeader && bytes_.size() == kBitstreamHeader + expected_ + 4) {
        const size_t body = bytes_.size() - 4;
        const uint32_t want = bitstream_checksum(bytes_.data() + 4, body - 4);
        const uint32_t got = bytes_[body] | (bytes_[body + 1] << 8) | (bytes_[body + 2] << 16) |
                             (static_cast<uint32_t>(bytes_[body + 3]) << 24);
        if (want != got) {
            state_ = State::Bad;
            return;
        }
        design_.assign(reinterpret_cast<const char*>(bytes_.data() + 4), 8);
        while (!design_.empty() && design_.back() == ' ')
            design_.pop_back();
        state_ = State::Done;
        bytes_.clear();
        bytes_.shrink_to_fit();
    }
}

}  // namespace tvsim
