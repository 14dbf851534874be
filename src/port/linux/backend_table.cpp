// Linux: the kernel's parport/ppdev driver, direct port I/O, an I2C backpack through
// i2c-dev, and GPIO lines through the GPIO character device.
#include "port/linux/backends.h"

namespace port {

std::span<const BackendRow> backendTable() noexcept {
    static const BackendRow kTable[] = {
        // Device texts go to the first row that claims them: the named buses and chips
        // before the parallel port, which takes any other path.
        linux_backends::kMcp23008,  // an I2C text that names the chip
        linux_backends::kPcf8574,  linux_backends::kGpio,
        linux_backends::kPpdev,    linux_backends::kIoport,
    };
    return kTable;
}

std::span<const char* const> otherPlatformBackends() noexcept {
    static const char* const kNames[] = {"inpout"};
    return kNames;
}

bool otherPlatformDevice(std::string_view) noexcept {
    return false;  // every device text is some Linux backend's form, or a typo
}

}  // namespace port
