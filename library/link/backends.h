// The concrete backends behind port_out/port_in.
#pragma once
#include <memory>

#include "link/port.h"

// x86 in/out instructions; null when the process may not get port access.
std::unique_ptr<PortBackend> make_direct_backend();
// Appends "<microseconds> W|R <port> <value>" per access to the file at path,
// then forwards to inner. On success the tracer takes over owned (may be
// null), on failure owned is left as it was.
std::unique_ptr<PortBackend> make_trace_backend(PortBackend* inner, const char* path,
                                                std::unique_ptr<PortBackend>& owned);
