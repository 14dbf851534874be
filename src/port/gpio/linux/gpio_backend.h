// A bare HD44780 module on GPIO lines: the row, and its own problems and remedies.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "hd44780/types.h"
#include "port/backend.h"

namespace port::gpio {

enum class Problem : std::uint8_t {
    LinesMissing,   // "/dev/gpiochip0" alone
    LineCount,      // count: how many were given (6 to 8 expected)
    BadOption,      // detail: what follows the lines
    BadLine,        // detail: the line text
    LineTwice,      // detail: the line text
    NotGpioDevice,  // the named device is some other driver's
    NotGpioChip,    // err
    LineMissing,    // number: the line, count: the chip's lines
    LinesRefused,   // detail: the lines; err
};
enum class Hint : std::uint8_t {
    None,
    ListGpioChips,
    JoinGroupGpio,  // Raspberry Pi OS's group
    LinesHeld,      // gpioinfo
};

// The highest line offset a device text takes.
inline constexpr long kMaxLine = 1023;

// The device text's order of the lines: RS, E, D4-D7, then R/W and the backlight where
// they are wired. Bit i of a line set is the i-th line named.
inline constexpr std::array<hd44780::Line, hd44780::kModuleLineCount> kLineOrder{
    hd44780::Line::RS,  hd44780::Line::E,   hd44780::Line::DB4, hd44780::Line::DB5,
    hd44780::Line::DB6, hd44780::Line::DB7, hd44780::Line::RW,  hd44780::Line::Backlight};

// What a device text gives: the line offsets, in kLineOrder.
struct Options final : DeviceOptions {
    std::vector<std::uint32_t> lines;
    bool backlightLow = false;  // bl-low: the backlight is on with its line low
};

extern const BackendRow kGpio;

}  // namespace port::gpio
