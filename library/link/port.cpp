#include "link/port.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/backends.h"
#include "link/state.h"

PortBackend* g_port = nullptr;

namespace {
PortBackend* g_override = nullptr;
std::unique_ptr<PortBackend> g_opened;   // the backend owned by the open driver (direct, trace)
}

void io_delay(uint32_t n)
{
    if (n != 0 && g_port != nullptr)
        g_port->delay(n);
}

void port_set_backend_override(PortBackend* backend)
{
    g_override = backend;
}

int driver_load()
{
    // A second load while open replaces the open backend, as a second
    // handle would replace the first.
    PortBackend* chosen = nullptr;
    if (g_override != nullptr) {
        chosen = g_override;
    } else {
        const char* name = std::getenv("TARVENIX_BACKEND");
        if (name == nullptr || *name == '\0' || std::strcmp(name, "direct") == 0) {
            std::unique_ptr<PortBackend> direct = make_direct_backend();
            if (!direct)
                return 0;
            g_opened = std::move(direct);
            chosen = g_opened.get();
        } else if (std::strcmp(name, "sim") == 0) {
            chosen = sim_backend();
            if (chosen == nullptr)
                return 0;
        } else {
            std::fprintf(stderr, "tarvenix: unknown TARVENIX_BACKEND '%s' (direct or sim)\n", name);
            return 0;
        }
    }
    // A backend of an earlier load (a direct one, or the tracer around it)
    // is not used any more; keeping it would keep its trace file open.
    if (chosen != g_opened.get()) {
        g_port = nullptr;
        g_opened.reset();
    }
    const char* trace = std::getenv("TARVENIX_TRACE");
    if (trace != nullptr && *trace != '\0') {
        std::unique_ptr<PortBackend> traced = make_trace_backend(chosen, trace, g_opened);
        if (traced) {
            g_opened = std::move(traced);
            chosen = g_opened.get();
        }
    }
    g_port = chosen;
    g_dev.drv_is_nt = 1;
    g_dev.drv_handle = 1;
    return 1;
}

int driver_close()
{
    // drv_handle keeps its value, as a closed handle does; a second close,
    // and any grant after it, fails
    if (g_port == nullptr)
        return 0;
    g_port = nullptr;
    g_opened.reset();
    return 1;
}

int driver_enable_ports(uint16_t first, uint32_t count)
{
    return g_port != nullptr && g_port->grant(first, count, true) ? 1 : 0;
}

int driver_disable_ports(uint16_t first, uint32_t count)
{
    return g_port != nullptr && g_port->grant(first, count, false) ? 1 : 0;
}
