// Shared vocabulary of the HD44780 model.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hd44780 {

// Character-generator ROM: its row in the ROM table (char_rom.h). A00 (Japanese standard)
// is what most modules carry; A02 (European) is the other common mask. Other rows need no
// name here.
enum class Rom : std::uint8_t { A00, A02 };

// The controller's oscillator, by its frequency: every execution time and the blink rate
// follow from it. The datasheet's times are given at 270 kHz; slow clones run near 190 kHz
// and need 270/190 longer.
struct Oscillator {
    std::uint32_t kHz = 270;
    friend constexpr bool operator==(const Oscillator&, const Oscillator&) = default;
    // Scales a duration given at the datasheet's reference frequency to this oscillator.
    constexpr std::int64_t scale(std::int64_t ns, std::uint32_t atKHz) const noexcept {
        return ns * atKHz / kHz;
    }
    static const Oscillator k270kHz;
    static const Oscillator k190kHz;
};
inline constexpr Oscillator Oscillator::k270kHz{270};
inline constexpr Oscillator Oscillator::k190kHz{190};

// Eight dot rows, top to bottom; bit 4 is the leftmost of the five pixels. Row 8 is the
// cursor row.
using GlyphRows = std::array<std::uint8_t, 8>;

// The controller's bus inputs as a 4-bit interface uses them: R/W is tied low (write only)
// and DB0-DB3 are left open. Which port bit drives which line is the cable's business, not
// the chip's. Every bus write passes these by value, so they stay three bytes; a capture
// that shows DB0-DB3 wired hands them to the controller beside these
// (Controller::busWrite8).
struct Pins {
    bool rs = false;
    bool e = false;
    std::uint8_t db = 0;  // DB4-DB7: bit 0 is DB4
    friend constexpr bool operator==(const Pins&, const Pins&) = default;
};

// The module's lines: the six a 4-bit bus drives, in the order the module's pin header and
// the traces list them, then the two a board may wire besides: R/W (held low: the module
// is only written) and the backlight. A backend's device text lists them in an order of
// its own; each order is a list of these.
enum class Line : std::uint8_t { RS, E, DB4, DB5, DB6, DB7, RW, Backlight };
inline constexpr std::size_t kLineCount = 6;        // the bus lines, RS to DB7
inline constexpr std::size_t kModuleLineCount = 8;  // with R/W and the backlight
inline constexpr std::array<const char*, kLineCount> kLineNames{"RS", "E", "D4", "D5", "D6", "D7"};

constexpr bool level(Pins p, Line line) noexcept {
    switch (line) {
        case Line::RS:
            return p.rs;
        case Line::E:
            return p.e;
        case Line::DB4:
        case Line::DB5:
        case Line::DB6:
        case Line::DB7:
            return ((p.db >> (static_cast<int>(line) - static_cast<int>(Line::DB4))) & 1) != 0;
        case Line::RW:         // never driven high: write only
        case Line::Backlight:  // not the controller's
            return false;
    }
    return false;
}

// What the controller is busy with after executing an instruction.
enum class Execution : std::uint8_t { ClearOrHome, Instruction, DataWrite };

// A module's visible size: columns per row, and 1, 2 or 4 rows.
struct Geometry {
    int columns = 20;
    int rows = 2;
    friend constexpr bool operator==(const Geometry&, const Geometry&) = default;
};

}  // namespace hd44780
