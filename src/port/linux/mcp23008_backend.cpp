// An HD44780 module behind an MCP23008 I2C expander (Adafruit's I2C/SPI backpack): a
// register device, so each Out32 is a value of its GPIO register rather than a bare byte.
//
// Datasheet (MCP23008, DS21919): IODIR (0x00) resets to 0xFF, every pin an input; a 0 bit
// makes the pin an output. GPIO (0x09) writes the output latch. IOCON.SEQOP (bit 5 of
// 0x05) set stops the address pointer moving on after each byte ("byte mode"), so every
// byte of one transaction after the register is another write of GPIO: the writes between
// two pauses go as one transaction, the bytes spaced as on a PCF8574 (see its backend).
#include <memory>

#include "port/linux/backends.h"
#include "port/linux/i2c_expander.h"

namespace port::linux_backends {
namespace {

constexpr std::uint8_t kIodir = 0x00;
constexpr std::uint8_t kIocon = 0x05;
constexpr std::uint8_t kIoconSeqop = 1u << 5;
constexpr std::uint8_t kGpio = 0x09;

//                                 RS  R/W            E  BL  D4 D5 D6 D7
const i2c::Preset kPresets[] = {
    // Adafruit: R/W tied low on the board, the backlight on GP7, on when high.
    {"", {{1, Wiring::kNone, 2, 7, 3, 4, 5, 6}, false, {}}},
};

bool claims(const DeviceText& text) {
    return i2c::claims(text) && i2c::namesChip(text, "mcp23008");
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    return i2c::parse(text, device, "mcp23008", kPresets);
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    i2c::Bus bus;
    if (auto e = i2c::open(device, os, bus)) return {nullptr, e, {}};
    auto backend =
        std::make_unique<i2c::ExpanderBackend>(BackendId::Mcp23008, device, bus, os, kGpio);
    // Byte mode, then every pin an output, before the first write.
    int err = backend->setRegister(kIocon, kIoconSeqop);
    if (err == 0) err = backend->setRegister(kIodir, 0x00);
    if (err != 0) {
        Error e;
        e.what = Problem::WriteFailed;
        e.err = err;
        e.hint = backend->failureHint(err);
        e.description = backend->describe();
        return {nullptr, e, {}};
    }
    return {std::move(backend), {}, {}};
}

}  // namespace

const BackendRow kMcp23008{BackendId::Mcp23008, nullptr,   false,  false, claims, parse,
                           i2c::check,          openNamed, nullptr};

}  // namespace port::linux_backends
