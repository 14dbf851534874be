// The USB-I2C bridges people plug in: how a device text names each, its product name, its
// USB id and its protocol. All three are USB HID devices, with mainline Linux drivers that make
// them an I2C adapter (hid-mcp2221 since 5.7, hid-cp2112 since 3.15, hid-ft260 since 5.13).
#pragma once

#include <array>
#include <cstdint>

#include "port/i2c/hid_bridges.h"

namespace port::i2c {

struct UsbBridge {
    const char* form;  // "mcp2221": mcp2221@0x27, mcp2221:SERIAL@0x27
    const char* name;  // as the panel shows it
    std::uint16_t vendor;
    std::uint16_t product;
    const char* driver;   // the kernel's
    HidBusMaker overHid;  // its HID reports, where no kernel driver holds it; null: none yet
};

// The bridges' own problems and remedies, under their own key (Error::backend), whichever
// expander is behind the bridge.
inline constexpr const char* kBridgeKey = "usb-i2c";
enum class BridgeProblem : std::uint8_t {
    NoBridge,     // device: the bridge named; detail: those attached; choices: its kernel
                  // driver, where the system has one
    ManyBridges,  // device: the bridge named; detail: those that match
    NoHid,        // device: the bridge named; detail: why the HID layer did not start
};
enum class BridgeHint : std::uint8_t {
    None,
    HidrawUdevRule,  // the bridge's hidraw node is root's: a udev rule gives it the user
    BridgeBusy,      // another program's transfer holds the bridge
};

inline constexpr std::array<UsbBridge, 3> kUsbBridges{{
    {"mcp2221", "MCP2221A", 0x04D8, 0x00DD, "hid-mcp2221", mcp2221Bus},
    {"cp2112", "CP2112", 0x10C4, 0xEA90, "hid-cp2112", cp2112Bus},
    {"ft260", "FT260", 0x0403, 0x6030, "hid-ft260", nullptr},
}};

}  // namespace port::i2c
