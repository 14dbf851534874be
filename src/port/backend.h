// Port-output backends and the layer's settings.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hd44780/controller.h"
#include "port/ports.h"

namespace port {

// Where writes to a port address go. Every port also feeds its own emulated display: it is
// the display itself with Emulator, a mirror of the real one otherwise.
enum class BackendKind : std::uint8_t { Auto, Emulator, Ppdev, Ioport };

// A device named in VELMORIN_LPT1 / VELMORIN_LPT2.
struct PortDevice {
    enum class Kind : std::uint8_t { None, Parport, I2c, Gpio };
    Kind kind = Kind::None;
    std::string path;                          // /dev/parport0, /dev/i2c-1, /dev/gpiochip0
    std::uint8_t i2cAddress = 0;               // I2c: 7-bit address of the backpack
    std::array<std::uint32_t, 6> gpioLines{};  // Gpio: offsets of RS, E, D4, D5, D6, D7
};

struct PortConfig {
    BackendKind kind = BackendKind::Auto;                    // VELMORIN_LPT
    std::array<PortDevice, kSupportedPorts.size()> devices;  // VELMORIN_LPT1, VELMORIN_LPT2
    std::string tracePath;                                   // VELMORIN_TRACE: VCD file
    int delay = 1;                                           // VELMORIN_DELAY
    hd44780::Geometry module;                                // VELMORIN_MODULE
    hd44780::Options emulator;                               // VELMORIN_MODULE: ROM, oscillator

    const PortDevice& device(std::int16_t address) const noexcept;
};

// The module sizes people own, offered by VELMORIN_MODULE and the display window.
inline constexpr std::array<hd44780::Geometry, 11> kModuleSizes{{
    {8, 1},
    {8, 2},
    {16, 1},
    {16, 2},
    {16, 4},
    {20, 1},
    {20, 2},
    {20, 4},
    {24, 2},
    {40, 1},
    {40, 2},
}};
inline constexpr int kMaxDelay = 16;

// "20x4"; and every size the table offers, "8x1, 8x2, ..., 40x2".
std::string moduleSizeName(hd44780::Geometry module);
std::string moduleSizeList();

struct ConfigResult {
    PortConfig config;
    std::string error;  // empty when the environment made sense; else names the variable
};

// Reads VELMORIN_LPT, VELMORIN_LPT1, VELMORIN_LPT2, VELMORIN_TRACE, VELMORIN_DELAY and
// VELMORIN_MODULE.
ConfigResult configFromEnvironment(const std::function<const char*(const char*)>& getenv);

// "/dev/parport0", "/dev/i2c-1@0x27" or "/dev/gpiochip0@25,24,23,17,18,22": the kind is
// told by what follows '@'. Empty error when it parses.
std::string parseDevice(const std::string& text, PortDevice& device);

// Real hardware behind one port address.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    // Puts the byte (in the parallel cable's layout) on the module's lines. Returns 0, or
    // the errno of the failure.
    virtual int write(std::uint8_t value) noexcept = 0;
    // What the user should see: "/dev/parport0 (ppdev)".
    virtual std::string description() const = 0;
    // What to add to a failed write's errno text, where the backend knows better.
    virtual std::string explain(int /*err*/) const { return {}; }
};

struct OpenResult {
    std::unique_ptr<PortBackend> backend;  // null: the emulator alone serves this address
    std::string error;                     // non-empty: the address cannot be served (fatal)
    std::string note;                      // something the user should know, said once
};

// Chooses and opens the backend of one address, on its first write.
using BackendOpener = std::function<OpenResult(std::int16_t port, const PortConfig& config)>;

// "LPT1 (0x378)", "LPT2 (0x278)", or "0x3bc".
std::string portLabel(std::int16_t port);
std::string hexAddress(std::int16_t port);
// "0x378, 0x278": the supported ports' addresses, for messages.
std::string supportedAddressList();

}  // namespace port
