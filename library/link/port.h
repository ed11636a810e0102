// Raw port access and the backends under it.
//
// port_out/port_in sit under every bus cycle: one indirect call into the
// backend chosen by driver_load, nothing else (no lock, no allocation, no
// system call in the direct backend).
#pragma once
#include <cstdint>
#include <memory>

class PortBackend {
public:
    virtual ~PortBackend() = default;
    virtual void out(uint16_t port, uint8_t value) = 0;
    virtual uint8_t in(uint16_t port) = 0;
    // The bus-read busy-wait: n iterations of an empty loop.
    virtual void delay(uint32_t n) = 0;
    virtual void sleep_ms(uint32_t ms) = 0;
    virtual uint32_t tick_ms() = 0;
    // Time for trace lines, in microseconds (virtual time on the simulated box).
    virtual uint64_t now_us() = 0;
    // Grant (on) or withdraw port access for first..first+count-1.
    virtual bool grant(uint16_t first, uint32_t count, bool on) = 0;
};

extern PortBackend* g_port;   // null while port access is closed

inline void port_out(uint16_t port, uint8_t value)
{
    if (g_port != nullptr)
        g_port->out(port, value);
}

inline uint8_t port_in(uint16_t port)
{
    // Without port access a read sees an empty bus.
    return g_port != nullptr ? g_port->in(port) : 0xFF;
}

// Busy-wait of n iterations (n = 0: none); what io_wait calibrates.
void io_delay(uint32_t n);

// Opens port access with the backend named by TARVENIX_BACKEND
// ("direct", the default, or "sim"); 1 = success, 0 = failure.
int driver_load();
// Closes port access; 1 when it was open, else 0.
int driver_close();
int driver_enable_ports(uint16_t first, uint32_t count);
int driver_disable_ports(uint16_t first, uint32_t count);

// Tests and tools: make driver_load open this backend instead of the one
// named by the environment (null: back to the environment). Not owned.
void port_set_backend_override(PortBackend* backend);
// The backend driver_load would use for "sim"; created on first use from
// TARVENIX_SIM_BOX or the built-in default box. Null if the box file is bad.
PortBackend* sim_backend();
