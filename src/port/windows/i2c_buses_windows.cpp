// Windows: no I2C bus kind yet; the expanders need one to be reached.
#include "port/i2c/expander.h"

namespace port::i2c {

std::span<const BusKind> busKinds() noexcept {
    return {};
}

}  // namespace port::i2c
