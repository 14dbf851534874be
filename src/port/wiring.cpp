#include "port/wiring.h"

namespace port {
namespace {

using hd44780::Line;

constexpr std::size_t at(Line line) noexcept {
    return static_cast<std::size_t>(line);
}

}  // namespace

std::optional<MapProblem> parseMap(const std::string& map, Wiring& wiring) {
    if (map.size() != kMapOrder.size()) return MapProblem::Length;
    unsigned used = 0;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const char c = map[i];
        const Line line = kMapOrder[i];
        if (c == '-' && (line == Line::Backlight || line == Line::RW)) {  // absent, tied low
            wiring.pin[at(line)] = Wiring::kNone;
            continue;
        }
        if (c < '0' || c > '7') return MapProblem::Pin;
        const unsigned bit = 1u << (c - '0');
        if (used & bit) return MapProblem::Twice;
        used |= bit;
        wiring.pin[at(line)] = static_cast<std::int8_t>(c - '0');
    }
    return std::nullopt;
}

Wiring presetWiring(const Preset& p) {
    Wiring w;
    (void)parseMap(p.map, w);  // the tables are checked by the tests
    w.backlightActiveLow = p.backlightActiveLow;
    w.name = p.name;
    return w;
}

Cable cable(const Wiring& w) {
    Cable c{};
    for (std::size_t i = 0; i < c.bit.size(); ++i) c.bit[i] = static_cast<std::uint8_t>(w.pin[i]);
    // R/W is never set: the module is only written. The backlight is held on.
    const std::int8_t backlight = w.pin[at(Line::Backlight)];
    if (backlight != Wiring::kNone && !w.backlightActiveLow)
        c.alwaysHigh = static_cast<std::uint8_t>(1u << backlight);
    return c;
}

}  // namespace port
