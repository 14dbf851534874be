// Shared vocabulary of the HD44780 model.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace hd44780 {

// Character-generator ROM variant. A00 (Japanese standard) is what most modules carry;
// A02 (European) is the other common mask.
enum class Rom : std::uint8_t { A00, A02 };

// Oscillator corner the timing checker holds the bus to. The datasheet's execution
// times are given at 270 kHz; slow clones run near 190 kHz and need 270/190 longer.
enum class Oscillator : std::uint8_t { k270kHz, k190kHz };

// Eight dot rows, top to bottom; bit 4 is the leftmost of the five pixels. Row 8 is the
// cursor row.
using GlyphRows = std::array<std::uint8_t, 8>;

// Bus lines as wired to the parallel port's data register.
inline constexpr std::uint8_t kPinRs = 0x01;
inline constexpr std::uint8_t kPinE = 0x02;
inline constexpr std::uint8_t kPinsData = 0xF0;  // D4-D7

}  // namespace hd44780
