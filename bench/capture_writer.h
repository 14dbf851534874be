// A capture of a module written byte after byte in 4-bit mode at the datasheet's times, as a
// logic analyser would save it: RS, E and D4-D7 as 1-bit wires, 1 ns a tick. The speed
// figure and the instruction budget both read one of these.
#pragma once

#include <cstdio>

namespace bench {

// Writes at least `wanted` edges to out; returns how many it wrote.
inline long long writeCapture(std::FILE* out, long long wanted) {
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
    return edges;
}

}  // namespace bench
