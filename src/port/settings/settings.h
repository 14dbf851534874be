// The port layer's settings, each read by its own row of a names table, from the
// environment or from a settings file (NAME=value lines, # comments). The environment wins
// over the user's file, the user's file over the system's.
//
//   VELMORIN_LPT     auto (default), emulator, or a backend row's name (ppdev, ioport ...)
//   VELMORIN_LPT1/2  a device for that address, in the form of a backend row, or "emulator"
//   VELMORIN_TRACE   a VCD file of every port write
//   VELMORIN_DELAY   1-16: every pause and both phases of the enable pulse last N times longer
//   VELMORIN_MODULE  the emulated module: a size, then a00/a02 and 270khz/190khz
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hd44780/controller.h"
#include "port/backend.h"
#include "port/errors.h"
#include "port/os.h"
#include "port/ports.h"

namespace port {

// VELMORIN_LPT: where writes go unless a device is named for the address.
enum class Mode : std::uint8_t {
    Auto,      // each address: the first backend that finds hardware there, else the emulator
    Emulator,  // the emulated display only
    Backend,   // the one backend named
};

// Where a setting's value came from.
struct SettingOrigin {
    std::string name;
    std::string value;
    std::string file;  // empty: the environment
    int line = 0;
};

struct PortConfig {
    Mode mode = Mode::Auto;
    const BackendRow* backend = nullptr;                     // Mode::Backend
    std::array<PortDevice, kSupportedPorts.size()> devices;  // VELMORIN_LPT1, VELMORIN_LPT2
    std::string tracePath;
    int delay = 1;
    hd44780::Geometry module;
    hd44780::Options emulator;           // ROM, oscillator
    std::vector<SettingOrigin> origins;  // every setting given, in the names table's order
    // The program's own files (the settings files, the display window's state): never a
    // trace.
    std::vector<std::string> ownFiles;

    const SettingOrigin* origin(std::string_view name) const noexcept;

    const PortDevice& device(std::int16_t address) const noexcept;
    // Whether named devices take their addresses (not with the emulator or direct I/O).
    bool namedDevicesApply() const noexcept;
};

inline constexpr int kMaxDelay = 16;
// A settings file holds a few lines; a longer one is not a settings file.
inline constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

struct ConfigResult {
    PortConfig config;
    std::optional<Error> error;  // the first setting that made no sense
};

using Getenv = std::function<const char*(const char*)>;

// The process's environment as UTF-8, whatever the system's code page (Windows keeps it in
// UTF-16).
Getenv systemEnvironment();

// The settings files, the one that wins first: the user's, then the system's. Each
// platform knows its own places.
std::vector<std::string> settingsFiles(const Getenv& getenv);
// The user's own settings file, where the window keeps a choice; empty where the user has
// no folder of their own.
std::string userSettingsFile(const Getenv& getenv);
// The display window's state file, beside the user's settings file; empty where there is
// no user's folder.
std::string stateFile(const Getenv& getenv);

// Every setting from the environment and the files. A missing file is no file; an
// unreadable one, a malformed line, an unknown name or a bad value anywhere is an error.
ConfigResult readConfig(const Getenv& getenv, Os& os, const std::vector<std::string>& files);

// VELMORIN_MODULE's form ("20x4,a02,190khz"): the module a text names, over what
// module and options already hold, and the text of a module.
std::optional<Error> parseModule(const std::string& text, hd44780::Geometry& module,
                                 hd44780::Options& options);
std::string moduleText(hd44780::Geometry module, const hd44780::Options& options);

// A device text that keeps an address on the emulator alone, whatever auto would find.
inline constexpr const char* kEmulatorDevice = "emulator";

// "/dev/parport0", "/dev/i2c-1@0x27", "/dev/gpiochip0@25,24,23,17,18,22": the first
// backend row that claims the text parses it. Empty text names no device.
std::optional<Error> parseDevice(const std::string& text, PortDevice& device);

// A settings file's text with NAME=value in it: the line that sets NAME now (the last, which
// wins) rewritten, else a line added at the end; every other byte as it was.
std::string withSetting(const std::string& text, const std::string& name, const std::string& value);
// Why a setting was not saved: the errno of what failed (EINVAL: what stands in the file's
// place is not a regular file; EFBIG: it is too long to be a settings file; EACCES: the
// user may not write it), and the file that failed.
struct SaveFailure {
    int err = 0;
    std::string file;
};
// Puts NAME=value in a settings file, made whole beside it and renamed over it, so that a
// crash leaves the old file or the new one, never half of either. A link is written
// through: the file it stands for is replaced, in its own folder. The file keeps its mode
// and owner; its folder is made where it is missing.
std::optional<SaveFailure> saveSetting(Os& os, const std::string& file, const std::string& name,
                                       const std::string& value);

// "VELMORIN_LPT, VELMORIN_TRACE, ...": every setting's name.
std::string settingChoices();

// "auto, emulator, ppdev, ioport": every value VELMORIN_LPT takes.
std::string backendChoices();

}  // namespace port
