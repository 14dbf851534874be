#include "check/capture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace check {
namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string fullName(const VcdVar& v) {
    return v.scope.empty() ? v.name : v.scope + "." + v.name;
}

// "RS", "lpt_0x378.RS", "data[4]", "top.data[4]": the variable and the bit, matching the
// name or the scoped name, letter case aside. The first variable declared wins.
std::optional<Probe> find(const std::vector<VcdVar>& vars, const std::string& signal) {
    std::string name = upper(signal);
    int bit = -1;
    if (const std::size_t b = name.find('['); b != std::string::npos && name.back() == ']') {
        const std::string digits = name.substr(b + 1, name.size() - b - 2);
        if (digits.empty() || digits.size() > 2 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        bit = std::stoi(digits);
        name.erase(b);
    }
    for (std::size_t i = 0; i < vars.size(); ++i) {
        const VcdVar& v = vars[i];
        if (upper(v.name) != name && upper(fullName(v)) != name) continue;
        if (bit < 0 && v.width == 1) return Probe{i, 0};
        if (bit >= v.lsb && bit < v.lsb + v.width) return Probe{i, bit - v.lsb};
    }
    return std::nullopt;
}

constexpr std::size_t index(Pin p) {
    return static_cast<std::size_t>(p);
}

bool complete(const PinMap& m) {
    for (Pin p : {Pin::RS, Pin::E, Pin::D4, Pin::D5, Pin::D6, Pin::D7})
        if (!m.probes[index(p)]) return false;
    return true;
}

// The module's pin names, each with the other names boards and users give it.
const std::vector<std::string>& aliases(Pin p) {
    static const std::array<std::vector<std::string>, kPins> kAliases{{
        {"RS"},
        {"E", "EN", "ENABLE"},
        {"RW", "R/W", "R_W"},
        {"D0", "DB0"},
        {"D1", "DB1"},
        {"D2", "DB2"},
        {"D3", "DB3"},
        {"D4", "DB4"},
        {"D5", "DB5"},
        {"D6", "DB6"},
        {"D7", "DB7"},
    }};
    return kAliases[index(p)];
}

// The pin a name (in capitals) is one of the names of.
std::optional<std::size_t> pinNamed(const std::string& name) {
    for (std::size_t p = 0; p < kPins; ++p) {
        const auto& names = aliases(static_cast<Pin>(p));
        if (std::find(names.begin(), names.end(), name) != names.end()) return p;
    }
    return std::nullopt;
}

// The pins by their names, all in one scope: the first scope that has RS, E and D4-D7.
bool byPinNames(const std::vector<VcdVar>& vars, PinMap& map) {
    std::vector<std::string> scopes;
    for (const VcdVar& v : vars)
        if (std::find(scopes.begin(), scopes.end(), v.scope) == scopes.end())
            scopes.push_back(v.scope);
    for (const std::string& scope : scopes) {
        PinMap m;
        for (std::size_t p = 0; p < kPins; ++p)
            for (const std::string& alias : aliases(static_cast<Pin>(p))) {
                if (m.probes[p]) break;
                for (std::size_t i = 0; i < vars.size(); ++i)
                    if (vars[i].scope == scope && vars[i].width == 1 &&
                        upper(vars[i].name) == alias) {
                        m.probes[p] = Probe{i, 0};
                        break;
                    }
            }
        if (complete(m)) {
            m.chosen = PinMap::Chosen::PinNames;
            map = m;
            return true;
        }
    }
    return false;
}

// The parallel port's data pins as the program's cable wires them: D0 RS, D1 E, D4-D7.
bool byParallelCable(const std::vector<VcdVar>& vars, PinMap& map) {
    const std::pair<Pin, int> cable[] = {{Pin::RS, 0}, {Pin::E, 1},  {Pin::D4, 4},
                                         {Pin::D5, 5}, {Pin::D6, 6}, {Pin::D7, 7}};
    for (const char* form : {"D%d", "data[%d]"}) {
        PinMap m;
        for (const auto& [pin, bit] : cable) {
            char name[16];
            std::snprintf(name, sizeof name, form, bit);
            m.probes[index(pin)] = find(vars, name);
        }
        if (complete(m)) {
            m.chosen = PinMap::Chosen::ParallelCable;
            map = m;
            return true;
        }
    }
    return false;
}

}  // namespace

bool PinMap::eightBit() const noexcept {
    for (Pin p : {Pin::D0, Pin::D1, Pin::D2, Pin::D3})
        if (!probes[index(p)]) return false;
    return true;
}

std::optional<MapError> mapPins(const std::vector<VcdVar>& vars, const std::string& given,
                                PinMap& map) {
    map = PinMap{};
    if (given.empty()) {
        if (byPinNames(vars, map) || byParallelCable(vars, map)) return std::nullopt;
        return MapError{MapProblem::Missing, "RS, E, D4-D7"};
    }
    map.chosen = PinMap::Chosen::Given;
    std::size_t from = 0;
    while (from <= given.size()) {
        std::size_t comma = given.find(',', from);
        if (comma == std::string::npos) comma = given.size();
        const std::string part = given.substr(from, comma - from);
        from = comma + 1;
        const std::size_t eq = part.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == part.size())
            return MapError{MapProblem::BadForm, part};
        const std::optional<std::size_t> p = pinNamed(upper(part.substr(0, eq)));
        if (!p) return MapError{MapProblem::UnknownPin, part.substr(0, eq)};
        const auto probe = find(vars, part.substr(eq + 1));
        if (!probe) return MapError{MapProblem::NoSignal, part.substr(eq + 1)};
        map.probes[*p] = probe;
    }
    if (!complete(map)) {
        std::string missing;
        for (Pin p : {Pin::RS, Pin::E, Pin::D4, Pin::D5, Pin::D6, Pin::D7})
            if (!map.probes[index(p)])
                missing.append(missing.empty() ? "" : ", ").append(kPinNames[index(p)]);
        return MapError{MapProblem::Missing, missing};
    }
    return std::nullopt;
}

std::string describe(const std::vector<VcdVar>& vars, const PinMap& map) {
    std::string text;
    for (std::size_t p = 0; p < kPins; ++p) {
        if (!map.probes[p]) continue;
        const VcdVar& v = vars[map.probes[p]->var];
        std::string signal = fullName(v);
        if (v.width > 1) signal += "[" + std::to_string(v.lsb + map.probes[p]->bit) + "]";
        if (!text.empty()) text += ", ";
        text.append(kPinNames[p]).append("=").append(signal);
    }
    return text;
}

namespace {

class Recorder final : public hd44780::ExecutionObserver {
public:
    Recorder(Judged& judged, bool keep) : m_judged(judged), m_keep(keep) {}
    void executed(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept override {
        ++(rs ? m_judged.data : m_judged.instructions);
        if (m_keep) m_judged.executed.push_back({rs, byte, atNs});
    }

private:
    Judged& m_judged;
    bool m_keep;
};

}  // namespace

Judged judge(VcdReader& reader, const PinMap& map, hd44780::Controller& controller,
             const JudgeOptions& options) {
    Judged judged;
    Recorder recorder(judged, options.keepExecuted);
    controller.observe(&recorder);
    // For each identifier, the pins it carries and which bit of it.
    std::vector<std::vector<std::pair<Pin, int>>> carried(reader.idCount());
    for (std::size_t p = 0; p < kPins; ++p)
        if (map.probes[p])
            carried[reader.vars()[map.probes[p]->var].id].push_back(
                {static_cast<Pin>(p), map.probes[p]->bit});
    const bool eightBit = map.eightBit();
    std::array<bool, kPins> level{};
    bool changed = false;
    std::int64_t pendingNs = 0;
    const std::uint64_t fs = reader.femtosecondsPerUnit();
    // Every timescale is a power of ten of femtoseconds: one side of the nanosecond divides
    // the other exactly.
    const auto toNs = [fs](std::uint64_t t) {
        return static_cast<std::int64_t>(fs >= 1'000'000 ? t * (fs / 1'000'000)
                                                         : t / (1'000'000 / fs));
    };
    // One bus write: the pins as they stand from atNs on.
    const auto write = [&](std::int64_t atNs) {
        hd44780::Pins pins;
        pins.rs = level[index(Pin::RS)];
        pins.e = level[index(Pin::E)];
        std::uint8_t db0to3 = 0;
        for (int i = 0; i < 4; ++i) {
            if (level[index(Pin::D4) + static_cast<std::size_t>(i)])
                pins.db |= static_cast<std::uint8_t>(1 << i);
            if (level[index(Pin::D0) + static_cast<std::size_t>(i)])
                db0to3 |= static_cast<std::uint8_t>(1 << i);
        }
        if (level[index(Pin::RW)] && !judged.rwHighNs) judged.rwHighNs = atNs;
        const std::uint64_t violations = controller.timing().count();
        const std::uint64_t warnings = controller.warningCount();
        if (eightBit)
            controller.busWrite8(pins, db0to3, atNs);
        else
            controller.busWrite(pins, atNs);
        // What this write added, kept while there is room.
        const auto& v = controller.timing().recent();
        const std::uint64_t newViolations = controller.timing().count() - violations;
        judged.violationCount += newViolations;
        for (std::size_t k = std::min<std::size_t>(newViolations, v.size()); k > 0; --k)
            if (judged.violations.size() < Judged::kKept)
                judged.violations.push_back(v[v.size() - k]);
        const auto& w = controller.warnings();
        const std::uint64_t newWarnings = controller.warningCount() - warnings;
        judged.warningCount += newWarnings;
        for (std::size_t k = std::min<std::size_t>(newWarnings, w.size()); k > 0; --k)
            if (judged.warnings.size() < Judged::kKept) judged.warnings.push_back(w[w.size() - k]);
    };
    VcdReader::Change c;
    while (reader.next(c)) {
        const auto& pins = carried[c.id];
        if (pins.empty()) continue;
        const std::int64_t ns = toNs(c.time);
        if (changed && ns != pendingNs) {
            write(pendingNs);
            changed = false;
        }
        if (options.untilNs && ns > *options.untilNs) break;
        for (const auto& [pin, bit] : pins) {
            // x and z read as low: a floating input with nothing driving it.
            const bool high = ((c.bits >> bit) & 1) != 0 && ((c.unknown >> bit) & 1) == 0;
            if (level[index(pin)] != high) {
                level[index(pin)] = high;
                changed = true;
                ++judged.edges;
            }
        }
        pendingNs = ns;
        judged.endNs = ns;
    }
    if (changed) write(pendingNs);
    controller.observe(nullptr);
    return judged;
}

}  // namespace check
