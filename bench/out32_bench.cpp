// The cost of one Out32 on the emulator backend, with and without the VCD trace.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "port/hardware.h"
#include "port/port_layer.h"

namespace {

void fatal(const std::string& m) {
    std::fprintf(stderr, "bench: %s\n", m.c_str());
    std::abort();
}

void runOut32(benchmark::State& state, bool trace) {
    port::SteadyClock clock;
    port::PortConfig config;
    config.kind = port::BackendKind::Emulator;
    if (trace) config.tracePath = "/tmp/velmorin-bench-trace.vcd";
    port::PortLayer layer(config, clock, clock, fatal, port::hardwareOpener());
    // A realistic stream: set-up, E high, E low for alternating data nibbles.
    const std::int16_t values[] = {0x41, 0x43, 0x41, 0x11, 0x13, 0x11};
    std::size_t i = 0;
    for (auto _ : state) {
        layer.Out32(port::kLpt1, values[i]);
        i = (i + 1) % 6;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Out32_Emulator(benchmark::State& state) {
    runOut32(state, false);
}
void BM_Out32_EmulatorWithTrace(benchmark::State& state) {
    runOut32(state, true);
}

}  // namespace

BENCHMARK(BM_Out32_Emulator);
BENCHMARK(BM_Out32_EmulatorWithTrace);
BENCHMARK_MAIN();
