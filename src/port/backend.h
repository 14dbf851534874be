// Backends: the ways a port address reaches a real module, each one row of a table.
//
// A backend takes the controller's pins and owns its cable: how those pins sit on its
// hardware (the parallel port's data bits, an expander's pins, a GPIO line set). A row says
// how the user names the backend, how it parses its own device text, what it checks before
// anything is opened, and how it opens.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hd44780/types.h"
#include "port/errors.h"
#include "port/os.h"
#include "port/ports.h"

namespace port {

// Real hardware behind one port address.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    // Puts the pins on the module's lines, or queues them for flush(). Returns 0, or the
    // errno of the failure.
    virtual int write(hd44780::Pins pins) noexcept = 0;
    // Sends what write() queued. Called before every pause, when the program waits for
    // events, and before it ends, so a pause is never inside a queue. 0, or the errno.
    virtual int flush() noexcept { return 0; }
    virtual Description describe() const = 0;
    // The remedy for a failed write, where the backend knows one.
    virtual Hint failureHint(int /*err*/) const noexcept { return Hint::None; }
};

struct BackendRow;

// Which expander pin carries each module line, and how the backlight is switched on.
struct Wiring {
    static constexpr std::int8_t kNone = -1;
    // RS, R/W, E, backlight, D4, D5, D6, D7: an expander pin 0-7, or kNone (R/W tied low on
    // the board, no backlight fitted).
    std::array<std::int8_t, 8> pin{};
    bool backlightActiveLow = false;
    std::string name;  // "mjkdz", "map=65470123"; empty for the board's usual wiring
};

// A device named in VELMORIN_LPT1 / VELMORIN_LPT2, parsed by its backend's row.
struct PortDevice {
    const BackendRow* row = nullptr;  // null: none named
    std::string path;                 // /dev/parport0, /dev/i2c-1, /dev/gpiochip0
    std::uint8_t i2cAddress = 0;      // I2C: 7-bit address of the expander
    bool i2cFindAddress = false;      // I2C: @auto, probe the expanders' ranges
    Wiring wiring;                    // I2C expanders
    // GPIO: offsets of RS, E, D4, D5, D6, D7, then optionally R/W and the backlight.
    std::vector<std::uint32_t> gpioLines;
    bool gpioBacklightLow = false;
};

// A device text split at its first '@': "/dev/i2c-1@0x27" -> path, options.
struct DeviceText {
    std::string path;
    std::string options;
    bool hasOptions = false;
};

struct OpenResult {
    std::unique_ptr<PortBackend> backend;  // null: the emulator alone serves this address
    std::optional<Error> error;            // the address cannot be served (fatal)
    Note note;                             // something the user should know, said once
};

struct BackendRow {
    BackendId id;
    // Its VELMORIN_LPT value; null where only a named device reaches it.
    const char* name;
    // Chosen with VELMORIN_LPT, it serves every address itself: named devices are ignored.
    bool ignoresNamedDevices;
    // Tried, in table order, for an address that VELMORIN_LPT=auto has no device for.
    bool probedByAuto;
    // Whether a device text is this backend's form, and parsing it into device.
    bool (*claims)(const DeviceText& text);
    std::optional<Error> (*parse)(const DeviceText& text, PortDevice& device);
    // Looks, without opening anything, that the device is there and of the right kind.
    std::optional<Error> (*check)(const PortDevice& device, Os& os);
    OpenResult (*openNamed)(const PortDevice& device, Os& os);
    // Opens for an address no device was named for. required: the user chose this
    // backend, so finding nothing is an error; else (auto) it leaves the emulator alone.
    OpenResult (*openAt)(const SupportedPort& port, bool required, Os& os);
};

// This platform's backends, in the order auto tries them and device texts are matched.
std::span<const BackendRow> backendTable() noexcept;

// The VELMORIN_LPT values of other platforms' backends ("inpout" on Linux, "ppdev" on
// Windows), and whether a device text is another platform's ("/dev/..." on Windows): a
// clear error, not an unknown value.
std::span<const char* const> otherPlatformBackends() noexcept;
bool otherPlatformDevice(std::string_view path) noexcept;

// The row a VELMORIN_LPT value names, or null.
const BackendRow* backendNamed(std::string_view name) noexcept;

}  // namespace port
