#include "link/eeprom.h"

#include "platform/platform.h"
#include "tarvenix.h"

namespace {

// The map is indexed by EeField and must stay in rising, non-overlapping order.
constexpr bool map_is_consistent()
{
    constexpr size_t n = sizeof kEepromMap / sizeof kEepromMap[0];
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<size_t>(kEepromMap[i].field) != i)
            return false;
        if (kEepromMap[i].offset + kEepromMap[i].size > kEepromSize)
            return false;
        if (i > 0 && kEepromMap[i - 1].offset + kEepromMap[i - 1].size > kEepromMap[i].offset)
            return false;
    }
    return ee_map(EeField::DevError).offset == kRecordFirst &&
           ee_map(EeField::DA1VoltProDigit).offset + ee_map(EeField::DA1VoltProDigit).size == kRecordEnd;
}
static_assert(map_is_consistent(), "EEPROM map out of order");

using namespace ee_line;

// Line states written to register 02h.
constexpr uint8_t kBothHigh = 0x00;
constexpr uint8_t kDataLowClockHigh = kDataLow;
constexpr uint8_t kBothLow = kDataLow | kClockLow;
constexpr uint8_t kClockLowDataHigh = kClockLow;

inline void lines(uint8_t v)
{
    outbyte(reg::kEeLines, v);
}

// Data falls while the clock is high, then the clock goes low. Also the
// repeated start of a random read.
void start_condition()
{
    lines(kBothHigh);
    lines(kDataLowClockHigh);
    lines(kBothLow);
}

// Data rises while the clock is high.
void stop_condition()
{
    lines(kBothLow);
    lines(kDataLowClockHigh);
    lines(kBothHigh);
}

}  // namespace

uint8_t ee_device_address(int32_t offset, bool read)
{
    const uint8_t block = static_cast<uint8_t>(((offset >> 8) & 7) << 1);
    return static_cast<uint8_t>(kDeviceWrite | block | (read ? kRead : 0));
}

void ee_send_byte(uint8_t b)
{
    for (int bit = 7; bit >= 0; --bit) {
        const uint8_t v = (b >> bit) & 1 ? kClockLowDataHigh : kBothLow;
        lines(v);
        lines(static_cast<uint8_t>(v & kDataLow));   // clock high: the chip samples
        lines(v);
    }
    // acknowledge clock with data released; the chip's answer is not read
    lines(kClockLowDataHigh);
    lines(kBothHigh);
    lines(kClockLowDataHigh);
}

void ee_write_byte(int32_t offset, uint8_t value)
{
    start_condition();
    ee_send_byte(ee_device_address(offset, false));
    ee_send_byte(static_cast<uint8_t>(offset & 0xFF));
    ee_send_byte(value);
    stop_condition();
}

uint8_t ee_read_byte(int32_t offset)
{
    // random read: a dummy write sets the chip's address pointer
    start_condition();
    ee_send_byte(ee_device_address(offset, false));
    ee_send_byte(static_cast<uint8_t>(offset & 0xFF));
    start_condition();
    ee_send_byte(ee_device_address(offset, true));
    uint8_t result = 0;
    for (int bit = 7; bit >= 0; --bit) {
        lines(kBothHigh);   // clock high, data released: the chip drives its bit
        if (inbyte(reg::kEeDataIn) & kDataIn)
            result = static_cast<uint8_t>(result | (1u << bit));
        lines(kClockLowDataHigh);
    }
    // no acknowledge (data stays high on the ninth clock), then stop
    lines(kBothHigh);
    lines(kClockLowDataHigh);
    lines(kBothLow);
    lines(kDataLowClockHigh);
    lines(kBothHigh);
    return result;
}

void ee_read_block(int32_t start, int32_t count, void* buffer)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int32_t i = 0; i < count; ++i)
        bytes[i] = ee_read_byte(start + i);
}

int ee_write_block(int32_t start, int32_t count, void* buffer)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int32_t i = 0; i < count; ++i) {
        ee_write_byte(start + i, bytes[i]);
        sleep_ms(kWritePauseMs);
    }
    int mismatch = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t v = ee_read_byte(start + i);
        if (v != bytes[i])
            mismatch = 1;
        bytes[i] = v;
    }
    return mismatch;
}
