// The kernel's I2C buses through i2c-dev: /dev/i2c-N, whatever adapter is behind it (a
// Raspberry Pi's controller, a PC's SMBus, a USB bridge with a mainline driver).
//
// Linux facts:
//  - i2c-dev's character major is 89.
//  - Many PC adapters (PIIX4, ICH SMBus) are SMBus-only: a plain write() fails there with
//    EOPNOTSUPP, while SMBus transactions work. I2C_FUNCS tells which. So a transaction
//    goes out as
//     - one write() of the bytes, with I2C_FUNC_I2C (a Raspberry Pi, most USB adapters);
//     - else an I2C block write, whose command byte is the first byte, then at most 31 more
//       (I2C_FUNC_SMBUS_WRITE_I2C_BLOCK, the ICH family). The part takes 32 data bytes,
//       but some controllers time out there (QEMU's ICH9): 32 in all keeps clear of it. A
//       block holds at least one byte after its command (the controller pads an empty
//       one), so a lone byte goes as a send byte;
//     - else send byte for one byte, write byte data (command, value) for two.
//  - I2C_SLAVE refuses (EBUSY) an address a kernel driver has bound; I2C_SLAVE_FORCE would
//    override it, which is not ours to do.
//  - A device that does not acknowledge its address fails the transfer with ENXIO (most
//    adapters), EREMOTEIO or EIO.
//  - i2cdetect probes with an SMBus quick write, which no expander takes for data.
//  - A read is one I2C_RDWR message with I2C_M_RD where the adapter is a plain I2C one;
//    an SMBus-only adapter reads with receive byte, one byte a transaction (an expander
//    answers each with its port, so a read of n bytes is n receive bytes).
//  - I2C_TIMEOUT sets the adapter's timeout in units of 10 ms.
#include <linux/i2c.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "port/i2c/linux/i2c_dev_bus.h"

#include "port/i2c/bridge_bus.h"
#include "port/i2c/expander.h"
#include "port/i2c/usb_bridges.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parse.h"

namespace port::i2c {
namespace {

constexpr unsigned kI2cDevMajor = 89;
constexpr std::size_t kBlock = 32;

class I2cDevBus final : public I2cBus {
public:
    I2cDevBus(Os& os, int fd, unsigned long funcs) noexcept : m_os(os), m_fd(fd), m_funcs(funcs) {}
    ~I2cDevBus() override { m_os.files.close(m_fd); }

    int claim(std::uint8_t address) noexcept override {
        if (m_slave == address) return 0;
        const int rc = m_os.i2c->setAddress(m_fd, address);
        if (rc < 0) {
            m_slave = -1;
            return errnoOf(rc);
        }
        m_slave = address;
        return 0;
    }

    int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (const int err = claim(address); err != 0) return err;
        const std::size_t n = bytes.size();
        if (m_funcs & I2C_FUNC_I2C) return plainWrite(bytes);
        using Kind = SmbusTransfer::Kind;
        if (n == 1 && (m_funcs & (I2C_FUNC_SMBUS_WRITE_I2C_BLOCK | I2C_FUNC_SMBUS_WRITE_BYTE))) {
            SmbusTransfer t{Kind::Byte, false, bytes[0], 0, {}};
            return smbus(t);
        }
        if (m_funcs & I2C_FUNC_SMBUS_WRITE_I2C_BLOCK) {
            SmbusTransfer t{Kind::I2cBlock, false, bytes[0], 0, bytes.subspan(1)};
            return smbus(t);
        }
        if (n == 2 && (m_funcs & I2C_FUNC_SMBUS_WRITE_BYTE_DATA)) {
            SmbusTransfer t{Kind::ByteData, false, bytes[0], bytes[1], {}};
            return smbus(t);
        }
        // An adapter that offers none of these still gets a write(), as it always has.
        return plainWrite(bytes);
    }

    int probe(std::uint8_t address) noexcept override {
        if (claim(address) != 0) return EBUSY;  // a kernel driver has it: not ours to probe
        SmbusTransfer quick{SmbusTransfer::Kind::Quick, false, 0, 0, {}};
        return smbus(quick);
    }

    int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (m_funcs & I2C_FUNC_I2C) {
            const int rc = m_os.i2c->read(m_fd, address, bytes);
            return rc >= 0 ? 0 : errnoOf(rc);
        }
        if (!(m_funcs & I2C_FUNC_SMBUS_READ_BYTE)) return EOPNOTSUPP;
        if (const int err = claim(address); err != 0) return err;
        for (std::uint8_t& b : bytes) {
            SmbusTransfer t{SmbusTransfer::Kind::Byte, true, 0, 0, {}};
            if (const int err = smbus(t); err != 0) return err;
            b = t.byte;
        }
        return 0;
    }

    void setTimeoutMs(int milliseconds) noexcept override {
        const int tens = std::max(1, (milliseconds + 9) / 10);
        (void)m_os.i2c->setTimeout(m_fd, tens);
    }

    std::size_t maxWrite() const noexcept override {
        return m_funcs & I2C_FUNC_I2C                     ? Batch::kPage
               : m_funcs & I2C_FUNC_SMBUS_WRITE_I2C_BLOCK ? kBlock
                                                          : 1;
    }

private:
    int plainWrite(std::span<const std::uint8_t> bytes) noexcept {
        const long sent = m_os.files.write(m_fd, bytes.data(), bytes.size());
        return sent == static_cast<long>(bytes.size()) ? 0 : errnoOf(sent < 0 ? sent : -EIO);
    }
    int smbus(SmbusTransfer& t) noexcept {
        const int rc = m_os.i2c->smbus(m_fd, t);
        return rc >= 0 ? 0 : errnoOf(rc);
    }

    Os& m_os;
    int m_fd;
    unsigned long m_funcs;
    int m_slave = -1;
};

bool names(const std::string& path) {
    return baseName(path).starts_with("i2c-");
}

}  // namespace

std::optional<Error> checkI2cDev(const std::string& path, Os& os) {
    return linux_backends::checkDevice(path, os,
                                       {"i2c", kI2cDevMajor, codeOf(Problem::NotI2cDevice),
                                        codeOf(Hint::LoadI2cDev), codeOf(Hint::None)});
}

std::unique_ptr<I2cBus> openI2cDev(const std::string& path, Os& os, std::optional<Error>& error) {
    const int fd = os.files.open(path, OpenFor::Device);
    if (fd < 0) {
        const Hint hint = -fd == ENOENT                   ? Hint::LoadI2cDev
                          : -fd == EACCES || -fd == EPERM ? Hint::JoinGroupI2c
                                                          : Hint::None;
        error = linux_backends::openFailed(path, -fd, codeOf(hint));
        return nullptr;
    }
    unsigned long funcs = 0;
    if (os.i2c->functions(fd, funcs) < 0) funcs = 0;
    auto bus = std::make_unique<I2cDevBus>(os, fd, funcs);
    // A bus that is a USB bridge is named as one.
    for (const AttachedBridge& b : kernelBridges(os).adapters)
        if (b.node == path) return asBridge(std::move(bus), bridgeName(b), b.node);
    return bus;
}

namespace {

// The kernel's adapters with their names ("bcm2835 (i2c@7e804000)", "SMBus I801 adapter at
// f000"), but for the USB bridges', which the bridges' kind lists by the bridge's own name.
std::vector<Candidate> listI2cDev(Os& os) {
    constexpr const char* kAdapters = "/sys/bus/i2c/devices";
    std::vector<std::string> bridges;
    for (const AttachedBridge& b : kernelBridges(os).adapters) bridges.push_back(b.node);
    std::vector<std::string> adapters = os.texts.listDirectory(kAdapters);
    // i2c-2 before i2c-10.
    std::sort(adapters.begin(), adapters.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    std::vector<Candidate> list;
    for (const std::string& adapter : adapters) {
        const std::string node = "/dev/" + adapter;
        if (!adapter.starts_with("i2c-") ||
            std::find(bridges.begin(), bridges.end(), node) != bridges.end())
            continue;
        list.push_back({node, firstLine(os, std::string(kAdapters) + "/" + adapter + "/name")});
    }
    return list;
}

}  // namespace

const BusKind kI2cDevBus{names, checkI2cDev, openI2cDev, listI2cDev};

}  // namespace port::i2c
