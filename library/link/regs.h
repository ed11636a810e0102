// Box registers and their bits, named once for the whole library.
#pragma once
#include <cstdint>

namespace reg {
// link and test
constexpr uint8_t kMode8Bit = 0x00;      // write 01h: library reads 8-bit bidirectional
constexpr uint8_t kModeNibble = 0x01;    // write 00h: library reads nibbles
constexpr uint8_t kReset = 0x02;         // bit 0 box reset; bits 6/7 EEPROM lines
constexpr uint8_t kOld03 = 0x03;         // cleared for the older family
constexpr uint8_t kOld05 = 0x05;         // cleared for the older family; 013 logic data byte
constexpr uint8_t kTestOn = 0x06;        // write 01h: acknowledge input low
constexpr uint8_t kTestOff = 0x07;       // write 00h: acknowledge input high
constexpr uint8_t kTestNew = 0x10;       // test register of the newer family (P0 latch)
constexpr uint8_t kControl = 0x13;       // box control; test register of the older family
// digital ports
constexpr uint8_t kP0 = 0x10;
constexpr uint8_t kP1 = 0x11;
// comparators, EEPROM data in, board 007 configuration
constexpr uint8_t kStatus12 = 0x12;
// reference timer block (8254 format)
constexpr uint8_t kRefCount0 = 0x14;
constexpr uint8_t kRefCount1 = 0x15;
constexpr uint8_t kRefCount2 = 0x16;
constexpr uint8_t kRefControl = 0x17;
// measurement timer block
constexpr uint8_t kTimCount0 = 0x18;
constexpr uint8_t kTimCount1 = 0x19;
constexpr uint8_t kTimCount2 = 0x1A;
constexpr uint8_t kTimControl = 0x1B;
// scratch register of the adjustment design of board 007
constexpr uint8_t kScratch = 0xA0;
// expansion card
constexpr uint8_t kCardLogic = 0xDF;
// A/D converter
constexpr uint8_t kAdGain1 = 0xE0;
constexpr uint8_t kAdGain10 = 0xE1;
constexpr uint8_t kAdGain100 = 0xE2;
// D/A outputs
constexpr uint8_t kDaUpdate = 0xEC;
// sampling mode
constexpr uint8_t kSampling = 0xFC;
}  // namespace reg

// Control-register bits of the parallel port as the library writes them.
namespace ctl {
constexpr uint8_t kWriteStrobe = 0x01;
constexpr uint8_t kReadStrobe = 0x02;
constexpr uint8_t kInitInactive = 0x04;
constexpr uint8_t kAddressStrobe = 0x08;
constexpr uint8_t kIrqEnable = 0x10;
constexpr uint8_t kDirectionIn = 0x20;
constexpr uint8_t kMode8Flag = 0x80;     // library flag, never reaches the port
constexpr uint8_t kNibbleMode = 0x04;    // io_status for nibble reads
constexpr uint8_t kByteMode = 0xA4;      // io_status for 8-bit bidirectional reads
}  // namespace ctl

// Status-register bits.
namespace st {
constexpr uint8_t kAck = 0x40;
}
