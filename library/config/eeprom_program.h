// Programming the identity EEPROM of a newer-family box from the setup data
// file AD_SETUP_DATA.TXT (manufacturer's option). The export itself,
// InitTarvenix_EEPROM, is declared in tarvenix.h; this header names its
// file and result codes for the library and the tests.
#pragma once
#include <cstdint>

constexpr const char* kSetupDataFileName = "AD_SETUP_DATA.TXT";

namespace ee_program {
constexpr int32_t kOk = 0;              // programmed, verified, setup data file rewritten
constexpr int32_t kNoDriver = 1;        // port access could not be opened
constexpr int32_t kVerifyError = 2;     // programmed, but a byte read back differently
constexpr int32_t kFileProblem = 4;     // setup data file absent or unusable, or its rewrite failed
constexpr int32_t kShown = 8;           // the EEPROM holds data and was only shown
constexpr int32_t kNoBox = 0x10;        // no box answers at the file's port
}  // namespace ee_program
