// Copies the parameter file, the per-port time-stamp file and the bitstream
// files from the library's directory into the directory of another
// measurement program, which then finds them next to its own copy of the
// library.
#pragma once
#include <cstdint>

#include "tarvenix.h"

constexpr int kExportPathCapacity = 260;   // every path, terminating zero included

// The per-port file of the box's port ("AD.378", "AD.3BC", "AD.278"), or
// null for any other iolpt.
const char* port_file_name(uint16_t iolpt);
