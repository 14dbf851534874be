// The kernel's I2C buses through i2c-dev, as a bus kind the expanders reach.
#pragma once

#include "port/i2c/expander.h"

namespace port::i2c {

extern const BusKind kI2cDevBus;

}  // namespace port::i2c
