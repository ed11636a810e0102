// Loaders of the box's programmable logic devices. Each clocks a bitstream
// file from the library's directory into one device; the bytes are opaque
// and go out in file order. The four loaders are exports (tarvenix.h):
//
//   lcaLPTsetup (file, lsb_first) -> 8 answering, 0 silent, 10h file missing
//       port-side logic, straight on the port's data lines
//   lcasetup (file)               -> 0 DONE high, 1 no reset, 2 file missing, 3 DONE low
//       board 007 logic, serially through register 12h
//   lcasetup_013 (file)           -> as lcasetup
//       013 logic, byte-wide through registers 10h and 05h
//   lcaMM0setup (file, lsb_first) -> 8 card found, 0 absent, 10h file missing (silent)
//       expansion card logic, serially through register DFh
#pragma once
#include "link/regs.h"
#include <cstdint>
#include <string>
#include <vector>

#include "tarvenix.h"


// Largest bitstream a loader accepts. Real designs are a few ten kilobytes;
// anything far larger is not a bitstream and would only be clocked for minutes.
constexpr size_t kMaxBitstreamBytes = 16u << 20;

enum class BitstreamRead {
    Ok,
    Missing,   // cannot be opened, not a regular file, or too large
    Short,     // fewer bytes arrived than the file's length promised
};

// Reads a bitstream file whole: at most as many bytes as the file held when
// it was opened. Never blocks on a pipe or a device node.
BitstreamRead read_bitstream(const std::string& path, std::vector<uint8_t>* bytes);
