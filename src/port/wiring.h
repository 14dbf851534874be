// A board's 8-line wiring: which of a byte-wide part's pins (an I2C expander's, a shift
// register's) carries each module line, and how its backlight is switched on. The named
// presets of the boards people own, and map=, the wiring spelt out, in one order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "hd44780/types.h"
#include "port/cable.h"

namespace port {

// Which pin carries each module line (hd44780::Line order), and how the backlight is
// switched on.
struct Wiring {
    static constexpr std::int8_t kNone = -1;  // R/W tied low on the board, no backlight
    std::array<std::int8_t, hd44780::kModuleLineCount> pin{};
    bool backlightActiveLow = false;
    std::string name;  // "mjkdz", "map=65470123"; empty for the board's usual wiring
};

// map='s order of the lines.
inline constexpr std::array<hd44780::Line, hd44780::kModuleLineCount> kMapOrder{
    hd44780::Line::RS,  hd44780::Line::RW,  hd44780::Line::E,   hd44780::Line::Backlight,
    hd44780::Line::DB4, hd44780::Line::DB5, hd44780::Line::DB6, hd44780::Line::DB7};

struct Preset {
    const char* name;  // empty: the part's usual board, chosen when no wiring is named
    const char* map;   // the pins in map='s order
    bool backlightActiveLow;
};

enum class MapProblem : std::uint8_t {
    Length,  // not eight pins
    Pin,     // a pin that is not 0-7 (or "-" but for R/W and the backlight)
    Twice,   // one pin for two lines
};

// "65470123": the pins of RS, R/W, E, backlight, D4, D5, D6, D7, into wiring.
std::optional<MapProblem> parseMap(const std::string& map, Wiring& wiring);
Wiring presetWiring(const Preset& preset);

// The module's pins as the part's byte: R/W low, the backlight held on.
Cable cable(const Wiring& wiring);

}  // namespace port
