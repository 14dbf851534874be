// The kernel's I2C buses through i2c-dev, and the USB bridges the kernel makes one of, as
// the bus kinds the expanders reach.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/i2c/bridges.h"
#include "port/i2c/expander.h"

namespace port::i2c {

extern const BusKind kI2cDevBus;     // /dev/i2c-N
extern const BusKind kUsbBridgeBus;  // mcp2221[:SERIAL], cp2112[:SERIAL], ft260[:SERIAL]

std::optional<Error> checkI2cDev(const std::string& node, Os& os);
std::unique_ptr<I2cBus> openI2cDev(const std::string& node, Os& os, std::optional<Error>& error);

// A USB bridge the kernel's driver has made an I2C adapter, found in sysfs.
struct AttachedBridge {
    const UsbBridge* bridge;
    std::string serial;  // the USB serial number, as its HID device has it
    std::string node;    // /dev/i2c-N
};
std::vector<AttachedBridge> attachedBridges(Os& os);
// "CP2112 0001".
std::string bridgeName(const AttachedBridge& b);

}  // namespace port::i2c
