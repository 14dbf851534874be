// The cost of one Out32 on the emulator backend, with and without the VCD trace, and the
// emulator's own throughput on well-formed and on random bus bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hd44780/controller.h"
#include "port/cable.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "ui/messages.h"

namespace {

void fatal(const port::Error& e) {
    std::fprintf(stderr, "bench: %s\n", ui::sentence(e).c_str());
    std::abort();
}

// trace: none, "/dev/null" (what recording costs Out32: formatting into the buffer and one
// write() per 64 KiB), or a file on disk (adds the kernel's copy into the page cache, which
// the program pays at its pauses, where it flushes, rather than in Out32).
void runOut32(benchmark::State& state, const char* trace) {
    port::SteadyClock clock;
    port::PortConfig config;
    config.mode = port::Mode::Emulator;
    if (trace) config.tracePath = trace;
    port::Fatal fatalPath(fatal);
    port::PortLayer layer(config, clock, clock, fatalPath, port::hardwareOpener());
    // A realistic stream: set-up, E high, E low for alternating data nibbles.
    const std::int16_t values[] = {0x41, 0x43, 0x41, 0x11, 0x13, 0x11};
    std::size_t i = 0;
    for (auto _ : state) {
        layer.Out32(port::kLpt1, values[i]);
        i = (i + 1) % 6;
    }
    state.SetItemsProcessed(state.iterations());
}

constexpr const char* kDiskTrace = "/tmp/velmorin-bench-trace.vcd";

void BM_Out32_Emulator(benchmark::State& state) {
    runOut32(state, nullptr);
}
void BM_Out32_EmulatorWithTrace(benchmark::State& state) {
    runOut32(state, "/dev/null");
}
void BM_Out32_EmulatorWithTraceOnDisk(benchmark::State& state) {
    runOut32(state, kDiskTrace);
    std::remove(kDiskTrace);  // gigabytes at full speed
}

// Port bytes through the cable into the controller, 100 ns apart: random bytes break
// every rule (short pulses, busy latches, undefined instructions), well-formed ones none.
void runEmulator(benchmark::State& state, bool random) {
    std::vector<hd44780::Pins> stream;
    std::mt19937 rng(12345);
    const std::uint8_t wellFormed[] = {0x41, 0x43, 0x41, 0x11, 0x13, 0x11};
    for (std::size_t i = 0; i < 4096; ++i)
        stream.push_back(port::kParallelCable.pins(random ? static_cast<std::uint8_t>(rng())
                                                          : wellFormed[i % 6]));
    hd44780::Controller c;
    std::int64_t t = 0;
    std::size_t i = 0;
    for (auto _ : state) {
        c.busWrite(stream[i], t);
        t += random ? 100 : 20'000;
        i = (i + 1) & 4095;
    }
    benchmark::DoNotOptimize(c.revision());
    state.SetItemsProcessed(state.iterations());
    state.counters["violations"] = static_cast<double>(c.timing().count());
}

void BM_Emulator_RandomBytes(benchmark::State& state) {
    runEmulator(state, true);
}
void BM_Emulator_WellFormed(benchmark::State& state) {
    runEmulator(state, false);
}

}  // namespace

BENCHMARK(BM_Out32_Emulator);
BENCHMARK(BM_Out32_EmulatorWithTrace);
BENCHMARK(BM_Out32_EmulatorWithTraceOnDisk);
BENCHMARK(BM_Emulator_RandomBytes);
BENCHMARK(BM_Emulator_WellFormed);
BENCHMARK_MAIN();
