// The user's words for what the emulated controller records: one line per timing
// violation or undefined-behaviour warning, for the display window's tooltips.
#pragma once

#include <QString>

#include "hd44780/controller.h"

namespace window {

QString describe(const hd44780::Violation& v);
QString describe(const hd44780::Warning& w);
QString oscillatorName(hd44780::Oscillator oscillator);

}  // namespace window
