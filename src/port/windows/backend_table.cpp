// Windows: the port library. The kernel interfaces of the Linux backends (ppdev, i2c-dev,
// the GPIO character device, ioperm) have no counterpart here.
#include "port/i2c/expander.h"
#include "port/windows/inpout_backend.h"

namespace port {

std::span<const BackendRow> backendTable() noexcept {
    static const BackendRow kTable[] = {inpout::kInpout};
    return kTable;
}

// No I2C bus kind yet: the expanders need one to be reached.
std::span<const i2c::BusKind> i2c::busKinds() noexcept {
    return {};
}

std::span<const char* const> otherPlatformBackends() noexcept {
    static const char* const kNames[] = {"ppdev", "ioport"};
    return kNames;
}

bool otherPlatformDevice(std::string_view path) noexcept {
    return path.starts_with("/dev/");
}

}  // namespace port
