// The USB-I2C bridges as a bus kind: cp2112@0x27, mcp2221:0123456@0x27, whatever bus number
// or HID path the system gave the bridge. A bridge a kernel driver holds is reached through
// the I2C adapter the driver made of it; any other through its own HID reports.
#pragma once

#include <string>
#include <vector>

#include "port/i2c/bridges.h"
#include "port/i2c/expander.h"

namespace port::i2c {

extern const BusKind kUsbBridgeBus;  // mcp2221[:SERIAL], cp2112[:SERIAL], ft260[:SERIAL]

struct AttachedBridge {
    const UsbBridge* bridge;
    std::string serial;  // the USB serial number
    std::string node;    // the kernel's adapter (/dev/i2c-3), or the HID device's path
    bool hid = false;    // reached through its HID reports
};

// The platform's kernel drivers' part: the bridges they made I2C adapters, and the HID
// nodes those bridges still have, which are not to be written behind the driver's back.
// Windows has none: every bridge there is reached through HID.
struct KernelBridges {
    bool drivers = false;  // whether the system has drivers that make bridges adapters
    std::vector<AttachedBridge> adapters;
    std::vector<std::string> heldHidNodes;
};
KernelBridges kernelBridges(Os& os);
// An adapter of kernelBridges' as a bus: looked at, then opened.
std::optional<Error> checkAdapter(const std::string& node, Os& os);
std::unique_ptr<I2cBus> openAdapter(const std::string& node, Os& os, std::optional<Error>& error);

// "CP2112 0001".
std::string bridgeName(const AttachedBridge& b);

}  // namespace port::i2c
