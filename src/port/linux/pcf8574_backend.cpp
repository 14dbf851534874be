// An HD44780 module behind a PCF8574/PCF8574A "backpack" on a Linux I2C bus (i2c-dev).
//
// The expander is a byte-wide output port, like the parallel port's data register: each
// Out32 becomes exactly one byte on the bus, the pins placed by the backpack's wiring. At
// 100 kHz a byte (address + data + acks, 20 clocks) takes about 0.2 ms, so E stays high far
// longer than the datasheet's minimum; nothing in the driver needs to know.
//
// The boards differ in which expander pin drives which LCD pin, and in whether the
// backlight transistor turns on with its pin high or low. A wrong preset shows garbage or a
// dark display on the module while the mirror shows the text.
#include <linux/i2c.h>

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

class Pcf8574Backend final : public PortBackend {
public:
    Pcf8574Backend(const PortDevice& device, const i2c::Bus& bus, Os& os)
        : m_device(device),
          m_bus(bus),
          m_cable(i2c::cable(device.wiring)),
          m_os(os),
          // SMBus-only adapters (PIIX4, ICH) take "send byte", not a plain write().
          m_smbus((bus.funcs & I2C_FUNC_SMBUS_WRITE_BYTE) != 0) {}
    ~Pcf8574Backend() override { m_os.close(m_bus.fd); }

    int write(hd44780::Pins pins) noexcept override {
        const std::uint8_t b = m_cable.byte(pins);
        int err = 0;
        if (m_smbus) {
            err = i2c::sendByte(m_os, m_bus.fd, b);
        } else {
            const long n = m_os.write(m_bus.fd, &b, 1);
            err = n == 1 ? 0 : n < 0 ? static_cast<int>(-n) : EIO;
        }
        if (err == 0) m_answered = true;
        return err;
    }
    Description describe() const override {
        return i2c::describe(BackendId::Pcf8574, m_device, m_bus);
    }
    Hint failureHint(int err) const noexcept override { return i2c::failureHint(m_answered, err); }

private:
    PortDevice m_device;
    i2c::Bus m_bus;
    Cable m_cable;
    Os& m_os;
    bool m_smbus;
    bool m_answered = false;
};

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    return i2c::parse(text, device, "pcf8574", kPresets);
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    i2c::Bus bus;
    if (auto e = i2c::open(device, os, bus)) return {nullptr, e, {}};
    return {std::make_unique<Pcf8574Backend>(device, bus, os), {}, {}};
}

}  // namespace

// Never chosen by auto: writing to an unknown I2C device could upset it.
const BackendRow kPcf8574{BackendId::Pcf8574, nullptr,   false,  false, i2c::claims, parse,
                          i2c::check,         openNamed, nullptr};

}  // namespace port::linux_backends
