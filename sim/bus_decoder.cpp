#include "bus_decoder.h"

#include "box.h"
#include "parallel_port.h"

namespace tvsim {

namespace {
constexpr uint8_t kWriteStrobe = 0x01;
constexpr uint8_t kReadStrobe = 0x02;
constexpr uint8_t kAddressStrobe = 0x08;
}  // namespace

void BusDecoder::control_written(ParallelPort& port, uint8_t old_control)
{
    if (!box_.bus_answers()) {
        reading_ = false;
        return;
    }
    const uint8_t now = port.control;
    const uint8_t rising = static_cast<uint8_t>(now & ~old_control);
    const uint8_t falling = static_cast<uint8_t>(old_control & ~now);
    if (rising & kAddressStrobe)
        address_ = port.data;
    if (rising & kWriteStrobe)
        box_.reg_write(address_, port.data);
    if (rising & kReadStrobe) {
        value_ = box_.reg_read(address_);
        reading_ = true;
        high_nibble_ = (port.data & 0x01) != 0;
        valid_from_ = box_.now_ns() + box_.timing().settle_ns;
    }
    if (falling & kReadStrobe)
        reading_ = false;
}

void BusDecoder::data_written(ParallelPort& port)
{
    if (!reading_ || eight_bit_)
        return;
    const bool high = (port.data & 0x01) != 0;
    if (high != high_nibble_) {
        high_nibble_ = high;
        valid_from_ = box_.now_ns() + box_.timing().settle_ns;
    }
}

bool BusDecoder::settled() const
{
    return box_.now_ns() >= valid_from_;
}

int BusDecoder::data_lines() const
{
    if (!reading_ || !eight_bit_)
        return -1;
    return settled() ? value_ : 0xFF;
}

int BusDecoder::nibble_status() const
{
    if (!reading_ || eight_bit_)
        return -1;
    if (!settled())
        return 0xB8;  // lines still high
    const uint8_t n = high_nibble_ ? static_cast<uint8_t>(value_ >> 4) : static_cast<uint8_t>(value_ & 0x0F);
    // nibble bit 3 -> status bit 5, bit 2 -> 4, bit 1 -> 3, bit 0 -> 7
    return ((n & 0x08) ? 0x20 : 0) | ((n & 0x04) ? 0x10 : 0) | ((n & 0x02) ? 0x08 : 0) | ((n & 0x01) ? 0x80 : 0);
}

}  // namespace tvsim
