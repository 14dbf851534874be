// libFuzzer: the VCD reader and the pin map fed arbitrary files, read in pieces of every
// size the first byte picks; whatever it reads is judged by the controller.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "check/capture.h"
#include "check/vcd_reader.h"
#include "judge_all.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t at = 0;
    check::VcdReader reader([&](char* buf, std::size_t n) -> long {
        const std::size_t k = std::min({n, piece, text.size() - at});
        text.copy(buf, k, at);
        at += k;
        return static_cast<long>(k);
    });
    if (!reader.readHeader()) {
        if (!reader.error() || reader.error()->line == 0) __builtin_trap();
        return 0;
    }
    for (const check::VcdVar& v : reader.vars())
        if (v.width < 1 || v.width > 64 || v.id >= reader.idCount()) __builtin_trap();
    return judgeAll(reader);
}
