#include "port/settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "hd44780/char_rom.h"
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

enum class LineForm { Setting, Malformed, QuoteUnclosed };

// "NAME=value", "NAME = value  # why", "NAME=\"a value # not a comment\"". Quotes are read
// first: inside them '#' is text, and in double quotes \" and \\ stand for " and \.
// Outside them '#' after a blank starts a comment; comment, where given, is where the
// blanks before it start (npos: none).
LineForm splitLine(const std::string& line, std::string& name, std::string& value,
                   std::size_t* comment = nullptr) {
    if (comment) *comment = std::string::npos;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return LineForm::Malformed;
    name = trimmed(line.substr(0, eq));
    const bool nameOk =
        !name.empty() &&
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
            std::string::npos;
    if (!nameOk) return LineForm::Malformed;
    std::size_t at = line.find_first_not_of(" \t", eq + 1);
    value.clear();
    if (at != std::string::npos && (line[at] == '"' || line[at] == '\'')) {
        const char quote = line[at];
        std::size_t i = at + 1;
        for (; i < line.size() && line[i] != quote; ++i) {
            if (quote == '"' && line[i] == '\\' && i + 1 < line.size() &&
                (line[i + 1] == '"' || line[i + 1] == '\\'))
                ++i;
            value += line[i];
        }
        if (i == line.size()) return LineForm::QuoteUnclosed;
        // After the closing quote: blanks, then nothing or a comment.
        const std::size_t rest = line.find_first_not_of(" \t\r", i + 1);
        if (rest != std::string::npos && (line[rest] != '#' || rest == i + 1))
            return LineForm::Malformed;
        if (comment && rest != std::string::npos) *comment = i + 1;
        return LineForm::Setting;
    }
    std::string text = at == std::string::npos ? std::string() : line.substr(at);
    for (std::size_t h = text.find('#'); h != std::string::npos; h = text.find('#', h + 1))
        if (h == 0 || text[h - 1] == ' ' || text[h - 1] == '\t') {
            if (comment) *comment = line.find_last_not_of(" \t", at + h - 1) + 1;
            text.erase(h);
            break;
        }
    value = trimmed(text);
    return LineForm::Setting;
}

// Whether a line is well-formed UTF-8.
bool validUtf8(const std::string& s) {
    for (std::size_t i = 0, n = 0; i < s.size(); i += n)
        if ((n = utf8Length(s, i)) == 0) return false;
    return true;
}

Error fileProblem(Problem what, const std::string& file, int line = 0) {
    Error e = problem(what);
    e.file = file;
    e.line = line;
    return e;
}

// A settings file's lines: none where there is no file. Looked at before it is opened, so
// that a FIFO, a device or a folder in its place is named, not waited on or read.
std::optional<Error> readSettingsFile(Os& os, const std::string& file,
                                      std::vector<std::string>& lines) {
    lines.clear();
    const PathInfo st = os.files.stat(file);
    if (st.error == ENOENT) return std::nullopt;
    Error e = fileProblem(Problem::SettingsFileUnreadable, file);
    if (st.error != 0) {
        e.err = st.error;
        return e;
    }
    if (st.directory) return fileProblem(Problem::SettingsFileIsFolder, file);
    if (!st.regularFile) return fileProblem(Problem::SettingsFileNotRegular, file);
    std::string text;
    // Looked at again once open: what stands there may have changed since.
    const int rc = os.texts.readText(file, kMaxSettingsBytes, text);
    if (rc == -ENOENT) return std::nullopt;  // gone since
    if (rc == -EISDIR) return fileProblem(Problem::SettingsFileIsFolder, file);
    if (rc == -EINVAL) return fileProblem(Problem::SettingsFileNotRegular, file);
    if (rc == -EFBIG) {
        e.what = Problem::SettingsFileTooLarge;
        e.number = static_cast<long>(kMaxSettingsBytes);
        return e;
    }
    if (rc != 0) {
        e.err = -rc;
        return e;
    }
    // Notepad's "UTF-8 with BOM" starts the file with one.
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!validUtf8(lines[i])) {
            lines.clear();
            return fileProblem(Problem::SettingsNotUtf8, file, static_cast<int>(i + 1));
        }
    return std::nullopt;
}

// The value as the reader takes it back: quoted where a blank, a quote or a '#' would
// change its meaning.
std::string quoted(const std::string& value) {
    if (value.find_first_of(" \t#\"'\\") == std::string::npos) return value;
    std::string q = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + '"';
}

}  // namespace

std::string withSetting(const std::string& text, const std::string& name,
                        const std::string& value) {
    std::string replacement = name + "=" + quoted(value);
    // The last line that sets the name: the one that wins.
    std::size_t last = std::string::npos, lastEnd = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string content = text.substr(at, end - at);
        if (!content.empty() && content.back() == '\r') content.pop_back();
        // A line the reader takes as setting the name, as readConfig splits it.
        const std::string line = trimmed(content);
        std::string key, said;
        std::size_t comment = std::string::npos;
        if (!line.empty() && line[0] != '#' &&
            splitLine(line, key, said, &comment) != LineForm::Malformed && key == name) {
            last = at;
            lastEnd = at + content.size();
            // The line keeps its indentation and its comment.
            replacement = content.substr(0, content.find_first_not_of(" \t")) + name + "=" +
                          quoted(value) +
                          (comment == std::string::npos ? std::string() : line.substr(comment));
        }
        at = end + 1;
    }
    if (last != std::string::npos) return text.substr(0, last) + replacement + text.substr(lastEnd);
    // A file that does not end its last line gets the end it lacks, in its own style.
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const bool ended = text.empty() || text.back() == '\n';
    return text + (ended ? "" : eol) + replacement + eol;
}

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
        if (const std::optional<hd44780::Rom> named = hd44780::romNamed(part)) {
            if (rom) return problem(Problem::ModuleTwoRoms, raw);
            options.rom = *named;
            rom = known = true;
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
    if (text == kEmulatorDevice) {
        device.emulatorOnly = true;
        return std::nullopt;
    }
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
    result.config.ownFiles = files;
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
        if ((result.error = readSettingsFile(os, *file, lines))) break;
        for (std::size_t i = 0; i < lines.size() && !result.error; ++i) {
            const std::string line = trimmed(lines[i]);
            if (line.empty() || line[0] == '#') continue;
            SettingOrigin o{{}, {}, *file, static_cast<int>(i + 1)};
            const LineForm form = splitLine(line, o.name, o.value);
            if (form != LineForm::Setting) {
                Error e =
                    fileProblem(form == LineForm::QuoteUnclosed ? Problem::SettingsQuoteUnclosed
                                                                : Problem::SettingsLineMalformed,
                                o.file, o.line);
                e.detail = line;
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
