// A bare HD44780 module on six GPIO lines (RS, E, D4-D7; R/W grounded), or eight (R/W and
// the backlight on lines too), driven through the Linux GPIO character device, uAPI v2
// (linux/gpio.h, Linux 5.10 and later). Any expander the kernel drives as a gpiochip
// (gpio-pcf857x, gpio-mcp23s08, gpio-74x164) reaches a module this way too.
//
// We use the kernel ABI directly rather than libgpiod: that library's API changed
// incompatibly between its 1.6 and 2.x series (Debian 12 and 13 ship one each), while the
// ioctls below are a stable kernel interface.
//
// One GPIO_V2_LINE_SET_VALUES_IOCTL per Out32 sets all the lines at once, so the lines
// change together as the parallel port's data pins do. A set takes a few microseconds on a
// Raspberry Pi, well inside the enable pulse's phases.
#include <linux/gpio.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "port/cable.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parse.h"

namespace port::linux_backends {
namespace {

// The line request's own order: bit i of a set is the i-th requested line, and the user
// names them RS, E, D4, D5, D6, D7, then R/W (held low: write only) and the backlight
// (held on).
constexpr std::size_t kBusLines = 6;
constexpr std::size_t kBacklightLine = 7;  // R/W, if named, is line 6: never set

Cable lineCable(const PortDevice& device) {
    Cable c{{0, 1, 2, 3, 4, 5}, 0};
    if (device.gpioLines.size() > kBacklightLine && !device.gpioBacklightLow)
        c.alwaysHigh = 1u << kBacklightLine;
    return c;
}

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
    GpioBackend(int fd, const PortDevice& device, Os& os)
        : m_fd(fd), m_device(device), m_cable(lineCable(device)), m_os(os) {}
    ~GpioBackend() override { m_os.files.close(m_fd); }

    int write(hd44780::Pins pins) noexcept override {
        gpio_v2_line_values v{};
        // Every requested line in one set, so that they change together as a port's do.
        v.mask = (1ull << m_device.gpioLines.size()) - 1;
        v.bits = m_cable.byte(pins);
        const int rc = m_os.devices->ioctl(m_fd, GPIO_V2_LINE_SET_VALUES_IOCTL, &v);
        return rc >= 0 ? 0 : errnoOf(rc);
    }
    Description describe() const override {
        return {BackendId::Gpio, m_device.path, lineList(m_device), {}, false};
    }

private:
    int m_fd;
    PortDevice m_device;
    Cable m_cable;
    Os& m_os;
};

// "/dev/gpiochip0@25,24,23,17,18,22": a GPIO chip, or decimal line offsets after '@'.
bool claims(const DeviceText& text) {
    return text.hasOptions || baseName(text.path).rfind("gpiochip", 0) == 0;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    if (!text.hasOptions) {
        Error e;
        e.what = Problem::GpioLinesMissing;
        return e;
    }
    auto lines = split(text.options, ',');
    Error e;
    // After the lines, "bl-low": a backlight that is on with its line low.
    if (lines.size() > kBusLines && lower(lines.back()) == "bl-low") {
        device.gpioBacklightLow = true;
        lines.pop_back();
        if (lines.size() <= kBacklightLine) {
            e.what = Problem::BadGpioOption;
            e.detail = "bl-low";
            return e;
        }
    }
    if (lines.size() < kBusLines || lines.size() > kBacklightLine + 1) {
        e.what = Problem::GpioLineCount;
        e.count = static_cast<long>(lines.size());
        return e;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        long n = 0;
        e.detail = lines[i];
        if (!parseDecimal(lines[i], 0, 1023, n)) {
            e.what = Problem::BadGpioLine;
            return e;
        }
        device.gpioLines.push_back(static_cast<std::uint32_t>(n));
        for (std::size_t k = 0; k < i; ++k)
            if (device.gpioLines[k] == device.gpioLines[i]) {
                e.what = Problem::GpioLineTwice;
                return e;
            }
    }
    return std::nullopt;
}

// The gpiochip major is given out at boot: only /proc/devices knows it.
std::optional<Error> check(const PortDevice& device, Os& os) {
    return checkDevice(
        device, os,
        {"gpiochip", 0, Problem::NotGpioDevice, Hint::ListGpioChips, Hint::ListGpioChips});
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    const int fd = os.files.open(device.path, OpenFor::Device);
    if (fd < 0)
        return {nullptr,
                openFailed(device.path, -fd,
                           -fd == EACCES || -fd == EPERM ? Hint::JoinGroupGpio : Hint::None),
                {}};
    Error e;
    e.device = device.path;
    gpiochip_info info{};
    if (const int rc = os.devices->ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info); rc < 0) {
        os.files.close(fd);
        e.what = Problem::NotGpioChip;
        e.err = -rc;
        return {nullptr, e, {}};
    }
    for (std::uint32_t line : device.gpioLines)
        if (line >= info.lines) {
            os.files.close(fd);
            e.what = Problem::GpioLineMissing;
            e.number = line;
            e.count = info.lines;
            return {nullptr, e, {}};
        }
    gpio_v2_line_request req{};
    for (std::size_t i = 0; i < device.gpioLines.size(); ++i) req.offsets[i] = device.gpioLines[i];
    req.num_lines = static_cast<std::uint32_t>(device.gpioLines.size());
    std::strncpy(req.consumer, "velmorin", sizeof req.consumer - 1);
    req.config.flags = GPIO_V2_LINE_FLAG_OUTPUT;
    // Every line starts low, E first, so nothing is latched while the lines settle; R/W is
    // low from the start, the backlight on.
    req.config.num_attrs = 1;
    req.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
    req.config.attrs[0].attr.values = lineCable(device).alwaysHigh;
    req.config.attrs[0].mask = (1ull << device.gpioLines.size()) - 1;
    const int rc = os.devices->ioctl(fd, GPIO_V2_GET_LINE_IOCTL, &req);
    os.files.close(fd);
    if (rc < 0) {
        e.what = Problem::GpioLinesRefused;
        e.detail = lineList(device);
        e.err = -rc;
        e.hint = e.err == EBUSY ? Hint::GpioLinesHeld : Hint::None;
        return {nullptr, e, {}};
    }
    return {std::make_unique<GpioBackend>(req.fd, device, os), {}, {}};
}

}  // namespace

const BackendRow kGpio{BackendId::Gpio, nullptr, false,     false,  claims,
                       parse,           check,   openNamed, nullptr};

}  // namespace port::linux_backends
