// Linux: the kernel's parport/ppdev driver, direct port I/O, an I2C backpack through
// i2c-dev, and GPIO lines through the GPIO character device.
#include "port/gpio/linux/gpio_backend.h"
#include "port/i2c/backends.h"
#include "port/i2c/linux/i2c_dev_bus.h"
#include "port/i2c/usb_bridges.h"
#include "port/parport/linux/ioport_backend.h"
#include "port/parport/linux/ppdev_backend.h"
#include "port/serial/serial_backend.h"

namespace port {

std::span<const BackendRow> backendTable() noexcept {
    static const BackendRow kTable[] = {ppdev::kPpdev,  ioport::kIoport, i2c::kPcf8574,
                                        i2c::kMcp23008, gpio::kGpio,     serial::kSerial};
    return kTable;
}

std::span<const i2c::BusKind> i2c::busKinds() noexcept {
    static const BusKind kKinds[] = {kI2cDevBus, kUsbBridgeBus};
    return kKinds;
}

std::span<const char* const> otherPlatformBackends() noexcept {
    static const char* const kNames[] = {"inpout"};
    return kNames;
}

bool otherPlatformDevice(std::string_view) noexcept {
    return false;  // every device text is some Linux backend's form, or a typo
}

}  // namespace port
