// The user's words for what the emulated controller records: one line per timing
// violation or undefined-behaviour warning, for the display window's tooltips.
#pragma once

#include <QString>

#include "hd44780/controller.h"

namespace ui {

// Times are shown in seconds since originNs (the program's start), in French.
QString violationText(const hd44780::Violation& v, std::int64_t originNs);
QString warningText(const hd44780::Warning& w, std::int64_t originNs);
// What helps against a kind of violation.
QString remedy(hd44780::ViolationKind kind);
QString oscillatorName(hd44780::Oscillator oscillator);

}  // namespace ui
