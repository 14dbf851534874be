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
std::string srProblem(const std::string& file, const ::check::SrError& e);
std::string badOption(const std::string& option, const std::string& value);

std::string pinsChosen(const std::string& pins, const ::check::PinMap& map);
std::string moduleLine(hd44780::Geometry module, const hd44780::Controller& controller);
std::string executed(const ::check::Executed& e, hd44780::Rom rom);
// The display heading, then one line a row: "|Bonjour [0] tous |".
std::vector<std::string> display(const hd44780::Controller& controller, hd44780::Geometry module,
                                 std::int64_t atNs, bool atEnd);
// "E déjà haut ..." where the capture began with E high; empty otherwise.
std::string startState(const ::check::Judged& j);
// The sample period, and the limits it is too long to measure.
std::string samplePeriod(const ::check::Judged& j);
// The power-on stretch before the wake-up, where the capture has one: a heading and the
// first of its findings.
std::vector<std::string> beforeWake(const ::check::Judged& j);
std::string unresolvedHeading(const ::check::Judged& j);
// Latches of a line at x or z; empty where none.
std::string unknownLevels(const ::check::Judged& j);
// The module the DDRAM addresses point to, and the --module to give.
std::string moduleHint(hd44780::Geometry likely);
// Of several scopes with the pins' names, the one judged: the one where E moves most.
std::string scopeChosen(const std::string& scope, const std::vector<std::string>& others);
// Status 2 after the report: nothing executed, so nothing was judged.
std::string nothingJudged(const std::string& file, const ::check::Judged& j);
std::string version();
std::string outOfMemory();
std::string internalError();
std::string violationsHeading(const ::check::Judged& j);
std::string warningsHeading(const ::check::Judged& j);
std::string lastLineCut(const std::string& file);  // the file ends in the middle of a line
std::string readBack(std::int64_t atNs);           // R/W high: the capture reads the module
// What --at asked for past the capture's end.
std::string pastTheEnd(std::int64_t atNs, std::int64_t endNs);
std::string summary(const ::check::Judged& j);

}  // namespace ui::check
