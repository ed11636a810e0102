// A full automatic setup and a following initialisation on the simulated
// default box: wall time per call, and the box's virtual time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "link/backend_sim.h"
#include "link/port.h"
#include "link/state.h"
#include "sim/box.h"
#include "tarvenix.h"

namespace {

// Where the time of one setup goes: each message of the setup marks the end
// of a step, so the wall and virtual time between messages is that step's.
struct Mark {
    double wall_ms;
    double virt_ms;
    std::string text;
};
std::vector<Mark>* g_marks = nullptr;
tvsim::Box* g_box = nullptr;
std::chrono::steady_clock::time_point g_t0;

void mark(const char* text)
{
    if (g_marks == nullptr)
        return;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_t0).count();
    g_marks->push_back({wall, g_box->now_ns() / 1e6, text});
}

std::string temp_dir()
{
    char tmpl[] = "/tmp/tarvenix-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    std::string dir = d != nullptr ? std::string(d) + "/" : "/tmp/";
    // the bitstreams live next to this program
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string bin = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string("./x");
    bin = bin.substr(0, bin.rfind('/') + 1);
    for (const char* f : {"004CA000.LCB", "007CA000.LCB", "007CA003.LCB", "007CA004.LCB", "012CA000.LCB"})
        (void)symlink((bin + f).c_str(), (dir + f).c_str());
    return dir;
}

void run_setup(benchmark::State& state, bool report_steps, const char* box_text = "box.port = 378h\n")
{
    const std::string dir = temp_dir();
    std::string error;
    auto box = tvsim::Box::from_text(box_text, &error);
    g_box = box.get();
    sim_attach_box(box.get());
    port_set_backend_override(sim_backend());
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "%s", dir.c_str());
    setenv("TARVENIX_ANSWER", "no", 1);
    double virt_total = 0;
    std::vector<Mark> marks;
    for (auto _ : state) {
        enableDLLmessages_PortwardInit(mark);
        int32_t port = 0x378;
        float ref = 0.0f;
        marks.clear();
        g_marks = &marks;
        g_t0 = std::chrono::steady_clock::now();
        const uint64_t v0 = box->now_ns();
        if (AutoSetup(0, 0, &port, &ref) != 1)
            state.SkipWithError("AutoSetup failed");
        virt_total += (box->now_ns() - v0) / 1e9;
        g_marks = nullptr;
        DeInitTarvenix();
    }
    state.counters["virtual_s_per_setup"] = virt_total / static_cast<double>(state.iterations());
    if (report_steps) {
        double wall = 0, virt = marks.empty() ? 0 : marks.front().virt_ms;
        for (const Mark& m : marks) {
            std::string t = m.text;
            while (!t.empty() && (t.back() == '\n'))
                t.pop_back();
            while (!t.empty() && t.front() == '\n')
                t.erase(t.begin());
            std::printf("  %8.1f ms wall %9.1f ms virtual  %s\n", m.wall_ms - wall, m.virt_ms - virt, t.c_str());
            wall = m.wall_ms;
            virt = m.virt_ms;
        }
    }
    port_set_backend_override(nullptr);
    sim_attach_box(nullptr);
}

void BM_AutoSetupDefaultBox(benchmark::State& state)
{
    run_setup(state, false);
}
BENCHMARK(BM_AutoSetupDefaultBox)->Unit(benchmark::kMillisecond);

// Ranges code 50h instead of D5h: the same setup without the D/A self-test,
// which runs only when both outputs are -10..+10 V.
void BM_AutoSetupWithoutSelfTest(benchmark::State& state)
{
    run_setup(state, false, "box.port = 378h\ndac.ao2_range = 0..10\n");
}
BENCHMARK(BM_AutoSetupWithoutSelfTest)->Unit(benchmark::kMillisecond);

// The reference sources' calibration on its own, on a set-up box.
void BM_InitDa(benchmark::State& state)
{
    const std::string dir = temp_dir();
    std::string error;
    auto box = tvsim::Box::from_text("box.port = 378h\n", &error);
    sim_attach_box(box.get());
    port_set_backend_override(sim_backend());
    std::snprintf(g_dev.dll_dir, sizeof g_dev.dll_dir, "%s", dir.c_str());
    enableDLLmessages_PortwardInitVb();
    int32_t port = 0x378;
    float ref = 0.0f;
    AutoSetup(0, 0, &port, &ref);
    double virt = 0;
    for (auto _ : state) {
        const uint64_t v0 = box->now_ns();
        benchmark::DoNotOptimize(init_da(15.0f));
        virt += (box->now_ns() - v0) / 1e9;
    }
    state.counters["virtual_s"] = virt / static_cast<double>(state.iterations());
    DeInitTarvenix();
    port_set_backend_override(nullptr);
    sim_attach_box(nullptr);
}
BENCHMARK(BM_InitDa)->Unit(benchmark::kMillisecond);

void BM_AutoSetupSteps(benchmark::State& state)
{
    run_setup(state, true);
}
BENCHMARK(BM_AutoSetupSteps)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
