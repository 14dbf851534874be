// Linux: the kernel's parport/ppdev driver, direct port I/O, an I2C backpack through
// i2c-dev, and GPIO lines through the GPIO character device.
#include "port/linux/backends.h"

namespace port {

std::span<const BackendRow> backendTable() noexcept {
    static const BackendRow kTable[] = {
        linux_backends::kPpdev,
        linux_backends::kIoport,
        linux_backends::kPcf8574,
        linux_backends::kGpio,
    };
    return kTable;
}

}  // namespace port
