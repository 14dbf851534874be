// The kernel's I2C buses through i2c-dev, as the bus kind the expanders reach.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/i2c/expander.h"

namespace port::i2c {

extern const BusKind kI2cDevBus;  // /dev/i2c-N

std::optional<Error> checkI2cDev(const std::string& node, Os& os);
std::unique_ptr<I2cBus> openI2cDev(const std::string& node, Os& os, std::optional<Error>& error);

}  // namespace port::i2c
