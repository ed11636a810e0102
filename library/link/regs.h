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
// board 007, 013 and expansion card logic loading
constexpr uint8_t kLogic007 = 0x12;      // write: bit 0 data, 1 clock, 2 loading, 3 PROGRAM; read bit 3 DONE
constexpr uint8_t kLogic013 = 0x10;      // write: bit 0 byte strobe, 1 PROGRAM, 2+3 loading; read bit 0 DONE, 1 /INIT
constexpr uint8_t kLogic013Data = 0x05;  // 013 logic: one configuration byte
constexpr uint8_t kCardDaHigh1 = 0xC1;   // high byte of expansion D/A channel 1; channels 2-8 follow every 2nd
// A/D converter result
constexpr uint8_t kAdStatus = 0xE4;   // bit 0 ready; bits 7-4 result bits 3-0
constexpr uint8_t kAdHigh = 0xE5;     // result bits 11-4
// D/A outputs and expansion card D/A
constexpr uint8_t kAo1Low = 0xE8;         // AO1 code low byte
constexpr uint8_t kAo1High = 0xE9;        // AO1 code high byte
constexpr uint8_t kAo2Low = 0xEA;         // AO2 code low byte
constexpr uint8_t kAo2High = 0xEB;        // AO2 code high byte
constexpr uint8_t kKestelDa1 = 0xC0;     // expansion D/A channel 1 low byte; channel n at C0h + 2(n-1)
constexpr uint8_t kKestelUpdate = 0xD0;  // read: expansion D/A codes become effective
// expansion card ports
constexpr uint8_t kKestelPort1 = 0xD8;   // expansion card ports 1-3: D8h, D9h, DAh
constexpr uint8_t kKestelPort3 = 0xDA;
constexpr uint8_t kKestelDir = 0xDF;     // bits 0-3: direction flags, 1 = output
// measurement timer mode and gate
constexpr uint8_t kTimMode = 0xF8;       // write: mode/gate bits; read: bit 0 PWM running, bit 1 gate open
constexpr uint8_t kTimFreqStart = 0xF9;  // write 00h: open the frequency gate
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
