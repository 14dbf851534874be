// The expander rows: an HD44780 module behind an I2C expander, on any I2C bus.
#pragma once

#include "port/backend.h"

namespace port::i2c {

extern const BackendRow kPcf8574;
extern const BackendRow kMcp23008;

}  // namespace port::i2c
