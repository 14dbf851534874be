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
    virtual Description description() const = 0;
    // The remedy for a failed write, in the backend's own codes; 0 where it knows none.
    virtual std::uint8_t failureHint(int /*err*/) const noexcept { return 0; }
    // The module's size, right after the open and whenever the user picks another: for a
    // board that places the text by row and column itself. What it sends for it goes with
    // the next flush, and a failure is that flush's.
    virtual void setModule(hd44780::Geometry /*module*/) noexcept {}
};

struct BackendRow;

// What a backend parsed from its device text: a type of its own, known to its row alone.
struct DeviceOptions {
    virtual ~DeviceOptions() = default;
};

// A device named in VELMORIN_LPT1 / VELMORIN_LPT2, parsed by its backend's row.
struct PortDevice {
    const BackendRow* row = nullptr;               // null: none named
    std::string path;                              // /dev/parport0, /dev/i2c-1, /dev/gpiochip0
    std::shared_ptr<const DeviceOptions> options;  // the row's own, where it has any
    bool emulatorOnly = false;  // "emulator": this address drives the emulator alone

    // The row's options, as the row that parsed them made them.
    template <class Options>
    const Options& as() const noexcept {
        return static_cast<const Options&>(*options);
    }
};

// A device text split at its first '@': "/dev/i2c-1@0x27" -> path, options.
struct DeviceText {
    std::string path;
    std::string options;
    bool hasOptions = false;
};

// How surely a row recognises a device text as its own form.
enum class Claim : std::uint8_t {
    No,
    ByOptions,  // what follows '@' has the row's shape ("0x27", "25,24,23,17,18,22")
    ByPath,     // the path names the row's device (/dev/parportN, /dev/i2c-N)
};

// Something attached that a row could drive, as a person would pick it from a list. Found
// without opening anything for writing and without a word on any bus.
struct Candidate {
    std::string device;        // the device text's path: /dev/i2c-1, mcp2221:0123456, COM3
    std::string name;          // what the system calls it ("bcm2835 (i2c@7e804000)"); may be empty
    std::int64_t number = -1;  // the row's figure: a parport's base, a GPIO chip's lines
};

// What the display window asks for, beyond the device picked, to make a row's device
// text: one widget a field. The words for each field and value live with the row's texts.
struct OptionField {
    enum class Kind : std::uint8_t {
        Choice,          // one of the values
        EditableChoice,  // one of the values, or typed
        Text,            // typed
        Find,            // a button: the device text made to find what fills the fields
    };
    const char* name;  // "address": names the widget and finds the field's words
    Kind kind;
    // The choice kinds' values, the default first.
    std::vector<std::string> (*choices)() = nullptr;
    // Shown only while field shownWhile has the value shownWhileValue; -1: always.
    int shownWhile = -1;
    const char* shownWhileValue = nullptr;
};

// A row's options as the window asks for them, and its own device-text grammar both ways.
struct OptionSchema {
    std::span<const OptionField> fields;
    // The device text for the device picked and the fields' values, in the fields' order;
    // find: the Find button was pressed.
    std::string (*format)(const Candidate& picked, std::span<const std::string> values, bool find);
    // The fields' values that a device text's options (after '@') stand for; with none,
    // those a fresh pick of that device starts with.
    std::vector<std::string> (*values)(const Candidate& picked, const std::string& options);
    // After a find, the device text's options it amounts to ("0x27,mjkdz"), from what
    // opened: values() makes them the fields'. Null where a find finds nothing.
    std::string (*found)(const Description& opened) = nullptr;
};

// The device text for a device picked from a row's candidates, as its schema makes it.
std::string deviceText(const BackendRow& row, const Candidate& picked,
                       std::span<const std::string> values, bool find);

struct OpenResult {
    std::unique_ptr<PortBackend> backend;  // null: the emulator alone serves this address
    std::optional<Error> error;            // the address cannot be served (fatal)
    Note note;                             // something the user should know, said once
};

struct BackendRow {
    // Names the row in errors, descriptions and notes, where the window finds its words.
    const char* key;
    // Its VELMORIN_LPT value; null where only a named device reaches it.
    const char* name;
    // Its device form as a sentence shows it ("/dev/parportN"); null: none of its own.
    const char* form;
    // Chosen with VELMORIN_LPT, it serves every address itself: named devices are ignored.
    bool ignoresNamedDevices;
    // Tried, in table order, for an address that VELMORIN_LPT=auto has no device for.
    bool probedByAuto;
    // Whether a device text is this backend's form, and parsing it into device.
    Claim (*claims)(const DeviceText& text);
    std::optional<Error> (*parse)(const DeviceText& text, PortDevice& device);
    // Looks, without opening anything, that the device is there and of the right kind.
    std::optional<Error> (*check)(const PortDevice& device, Os& os);
    OpenResult (*openNamed)(const PortDevice& device, Os& os);
    // Opens for an address no device was named for. required: the user chose this
    // backend, so finding nothing is an error; else (auto) it leaves the emulator alone.
    OpenResult (*openAt)(const SupportedPort& port, bool required, Os& os);
    // What is attached that this row could drive; null where the row names no devices, or
    // another row lists the same ones.
    std::vector<Candidate> (*candidates)(Os& os);
    // What the window asks for beyond the device; null: the path alone is the device text.
    const OptionSchema* options = nullptr;
    // Its devices are one node many share (an I2C bus's addresses, a GPIO chip's lines):
    // two ports may name the same path.
    bool sharedNode = false;
};

// This platform's backends, in the order auto tries them.
std::span<const BackendRow> backendTable() noexcept;

// The VELMORIN_LPT values of other platforms' backends ("inpout" on Linux, "ppdev" on
// Windows), and whether a device text is another platform's ("/dev/..." on Windows): a
// clear error, not an unknown value.
std::span<const char* const> otherPlatformBackends() noexcept;
bool otherPlatformDevice(std::string_view path) noexcept;

// The row a VELMORIN_LPT value names, or null.
const BackendRow* backendNamed(std::string_view name) noexcept;
// The row a device text is the form of: the surest claim, the first row among equals.
const BackendRow* rowClaiming(const DeviceText& text) noexcept;
// The device forms of this platform's rows, in table order.
std::vector<const char*> deviceForms();

// Marks an error as the row's, where the backend left that unsaid.
void own(const BackendRow& row, std::optional<Error>& error) noexcept;
void own(const BackendRow& row, OpenResult& result) noexcept;

}  // namespace port
