// Port-output backends and the layer's configuration.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hd44780/controller.h"

namespace port {

// Where writes to a port address go. Every port also feeds its own emulated display: it is
// the display itself with Emulator, a mirror of the real one with Ppdev and Ioport.
enum class BackendKind : std::uint8_t { Auto, Emulator, Ppdev, Ioport };

struct PortConfig {
    BackendKind kind = BackendKind::Auto;  // VELMORIN_LPT
    std::string lpt1Device;                // VELMORIN_LPT1: /dev/parportN for 0x378
    std::string lpt2Device;                // VELMORIN_LPT2: /dev/parportN for 0x278
    std::string tracePath;                 // VELMORIN_TRACE: VCD file
    hd44780::Options emulator;
};

struct ConfigResult {
    PortConfig config;
    std::string error;  // empty when the environment made sense
};

// Reads VELMORIN_LPT, VELMORIN_LPT1, VELMORIN_LPT2 and VELMORIN_TRACE.
ConfigResult configFromEnvironment(const std::function<const char*(const char*)>& getenv);

const char* backendName(BackendKind kind) noexcept;

// Real hardware behind one port address.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    // Puts the byte on the data pins. Returns 0, or the errno of the failure.
    virtual int write(std::uint8_t value) noexcept = 0;
    // What the user should see: "/dev/parport0 (ppdev)".
    virtual std::string description() const = 0;
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

}  // namespace port
