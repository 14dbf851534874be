// What went wrong, as facts: which problem, where (setting, device, address), the errno of
// the failed call, and which remedy applies. The window turns them into sentences; nothing
// below it holds a word for the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace port {

// The ways a module can be reached; each has a row in the backend table.
enum class BackendId : std::uint8_t { Ppdev, Ioport, Pcf8574, Mcp23008, Gpio, Inpout };

// How an open backend names itself in the panel: "/dev/i2c-1 @ 0x27 (PCF8574)".
struct Description {
    BackendId backend{};
    std::string device;  // the path, or the port address for direct I/O
    std::string detail;  // I2C address, GPIO line list
    std::string wiring;  // an expander's wiring, where it is not the board's usual one
    bool found = false;  // the I2C address was found by probing (@auto)
};

enum class Problem : std::uint8_t {
    // Settings. setting and value name them; detail holds the offending part.
    UnknownBackend,     // VELMORIN_LPT
    UnknownDevice,      // a device text no backend takes
    DevicePathMissing,  // "@0x27"
    I2cAddressMissing,  // "/dev/i2c-1" alone
    BadI2cAddress,      // detail: the address text
    GpioLinesMissing,   // "/dev/gpiochip0" alone
    BadI2cOption,       // detail: the option; the presets are listed
    PinMapLength,       // detail: the map
    PinMapPin,          // detail: the map; a pin that is not 0-7 (or "-" but for the backlight)
    PinMapTwice,        // detail: the map
    TwoWirings,         // detail: the second one
    GpioLineCount,      // count: how many were given (6 to 8 expected)
    BadGpioOption,      // detail: what follows the lines
    BadGpioLine,        // detail: the line text
    GpioLineTwice,      // detail: the line text
    BadDelay,
    ModuleTwoSizes,
    ModuleTwoRoms,
    ModuleTwoOscillators,
    ModuleUnknownPart,     // detail: the unknown part
    OtherPlatformBackend,  // a backend this platform does not have (ppdev on Windows ...)
    OtherPlatformDevice,   // a device text of another platform's (/dev/... on Windows)
    // Settings files (file, line).
    SettingsFileUnreadable,  // err
    SettingsLineMalformed,   // detail: the line
    SettingsUnknownName,     // setting: the name given
    // A named device, looked at before anything opens it (setting, device).
    DeviceUnusable,  // err: why stat failed
    NotCharacterDevice,
    NotPpdevDevice,
    NotI2cDevice,
    NotGpioDevice,
    // Opening a backend (device).
    ParportHeld,  // detail: the driver holding it
    OpenFailed,   // err
    ClaimFailed,  // err (PPCLAIM)
    NoParportAt,  // address, setting; hint ListParports or LoadParport
    IoportUnavailable,
    IopermUnsupported,  // address, err
    IopermRefused,      // address, err
    I2cAddressRefused,  // device, detail: address; err
    I2cNoneFound,       // device: nothing answered in the expanders' ranges
    I2cManyFound,       // device, detail: the addresses that answered
    NotGpioChip,        // err
    GpioLineMissing,    // number: the line, count: the chip's lines
    GpioLinesRefused,   // detail: the lines; err
    // The port library (device: its name; detail: the folders searched, "; "-separated).
    LibraryMissing,       // hint Library32Only when only the 32-bit build is there
    LibraryWrongBits,     // number: the system's error (193)
    LibraryNoOut32,       // the library lacks its Out32 export
    LibraryDriverClosed,  // IsInpOutDriverOpen() says its driver is not open
    // The port layer.
    UnsupportedAddress,  // address
    PrepareFailed,       // address, detail: what threw
    WriteFailed,         // description, err
    // The trace (device: its path).
    TraceNoReader,
    TraceOpenFailed,  // err
    TraceLocked,
    TraceTruncateFailed,  // err
    TraceWriteFailed,     // err; hint by errno
    TraceReaderStalled,   // a pipe took nothing for 2 s
};

// The remedy that fits, chosen where the facts are known.
enum class Hint : std::uint8_t {
    None,
    LoadPpdev,       // ppdev is not in /proc/devices
    ParportGone,     // ls /dev/parport*
    JoinGroupLp,     // or run with the emulator
    ParportRefused,  // another driver took it?
    ParportBusy,
    GiveParportPath,  // a full path to a parallel port
    LoadI2cDev,       // i2c-dev not loaded, or I2C not enabled on a Raspberry Pi
    JoinGroupI2c,
    I2cAddressBusy,  // a kernel driver has the address
    I2cNoAnswer,     // nothing acknowledges the address
    ListGpioChips,
    JoinGroupGpio,    // Raspberry Pi OS's group
    GpioLinesHeld,    // gpioinfo
    ListParports,     // name one with VELMORIN_LPTn=/dev/parportN
    LoadParport,      // no /dev/parport* at all
    TraceFreeSpace,   // a full disk, a quota, a size limit
    TraceReaderGone,  // the pipe\'s reader has quit
    TraceOtherFile,
    Library32Only,  // inpout32.dll is there, the 64-bit program needs inpoutx64.dll
};

struct Error {
    Problem what{};
    Hint hint = Hint::None;
    int err = 0;  // errno of the failed call
    std::string setting;
    std::string value;
    std::string file;  // the settings file that gave the setting; empty: the environment
    int line = 0;
    std::string device;
    std::string detail;
    std::int16_t address = 0;
    long number = 0;
    long count = 0;
    Description description;  // WriteFailed: the backend that failed
    std::string choices;      // what a setting accepts, where the backend lists it
};

// A failure with only its kind and the offending part known yet; the caller adds the rest.
inline Error problem(Problem what, std::string detail = {}) {
    Error e;
    e.what = what;
    e.detail = std::move(detail);
    return e;
}

// Something the user should know, said once: the emulator serves an address where the
// machine has parallel ports elsewhere (a PCI card).
struct Note {
    std::int16_t address = 0;
    std::string setting;  // the variable that would name one of them
    struct Found {
        std::string device;
        std::int64_t base;
    };
    std::vector<Found> parports;
    // Or: the port library that auto looked for and did not find, and where it looked.
    std::string library;
    std::string searched;
    bool empty() const noexcept { return parports.empty() && library.empty(); }
};

}  // namespace port
