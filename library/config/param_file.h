// The parameter record: link parameters and calibration values, kept in the
// EEPROM (bytes 0Ch-4Fh, boxes of the newer family) and in the text file
// TARVENIX.PAR in the library's directory (21 lines, Windows-1252, CR LF).
#pragma once
#include <cstdint>
#include <string>

constexpr const char* kParFileName = "TARVENIX.PAR";

// Loads the record into g_dev: first from the EEPROM (a box without one
// reads FFh bytes), then, unless rev_dev is exactly 1000h, from the file,
// whose values replace the EEPROM's. iolpt becomes port (line 6 of the file
// replaces it). Returns DevError (0 = usable parameters), or -1 when the
// file was needed and could not be opened.
//
// A file line that is missing (short file) or does not start with a number
// leaves its field as it was before the file was read, i.e. as read from
// the EEPROM; on a box without EEPROM that is FFh bytes, so a file without a
// readable line 5 gives DevError FFFFh (not usable). Nothing is reported.
int32_t read_parameters(uint16_t port);

// Stores the record: into the EEPROM when rev_dev >= 1000h (every field
// verified, the values read back kept in g_dev and used for the file), then
// the file, written whole or not at all. Result bits: 1 = file not written,
// 2 = EEPROM verify error. Sets par_written when DevError (as read back) is 0.
uint16_t write_parameters(uint16_t dev_error, uint16_t set007);

// The file's text for the current g_dev and the given DevError and Set007.
std::string parameter_file_text(uint16_t dev_error, uint16_t set007);
