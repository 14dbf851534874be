// Choosing and opening the backend of a port address, by the settings and the backend
// table: a device named for the address, the backend VELMORIN_LPT names, or (auto) the
// first backend that finds hardware there, else the emulator alone.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>

#include "port/backend.h"
#include "port/errors.h"
#include "port/os.h"
#include "port/settings/settings.h"

namespace port {

// Opens the backend of one address, on its first write.
using BackendOpener = std::function<OpenResult(std::int16_t port, const PortConfig& config)>;

// Looks, without opening anything, at each device the environment names for this run.
std::optional<Error> checkDevices(const PortConfig& config, Os& os);

BackendOpener hardwareOpener(Os& os = systemOs());

// The errno of a failed call as the seam returns it (-errno), never 0, so that a failed
// call is never taken for success.
constexpr int errnoOf(long rc) noexcept {
    return rc < 0 ? static_cast<int>(-rc) : EIO;
}

}  // namespace port
