// The user's words for what the emulated controller records: one line per timing
// violation or undefined-behaviour warning, for the display window's tooltips and for
// velmorin-check's report. Plain C++.
#pragma once

#include <string>

#include "hd44780/controller.h"
#include "port/parse.h"

namespace ui {

// Times are shown in seconds since originNs (the program's start, the capture's), in French.
std::string violationText(const hd44780::Violation& v, std::int64_t originNs);
std::string warningText(const hd44780::Warning& w, std::int64_t originNs);
// What helps against a kind of violation.
std::string remedy(hd44780::ViolationKind kind);
std::string oscillatorName(hd44780::Oscillator oscillator);
// "1,234567 s".
std::string seconds(std::int64_t ns);
// "1,465 ms", "230 ns".
std::string duration(std::int64_t ns);
// "0x0F": an instruction or data byte, as the datasheet writes them.
inline std::string hexByte(std::uint8_t v) {
    return port::hexByte(v, true);
}

}  // namespace ui
