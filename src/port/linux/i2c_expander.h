// What the I2C expander rows share (PCF8574, MCP23008): the device text, the wiring
// options, the look before opening, opening the adapter and finding the address.
//
// Device text: /dev/i2c-N@ADDRESS[,OPTION...], ADDRESS 0x03-0x77 or "auto", OPTION a wiring
// preset, map=PPPPPPPP (expander pins of RS, R/W, E, backlight, D4-D7; "-" for a backlight
// that is not fitted, or an R/W tied low on the board), bl-low or bl-high, or the chip's name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "port/backend.h"
#include "port/cable.h"
#include "port/os.h"

namespace port::linux_backends::i2c {

struct Preset {
    const char* name;  // empty: the chip's usual board, chosen when no wiring is named
    Wiring wiring;
};

// Whether a device text names an I2C bus, and whether its options name this chip.
bool claims(const DeviceText& text);
bool namesChip(const DeviceText& text, std::string_view chip);

// Parses the address and the wiring. presets[0] is the chip's usual board.
std::optional<Error> parse(const DeviceText& text, PortDevice& device, std::string_view chip,
                           std::span<const Preset> presets);
std::optional<Error> check(const PortDevice& device, Os& os);

// The adapter open, the expander's address chosen (found, with @auto).
struct Bus {
    int fd = -1;
    std::uint8_t address = 0;
    bool found = false;
    unsigned long funcs = 0;  // I2C_FUNCS
};
// Opens and selects the address; on failure the descriptor is closed.
std::optional<Error> open(const PortDevice& device, Os& os, Bus& bus);

// The module's pins as the expander's byte: R/W low, the backlight held on.
Cable cable(const Wiring& wiring);

// SMBus transactions: 0, or the errno.
int writeByteData(Os& os, int fd, std::uint8_t command, std::uint8_t value) noexcept;

// The writes to one expander between two pauses, packed into as few transactions as the
// adapter offers. An expander takes any number of bytes after its address, each becoming
// its output (or, for a register device, its register's value) as it is acknowledged, so
// the bytes and their order on the bus are those of one transaction per write; only the
// start, address and stop between them go.
//  - I2C_FUNC_I2C (a Raspberry Pi's controller, most USB adapters): one write() of up to
//    kPage bytes;
//  - else I2C_FUNC_SMBUS_WRITE_I2C_BLOCK (the ICH family): an I2C block write, whose command
//    byte is the first byte, then at most 31 more. The part takes 32 data bytes, but some
//    controllers time out there (QEMU's ICH9): 32 in all keeps clear of it;
//  - else one SMBus transaction per write: send byte, or write byte data for a register.
class Batch {
public:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kBlock = 32;

    // reg: the register every byte writes (sequential addressing off), or none for a
    // bare port byte.
    Batch(Os& os, const Bus& bus, std::optional<std::uint8_t> reg) noexcept;
    // Queues one byte, and sends the queue once it is full. 0, or the errno of the send.
    int put(std::uint8_t byte) noexcept;
    // Sends what is queued: 0, or the errno (the queue is dropped either way).
    int flush() noexcept;
    // Whether the expander has taken a transaction yet.
    bool answered() const noexcept { return m_answered; }

private:
    enum class Mode { Write, Block, Single };
    Os& m_os;
    int m_fd;
    Mode m_mode;
    bool m_register;
    std::size_t m_capacity;  // bytes of one transaction after the address
    std::size_t m_count;
    bool m_answered = false;
    std::array<std::uint8_t, kPage> m_bytes{};
};

// An expander at one address: the module's pins through the board's wiring, one byte a
// write, sent by a Batch. reg: the register every byte writes (a register device), or none.
class ExpanderBackend final : public PortBackend {
public:
    ExpanderBackend(BackendId chip, const PortDevice& device, const Bus& bus, Os& os,
                    std::optional<std::uint8_t> reg);
    ~ExpanderBackend() override;
    int write(hd44780::Pins pins) noexcept override;
    int flush() noexcept override;
    Description describe() const override;
    Hint failureHint(int err) const noexcept override;
    // A register device's set-up, before the first write: 0, or the errno.
    int setRegister(std::uint8_t reg, std::uint8_t value) noexcept;

private:
    BackendId m_chip;
    PortDevice m_device;
    Bus m_bus;
    Cable m_cable;
    Os& m_os;
    Batch m_batch;
    bool m_answered = false;  // by a set-up write
};

// Until the expander has answered once, a transfer error means nothing is at the address.
Hint failureHint(bool answered, int err) noexcept;

std::string hexByte(unsigned v);
Description describe(BackendId chip, const PortDevice& device, const Bus& bus);

}  // namespace port::linux_backends::i2c
