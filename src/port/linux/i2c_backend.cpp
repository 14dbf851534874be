// An HD44780 module behind a PCF8574/PCF8574A "backpack" on a Linux I2C bus (i2c-dev).
//
// The expander is a byte-wide output port, like the parallel port's data register: each
// Out32 becomes exactly one byte on the bus, the pins placed by the backpack's wiring. At
// 100 kHz a byte (address + data + acks, 20 clocks) takes about 0.2 ms, so E stays high far
// longer than the datasheet's minimum; nothing in the driver needs to know.
//
// Linux facts:
//  - Many PC adapters (PIIX4, ICH SMBus) are SMBus-only: a plain write() fails there with
//    EOPNOTSUPP, while the SMBus "send byte" transaction works. I2C_FUNCS tells which.
//  - I2C_SLAVE refuses (EBUSY) an address a kernel driver has bound; I2C_SLAVE_FORCE would
//    override it, which is not ours to do.
//  - A device that does not acknowledge its address fails the transfer with ENXIO (most
//    adapters), EREMOTEIO or EIO.
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "port/cable.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parse.h"

namespace port::linux_backends {
namespace {

// The common backpack, fixed on the board: P0 RS, P1 R/W (kept 0: write only), P2 E,
// P3 backlight (kept on), P4-P7 DB4-DB7.
constexpr Cable kBackpackCable{{0, 2, 4, 5, 6, 7}, 0x08};

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

class I2cBackend final : public PortBackend {
public:
    I2cBackend(int fd, const PortDevice& device, bool smbus, Os& os)
        : m_fd(fd), m_device(device), m_smbus(smbus), m_os(os) {}
    ~I2cBackend() override { m_os.close(m_fd); }

    int write(hd44780::Pins pins) noexcept override {
        std::uint8_t b = kBackpackCable.byte(pins);
        long rc = 0;
        if (m_smbus) {
            i2c_smbus_ioctl_data args{};
            args.read_write = I2C_SMBUS_WRITE;
            args.command = b;  // "send byte": the byte travels as the command
            args.size = I2C_SMBUS_BYTE;
            rc = m_os.ioctl(m_fd, I2C_SMBUS, &args);
        } else {
            rc = m_os.write(m_fd, &b, 1);
            if (rc == 0) rc = -EIO;
        }
        if (rc < 0) return errnoOf(rc);
        m_answered = true;
        return 0;
    }

    Description describe() const override {
        return {BackendId::Pcf8574, m_device.path, hexByte(m_device.i2cAddress)};
    }

    Hint failureHint(int err) const noexcept override {
        // Once the backpack has answered, a failure is the bus's, not a wrong address.
        if (m_answered || (err != ENXIO && err != EREMOTEIO && err != EIO)) return Hint::None;
        return Hint::I2cNoAnswer;
    }

private:
    int m_fd;
    PortDevice m_device;
    bool m_smbus;
    Os& m_os;
    bool m_answered = false;
};

// "/dev/i2c-1@0x27": an I2C bus, or an address after '@' (hex, or a single field: a
// mistyped address rather than GPIO lines).
bool claims(const DeviceText& text) {
    if (baseName(text.path).rfind("i2c-", 0) == 0) return true;
    if (!text.hasOptions) return false;
    const std::string first = text.options.substr(0, text.options.find(','));
    return first.rfind("0x", 0) == 0 || first.rfind("0X", 0) == 0 ||
           text.options.find(',') == std::string::npos;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    Error e;
    if (!text.hasOptions) {
        e.what = Problem::I2cAddressMissing;
        return e;
    }
    // A 7-bit address outside the reserved ones: 0x03-0x77.
    long a = -1;
    if (!parseHexByte(text.options, a) || a < 0x03 || a > 0x77) {
        e.what = Problem::BadI2cAddress;
        e.detail = text.options;
        return e;
    }
    device.i2cAddress = static_cast<std::uint8_t>(a);
    return std::nullopt;
}

// i2c-dev's major is 89.
std::optional<Error> check(const PortDevice& device, Os& os) {
    const Hint missing = os.stat(device.path).error == ENOENT ? Hint::LoadI2cDev : Hint::None;
    return checkDevice(device, os, {"i2c", 89, Problem::NotI2cDevice, missing});
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    Error e;
    e.device = device.path;
    const int fd = os.open(device.path, OpenFor::Device);
    if (fd < 0) {
        e.what = Problem::OpenFailed;
        e.err = -fd;
        e.hint = e.err == ENOENT                     ? Hint::LoadI2cDev
                 : e.err == EACCES || e.err == EPERM ? Hint::JoinGroupI2c
                                                     : Hint::None;
        return {nullptr, e, {}};
    }
    unsigned long funcs = 0;
    const bool smbus = os.ioctl(fd, I2C_FUNCS, &funcs) >= 0 && (funcs & I2C_FUNC_SMBUS_WRITE_BYTE);
    if (const int rc = os.ioctl(
            fd, I2C_SLAVE, reinterpret_cast<void*>(static_cast<unsigned long>(device.i2cAddress)));
        rc < 0) {
        os.close(fd);
        e.what = Problem::I2cAddressRefused;
        e.detail = hexByte(device.i2cAddress);
        e.err = -rc;
        e.hint = e.err == EBUSY ? Hint::I2cAddressBusy : Hint::None;
        return {nullptr, e, {}};
    }
    return {std::make_unique<I2cBackend>(fd, device, smbus, os), {}, {}};
}

}  // namespace

// Never chosen by auto: writing to an unknown I2C device could upset it.
const BackendRow kPcf8574{BackendId::Pcf8574, nullptr, false, false, claims, parse, check,
                          openNamed,          nullptr};

}  // namespace port::linux_backends
