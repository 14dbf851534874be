// velmorin-check's words: its report of a capture, and why a capture or an option could not
// be read. Plain C++.
#pragma once

#include <string>
#include <vector>

#include "check/capture.h"
#include "check/vcd_reader.h"
#include "hd44780/controller.h"

namespace ui::check {

std::string usage();
// Status 2: the sentence naming the file (and line) and what is wrong.
std::string notAFile(const std::string& file);
std::string unreadable(const std::string& file, int err);
std::string vcdProblem(const std::string& file, const ::check::VcdError& e);
std::string mapProblem(const std::string& file, const ::check::MapError& e);
std::string badOption(const std::string& option, const std::string& value);

std::string pinsChosen(const std::string& pins, const ::check::PinMap& map);
std::string moduleLine(hd44780::Geometry module, const hd44780::Controller& controller);
std::string executed(const ::check::Executed& e);
// The display heading, then one line a row: "|Bonjour [0] tous |".
std::vector<std::string> display(const hd44780::Controller& controller, hd44780::Geometry module,
                                 std::int64_t atNs, bool atEnd);
std::string violationsHeading(const ::check::Judged& j);
std::string warningsHeading(const ::check::Judged& j);
std::string readBack(std::int64_t atNs);  // R/W high: the capture reads the module
std::string summary(const ::check::Judged& j);

}  // namespace ui::check
