// Cables: which bit of the byte a backend puts out drives which line of the module.
//
// The driver always writes the parallel port's data register as our cable wires it. The
// port layer reads each byte back into pins through that cable, once; a backend whose
// hardware is wired differently puts the pins out through a cable of its own.
#pragma once

#include <array>
#include <cstdint>

#include "hd44780/types.h"

namespace port {

struct Cable {
    // The bit carrying each module line, in hd44780::Line order: RS, E, DB4, DB5, DB6, DB7.
    std::array<std::uint8_t, hd44780::kLineCount> bit;
    // Bits held high whatever is sent (a backpack's backlight transistor).
    std::uint8_t alwaysHigh = 0;

    constexpr bool level(std::uint8_t byte, hd44780::Line line) const noexcept {
        return ((byte >> bit[static_cast<std::size_t>(line)]) & 1) != 0;
    }
    constexpr hd44780::Pins pins(std::uint8_t byte) const noexcept {
        using hd44780::Line;
        hd44780::Pins p;
        p.rs = level(byte, Line::RS);
        p.e = level(byte, Line::E);
        for (int i = 0; i < 4; ++i)
            if (level(byte, static_cast<Line>(static_cast<int>(Line::DB4) + i)))
                p.db = static_cast<std::uint8_t>(p.db | (1 << i));
        return p;
    }
    constexpr std::uint8_t byte(hd44780::Pins p) const noexcept {
        std::uint8_t b = alwaysHigh;
        for (std::size_t i = 0; i < hd44780::kLineCount; ++i)
            if (hd44780::level(p, static_cast<hd44780::Line>(i)))
                b = static_cast<std::uint8_t>(b | (1 << bit[i]));
        return b;
    }
};

// DB-25 data pins D0-D7 (pins 2-9): RS on D0, E on D1, DB4-DB7 on D4-D7; D2 and D3 unused.
inline constexpr Cable kParallelCable{{0, 1, 4, 5, 6, 7}, 0};

}  // namespace port
