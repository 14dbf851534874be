// A capture of a real module's pins, judged: the signals named for the module's pins, every
// edge fed to the controller model at its time, and what the model then shows, executes and
// finds wrong with the timing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/sr_reader.h"
#include "check/vcd_reader.h"
#include "hd44780/controller.h"

namespace check {

// The module's pins a capture may show, in --map's names.
enum class Pin : std::uint8_t { RS, E, RW, D0, D1, D2, D3, D4, D5, D6, D7, Count };
inline constexpr std::size_t kPins = static_cast<std::size_t>(Pin::Count);
inline constexpr std::array<const char*, kPins> kPinNames{"RS", "E",  "RW", "D0", "D1", "D2",
                                                          "D3", "D4", "D5", "D6", "D7"};

// Where a pin is in the capture: a variable, and the bit of it (0 for a 1-bit wire).
struct Probe {
    std::size_t var = 0;
    int bit = 0;
};

struct PinMap {
    std::array<std::optional<Probe>, kPins> probes;
    enum class Chosen : std::uint8_t { Given, PinNames, ParallelCable } chosen{};
    bool eightBit() const noexcept;
};

enum class MapProblem : std::uint8_t {
    BadForm,           // text: the part that is not PIN=SIGNAL
    UnknownPin,        // text: the pin
    NoSignal,          // text: the signal no variable is
    Missing,           // text: the pins a map needs and could not find (RS, E, D4-D7)
    PinTwice,          // text: the pin given twice
    SignalTwice,       // text: the signal given for two pins
    VectorWithoutBit,  // text: the vector named whole; number: its width
    Empty,             // --map ''
    NoScope,           // text: the --scope no variable is in
};

struct MapError {
    MapProblem what{};
    std::string text;
    int width = 0;  // VectorWithoutBit
};

// --map RS=D0,E=D1,D4=D4...: each pin to a signal, "name", "scope.name" or "name[bit]".
// Without a map: the module's pin names (RS, E, RW, D0-D7, DB0-DB7) in the first scope that
// has RS, E and D4-D7, else the parallel port's data pins as the program's cable wires them
// (D0 RS, D1 E, D4-D7 D4-D7; or bits of an 8-bit "data" vector).
// scope, where given, is the one the pins' names are looked for in.
std::optional<MapError> mapPins(const std::vector<VcdVar>& vars, const std::string& given,
                                PinMap& map, const std::string& scope = {});
// The scopes that name RS, E and D4-D7 by the pins' names, in the file's order (a trace of
// two ports has two), each with its E's identifier.
std::vector<std::pair<std::string, std::size_t>> pinScopes(const std::vector<VcdVar>& vars);
// "RS=lpt_0x378.RS, E=lpt_0x378.E, ...".
std::string describe(const std::vector<VcdVar>& vars, const PinMap& map);

struct Executed {
    bool rs = false;
    bool cgram = false;  // data: a row of a custom glyph's pattern
    std::uint8_t byte = 0;
    std::int64_t atNs = 0;
};

// What a stretch of the capture held: what executed, what broke the datasheet, what was
// odd. A capture of millions of edges keeps its first findings, and counts them all.
struct Findings {
    static constexpr std::size_t kKept = 1000;
    std::uint64_t instructions = 0, data = 0;
    std::uint64_t violationCount = 0, warningCount = 0;
    std::vector<hd44780::Violation> violations;
    std::vector<hd44780::Warning> warnings;
};

struct Judged : Findings {
    static constexpr std::size_t kKeptUnresolved = 5;
    std::uint64_t edges = 0;   // value changes of the mapped pins, the first values aside
    std::int64_t startNs = 0;  // the first values' time: the state the capture found
    std::int64_t endNs = 0;    // the last change's time
    bool eHighAtStart = false;
    // The sample period: the changes' common spacing (sigrok writes one unit a sample);
    // 0 where the capture has fewer than two change times.
    std::uint64_t periodFs = 0;
    // Where the capture brings the module into step with an initialisation by
    // instruction (see judge): what came before is listed apart, in before, and fails
    // nothing. Without one, the capture is judged whole.
    std::optional<std::int64_t> wakeNs;
    Findings before;
    // Limits the period cannot resolve: changes of one sample, and limits shorter than a
    // sample. Counted, the first few kept; they fail nothing.
    std::uint64_t unresolvedCount = 0;
    std::vector<hd44780::Violation> unresolved;
    std::vector<Executed> executed;        // with keepExecuted only
    std::optional<std::int64_t> rwHighNs;  // the first time R/W was high: the bus was read
    std::array<bool, 128> ddramSet{};      // the DDRAM addresses set
    // Falls of E that latched a pin at x or z (read as 0): how many, and the first.
    std::uint64_t unknownLatches = 0;
    Pin unknownPin{};
    std::int64_t unknownAtNs = 0;
};

// The common module whose row starts the DDRAM addresses set fit, where it is not the one
// judged (a 20x4's rows 3 and 4 start at 0x14 and 0x54).
std::optional<hd44780::Geometry> likelyModule(const Judged& j, hd44780::Geometry judged);

struct JudgeOptions {
    std::optional<std::int64_t> untilNs;  // stop after this time: the display as it was then
    bool keepExecuted = false;
};

// Feeds every change to the controller in time order, the changes of one time as one bus
// write; the first time's values are the state the capture found, not changes. The
// reader's header is read already; its error, if any, ends the run.
//
// The wake-up, from any state (datasheet: initialising by instruction): three instruction
// writes in a row whose DB7-DB4 read 0011, which leave the controller in 8-bit mode however
// it stood, then, on a 4-bit bus, one reading 0010, which sets 4 bits. The first such
// sequence ends the power-on stretch; a capture without one is judged whole.
Judged judge(VcdReader& reader, const PinMap& map, hd44780::Controller& controller,
             const JudgeOptions& options = {});
// The same for a sigrok session; its sample period is the metadata's.
Judged judge(SrReader& reader, const PinMap& map, hd44780::Controller& controller,
             const JudgeOptions& options = {});

}  // namespace check
