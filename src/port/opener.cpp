#include "port/opener.h"

namespace port {
namespace {

// A named device's failure says which setting named it, and where.
void sayWhere(std::optional<Error>& e, const char* setting, const PortConfig& config,
              const PortDevice& device) {
    if (!e) return;
    if (e->setting.empty()) e->setting = setting;
    if (e->device.empty()) e->device = device.path;
    if (const SettingOrigin* o = config.origin(setting)) {
        e->file = o->file;
        e->line = o->line;
    }
}

std::optional<Error> checkNamed(const char* setting, const PortConfig& config,
                                const PortDevice& device, Os& os) {
    if (!device.row) return std::nullopt;
    std::optional<Error> e = device.row->check(device, os);
    own(*device.row, e);
    if (e) e->device = device.path;
    sayWhere(e, setting, config, device);
    return e;
}

OpenResult opened(const BackendRow& row, OpenResult result) {
    own(row, result);
    return result;
}

}  // namespace

std::optional<Error> checkDevices(const PortConfig& config, Os& os) {
    if (!config.namedDevicesApply()) return std::nullopt;
    for (const SupportedPort& p : kSupportedPorts) {
        // A saved device is looked at when its port opens: one that is gone is no reason
        // not to open the window that can change it.
        const SettingOrigin* origin = config.origin(p.deviceSetting);
        if (origin && !origin->file.empty()) continue;
        if (auto e = checkNamed(p.deviceSetting, config, config.devices[portIndex(p)], os))
            return e;
    }
    return std::nullopt;
}

BackendOpener hardwareOpener(Os& os) {
    return [&os](std::int16_t address, const PortConfig& config) -> OpenResult {
        // The layer serves supported ports only.
        const SupportedPort* port = supportedPort(address);
        if (!port || config.mode == Mode::Emulator) return {};
        const PortDevice& named = config.device(address);
        if (named.emulatorOnly) return {};
        if (config.namedDevicesApply() && named.row) {
            if (auto e = checkNamed(port->deviceSetting, config, named, os))
                return {nullptr, e, {}};
            OpenResult r = opened(*named.row, named.row->openNamed(named, os));
            sayWhere(r.error, port->deviceSetting, config, named);
            return r;
        }
        if (config.mode == Mode::Backend)
            return opened(*config.backend, config.backend->openAt(*port, true, os));
        OpenResult found;
        for (const BackendRow& row : backendTable()) {
            if (!row.probedByAuto) continue;
            found = opened(row, row.openAt(*port, false, os));
            if (found.backend || found.error) return found;
        }
        return found;  // the emulator alone, perhaps with a note
    };
}

}  // namespace port
