// A bare HD44780 module on six GPIO lines (RS, E, D4-D7; R/W grounded), or eight (R/W and
// the backlight on lines too), driven through the Linux GPIO character device, uAPI v2
// (linux/gpio.h, Linux 5.10 and later). Any expander the kernel drives as a gpiochip
// (gpio-pcf857x, gpio-mcp23s08, gpio-74x164) reaches a module this way too.
//
// The kernel's uAPI v2 (through the typed GpioControl seam) rather than libgpiod: that
// library's API changed incompatibly between its 1.6 and 2.x series (Debian 12 and 13 ship
// one each), while the ioctls are a stable kernel interface.
//
// One GPIO_V2_LINE_SET_VALUES_IOCTL per Out32 sets all the lines at once, so the lines
// change together as the parallel port's data pins do. A set takes a few microseconds on a
// Raspberry Pi, well inside the enable pulse's phases.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "port/cable.h"
#include "port/gpio/linux/gpio_backend.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parse.h"

namespace port::gpio {
namespace {

using hd44780::Line;
using linux_backends::checkDevice;
using linux_backends::openFailed;

constexpr std::size_t kBusLines = hd44780::kLineCount;  // RS, E, D4-D7: at least these

constexpr std::size_t indexOf(Line line) noexcept {
    for (std::size_t i = 0; i < kLineOrder.size(); ++i)
        if (kLineOrder[i] == line) return i;
    return kLineOrder.size();
}
constexpr std::size_t kBacklightLine = indexOf(Line::Backlight);

// Bit i of a set is the i-th requested line. R/W, if named, is never set.
Cable lineCable(const Options& options) {
    Cable c{};
    for (std::size_t i = 0; i < c.bit.size(); ++i)
        c.bit[i] = static_cast<std::uint8_t>(indexOf(static_cast<Line>(i)));
    if (options.lines.size() > kBacklightLine && !options.backlightLow)
        c.alwaysHigh = static_cast<std::uint8_t>(1u << kBacklightLine);
    return c;
}

std::string lineList(const Options& options) {
    std::string s;
    for (std::uint32_t l : options.lines) {
        if (!s.empty()) s += ',';
        s += std::to_string(l);
    }
    return s;
}

class GpioBackend final : public PortBackend {
public:
    GpioBackend(int fd, const PortDevice& device, Os& os)
        : m_fd(fd),
          m_path(device.path),
          m_options(device.as<Options>()),
          m_cable(lineCable(m_options)),
          m_os(os) {}
    ~GpioBackend() override { m_os.files.close(m_fd); }

    int write(hd44780::Pins pins) noexcept override {
        // Every requested line in one set, so that they change together as a port's do.
        const std::uint64_t mask = (1ull << m_options.lines.size()) - 1;
        const int rc = m_os.gpio->setValues(m_fd, mask, m_cable.byte(pins));
        return rc >= 0 ? 0 : errnoOf(rc);
    }
    Description description() const override {
        return {kGpio.key, m_path, lineList(m_options), {}, false};
    }

private:
    int m_fd;
    std::string m_path;
    Options m_options;
    Cable m_cable;
    Os& m_os;
};

// "/dev/gpiochip0@25,24,23,17,18,22": a GPIO chip, or line offsets after '@' on a path
// of another form.
Claim claims(const DeviceText& text) {
    if (baseName(text.path).starts_with("gpiochip")) return Claim::ByPath;
    const std::string& o = text.options;
    const bool lines = !o.empty() && o[0] >= '0' && o[0] <= '9' && o.find(',') != std::string::npos;
    return lines ? Claim::ByOptions : Claim::No;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    if (!text.hasOptions) return backendProblem(Problem::LinesMissing);
    auto lines = split(text.options, ',');
    auto parsed = std::make_shared<Options>();
    // After the lines, "bl-low" (a backlight that is on with its line low) or "bl-high".
    if (lines.size() > kBusLines &&
        (lower(lines.back()) == "bl-low" || lower(lines.back()) == "bl-high")) {
        const std::string option = lower(lines.back());
        parsed->backlightLow = option == "bl-low";
        lines.pop_back();
        if (lines.size() <= kBacklightLine) return backendProblem(Problem::BadOption, option);
    }
    if (lines.size() < kBusLines || lines.size() > kLineOrder.size()) {
        Error e = backendProblem(Problem::LineCount);
        e.count = static_cast<long>(lines.size());
        return e;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        long n = 0;
        if (!parseDecimal(lines[i], 0, kMaxLine, n))
            return backendProblem(Problem::BadLine, lines[i]);
        parsed->lines.push_back(static_cast<std::uint32_t>(n));
        for (std::size_t k = 0; k < i; ++k)
            if (parsed->lines[k] == parsed->lines[i])
                return backendProblem(Problem::LineTwice, lines[i]);
    }
    device.options = std::move(parsed);
    return std::nullopt;
}

// The gpiochip major is given out at boot: only /proc/devices knows it.
std::optional<Error> check(const PortDevice& device, Os& os) {
    return checkDevice(device.path, os,
                       {"gpiochip", 0, codeOf(Problem::NotGpioDevice), codeOf(Hint::ListGpioChips),
                        codeOf(Hint::ListGpioChips)});
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    const Options& options = device.as<Options>();
    const int fd = os.files.open(device.path, OpenFor::Device);
    if (fd < 0)
        return {
            nullptr,
            openFailed(device.path, -fd,
                       codeOf(-fd == EACCES || -fd == EPERM ? Hint::JoinGroupGpio : Hint::None)),
            {}};
    Error e = backendProblem(Problem::NotGpioChip);
    e.device = device.path;
    GpioChipInfo info;
    if (const int rc = os.gpio->chipInfo(fd, info); rc < 0) {
        os.files.close(fd);
        e.err = -rc;
        return {nullptr, e, {}};
    }
    for (std::uint32_t line : options.lines)
        if (line >= info.lines) {
            os.files.close(fd);
            e.code = codeOf(Problem::LineMissing);
            e.number = line;
            e.count = info.lines;
            return {nullptr, e, {}};
        }
    // Every line starts low, E first, so nothing is latched while the lines settle; R/W is
    // low from the start, the backlight on.
    const int lines = os.gpio->requestOutputs(fd, options.lines, lineCable(options).alwaysHigh);
    os.files.close(fd);
    if (lines < 0) {
        e.code = codeOf(Problem::LinesRefused);
        e.detail = lineList(options);
        e.err = -lines;
        e.hint = codeOf(e.err == EBUSY ? Hint::LinesHeld : Hint::None);
        return {nullptr, e, {}};
    }
    return {std::make_unique<GpioBackend>(lines, device, os), {}, {}};
}

// Every GPIO chip, with its label and line count where it can be read: /dev/gpiochipN is
// opened read-only for that, which requests no line.
std::vector<Candidate> candidates(Os& os) {
    std::vector<std::string> chips = os.texts.listDirectory("/sys/bus/gpio/devices");
    std::sort(chips.begin(), chips.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<Candidate> list;
    for (const std::string& chip : chips) {
        if (!chip.starts_with("gpiochip")) continue;
        Candidate c{"/dev/" + chip, {}};
        const int fd = os.gpio ? os.files.open(c.device, OpenFor::Query) : -1;
        GpioChipInfo info;
        if (fd >= 0 && os.gpio->chipInfo(fd, info) >= 0) {
            c.name = info.label;
            c.number = info.lines;
        }
        if (fd >= 0) os.files.close(fd);
        list.push_back(std::move(c));
    }
    return list;
}

}  // namespace

namespace {

// The window's one field: the lines, in the device text's order.
constexpr OptionField kFields[] = {{"lines", OptionField::Kind::Text}};

std::string format(const Candidate& picked, std::span<const std::string> values, bool) {
    return picked.device + "@" + values[0];
}

// A fresh pick starts on the chip's first lines, or on a Raspberry Pi's (58 lines) the
// usual six.
std::vector<std::string> values(const Candidate& picked, const std::string& options) {
    if (!options.empty()) return {options};
    return {picked.number >= 26 ? "25,24,23,17,18,22" : "0,1,2,3,4,5"};
}

const OptionSchema kOptions{kFields, format, values};

}  // namespace

const BackendRow kGpio{"gpio",  nullptr,    "/dev/gpiochipN@RS,E,D4,D5,D6,D7",
                       false,   false,      claims,
                       parse,   check,      openNamed,
                       nullptr, candidates, &kOptions, true};

}  // namespace port::gpio
