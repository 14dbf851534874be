#include "port/backend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace port {
namespace {

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// A whole decimal number in [lo, hi], nothing else.
bool parseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 9) return false;
    if (!std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    out = std::strtol(s.c_str(), nullptr, 10);
    return out >= lo && out <= hi;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string parseModule(const std::string& value, PortConfig& config) {
    const std::string bad = "VELMORIN_MODULE=\"" + value + "\" : ";
    bool size = false, rom = false, osc = false;
    for (const std::string& raw : split(lower(value), ',')) {
        std::string token = raw;
        token.erase(std::remove(token.begin(), token.end(), ' '), token.end());
        bool known = false;
        for (const hd44780::Geometry& g : kModuleSizes) {
            if (token == moduleSizeName(g)) {
                if (size) return bad + "deux tailles";
                config.module = g;
                size = known = true;
            }
        }
        if (token == "a00" || token == "a02") {
            if (rom) return bad + "deux ROM";
            config.emulator.rom = token == "a00" ? hd44780::Rom::A00 : hd44780::Rom::A02;
            rom = known = true;
        } else if (token == "270khz" || token == "190khz") {
            if (osc) return bad + "deux oscillateurs";
            config.emulator.oscillator =
                token == "270khz" ? hd44780::Oscillator::k270kHz : hd44780::Oscillator::k190kHz;
            osc = known = true;
        }
        if (!known)
            return bad + "« " + raw + " » inconnu (une taille parmi " + moduleSizeList() +
                   " ; puis a00 ou a02, 270khz ou 190khz ; par exemple 20x4,a02)";
    }
    return {};
}

}  // namespace

const PortDevice& PortConfig::device(std::int16_t address) const noexcept {
    static const PortDevice kNone;
    const SupportedPort* p = supportedPort(address);
    return p ? devices[portIndex(*p)] : kNone;
}

std::string parseDevice(const std::string& text, PortDevice& device) {
    device = PortDevice{};
    if (text.empty()) return {};
    const std::size_t at = text.find('@');
    device.path = text.substr(0, at);
    if (device.path.empty()) return "le chemin du périphérique manque avant « @ »";
    if (at == std::string::npos) {
        device.kind = PortDevice::Kind::Parport;
        return {};
    }
    const std::string tail = text.substr(at + 1);
    const auto lines = split(tail, ',');
    if (lines.size() == 1) {
        // An I2C address: hex, in the range a 7-bit address may take (0x03-0x77).
        device.kind = PortDevice::Kind::I2c;
        const bool hex = tail.size() > 2 && tail.size() <= 4 && tail[0] == '0' &&
                         (tail[1] == 'x' || tail[1] == 'X') &&
                         std::all_of(tail.begin() + 2, tail.end(),
                                     [](unsigned char c) { return std::isxdigit(c); });
        const long a = hex ? std::strtol(tail.c_str() + 2, nullptr, 16) : -1;
        if (a < 0x03 || a > 0x77)
            return "adresse I2C « " + tail +
                   " » invalide (attendu : 0x03 à 0x77 en hexadécimal, par exemple @0x27)";
        device.i2cAddress = static_cast<std::uint8_t>(a);
        return {};
    }
    device.kind = PortDevice::Kind::Gpio;
    if (lines.size() != 6)
        return "il faut six numéros de ligne GPIO après « @ » (RS,E,D4,D5,D6,D7), " +
               std::to_string(lines.size()) + " donnés";
    for (std::size_t i = 0; i < 6; ++i) {
        long n = 0;
        if (!parseInt(lines[i], 0, 1023, n))
            return "ligne GPIO « " + lines[i] + " » invalide (un entier de 0 à 1023)";
        device.gpioLines[i] = static_cast<std::uint32_t>(n);
        for (std::size_t k = 0; k < i; ++k)
            if (device.gpioLines[k] == device.gpioLines[i])
                return "la ligne GPIO " + lines[i] + " est donnée deux fois";
    }
    return {};
}

ConfigResult configFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    ConfigResult result;
    auto read = [&](const char* name) -> std::string {
        const char* v = getenv(name);
        return v ? std::string(v) : std::string();
    };
    auto failWith = [&](std::string message) {
        if (result.error.empty()) result.error = std::move(message);
    };
    const std::string kind = read("VELMORIN_LPT");
    if (kind.empty() || kind == "auto") {
        result.config.kind = BackendKind::Auto;
    } else if (kind == "emulator") {
        result.config.kind = BackendKind::Emulator;
    } else if (kind == "ppdev") {
        result.config.kind = BackendKind::Ppdev;
    } else if (kind == "ioport") {
        result.config.kind = BackendKind::Ioport;
    } else {
        failWith("VELMORIN_LPT=\"" + kind +
                 "\" : valeur inconnue (valeurs acceptées : auto, emulator, ppdev, ioport)");
    }
    for (const SupportedPort& p : kSupportedPorts) {
        const std::string value = read(p.deviceSetting);
        const std::string error = parseDevice(value, result.config.devices[portIndex(p)]);
        if (!error.empty())
            failWith(std::string(p.deviceSetting) + "=\"" + value + "\" : " + error);
    }
    result.config.tracePath = read("VELMORIN_TRACE");

    if (const char* delay = getenv("VELMORIN_DELAY")) {
        long n = 0;
        if (parseInt(delay, 1, kMaxDelay, n))
            result.config.delay = static_cast<int>(n);
        else
            failWith(
                "VELMORIN_DELAY=\"" + std::string(delay) +
                "\" : valeur invalide (un entier de 1 à " + std::to_string(kMaxDelay) +
                " : chaque pause et chaque phase de l'impulsion E dure N fois plus longtemps)");
    }
    if (const char* module = getenv("VELMORIN_MODULE"))
        failWith(parseModule(module, result.config));
    return result;
}

std::string hexAddress(std::int16_t port) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(static_cast<std::uint16_t>(port)));
    return buf;
}

std::string supportedAddressList() {
    std::string list;
    for (const SupportedPort& p : kSupportedPorts)
        list += (list.empty() ? "" : ", ") + hexAddress(p.address);
    return list;
}

std::string moduleSizeName(hd44780::Geometry module) {
    return std::to_string(module.columns) + "x" + std::to_string(module.rows);
}

std::string moduleSizeList() {
    std::string list;
    for (const hd44780::Geometry& g : kModuleSizes)
        list += (list.empty() ? "" : ", ") + moduleSizeName(g);
    return list;
}

std::string portLabel(std::int16_t port) {
    if (const SupportedPort* p = supportedPort(port)) return p->label;
    return hexAddress(port);
}

}  // namespace port
