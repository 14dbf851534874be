// What went wrong, as facts: which problem, where (setting, device, address), the errno of
// the failed call, and which remedy applies. The window turns them into sentences; nothing
// below it holds a word for the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace port {

// How an open backend names itself in the panel: "/dev/i2c-1 @ 0x27 (PCF8574)". Its
// backend's sentences in the window put the facts into words.
struct Description {
    const char* backend = nullptr;  // the row's key
    std::string device;             // the path, or the port address for direct I/O
    std::string detail;             // an I2C address, a GPIO line list
    std::string options;            // what the user chose that changes the wiring
    bool found = false;             // the detail was found by probing, not given
    std::string via = {};   // the node it is reached through, where the device has another name
    bool replaced = false;  // a byte the line could not carry went as another (a space)
    // The first instruction the line has no word for (a display shift on a board that
    // cannot shift), as its byte; 0: none. It did not travel, and nothing went instead.
    std::uint8_t unsaid = 0;
    // Where the backend looked for the board's wiring: how it went (its own code; 0: the
    // wiring was given), whether the backlight's polarity stayed unknown, and the device
    // text's options the look amounts to ("0x27,mjkdz"), which a find keeps.
    std::uint8_t look = 0;
    bool polarityUnknown = false;
    std::string lookedUp = {};
};

// Problems every backend can meet, and the program's own. A backend's own problems are
// Backend, with its code in Error::code: each backend lists them beside its row.
enum class Problem : std::uint8_t {
    // Settings. setting and value name them; detail holds the offending part.
    UnknownBackend,     // VELMORIN_LPT
    UnknownDevice,      // a device text no backend takes
    DevicePathMissing,  // "@0x27"
    BadDelay,
    ModuleTwoSizes,
    ModuleTwoRoms,
    ModuleTwoOscillators,
    ModuleUnknownPart,     // detail: the unknown part
    OtherPlatformBackend,  // a backend this platform does not have (ppdev on Windows ...)
    OtherPlatformDevice,   // a device text of another platform's (/dev/... on Windows)
    // Settings files (file, line).
    SettingsFileUnreadable,  // err
    SettingsFileIsFolder,
    SettingsFileNotRegular,  // a FIFO, a device: never waited on
    SettingsFileTooLarge,    // number: the limit in bytes
    SettingsNotUtf8,         // line: the first line that is not UTF-8
    SettingsLineMalformed,   // detail: the line
    SettingsQuoteUnclosed,   // detail: the line
    SettingsUnknownName,     // setting: the name given
    // A named device, looked at before anything opens it (setting, device).
    DeviceUnusable,  // err: why stat failed
    NotCharacterDevice,
    // Opening a backend (device).
    OpenFailed,       // err
    HeldByOtherPort,  // detail: the port of this program's that has it ("LPT2 (0x278)")
    // The backend's own: backend and code say which.
    Backend,
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
    TraceReaderStalled,   // a pipe took nothing for the reader's patience
    TraceIsOwnFile,       // the path is a settings or state file of the program's
};

// The trace's remedies. A backend's remedies are its own codes (Error::hint with
// Error::backend set).
enum class Hint : std::uint8_t {
    None,
    TraceFreeSpace,   // a full disk, a quota, a size limit
    TraceReaderGone,  // the pipe's reader has quit
    TraceOtherFile,
};

struct Error {
    Problem what{};
    // The backend row (its key) whose device this is about; it reads code and hint.
    const char* backend = nullptr;
    std::uint8_t code = 0;  // Problem::Backend: which of the backend's own
    std::uint8_t hint = 0;  // the remedy that fits: a Hint, or the backend's own; 0 none
    int err = 0;            // errno of the failed call
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

// One of a backend's own problems (its enum).
template <class OwnProblem>
Error backendProblem(OwnProblem code, std::string detail = {}) {
    Error e = problem(Problem::Backend, std::move(detail));
    e.code = static_cast<std::uint8_t>(code);
    return e;
}
// A backend's own problem or remedy as Error carries it.
template <class Code>
constexpr std::uint8_t codeOf(Code code) noexcept {
    return static_cast<std::uint8_t>(code);
}

// Something the user should know, said once: the emulator serves an address where the
// backend found hardware elsewhere (a parallel port on a PCI card), or where what it
// needs is missing (the port library). Its backend's sentences say it.
struct Note {
    const char* backend = nullptr;  // null: nothing to say
    std::int16_t address = 0;
    std::string setting;  // the variable that would name a device for the address
    struct Found {
        std::string device;
        std::int64_t base;
    };
    std::vector<Found> found;  // devices that are there, elsewhere
    std::string detail;        // what was missing
    std::string searched;      // and where it was looked for
    bool empty() const noexcept { return backend == nullptr; }
};

}  // namespace port
