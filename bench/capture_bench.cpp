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

#include "capture_writer.h"
#include "check/capture.h"
#include "check/vcd_reader.h"

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/velmorin-bench-capture.vcd";
    const long long wanted = argc > 2 ? std::atoll(argv[2]) : 10'000'000;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 1;
    bench::writeCapture(out, wanted);
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
