// An I2C bus as the expanders use it: write and read transactions to a 7-bit address, a
// probe and a timeout. Any adapter is one: the kernel's i2c-dev, a USB bridge spoken to in
// its own reports. Who a bus is (a bridge's name) is its own type's business, not the
// bus's: see BridgeBus.
//
// Errors are positive errno values, 0 for success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "port/backend.h"
#include "port/errors.h"
#include "port/os.h"

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
    // One read transaction of bytes.size() bytes: 0, or the errno as for write, EOPNOTSUPP
    // where the adapter cannot read.
    virtual int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept = 0;
    // Whether something acknowledges the address, with a transfer that writes nothing to
    // it: 0, an errno, or EBUSY where the address is not ours to probe.
    virtual int probe(std::uint8_t address) noexcept = 0;
    // The most bytes one write takes as a single transaction.
    virtual std::size_t maxWrite() const noexcept = 0;
    // How long one transaction may take before it fails (ETIMEDOUT), for what follows.
    virtual void setTimeoutMs(int milliseconds) noexcept = 0;
};

}  // namespace port

namespace port::i2c {

// A kind of I2C bus this platform reaches (the kernel's i2c-dev, a USB bridge).
struct BusKind {
    bool (*names)(const std::string& path);
    // Looks, without opening anything, that the path is this kind's bus.
    std::optional<Error> (*check)(const std::string& path, Os& os);
    std::unique_ptr<I2cBus> (*open)(const std::string& path, Os& os, std::optional<Error>& error);
    // The buses of this kind that are there, named as this kind names them.
    std::vector<Candidate> (*list)(Os& os);
};
// This platform's; the first also takes paths none of them names.
std::span<const BusKind> busKinds() noexcept;

}  // namespace port::i2c
