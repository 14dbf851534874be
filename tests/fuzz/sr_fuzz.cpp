// libFuzzer: the .sr reader fed arbitrary archives (libzip reads from a file, so each input
// is written to one first); whatever it reads is judged by the controller.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "check/capture.h"
#include "check/sr_reader.h"
#include "judge_all.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/velmorin-sr-fuzz-" + std::to_string(getpid()) + ".sr";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    check::SrReader reader(path);
    if (!reader.readHeader()) {
        if (!reader.error()) __builtin_trap();
        return 0;
    }
    if (reader.vars().empty() || reader.vars().size() > check::SrReader::kMaxChannels)
        __builtin_trap();
    return judgeAll(reader);
}
