#include "port/backend.h"

#include <cstdio>
#include <string_view>

#include "port/port_writer.h"

namespace port {

const char* backendName(BackendKind kind) noexcept {
    switch (kind) {
        case BackendKind::Auto:
            return "auto";
        case BackendKind::Emulator:
            return "emulator";
        case BackendKind::Ppdev:
            return "ppdev";
        case BackendKind::Ioport:
            return "ioport";
    }
    return "?";
}

ConfigResult configFromEnvironment(const std::function<const char*(const char*)>& getenv) {
    ConfigResult result;
    auto read = [&](const char* name) -> std::string {
        const char* v = getenv(name);
        return v ? std::string(v) : std::string();
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
        result.error = "VELMORIN_LPT=\"" + kind +
                       "\" : valeur inconnue (valeurs acceptées : auto, emulator, ppdev, ioport)";
    }
    result.config.lpt1Device = read("VELMORIN_LPT1");
    result.config.lpt2Device = read("VELMORIN_LPT2");
    result.config.tracePath = read("VELMORIN_TRACE");
    return result;
}

std::string hexAddress(std::int16_t port) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(static_cast<std::uint16_t>(port)));
    return buf;
}

std::string portLabel(std::int16_t port) {
    if (port == kLpt1) return "LPT1 (0x378)";
    if (port == kLpt2) return "LPT2 (0x278)";
    return hexAddress(port);
}

}  // namespace port
