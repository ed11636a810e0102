// Cost of one register cycle through the port layer, on the simulated box.
#include <benchmark/benchmark.h>

#include "link/backend_sim.h"
#include "link/bus.h"
#include "link/port.h"
#include "link/state.h"
#include "sim/box.h"

namespace {

std::unique_ptr<tvsim::Box> open_box(uint8_t io_status)
{
    std::string error;
    auto box = tvsim::Box::from_text("box.family = older\n", &error);
    sim_attach_box(box.get());
    port_set_backend_override(sim_backend());
    driver_load();
    g_dev.iolpt = 0x378;
    g_dev.rev_dev = 0x12;
    g_dev.io_status = io_status;
    g_dev.io_wait = 40;
    announce_mode();
    return box;
}

void BM_OutbyteSim(benchmark::State& state)
{
    auto box = open_box(0x04);
    uint8_t v = 0;
    for (auto _ : state)
        outbyte(0x13, v++);
    sim_attach_box(nullptr);
}
BENCHMARK(BM_OutbyteSim);

void BM_InbyteNibbleSim(benchmark::State& state)
{
    auto box = open_box(0x04);
    for (auto _ : state)
        benchmark::DoNotOptimize(inbyte(0x13));
    sim_attach_box(nullptr);
}
BENCHMARK(BM_InbyteNibbleSim);

void BM_InbyteByteSim(benchmark::State& state)
{
    auto box = open_box(0xA4);
    for (auto _ : state)
        benchmark::DoNotOptimize(inbyte(0x13));
    sim_attach_box(nullptr);
}
BENCHMARK(BM_InbyteByteSim);

}  // namespace

BENCHMARK_MAIN();
