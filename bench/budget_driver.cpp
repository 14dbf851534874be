// The workloads whose instruction counts tests/budget holds to a budget. Each one sets up
// first, then runs its loop inside budget::measured, the only function callgrind counts
// (--toggle-collect), so the count divided by the operations is the cost of one.
//   velmorin_budget random N           N random port bytes into the controller, 100 ns apart
//   velmorin_budget wellformed N       N writes of a 4-bit module at 60 us
//   velmorin_budget out32 N [TRACE]    N Out32 calls on the emulator, traced to TRACE
//   velmorin_budget capture N FILE     writes a capture of at least N edges; prints the count
// Plain C++ and a simulated clock: nothing here depends on the machine's speed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "capture_writer.h"
#include "hd44780/controller.h"
#include "port/cable.h"
#include "port/opener.h"
#include "port/port_layer.h"

namespace budget {

// Never inlined, so that callgrind can count it alone. Its wall-clock time goes to stderr
// for bench/ (a figure, never a test's verdict).
[[gnu::noinline]] void measured(void (*body)(void*), void* context) {
    const auto start = std::chrono::steady_clock::now();
    body(context);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "measured: %.6f s\n", took.count());
}

namespace {

struct Stream {
    std::vector<hd44780::Pins> pins;
    std::int64_t spacingNs = 0;
    hd44780::Controller controller;
};

void feed(void* context) {
    auto& s = *static_cast<Stream*>(context);
    std::int64_t t = 100'000'000;
    for (const hd44780::Pins& p : s.pins) {
        s.controller.busWrite(p, t);
        t += s.spacingNs;
    }
}

// Random bytes break every rule: short pulses, busy latches, undefined instructions.
void randomStream(Stream& s, std::size_t n) {
    std::mt19937 rng(12345);
    s.spacingNs = 100;
    for (std::size_t i = 0; i < n; ++i)
        s.pins.push_back(port::kParallelCable.pins(static_cast<std::uint8_t>(rng())));
}

// The switch to 4 bits, then 'A'..'Z' as data, a nibble being set-up, E high, E low.
void wellFormedStream(Stream& s, std::size_t n) {
    s.spacingNs = 60'000;
    auto nibble = [&](bool rs, int value) {
        const auto v = static_cast<std::uint8_t>((value << 4) | (rs ? 1 : 0));
        for (std::uint8_t b : {v, static_cast<std::uint8_t>(v | 2), v})
            s.pins.push_back(port::kParallelCable.pins(b));
    };
    for (int wake : {3, 3, 3, 2}) nibble(false, wake);
    for (int c = 0; s.pins.size() < n; c = (c + 1) % 26) {
        nibble(true, (0x41 + c) >> 4);
        nibble(true, (0x41 + c) & 0x0F);
    }
    s.pins.resize(n);
}

struct Out32Run {
    port::PortLayer* layer;
    std::size_t n;
};

void out32(void* context) {
    auto& r = *static_cast<Out32Run*>(context);
    // Set-up, E high, E low for alternating data nibbles, as the driver writes them.
    static constexpr std::int16_t kValues[] = {0x41, 0x43, 0x41, 0x11, 0x13, 0x11};
    for (std::size_t i = 0; i < r.n; ++i) r.layer->Out32(port::kLpt1, kValues[i % 6]);
}

int runOut32(std::size_t n, const char* trace) {
    port::SimulatedClock clock;
    port::PortConfig config;
    config.mode = port::Mode::Emulator;
    if (trace) config.tracePath = trace;
    bool failed = false;
    port::Fatal fatal([&](const port::Error&) { failed = true; });
    port::PortLayer layer(config, clock, clock, fatal, port::hardwareOpener());
    layer.Out32(port::kLpt1, 0);  // the port opened before the count starts
    Out32Run run{&layer, n};
    measured(out32, &run);
    layer.flush();
    return failed ? 1 : 0;
}

}  // namespace
}  // namespace budget

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: velmorin_budget random|wellformed|out32|capture N [FILE]\n", stderr);
        return 2;
    }
    const std::string what = argv[1];
    const auto n = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10));
    if (what == "random" || what == "wellformed") {
        budget::Stream s;
        (what == "random" ? budget::randomStream : budget::wellFormedStream)(s, n);
        budget::measured(budget::feed, &s);
        std::printf("%zu writes, %llu violations\n", s.pins.size(),
                    static_cast<unsigned long long>(s.controller.timing().count()));
        return 0;
    }
    if (what == "out32") return budget::runOut32(n, argc > 3 ? argv[3] : nullptr);
    if (what == "capture" && argc > 3) {
        std::FILE* out = std::fopen(argv[3], "wb");
        if (!out) return 1;
        const long long edges = bench::writeCapture(out, static_cast<long long>(n));
        if (std::fclose(out) != 0) return 1;
        std::printf("%lld\n", edges);
        return 0;
    }
    return 2;
}
