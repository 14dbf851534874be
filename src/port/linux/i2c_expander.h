// What the I2C expander rows share (PCF8574, MCP23008): the device text, the wiring
// options, the look before opening, opening the adapter and finding the address.
//
// Device text: /dev/i2c-N@ADDRESS[,OPTION...], ADDRESS 0x03-0x77 or "auto", OPTION a wiring
// preset, map=PPPPPPPP (expander pins of RS, R/W, E, backlight, D4-D7; "-" for a backlight
// that is not fitted, or an R/W tied low on the board), bl-low or bl-high, or the chip's name.
#pragma once

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
int sendByte(Os& os, int fd, std::uint8_t value) noexcept;
int writeByteData(Os& os, int fd, std::uint8_t command, std::uint8_t value) noexcept;

// Until the expander has answered once, a transfer error means nothing is at the address.
Hint failureHint(bool answered, int err) noexcept;

std::string hexByte(unsigned v);
Description describe(BackendId chip, const PortDevice& device, const Bus& bus);

}  // namespace port::linux_backends::i2c
