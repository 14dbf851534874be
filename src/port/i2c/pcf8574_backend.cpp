// An HD44780 module behind a PCF8574/PCF8574A "backpack" on an I2C bus.
//
// The expander is a byte-wide output port, like the parallel port's data register: each
// Out32 becomes exactly one byte on the bus, the pins placed by the backpack's wiring, and
// the bytes between two pauses go out as one transaction where the adapter can. One byte
// in a transaction takes 9 clocks: 90 us at 100 kHz, 22.5 us at 400 kHz (above the part's
// rating). So E stays high at least 22.5 us (datasheet: PWEH >= 450 ns), and two falls of
// E are at least three bytes, 67 us, apart, beyond the 37 us a write executes in (41 us at
// 190 kHz). The driver's pauses (clear, home, power-up) are never inside a transaction.
//
// The boards differ in which expander pin drives which LCD pin, and in whether the
// backlight transistor turns on with its pin high or low. A wrong preset shows garbage or a
// dark display on the module while the mirror shows the text.
#include "port/i2c/backends.h"
#include "port/i2c/expander.h"

namespace port::i2c {
namespace {

// The map strings are map='s order: RS, R/W, E, backlight, D4, D5, D6, D7.
const Preset kPresets[] = {
    {"", "01234567", false},        // YwRobot, DFRobot, ...: backlight on when high
    {"lcm1602", "01234567", true},  // on when low
    {"mjkdz", "65470123", true},    // also sold as GY-I2CLCD: on when low
    {"lcdxio", "45670123", true},   // on when low
};

}  // namespace

const Chip kPcf8574Chip{"pcf8574", "pcf8574", kPresets, std::nullopt, {}};

// Never chosen by auto: writing to an unknown I2C device could upset it.
const BackendRow kPcf8574{"pcf8574",
                          nullptr,
                          "/dev/i2c-N@0xAA",
                          false,
                          false,
                          chipClaims<kPcf8574Chip>,
                          chipParse<kPcf8574Chip>,
                          check,
                          chipOpen<kPcf8574Chip>,
                          nullptr,
                          candidates};  // every bus of every kind, for either chip

}  // namespace port::i2c
