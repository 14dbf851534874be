#include "port/settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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
        for (const char* other : otherPlatformBackends())
            if (value == other) return problem(Problem::OtherPlatformBackend);
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

std::optional<Error> parseModuleSetting(const std::string& value, PortConfig& config) {
    return parseModule(value, config.module, config.emulator);
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
    {"VELMORIN_MODULE", parseModuleSetting},
};

// Every setting's name, in the table's order: the four above, then the ports' devices.
std::vector<std::string> settingNames() {
    std::vector<std::string> names;
    for (const SettingRow& s : kSettings) names.push_back(s.name);
    for (const SupportedPort& p : kSupportedPorts) names.push_back(p.deviceSetting);
    return names;
}

std::optional<Error> apply(const std::string& name, const std::string& value, PortConfig& config) {
    for (const SettingRow& s : kSettings)
        if (name == s.name) return s.parse(value, config);
    for (const SupportedPort& p : kSupportedPorts)
        if (name == p.deviceSetting) return parseDevice(value, config.devices[portIndex(p)]);
    return problem(Problem::SettingsUnknownName);
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// "NAME=value", "NAME = value  # why", "NAME=\"a value\"". False for a line of another form.
bool splitLine(const std::string& raw, std::string& name, std::string& value) {
    std::string line = raw;
    for (std::size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1))
        if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') {
            line.erase(at);
            break;
        }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    name = trimmed(line.substr(0, eq));
    value = trimmed(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return !name.empty() &&
           name.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
               std::string::npos;
}

}  // namespace

std::optional<Error> parseModule(const std::string& value, hd44780::Geometry& module,
                                 hd44780::Options& options) {
    bool size = false, rom = false, osc = false;
    for (const std::string& raw : split(lower(value), ',')) {
        std::string part = raw;
        part.erase(std::remove(part.begin(), part.end(), ' '), part.end());
        bool known = false;
        for (const hd44780::Geometry& g : hd44780::kModuleSizes) {
            if (part == hd44780::moduleSizeName(g)) {
                if (size) return problem(Problem::ModuleTwoSizes, raw);
                module = g;
                size = known = true;
            }
        }
        for (const hd44780::RomVariant& r : hd44780::kRoms) {
            if (part == r.name) {
                if (rom) return problem(Problem::ModuleTwoRoms, raw);
                options.rom = r.rom;
                rom = known = true;
            }
        }
        for (const hd44780::Oscillator& o : hd44780::kOscillators) {
            if (part == std::to_string(o.kHz) + "khz") {
                if (osc) return problem(Problem::ModuleTwoOscillators, raw);
                options.oscillator = o;
                osc = known = true;
            }
        }
        if (!known) return problem(Problem::ModuleUnknownPart, raw);
    }
    return std::nullopt;
}

std::string moduleText(hd44780::Geometry module, const hd44780::Options& options) {
    return hd44780::moduleSizeName(module) + "," + hd44780::romName(options.rom) + "," +
           std::to_string(options.oscillator.kHz) + "khz";
}

const SettingOrigin* PortConfig::origin(std::string_view name) const noexcept {
    for (const SettingOrigin& o : origins)
        if (o.name == name) return &o;
    return nullptr;
}

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
    if (const BackendRow* row = rowClaiming(t)) {
        device.row = row;
        device.path = t.path;
        std::optional<Error> e = row->parse(t, device);
        own(*row, e);
        return e;
    }
    if (otherPlatformDevice(t.path)) return problem(Problem::OtherPlatformDevice);
    return problem(Problem::UnknownDevice);
}

std::string settingChoices() {
    std::string list;
    for (const std::string& name : settingNames()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

std::string backendChoices() {
    std::string list = "auto, emulator";
    for (const BackendRow& row : backendTable())
        if (row.name) list += std::string(", ") + row.name;
    return list;
}

ConfigResult readConfig(const Getenv& getenv, Os& os, const std::vector<std::string>& files) {
    ConfigResult result;
    // Each name's winning origin; an empty value unsets what a file below it gave.
    std::vector<SettingOrigin> given;
    auto give = [&](SettingOrigin o) -> std::optional<Error> {
        PortConfig scratch;  // every value is judged, even one a higher source overrides
        if (!o.value.empty()) {
            if (auto e = apply(o.name, o.value, scratch)) {
                e->setting = o.name;
                e->value = o.value;
                e->file = o.file;
                e->line = o.line;
                return e;
            }
        }
        std::erase_if(given, [&](const SettingOrigin& g) { return g.name == o.name; });
        if (!o.value.empty()) given.push_back(std::move(o));
        return std::nullopt;
    };
    for (auto file = files.rbegin(); file != files.rend() && !result.error; ++file) {
        std::vector<std::string> lines;
        if (const int rc = os.files.readLines(*file, lines); rc == -ENOENT) {
            continue;
        } else if (rc < 0) {
            Error e = problem(Problem::SettingsFileUnreadable);
            e.file = *file;
            e.err = -rc;
            result.error = e;
            break;
        }
        for (std::size_t i = 0; i < lines.size() && !result.error; ++i) {
            const std::string line = trimmed(lines[i]);
            if (line.empty() || line[0] == '#') continue;
            SettingOrigin o{{}, {}, *file, static_cast<int>(i + 1)};
            if (!splitLine(line, o.name, o.value)) {
                Error e = problem(Problem::SettingsLineMalformed, line);
                e.file = o.file;
                e.line = o.line;
                result.error = e;
            } else {
                result.error = give(std::move(o));
            }
        }
    }
    const std::vector<std::string> names = settingNames();
    for (const std::string& name : names) {
        if (result.error) break;
        if (const char* v = getenv(name.c_str())) result.error = give({name, v, {}, 0});
    }
    // The winners, in the table's order, into the config.
    for (const std::string& name : names)
        for (const SettingOrigin& o : given)
            if (o.name == name) {
                (void)apply(o.name, o.value, result.config);  // judged above
                result.config.origins.push_back(o);
            }
    return result;
}

}  // namespace port
