// An I2C bus as the expanders use it: write transactions to a 7-bit address, and a probe.
// Any adapter is one: the kernel's i2c-dev, a USB bridge spoken to in its own reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace port {

class I2cBus {
public:
    virtual ~I2cBus() = default;
    // Takes an address for this program's writes: 0, or the errno (EBUSY where a kernel
    // driver has bound it, which is not ours to override).
    virtual int claim(std::uint8_t address) noexcept = 0;
    // One transaction: start, the address, the bytes, stop. 0, or the errno (ENXIO,
    // EREMOTEIO or EIO where nothing acknowledges).
    virtual int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept = 0;
    // Whether something acknowledges the address, with a transfer that writes nothing to
    // it: 0, an errno, or EBUSY where the address is not ours to probe.
    virtual int probe(std::uint8_t address) noexcept = 0;
    // The most bytes one write takes as a single transaction.
    virtual std::size_t maxWrite() const noexcept = 0;

    // Where the bus is a USB bridge: its name and serial number ("CP2112 0001"), and the
    // node it is reached through (/dev/i2c-1). Empty for any other bus.
    struct Bridge {
        std::string name;
        std::string node;
    };
    virtual Bridge bridge() const { return {}; }
};

}  // namespace port
