// The port-output interface the driver writes through: the two calls of the classic
// parallel-port I/O library, with its 16-bit signed arguments.
#pragma once

#include <cstdint>

#include "port/ports.h"

namespace port {

class PortWriter {
public:
    virtual ~PortWriter() = default;
    // Puts the low byte of value on the data register at I/O address port. It is on the
    // pins when the call returns.
    virtual void Out32(std::int16_t port, std::int16_t value) noexcept = 0;
    // Reads the data register back: the last value written there.
    virtual std::int16_t Inp32(std::int16_t port) noexcept = 0;
};

}  // namespace port
