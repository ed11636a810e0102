// Real port instructions in user space. Port access is granted per range
// with ioperm (root or CAP_SYS_RAWIO).
#include <chrono>
#include <thread>

#include "link/backends.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TARVENIX_HAVE_PORT_IO 1
#endif

namespace {

class DirectBackend final : public PortBackend {
public:
    void out(uint16_t port, uint8_t value) override
    {
#ifdef TARVENIX_HAVE_PORT_IO
        outb(value, port);
#else
        (void)port;
        (void)value;
#endif
    }
    uint8_t in(uint16_t port) override
    {
#ifdef TARVENIX_HAVE_PORT_IO
        return inb(port);
#else
        (void)port;
        return 0xFF;
#endif
    }
    void delay(uint32_t n) override
    {
        // volatile keeps the loop: one decrement per unit of io_wait
        volatile uint32_t i = n;
        while (i != 0)
            i = i - 1u;
    }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    uint32_t tick_ms() override
    {
        using namespace std::chrono;
        return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    uint64_t now_us() override
    {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    }
    bool grant(uint16_t first, uint32_t count, bool on) override
    {
#ifdef TARVENIX_HAVE_PORT_IO
        return ioperm(first, count, on ? 1 : 0) == 0;
#else
        (void)first;
        (void)count;
        (void)on;
        return false;
#endif
    }
};

}  // namespace

std::unique_ptr<PortBackend> make_direct_backend()
{
#ifdef TARVENIX_HAVE_PORT_IO
    // Probe: may this process get port access at all? Ask for the port-80h
    // diagnostic byte and give it back at once.
    if (ioperm(0x80, 1, 1) != 0)
        return nullptr;
    ioperm(0x80, 1, 0);
    return std::make_unique<DirectBackend>();
#else
    return nullptr;
#endif
}
