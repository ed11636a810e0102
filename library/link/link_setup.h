// Finding the box on a port, classifying the port, tuning the link's wait
// state and reading the device code.
#pragma once
#include <cstdint>

// Link status word: result of link_setup and link_check.
namespace link_status {
constexpr uint16_t kPortKind = 0x0007;     // 1 output-only port, 2 bidirectional
constexpr uint16_t kPortLogic = 0x0008;    // port-side logic loaded and answering
constexpr uint16_t kNoBitstream = 0x0010;  // port-side logic bitstream missing
constexpr uint16_t kNibbleOk = 0x0020;     // nibble mode passed the tuning
constexpr uint16_t kByteOk = 0x0040;       // 8-bit mode passed; link left in 8-bit mode
constexpr uint16_t kFailed = 0x0100;       // link test failed or wrong device code
constexpr uint16_t kNoPort = 0x0200;       // no usable parallel port (alone)
}  // namespace link_status

constexpr uint16_t kNewerFamily = 0x1000;  // device codes from here on carry an EEPROM
constexpr uint16_t kBlankEepromCode = 0x1001;

uint16_t link_setup(uint16_t port, const char* file, int lsb_first, uint16_t expected);
uint16_t link_check(uint8_t reg, uint8_t mask, uint16_t status, uint16_t expected);
// 0 when invalid.
uint16_t read_device_code();
// 0 no port, 1 output-only, 2 bidirectional.
int port_test();
// Repetitions not completed, the failing one counted (0 = all passed).
int32_t register_test(uint8_t reg, uint8_t mask, int32_t repetitions);
// 0 when a stable wait state was found (io_wait in the middle of the first
// five passing ones), else the sum of the last five register_test results.
int32_t tune_wait(uint8_t reg, uint8_t mask, int32_t repetitions, int restart);
