#include "port/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "hd44780/modules.h"
#include "port/parse.h"

namespace port {
namespace {

std::optional<Error> parseMode(const std::string& value, PortConfig& config) {
    if (value == "auto") {
        config.mode = Mode::Auto;
    } else if (value == "emulator") {
        config.mode = Mode::Emulator;
    } else if (const BackendRow* row = backendNamed(value)) {
        config.mode = Mode::Backend;
        config.backend = row;
    } else {
        return problem(Problem::UnknownBackend);
    }
    return std::nullopt;
}

std::optional<Error> parseTrace(const std::string& value, PortConfig& config) {
    config.tracePath = value;
    return std::nullopt;
}

std::optional<Error> parseDelay(const std::string& value, PortConfig& config) {
    long n = 0;
    if (!parseDecimal(value, 1, kMaxDelay, n)) return problem(Problem::BadDelay);
    config.delay = static_cast<int>(n);
    return std::nullopt;
}

std::optional<Error> parseModule(const std::string& value, PortConfig& config) {
    bool size = false, rom = false, osc = false;
    for (const std::string& raw : split(lower(value), ',')) {
        std::string part = raw;
        part.erase(std::remove(part.begin(), part.end(), ' '), part.end());
        bool known = false;
        for (const hd44780::Geometry& g : hd44780::kModuleSizes) {
            if (part == hd44780::moduleSizeName(g)) {
                if (size) return problem(Problem::ModuleTwoSizes, raw);
                config.module = g;
                size = known = true;
            }
        }
        if (part == "a00" || part == "a02") {
            if (rom) return problem(Problem::ModuleTwoRoms, raw);
            config.emulator.rom = part == "a00" ? hd44780::Rom::A00 : hd44780::Rom::A02;
            rom = known = true;
        }
        for (const hd44780::Oscillator& o : hd44780::kOscillators) {
            if (part == std::to_string(o.kHz) + "khz") {
                if (osc) return problem(Problem::ModuleTwoOscillators, raw);
                config.emulator.oscillator = o;
                osc = known = true;
            }
        }
        if (!known) return problem(Problem::ModuleUnknownPart, raw);
    }
    return std::nullopt;
}

// Reads one setting's text into the config. An empty text is no setting at all, as an
// unset one: "VELMORIN_DELAY= velmorin" is how a shell unsets it for one run.
struct SettingRow {
    const char* name;
    std::optional<Error> (*parse)(const std::string& value, PortConfig& config);
};

constexpr SettingRow kSettings[] = {
    {"VELMORIN_LPT", parseMode},
    {"VELMORIN_TRACE", parseTrace},
    {"VELMORIN_DELAY", parseDelay},
    {"VELMORIN_MODULE", parseModule},
};

}  // namespace

const PortDevice& PortConfig::device(std::int16_t address) const noexcept {
    static const PortDevice kNone;
    const SupportedPort* p = supportedPort(address);
    return p ? devices[portIndex(*p)] : kNone;
}

bool PortConfig::namedDevicesApply() const noexcept {
    switch (mode) {
        case Mode::Auto:
            return true;
        case Mode::Emulator:
            return false;
        case Mode::Backend:
            return !backend->ignoresNamedDevices;
    }
    return false;
}

std::optional<Error> parseDevice(const std::string& text, PortDevice& device) {
    device = PortDevice{};
    if (text.empty()) return std::nullopt;
    DeviceText t;
    const std::size_t at = text.find('@');
    t.path = text.substr(0, at);
    t.hasOptions = at != std::string::npos;
    if (t.hasOptions) t.options = text.substr(at + 1);
    if (t.path.empty()) return problem(Problem::DevicePathMissing);
    for (const BackendRow& row : backendTable()) {
        if (!row.claims || !row.claims(t)) continue;
        device.row = &row;
        device.path = t.path;
        return row.parse(t, device);
    }
    return problem(Problem::UnknownDevice);
}

std::string backendChoices() {
    std::string list = "auto, emulator";
    for (const BackendRow& row : backendTable())
        if (row.name) list += std::string(", ") + row.name;
    return list;
}

ConfigResult configFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    ConfigResult result;
    auto failWith = [&](std::optional<Error> e, const char* name, const std::string& value) {
        if (!e || result.error) return;
        e->setting = name;
        e->value = value;
        result.error = std::move(e);
    };
    for (const SettingRow& s : kSettings) {
        const char* v = getenv(s.name);
        if (!v || !*v) continue;
        failWith(s.parse(v, result.config), s.name, v);
    }
    for (const SupportedPort& p : kSupportedPorts) {
        const char* v = getenv(p.deviceSetting);
        if (!v || !*v) continue;
        failWith(parseDevice(v, result.config.devices[portIndex(p)]), p.deviceSetting, v);
    }
    return result;
}

}  // namespace port
