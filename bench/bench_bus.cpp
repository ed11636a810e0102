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
    // six port accesses per write cycle
    state.counters["port_accesses_per_s"] = benchmark::Counter(6.0 * state.iterations(), benchmark::Counter::kIsRate);
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

// The library's own cost: a backend that does nothing but count.
class NullBackend final : public PortBackend {
public:
    void out(uint16_t, uint8_t) override { ++accesses; }
    uint8_t in(uint16_t) override
    {
        ++accesses;
        return 0x5A;
    }
    void delay(uint32_t) override {}
    void sleep_ms(uint32_t) override {}
    uint32_t tick_ms() override { return 0; }
    uint64_t now_us() override { return 0; }
    bool grant(uint16_t, uint32_t, bool) override { return true; }
    uint64_t accesses = 0;
};

template <typename Cycle>
void run_null(benchmark::State& state, uint8_t io_status, Cycle cycle)
{
    NullBackend null;
    port_set_backend_override(&null);
    driver_load();
    g_dev.iolpt = 0x378;
    g_dev.io_status = io_status;
    g_dev.io_wait = 0;
    for (auto _ : state)
        cycle();
    state.counters["ns_per_port_access"] = benchmark::Counter(
        static_cast<double>(null.accesses), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    driver_close();
    port_set_backend_override(nullptr);
}

void BM_OutbyteNull(benchmark::State& state)
{
    uint8_t v = 0;
    run_null(state, 0x04, [&] { outbyte(0x13, v++); });
}
BENCHMARK(BM_OutbyteNull);

void BM_InbyteNibbleNull(benchmark::State& state)
{
    run_null(state, 0x04, [] { benchmark::DoNotOptimize(inbyte(0x13)); });
}
BENCHMARK(BM_InbyteNibbleNull);

void BM_InbyteByteNull(benchmark::State& state)
{
    run_null(state, 0xA4, [] { benchmark::DoNotOptimize(inbyte(0x13)); });
}
BENCHMARK(BM_InbyteByteNull);

}  // namespace

BENCHMARK_MAIN();
