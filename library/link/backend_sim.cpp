// The simulated box as a port backend. Sleeps, ticks and busy-waits advance
// the box's virtual clock, so a full setup runs in seconds of wall time while
// the box sees realistic timing; TARVENIX_SIM_REALTIME=1 makes sleeps real.
#include "link/backend_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "sim/box.h"

namespace {

class SimBackend final : public PortBackend {
public:
    explicit SimBackend(tvsim::Box* box) : box_(box)
    {
        const char* rt = std::getenv("TARVENIX_SIM_REALTIME");
        realtime_ = rt != nullptr && std::strcmp(rt, "1") == 0;
    }
    void out(uint16_t port, uint8_t value) override { box_->port_write(port, value); }
    uint8_t in(uint16_t port) override { return box_->port_read(port); }
    void delay(uint32_t n) override { box_->delay_loop(n); }
    void sleep_ms(uint32_t ms) override
    {
        box_->sleep_ns(static_cast<uint64_t>(ms) * 1000000u);
        if (realtime_)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    uint32_t tick_ms() override { return static_cast<uint32_t>(box_->now_ns() / 1000000u); }
    uint64_t now_us() override { return box_->now_ns() / 1000u; }
    bool grant(uint16_t, uint32_t, bool) override { return true; }
    tvsim::Box* box() { return box_; }

private:
    tvsim::Box* box_;
    bool realtime_ = false;
};

std::unique_ptr<tvsim::Box> g_owned_box;
std::unique_ptr<SimBackend> g_sim;

}  // namespace

PortBackend* sim_backend()
{
    if (!g_sim) {
        std::string error;
        const char* path = std::getenv("TARVENIX_SIM_BOX");
        if (path != nullptr && *path != '\0')
            g_owned_box = tvsim::Box::from_file(path, &error);
        else
            g_owned_box = tvsim::Box::default_box(&error);
        if (!g_owned_box) {
            std::fprintf(stderr, "tarvenix: simulated box not usable:\n%s", error.c_str());
            return nullptr;
        }
        g_sim = std::make_unique<SimBackend>(g_owned_box.get());
    }
    return g_sim.get();
}

tvsim::Box* sim_box()
{
    return g_sim ? g_sim->box() : nullptr;
}

void sim_attach_box(tvsim::Box* box)
{
    const bool in_use = g_sim && g_port == g_sim.get();
    std::unique_ptr<SimBackend> next;
    if (box != nullptr)
        next = std::make_unique<SimBackend>(box);
    if (in_use)
        g_port = next.get();
    g_sim = std::move(next);
    g_owned_box.reset();
}
