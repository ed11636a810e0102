// The identity EEPROM of the newer box family: a 24C-series two-wire EEPROM
// whose lines the library drives by software through box register 02h
// (bit 7 = 1 pulls data low, bit 6 = 1 pulls clock low, open drain) and
// whose data line it reads at register 12h bit 1.
//
// Only single-byte transactions: byte write (then a 25 ms pause for the
// chip's write cycle) and random read. The acknowledge of the chip is
// clocked but never read; a missing chip reads as FFh.
//
// The EEPROM map below is the one description of what lies where; every
// reader and writer takes its offsets and sizes from it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "link/regs.h"

namespace reg {
constexpr uint8_t kEeLines = reg::kReset;       // 02h bits 6/7: clock and data drive
constexpr uint8_t kEeDataIn = reg::kStatus12;   // 12h bit 1: data line
}  // namespace reg

namespace ee_line {
constexpr uint8_t kDataLow = 0x80;
constexpr uint8_t kClockLow = 0x40;
constexpr uint8_t kDataIn = 0x02;               // bit of register 12h
constexpr uint8_t kDeviceWrite = 0xA0;          // 1010b, block bits, R/W = 0
constexpr uint8_t kRead = 0x01;
constexpr uint32_t kWritePauseMs = 25;          // the chip's internal write cycle, with margin
}  // namespace ee_line

// Every field stored in the EEPROM. Stored values are the bytes of the
// library's variables: little-endian words, IEEE-754 single floats.
enum class EeField : uint8_t {
    DeviceClass,       // port-side logic identifier 004LAxxx; becomes rev_dev (FFFFh = blank)
    Id007,             // identifier of the logic of board 007
    RefVoltage,        // reference voltage, volts
    SerialNumber,
    DevError,          // the parameter record: 0Ch .. 4Fh
    Reserved0E,
    RevDev,
    IoStatus,
    IoWait,
    UM_1,
    UM_m,
    U0_1,
    U0_m,
    U1_1,
    U1_m,
    Set007,
    ADx1Zero,
    ADx10Zero,
    ADx100Zero,
    ADx1VoltProDigit,
    DA0Lc,
    DA0VoltProDigit,
    DA1Lc,
    DA1VoltProDigit,
    TimeStamp,         // seconds since 1970 UTC of the last automatic setup
};

struct EeMapEntry {
    EeField field;
    uint16_t offset;
    uint8_t size;
    const char* name;
};

// The EEPROM map, in rising offset order. 2Eh-2Fh and 50h-FBh are unused.
inline constexpr EeMapEntry kEepromMap[] = {
    {EeField::DeviceClass, 0x00, 2, "DeviceClass"},
    {EeField::Id007, 0x02, 2, "ID007"},
    {EeField::RefVoltage, 0x04, 4, "RefVoltage"},
    {EeField::SerialNumber, 0x08, 4, "SerialNumber"},
    {EeField::DevError, 0x0C, 2, "DevError"},
    {EeField::Reserved0E, 0x0E, 2, "reserved_0E"},
    {EeField::RevDev, 0x10, 2, "rev_dev"},
    {EeField::IoStatus, 0x12, 1, "io_status"},
    {EeField::IoWait, 0x13, 1, "io_wait"},
    {EeField::UM_1, 0x14, 4, "UM_1"},
    {EeField::UM_m, 0x18, 4, "UM_m"},
    {EeField::U0_1, 0x1C, 4, "U0_1"},
    {EeField::U0_m, 0x20, 4, "U0_m"},
    {EeField::U1_1, 0x24, 4, "U1_1"},
    {EeField::U1_m, 0x28, 4, "U1_m"},
    {EeField::Set007, 0x2C, 2, "Set007"},
    {EeField::ADx1Zero, 0x30, 4, "ADx1Zero"},
    {EeField::ADx10Zero, 0x34, 4, "ADx10Zero"},
    {EeField::ADx100Zero, 0x38, 4, "ADx100Zero"},
    {EeField::ADx1VoltProDigit, 0x3C, 4, "ADx1VoltProDigit"},
    {EeField::DA0Lc, 0x40, 4, "DA0Lc"},
    {EeField::DA0VoltProDigit, 0x44, 4, "DA0VoltProDigit"},
    {EeField::DA1Lc, 0x48, 4, "DA1Lc"},
    {EeField::DA1VoltProDigit, 0x4C, 4, "DA1VoltProDigit"},
    {EeField::TimeStamp, 0xFC, 4, "TimeStamp"},
};

constexpr const EeMapEntry& ee_map(EeField f)
{
    return kEepromMap[static_cast<size_t>(f)];
}

// The map's entries by name, for callers that want ee::kTimeStamp.offset.
namespace ee {
inline constexpr const EeMapEntry& kDeviceClass = ee_map(EeField::DeviceClass);
inline constexpr const EeMapEntry& kId007 = ee_map(EeField::Id007);
inline constexpr const EeMapEntry& kRefVoltage = ee_map(EeField::RefVoltage);
inline constexpr const EeMapEntry& kSerialNumber = ee_map(EeField::SerialNumber);
inline constexpr const EeMapEntry& kDevError = ee_map(EeField::DevError);
inline constexpr const EeMapEntry& kTimeStamp = ee_map(EeField::TimeStamp);
}  // namespace ee

// Size in bytes of the EEPROM and of the parameter record stored in it.
constexpr uint16_t kEepromSize = 0x100;
constexpr uint16_t kRecordFirst = 0x0C;   // DevError
constexpr uint16_t kRecordEnd = 0x50;     // behind DA1VoltProDigit

// Offsets use bits 0-10 (bits 8-10 go into the device address byte).
void ee_send_byte(uint8_t b);
void ee_write_byte(int32_t offset, uint8_t value);
uint8_t ee_read_byte(int32_t offset);
// count <= 0 transfers nothing (no bus cycle at all).
void ee_read_block(int32_t start, int32_t count, void* buffer);
// Writes, waits 25 ms per byte, then reads every byte back into buffer.
// 0 = all bytes verified, 1 = at least one byte read back differently.
int ee_write_block(int32_t start, int32_t count, void* buffer);
// The device address byte for an offset: A0h | (bits 8-10 << 1), +1 to read.
uint8_t ee_device_address(int32_t offset, bool read);

// One map field to or from a variable; the variable's width must be the
// field's size.
template <EeField F, typename T>
void ee_read_field(T& value)
{
    static_assert(sizeof(T) == ee_map(F).size, "variable width differs from the EEPROM map");
    ee_read_block(ee_map(F).offset, ee_map(F).size, &value);
}

template <EeField F, typename T>
int ee_write_field(T& value)
{
    static_assert(sizeof(T) == ee_map(F).size, "variable width differs from the EEPROM map");
    return ee_write_block(ee_map(F).offset, ee_map(F).size, &value);
}
