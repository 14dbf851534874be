// A bare HD44780 module on six GPIO lines (RS, E, D4-D7; R/W grounded), driven through the
// Linux GPIO character device, uAPI v2 (linux/gpio.h, Linux 5.10 and later).
//
// We use the kernel ABI directly rather than libgpiod: that library's API changed
// incompatibly between its 1.6 and 2.x series (Debian 12 and 13 ship one each), while the
// ioctls below are a stable kernel interface.
//
// One GPIO_V2_LINE_SET_VALUES_IOCTL per Out32 sets all six lines at once, so the lines
// change together as the parallel port's data pins do. A set takes a few microseconds on a
// Raspberry Pi, well inside the enable pulse's phases.
#include <fcntl.h>
#include <linux/gpio.h>

#include <cerrno>
#include <cstring>

#include "port/cable.h"
#include "port/hardware.h"

namespace port {
namespace {

constexpr std::uint64_t kAllSix = 0x3F;

std::string lineList(const PortDevice& device) {
    std::string s;
    for (std::uint32_t l : device.gpioLines) {
        if (!s.empty()) s += ',';
        s += std::to_string(l);
    }
    return s;
}

class GpioBackend final : public PortBackend {
public:
    GpioBackend(int fd, const PortDevice& device, const SysApi& sys)
        : m_fd(fd), m_device(device), m_sys(sys) {}
    ~GpioBackend() override { m_sys.close(m_fd); }

    int write(std::uint8_t value) noexcept override {
        const hd44780::Pins pins = kParallelCable.pins(value);
        gpio_v2_line_values v{};
        v.mask = kAllSix;
        for (std::size_t i = 0; i < hd44780::kLineCount; ++i)
            if (hd44780::level(pins, static_cast<hd44780::Line>(i))) v.bits |= 1ull << i;
        return m_sys.ioctl(m_fd, GPIO_V2_LINE_SET_VALUES_IOCTL, &v) == 0 ? 0 : lastError();
    }
    std::string description() const override {
        return m_device.path + " (GPIO " + lineList(m_device) + ")";
    }

private:
    int m_fd;
    PortDevice m_device;
    SysApi m_sys;
};

}  // namespace

OpenResult openGpio(const PortDevice& device, const SysApi& sys) {
    const int fd = sys.open(device.path, O_RDWR);
    if (fd < 0) {
        const int err = errno;
        std::string m = "impossible d'ouvrir " + device.path + " : " + std::strerror(err);
        if (err == EACCES || err == EPERM)
            m += " ; Raspberry Pi OS donne /dev/gpiochip* au groupe gpio : sudo usermod -aG "
                 "gpio $USER, puis reconnectez-vous";
        return {nullptr, m, {}};
    }
    gpiochip_info info{};
    if (sys.ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info) != 0) {
        const int err = errno;
        sys.close(fd);
        return {nullptr,
                device.path + " n'est pas une puce GPIO : " + std::string(std::strerror(err)),
                {}};
    }
    for (std::uint32_t line : device.gpioLines)
        if (line >= info.lines) {
            sys.close(fd);
            return {nullptr,
                    device.path + " n'a pas de ligne " + std::to_string(line) + " : elle a " +
                        std::to_string(info.lines) + " lignes (0 à " +
                        std::to_string(info.lines - 1) + ")",
                    {}};
        }
    gpio_v2_line_request req{};
    for (std::size_t i = 0; i < device.gpioLines.size(); ++i) req.offsets[i] = device.gpioLines[i];
    req.num_lines = static_cast<std::uint32_t>(device.gpioLines.size());
    std::strncpy(req.consumer, "velmorin", sizeof req.consumer - 1);
    req.config.flags = GPIO_V2_LINE_FLAG_OUTPUT;
    // Every line starts low: E low first, so nothing is latched while the lines settle.
    req.config.num_attrs = 1;
    req.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
    req.config.attrs[0].attr.values = 0;
    req.config.attrs[0].mask = kAllSix;
    const int rc = sys.ioctl(fd, GPIO_V2_GET_LINE_IOCTL, &req);
    const int err = errno;
    sys.close(fd);
    if (rc != 0) {
        std::string m = "impossible de prendre les lignes " + lineList(device) + " de " +
                        device.path + " : " + std::strerror(err);
        if (err == EBUSY) m += " ; un autre programme les tient : gpioinfo liste qui tient quoi";
        return {nullptr, m, {}};
    }
    return {std::make_unique<GpioBackend>(req.fd, device, sys), {}, {}};
}

}  // namespace port
