// velmorin-check's reading speed: writes a capture of 10 million edges (a module written
// byte after byte in 4-bit mode, at the datasheet's times), then reads and judges it as
// velmorin-check does, and prints the edges per second and the memory it took.
//   velmorin_bench_capture [FILE] [EDGES]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "check/capture.h"
#include "check/vcd_reader.h"

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/velmorin-bench-capture.vcd";
    const long long wanted = argc > 2 ? std::atoll(argv[2]) : 10'000'000;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    std::fputs(
        "$timescale 1 ns $end\n$scope module la $end\n$var wire 1 ! RS $end\n"
        "$var wire 1 \" E $end\n$var wire 1 # D4 $end\n$var wire 1 $ D5 $end\n"
        "$var wire 1 % D6 $end\n$var wire 1 & D7 $end\n$upscope $end\n$enddefinitions $end\n"
        "#0 0! 0\" 0# 0$ 0% 0&\n",
        out);
    const char* ids[] = {"#", "$", "%", "&"};
    long long t = 20'000'000, edges = 0;
    int db = 0, rsNow = 0;
    // The switch to 4 bits, then data bytes 'A'..'Z' forever: set-up, E 500 ns, per nibble.
    auto nibble = [&](int rs, int value) {
        std::fprintf(out, "#%lld", t);
        if (rs != rsNow) {
            std::fprintf(out, " %d!", rs);
            rsNow = rs;
            ++edges;
        }
        for (int i = 0; i < 4; ++i)
            if (((value >> i) & 1) != ((db >> i) & 1)) {
                std::fprintf(out, " %d%s", (value >> i) & 1, ids[i]);
                ++edges;
            }
        db = value;
        std::fprintf(out, "\n#%lld 1\"\n#%lld 0\"\n", t + 100, t + 600);
        edges += 2;
        t += 1'000;
    };
    nibble(0, 0x3);
    t += 5'000'000;
    nibble(0, 0x2);
    t += 100'000;
    for (int c = 0; edges < wanted; c = (c + 1) % 26) {
        nibble(1, (0x41 + c) >> 4);
        nibble(1, (0x41 + c) & 0xF);
        t += 50'000;  // beyond 41 us, a data write's execution time
    }
    std::fclose(out);
    const auto bytes = std::filesystem::file_size(path);

    const auto start = std::chrono::steady_clock::now();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    check::VcdReader reader(
        [in](char* b, std::size_t n) { return static_cast<long>(std::fread(b, 1, n, in)); });
    check::PinMap map;
    if (!reader.readHeader() || check::mapPins(reader.vars(), {}, map)) return 1;
    hd44780::Controller controller;
    const check::Judged j = check::judge(reader, map, controller);
    std::fclose(in);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "| %lld edges (%lld MB of VCD) | %.2f s | %.1f million edges/s | %.1f MB peak RSS | "
        "%llu data bytes, %llu violations |\n",
        static_cast<long long>(j.edges), static_cast<long long>(bytes / 1'000'000), s,
        static_cast<double>(j.edges) / s / 1e6, static_cast<double>(usage.ru_maxrss) / 1024.0,
        static_cast<unsigned long long>(j.data), static_cast<unsigned long long>(j.violationCount));
    std::remove(path.c_str());
    return 0;
}
