#include "port/hardware.h"

namespace port {

BackendOpener hardwareOpener() {
    return [](std::int16_t port, const PortConfig& config) -> OpenResult {
        switch (config.kind) {
            case BackendKind::Auto:
            case BackendKind::Emulator:
                return {};
            case BackendKind::Ppdev:
            case BackendKind::Ioport:
                break;
        }
        return {nullptr,
                std::string("VELMORIN_LPT=") + backendName(config.kind) +
                    " : ce backend n'est pas encore disponible (port " + hexAddress(port) + ")",
                {}};
    };
}

}  // namespace port
