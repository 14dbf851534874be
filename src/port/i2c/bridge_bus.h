// A bus that is a USB-I2C bridge, asked apart from what every bus does: which bridge it is
// and how it is reached. The panel names a backpack behind a bridge by the bridge
// ("MCP2221A 0123456 @ 0x27 ... par /dev/i2c-3"), whatever bus number it got.
#pragma once

#include <memory>
#include <string>

#include "port/i2c/i2c_bus.h"

namespace port::i2c {

class BridgeBus : public I2cBus {
public:
    virtual std::string bridgeName() const = 0;  // "CP2112 0001"
    virtual std::string route() const = 0;       // /dev/i2c-3, /dev/hidraw0, "HID USB"
};

// bus, known from now on as that bridge.
std::unique_ptr<I2cBus> asBridge(std::unique_ptr<I2cBus> bus, std::string name, std::string route);

}  // namespace port::i2c
