// An HD44780 module behind a PCF8574/PCF8574A "backpack" on a Linux I2C bus (i2c-dev).
//
// The expander is a byte-wide output port, like the parallel port's data register: each
// Out32 becomes exactly one byte on the bus, re-mapped through the backpack's wiring. At
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
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <cerrno>
#include <cstring>

#include "port/cable.h"
#include "port/hardware.h"

namespace port {
namespace {

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

class I2cBackend final : public PortBackend {
public:
    I2cBackend(int fd, const PortDevice& device, bool smbus, const SysApi& sys)
        : m_fd(fd), m_device(device), m_smbus(smbus), m_sys(sys) {}
    ~I2cBackend() override { m_sys.close(m_fd); }

    int write(std::uint8_t value) noexcept override {
        const std::uint8_t b = kBackpackCable.byte(kParallelCable.pins(value));
        int rc = 0;
        if (m_smbus) {
            i2c_smbus_ioctl_data args{};
            args.read_write = I2C_SMBUS_WRITE;
            args.command = b;  // "send byte": the byte travels as the command
            args.size = I2C_SMBUS_BYTE;
            rc = m_sys.ioctl(m_fd, I2C_SMBUS, &args);
        } else {
            rc = m_sys.write(m_fd, &b, 1) == 1 ? 0 : -1;
        }
        if (rc != 0) return lastError();
        m_answered = true;
        return 0;
    }

    std::string description() const override {
        return m_device.path + " @ " + hexByte(m_device.i2cAddress) + " (PCF8574)";
    }

    std::string explain(int err) const override {
        if (m_answered || (err != ENXIO && err != EREMOTEIO && err != EIO)) return {};
        return " ; rien ne répond à l'adresse " + hexByte(m_device.i2cAddress) + " sur " +
               m_device.path +
               " : les backpacks sont d'ordinaire à 0x27 (PCF8574, 0x20-0x27) ou 0x3f "
               "(PCF8574A, 0x38-0x3f) ; i2cdetect -y " +
               m_device.path.substr(m_device.path.find_last_of('-') + 1) + " liste ce qui répond";
    }

private:
    int m_fd;
    PortDevice m_device;
    bool m_smbus;
    SysApi m_sys;
    bool m_answered = false;
};

}  // namespace

OpenResult openI2c(const PortDevice& device, const SysApi& sys) {
    const std::string where = device.path + " @ " + hexByte(device.i2cAddress);
    const int fd = sys.open(device.path, O_RDWR);
    if (fd < 0) {
        const int err = errno;
        std::string m = "impossible d'ouvrir " + device.path + " : " + std::strerror(err);
        if (err == ENOENT)
            m += kI2cDevMissingRemedy;
        else if (err == EACCES || err == EPERM)
            m += joinGroupRemedy("i2c");
        return {nullptr, m, {}};
    }
    unsigned long funcs = 0;
    const bool smbus = sys.ioctl(fd, I2C_FUNCS, &funcs) == 0 && (funcs & I2C_FUNC_SMBUS_WRITE_BYTE);
    if (sys.ioctl(fd, I2C_SLAVE,
                  reinterpret_cast<void*>(static_cast<unsigned long>(device.i2cAddress))) != 0) {
        const int err = errno;
        sys.close(fd);
        std::string m = "impossible de choisir l'adresse " + where + " : " + std::strerror(err);
        if (err == EBUSY) m += " ; un pilote du noyau utilise déjà cette adresse";
        return {nullptr, m, {}};
    }
    return {std::make_unique<I2cBackend>(fd, device, smbus, sys), {}, {}};
}

}  // namespace port
