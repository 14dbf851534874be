#include "check/capture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

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

// The pins a map lacks of RS, E, D4-D7: "E, D6".
std::string missingPins(const PinMap& m) {
    std::string missing;
    for (Pin p : {Pin::RS, Pin::E, Pin::D4, Pin::D5, Pin::D6, Pin::D7})
        if (!m.probes[index(p)])
            missing.append(missing.empty() ? "" : ", ").append(kPinNames[index(p)]);
    return missing;
}

// The pins by their names, all in one scope: the first scope that has RS, E and D4-D7.
// Where none has them all, missing names what the scope with most of them lacks.
std::vector<std::string> scopesOf(const std::vector<VcdVar>& vars) {
    std::vector<std::string> scopes;
    for (const VcdVar& v : vars)
        if (std::find(scopes.begin(), scopes.end(), v.scope) == scopes.end())
            scopes.push_back(v.scope);
    return scopes;
}

// The pins by their names in one scope.
PinMap namedIn(const std::vector<VcdVar>& vars, const std::string& scope) {
    PinMap m;
    for (std::size_t p = 0; p < kPins; ++p)
        for (const std::string& alias : aliases(static_cast<Pin>(p))) {
            if (m.probes[p]) break;
            for (std::size_t i = 0; i < vars.size(); ++i)
                if (vars[i].scope == scope && vars[i].width == 1 && upper(vars[i].name) == alias) {
                    m.probes[p] = Probe{i, 0};
                    break;
                }
        }
    return m;
}

bool byPinNames(const std::vector<VcdVar>& vars, PinMap& map, std::string& missing,
                const std::string& only) {
    std::size_t most = 0;
    for (const std::string& scope : scopesOf(vars)) {
        if (!only.empty() && scope != only) continue;
        PinMap m = namedIn(vars, scope);
        if (complete(m)) {
            m.chosen = PinMap::Chosen::PinNames;
            map = m;
            return true;
        }
        const std::size_t found = static_cast<std::size_t>(std::count_if(
            m.probes.begin(), m.probes.end(), [](const auto& p) { return p.has_value(); }));
        if (found > most) {
            most = found;
            missing = missingPins(m);
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

std::vector<std::pair<std::string, std::size_t>> pinScopes(const std::vector<VcdVar>& vars) {
    std::vector<std::pair<std::string, std::size_t>> found;
    for (const std::string& scope : scopesOf(vars))
        if (const PinMap m = namedIn(vars, scope); complete(m))
            found.emplace_back(scope, vars[m.probes[index(Pin::E)]->var].id);
    return found;
}

std::optional<MapError> mapPins(const std::vector<VcdVar>& vars, const std::string& given,
                                PinMap& map, const std::string& scope) {
    map = PinMap{};
    if (!scope.empty()) {
        const auto scopes = scopesOf(vars);
        if (std::find(scopes.begin(), scopes.end(), scope) == scopes.end())
            return MapError{MapProblem::NoScope, scope};
    }
    if (given.empty()) {
        std::string missing = "RS, E, D4, D5, D6, D7";
        if (byPinNames(vars, map, missing, scope) || (scope.empty() && byParallelCable(vars, map)))
            return std::nullopt;
        return MapError{MapProblem::Missing, missing};
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
        if (map.probes[*p]) return MapError{MapProblem::PinTwice, part.substr(0, eq)};
        const std::string signal = part.substr(eq + 1);
        const auto probe = find(vars, signal);
        if (!probe) {
            // "data" for an 8-bit vector: which bit is meant?
            for (const VcdVar& v : vars)
                if (v.width > 1 &&
                    (upper(v.name) == upper(signal) || upper(fullName(v)) == upper(signal)))
                    return MapError{MapProblem::VectorWithoutBit, signal, v.width};
            return MapError{MapProblem::NoSignal, signal};
        }
        for (const auto& other : map.probes)
            if (other && other->var == probe->var && other->bit == probe->bit)
                return MapError{MapProblem::SignalTwice, signal};
        map.probes[*p] = probe;
    }
    if (!complete(map)) return MapError{MapProblem::Missing, missingPins(map)};
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

// The findings of the stretch being read: the power-on stretch until the wake-up, then the
// judged one.
struct Stretch {
    Findings* findings = nullptr;
    bool judged = false;  // past the wake-up
};

class Recorder final : public hd44780::ExecutionObserver {
public:
    Recorder(Judged& judged, const Stretch& stretch, bool keep)
        : m_judged(judged), m_stretch(stretch), m_keep(keep) {}
    void executed(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept override {
        ++(rs ? m_stretch.findings->data : m_stretch.findings->instructions);
        if (!rs && (byte & 0x80)) m_judged.ddramSet[byte & 0x7F] = true;
        // Set CGRAM address sends data to the glyphs; set DDRAM address back to the text.
        if (!rs && (byte & 0xC0)) m_cgram = !(byte & 0x80);
        if (!rs && byte != 0 && byte < 0x04) m_cgram = false;  // clear, home: DDRAM 0
        if (m_keep) m_judged.executed.push_back({rs, rs && m_cgram, byte, atNs});
    }

private:
    Judged& m_judged;
    const Stretch& m_stretch;
    bool m_keep;
    bool m_cgram = false;
};

// A violation as found, before the sample period says whether it could be seen.
struct Found {
    hd44780::Violation v;
    bool oneSample;  // the line moved in the same sample as E
};

std::uint64_t gcd(std::uint64_t a, std::uint64_t b) noexcept {
    while (b != 0) a = std::exchange(b, a % b);
    return a;
}

}  // namespace

std::optional<hd44780::Geometry> likelyModule(const Judged& j, hd44780::Geometry judged) {
    // Row starts beyond the first two lines' first cells: 0x14/0x54 on a 20x4, 0x10/0x50 on
    // a 16x4.
    const struct {
        std::uint8_t third, fourth;
        hd44780::Geometry module;
    } kStarts[] = {{0x14, 0x54, {20, 4}}, {0x10, 0x50, {16, 4}}};
    for (const auto& s : kStarts)
        if (j.ddramSet[s.third] && j.ddramSet[s.fourth] && !(judged == s.module)) return s.module;
    return std::nullopt;
}

namespace {

template <class Reader>
Judged judgeChanges(Reader& reader, const PinMap& map, hd44780::Controller& controller,
                    const JudgeOptions& options) {
    Judged judged;
    Stretch stretch{&judged.before, false};
    Recorder recorder(judged, stretch, options.keepExecuted);
    controller.observe(&recorder);
    // For each identifier, the pins it carries and which bit of it.
    std::vector<std::vector<std::pair<Pin, int>>> carried(reader.idCount());
    for (std::size_t p = 0; p < kPins; ++p)
        if (map.probes[p])
            carried[reader.vars()[map.probes[p]->var].id].push_back(
                {static_cast<Pin>(p), map.probes[p]->bit});
    const bool eightBit = map.eightBit();
    std::array<bool, kPins> level{};
    std::uint32_t unknown = 0;    // the pins at x or z, a bit each
    std::uint8_t writtenLow = 0;  // DB0-DB3 as the last bus write had them
    bool changed = false, started = false;
    std::int64_t pendingNs = 0;
    std::uint64_t lastTime = 0, spacing = 0;
    const std::uint64_t fs = reader.femtosecondsPerUnit();
    // Every timescale is a power of ten of femtoseconds: one side of the nanosecond divides
    // the other exactly.
    const auto toNs = [fs](std::uint64_t t) {
        return static_cast<std::int64_t>(fs >= 1'000'000 ? t * (fs / 1'000'000)
                                                         : t / (1'000'000 / fs));
    };
    // The wake-up so far: instruction writes in a row reading 0011.
    int threes = 0;
    // Violations as found, by stretch: counted exactly, the first ones kept.
    std::array<std::vector<Found>, 2> found;
    std::array<std::array<std::array<std::uint64_t, 2>, hd44780::kViolationKinds>, 2> counts{};
    const auto pins = [&] {
        hd44780::Pins p;
        p.rs = level[index(Pin::RS)];
        p.e = level[index(Pin::E)];
        for (int i = 0; i < 4; ++i)
            if (level[index(Pin::D4) + static_cast<std::size_t>(i)])
                p.db |= static_cast<std::uint8_t>(1 << i);
        return p;
    };
    const auto low = [&] {
        std::uint8_t db0to3 = 0;
        for (int i = 0; i < 4; ++i)
            if (level[index(Pin::D0) + static_cast<std::size_t>(i)])
                db0to3 |= static_cast<std::uint8_t>(1 << i);
        return db0to3;
    };
    // One bus write: the pins as they stand from atNs on.
    const auto write = [&](std::int64_t atNs) {
        const hd44780::Pins now = pins();
        const hd44780::Pins before = controller.lastPins();
        const std::uint8_t nowLow = eightBit ? low() : 0;
        const bool eMoved = before.e != now.e;
        const bool rsMoved = before.rs != now.rs;
        const bool dataMoved = before.db != now.db || writtenLow != nowLow;
        writtenLow = nowLow;
        if (level[index(Pin::RW)] && !judged.rwHighNs) judged.rwHighNs = atNs;
        Findings& f = *stretch.findings;
        const std::uint64_t violations = controller.timing().count();
        const std::uint64_t warnings = controller.warningCount();
        if (eightBit)
            controller.busWrite8(now, nowLow, atNs);
        else
            controller.busWrite(now, atNs);
        // What this write added, kept while there is room.
        const auto& v = controller.timing().recent();
        const std::uint64_t newViolations = controller.timing().count() - violations;
        const std::size_t part = stretch.judged ? 1 : 0;
        for (std::size_t k = std::min<std::size_t>(newViolations, v.size()); k > 0; --k) {
            const hd44780::Violation& x = v[v.size() - k];
            using K = hd44780::ViolationKind;
            const bool rsKind = x.kind == K::RsSetup || x.kind == K::RsHold;
            const bool dataKind = x.kind == K::DataHold || x.kind == K::DataSetup;
            const bool oneSample = eMoved && ((rsKind && rsMoved) || (dataKind && dataMoved));
            ++counts[part][static_cast<std::size_t>(x.kind)][oneSample ? 1 : 0];
            if (found[part].size() < Findings::kKept) found[part].push_back({x, oneSample});
        }
        const auto& w = controller.warnings();
        const std::uint64_t newWarnings = controller.warningCount() - warnings;
        f.warningCount += newWarnings;
        for (std::size_t k = std::min<std::size_t>(newWarnings, w.size()); k > 0; --k)
            if (f.warnings.size() < Findings::kKept) f.warnings.push_back(w[w.size() - k]);
        // A latch of a line nobody drove.
        if (unknown != 0 && before.e && !now.e)
            for (Pin p :
                 {Pin::RS, Pin::D0, Pin::D1, Pin::D2, Pin::D3, Pin::D4, Pin::D5, Pin::D6, Pin::D7})
                if ((unknown >> index(p)) & 1) {
                    if (judged.unknownLatches++ == 0) {
                        judged.unknownPin = p;
                        judged.unknownAtNs = atNs;
                    }
                    break;
                }
        // The wake-up, at each fall of E that writes an instruction.
        if (before.e && !now.e && !stretch.judged) {
            threes = before.rs ? 0 : before.db == 0x3 ? threes + 1 : threes;
            const bool done = !before.rs && (eightBit ? threes >= 3 && before.db == 0x3
                                                      : threes >= 3 && before.db == 0x2);
            if (!before.rs && before.db != 0x3 && !done) threes = 0;
            if (done) {
                judged.wakeNs = atNs;
                stretch = {&judged, true};
            }
        }
    };
    VcdReader::Change c;
    while (reader.next(c)) {
        const auto& carriedPins = carried[c.id];
        if (carriedPins.empty()) continue;
        const std::int64_t ns = toNs(c.time);
        if (!started) {
            started = true;
            judged.startNs = pendingNs = ns;
            lastTime = c.time;
        }
        if (c.time != lastTime) {
            // Once one unit, the spacing can go no lower; a multiple of it changes nothing.
            const std::uint64_t gap = c.time - lastTime;
            if (spacing == 0)
                spacing = gap;
            else if (spacing != 1 && gap % spacing != 0)
                spacing = gcd(spacing, gap);
            lastTime = c.time;
        }
        if (ns != pendingNs) {
            if (pendingNs == judged.startNs && judged.edges == 0) {
                // The first values: the state the capture found, not edges.
                if (eightBit)
                    controller.assume8(pins(), low());
                else
                    controller.assume(pins());
                writtenLow = eightBit ? low() : 0;
                judged.eHighAtStart = level[index(Pin::E)];
            } else if (changed) {
                write(pendingNs);
            }
            changed = false;
        }
        if (options.untilNs && ns > *options.untilNs) break;
        for (const auto& [pin, bit] : carriedPins) {
            // x and z read as low: a floating input with nothing driving it.
            const bool x = ((c.unknown >> bit) & 1) != 0;
            const bool high = ((c.bits >> bit) & 1) != 0 && !x;
            if (x || unknown != 0) {  // rare: most captures have no x or z at all
                const std::uint32_t bitOf = 1u << index(pin);
                unknown = x ? unknown | bitOf : unknown & ~bitOf;
            }
            if (level[index(pin)] != high) {
                level[index(pin)] = high;
                changed = true;
                if (ns != judged.startNs) ++judged.edges;
            }
        }
        pendingNs = ns;
        judged.endNs = ns;
    }
    if (changed && pendingNs != judged.startNs) write(pendingNs);
    controller.observe(nullptr);

    // Without a wake-up, the whole capture is judged.
    if (!judged.wakeNs) {
        static_cast<Findings&>(judged) = judged.before;
        judged.before = {};
        found[1] = std::move(found[0]);
        counts[1] = counts[0];
        counts[0] = {};
    }
    judged.periodFs = spacing * fs;
    // A file that says its rate (a session's metadata, sigrok's comment): its period is
    // that, whatever the changes' spacing.
    if (reader.periodFs() != 0) judged.periodFs = reader.periodFs();
    // What the period could not have seen: a change in the same sample as E, or a limit
    // shorter than one sample.
    const auto unresolved = [&](hd44780::ViolationKind kind, bool oneSample) {
        const std::uint64_t limitFs =
            static_cast<std::uint64_t>(hd44780::TimingChecker::limitNs(kind)) * 1'000'000;
        return oneSample || (limitFs > 0 && limitFs < judged.periodFs);
    };
    for (std::size_t k = 0; k < hd44780::kViolationKinds; ++k)
        for (std::size_t one = 0; one < 2; ++one) {
            const auto kind = static_cast<hd44780::ViolationKind>(k);
            judged.before.violationCount += counts[0][k][one];
            (unresolved(kind, one != 0) ? judged.unresolvedCount : judged.violationCount) +=
                counts[1][k][one];
        }
    for (const Found& x : found[0]) judged.before.violations.push_back(x.v);
    for (const Found& x : found[1]) {
        if (!unresolved(x.v.kind, x.oneSample))
            judged.violations.push_back(x.v);
        else if (judged.unresolved.size() < Judged::kKeptUnresolved)
            judged.unresolved.push_back(x.v);
    }
    return judged;
}

}  // namespace

Judged judge(VcdReader& reader, const PinMap& map, hd44780::Controller& controller,
             const JudgeOptions& options) {
    return judgeChanges(reader, map, controller, options);
}

Judged judge(SrReader& reader, const PinMap& map, hd44780::Controller& controller,
             const JudgeOptions& options) {
    return judgeChanges(reader, map, controller, options);
}

}  // namespace check
