// An HD44780 module behind a PCF8574/PCF8574A "backpack" on a Linux I2C bus (i2c-dev).
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
#include <memory>

#include "port/linux/backends.h"
#include "port/linux/i2c_expander.h"

namespace port::linux_backends {
namespace {

//                                 RS  R/W  E  BL  D4 D5 D6 D7        backlight on when
const i2c::Preset kPresets[] = {
    {"", {{0, 1, 2, 3, 4, 5, 6, 7}, false, {}}},        // YwRobot, DFRobot, ...: high
    {"lcm1602", {{0, 1, 2, 3, 4, 5, 6, 7}, true, {}}},  // low
    {"mjkdz", {{6, 5, 4, 7, 0, 1, 2, 3}, true, {}}},    // also sold as GY-I2CLCD: low
    {"lcdxio", {{4, 5, 6, 7, 0, 1, 2, 3}, true, {}}},   // low
};

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    return i2c::parse(text, device, "pcf8574", kPresets);
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    i2c::Bus bus;
    if (auto e = i2c::open(device, os, bus)) return {nullptr, e, {}};
    return {
        std::make_unique<i2c::ExpanderBackend>(BackendId::Pcf8574, device, bus, os, std::nullopt),
        {},
        {}};
}

}  // namespace

// Never chosen by auto: writing to an unknown I2C device could upset it.
const BackendRow kPcf8574{BackendId::Pcf8574, nullptr,   false,  false, i2c::claims, parse,
                          i2c::check,         openNamed, nullptr};

}  // namespace port::linux_backends
