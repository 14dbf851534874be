// The modules people own: the sizes sold with one HD44780-compatible controller, and the
// oscillators they run at. Offered by VELMORIN_MODULE and by the display window.
#pragma once

#include <array>
#include <string>

#include "hd44780/types.h"

namespace hd44780 {

// One controller drives at most 80 characters; 16x4 and 20x4 run it in 2-line mode, rows 3
// and 4 continuing lines 1 and 2.
inline constexpr std::array<Geometry, 11> kModuleSizes{{
    {8, 1},
    {8, 2},
    {16, 1},
    {16, 2},
    {16, 4},
    {20, 1},
    {20, 2},
    {20, 4},
    {24, 2},
    {40, 1},
    {40, 2},
}};

// The datasheet's reference part, and the slow corner of the clones (about 190 kHz).
inline constexpr std::array<Oscillator, 2> kOscillators{Oscillator::k270kHz, Oscillator::k190kHz};

// "20x4".
inline std::string moduleSizeName(Geometry module) {
    return std::to_string(module.columns) + "x" + std::to_string(module.rows);
}

}  // namespace hd44780
