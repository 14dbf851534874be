// An HD44780 module behind an MCP23008 I2C expander (Adafruit's I2C/SPI backpack): a
// register device, so each Out32 is a value of its GPIO register rather than a bare byte.
//
// Datasheet (MCP23008, DS21919): IODIR (0x00) resets to 0xFF, every pin an input; a 0 bit
// makes the pin an output. GPIO (0x09) writes the output latch. IOCON.SEQOP (bit 5 of
// 0x05) set stops the address pointer moving on after each byte ("byte mode"), so every
// byte of one transaction after the register is another write of GPIO: the writes between
// two pauses go as one transaction, the bytes spaced as on a PCF8574 (see its backend).
#include "port/i2c/backends.h"
#include "port/i2c/expander.h"

namespace port::i2c {
namespace {

constexpr std::uint8_t kIodir = 0x00;
constexpr std::uint8_t kIocon = 0x05;
constexpr std::uint8_t kIoconSeqop = 1u << 5;
constexpr std::uint8_t kGpio = 0x09;

// Adafruit's board, in map='s order (RS, R/W, E, backlight, D4-D7): R/W tied low, the
// backlight on GP7, on when high.
const Preset kPresets[] = {{"", "1-273456", false}};

// Byte mode, then every pin an output, before the first write.
const RegisterWrite kSetUp[] = {{kIocon, kIoconSeqop}, {kIodir, 0x00}};

}  // namespace

const Chip kMcp23008Chip{"mcp23008", "mcp23008", kPresets, kGpio, kSetUp};

const BackendRow kMcp23008{"mcp23008",
                           nullptr,
                           nullptr,
                           false,
                           false,
                           chipClaims<kMcp23008Chip>,
                           chipParse<kMcp23008Chip>,
                           check,
                           chipOpen<kMcp23008Chip>,
                           nullptr,
                           nullptr,  // the buses are pcf8574's list: the chip goes with the wiring
                           nullptr,
                           true};

}  // namespace port::i2c
