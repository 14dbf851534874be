// The expander rows: an HD44780 module behind an I2C expander, on any I2C bus.
#pragma once

#include "port/backend.h"
#include "port/i2c/expander.h"

namespace port::i2c {

extern const Chip kPcf8574Chip;
extern const Chip kMcp23008Chip;

extern const BackendRow kPcf8574;
extern const BackendRow kMcp23008;

}  // namespace port::i2c
