// Windows: the port library, and the I2C backpacks behind a USB-I2C bridge, which Windows
// drives with its own HID class driver. The kernel interfaces of the Linux backends
// (ppdev, i2c-dev, the GPIO character device, ioperm) have no counterpart here.
#include <cerrno>

#include "port/i2c/backends.h"
#include "port/i2c/usb_bridges.h"
#include "port/parport/windows/inpout_backend.h"
#include "port/serial/serial_backend.h"

namespace port {

std::span<const BackendRow> backendTable() noexcept {
    static const BackendRow kTable[] = {inpout::kInpout, i2c::kPcf8574, i2c::kMcp23008,
                                        serial::kSerial};
    return kTable;
}

std::span<const i2c::BusKind> i2c::busKinds() noexcept {
    static const BusKind kKinds[] = {kUsbBridgeBus};
    return kKinds;
}

// No kernel driver makes a bridge an I2C adapter here.
i2c::KernelBridges i2c::kernelBridges(Os&) {
    return {};
}
std::optional<Error> i2c::checkAdapter(const std::string&, Os&) {
    return std::nullopt;
}
std::unique_ptr<I2cBus> i2c::openAdapter(const std::string& node, Os&,
                                         std::optional<Error>& error) {
    Error e = problem(port::Problem::OpenFailed);
    e.device = node;
    e.err = ENODEV;
    error = e;
    return nullptr;
}

std::span<const char* const> otherPlatformBackends() noexcept {
    static const char* const kNames[] = {"ppdev", "ioport"};
    return kNames;
}

bool otherPlatformDevice(std::string_view path) noexcept {
    return path.starts_with("/dev/");
}

}  // namespace port
