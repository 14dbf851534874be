// libFuzzer: the emulated controller fed arbitrary bus values at arbitrary speeds.
#include <cstddef>
#include <cstdint>

#include "hd44780/controller.h"
#include "hd44780/modules.h"
#include "port/cable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    hd44780::Options o;
    o.undrivenLinesHigh = (data[0] & 1) != 0;
    o.rom = (data[0] & 2) ? hd44780::Rom::A02 : hd44780::Rom::A00;
    o.oscillator = (data[0] & 4) ? hd44780::Oscillator::k190kHz : hd44780::Oscillator::k270kHz;
    o.powerOnNs = 0;
    hd44780::Controller c(o);
    std::int64_t t = 0;
    // Byte pairs: a bus value and a gap before the next write (0 ns to about 8 ms).
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        c.busWrite(port::kParallelCable.pins(data[i]), t);
        t += static_cast<std::int64_t>(data[i + 1]) * data[i + 1] * 128;
    }
    for (const hd44780::Geometry& g : hd44780::kModuleSizes)
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.columns; ++col)
                for (std::uint8_t r : c.shownRows(row, col, g, t))
                    if (r > 0x1F) __builtin_trap();
    if (c.warnings().size() > hd44780::Controller::kKeptWarnings) __builtin_trap();
    if (c.timing().recent().size() > hd44780::TimingChecker::kKeptViolations) __builtin_trap();
    if (c.addressInCgram() ? c.addressCounter() > 0x3F : c.addressCounter() > 0x7F)
        __builtin_trap();
    return 0;
}
