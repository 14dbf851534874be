// Linux facts:
//  - Many PC adapters (PIIX4, ICH SMBus) are SMBus-only: a plain write() fails there with
//    EOPNOTSUPP, while SMBus transactions work. I2C_FUNCS tells which.
//  - I2C_SLAVE refuses (EBUSY) an address a kernel driver has bound; I2C_SLAVE_FORCE would
//    override it, which is not ours to do.
//  - A device that does not acknowledge its address fails the transfer with ENXIO (most
//    adapters), EREMOTEIO or EIO.
//  - i2cdetect probes 0x20-0x27 and 0x38-0x3f (the PCF8574, PCF8574A and MCP23008 ranges)
//    with an SMBus quick write, which no expander takes for data.
#include "port/linux/i2c_expander.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parse.h"

namespace port::linux_backends::i2c {
namespace {

enum Pin : std::size_t { kRs, kRw, kE, kBacklight, kD4 };

// "map=65470123": the expander pins of RS, R/W, E, backlight, D4, D5, D6, D7.
std::optional<Error> parseMap(const std::string& option, Wiring& wiring) {
    const std::string map = option.substr(4);
    if (map.size() != wiring.pin.size()) return problem(Problem::PinMapLength, option);
    unsigned used = 0;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const char c = map[i];
        if (c == '-' && (i == kBacklight || i == kRw)) {  // not fitted, or tied low
            wiring.pin[i] = Wiring::kNone;
            continue;
        }
        if (c < '0' || c > '7') return problem(Problem::PinMapPin, option);
        const unsigned bit = 1u << (c - '0');
        if (used & bit) return problem(Problem::PinMapTwice, option);
        used |= bit;
        wiring.pin[i] = static_cast<std::int8_t>(c - '0');
    }
    wiring.backlightActiveLow = false;
    wiring.name = option;
    return std::nullopt;
}

std::string choices(std::string_view chip, std::span<const Preset> presets) {
    std::string list;
    for (const Preset& p : presets)
        if (*p.name) list += std::string(p.name) + ", ";
    return list +
           "map=RS,RW,E,BL,D4-D7 (huit broches, par exemple map=65470123), bl-low, bl-high, " +
           std::string(chip);
}

int setSlave(Os& os, int fd, std::uint8_t address) {
    return os.devices->ioctl(fd, I2C_SLAVE,
                             reinterpret_cast<void*>(static_cast<unsigned long>(address)));
}

int smbus(Os& os, int fd, std::uint8_t command, int size, i2c_smbus_data* data) noexcept {
    i2c_smbus_ioctl_data args{};
    args.read_write = I2C_SMBUS_WRITE;
    args.command = command;
    args.size = static_cast<std::uint32_t>(size);
    args.data = data;
    const int rc = os.devices->ioctl(fd, I2C_SMBUS, &args);
    return rc >= 0 ? 0 : errnoOf(rc);
}

}  // namespace

bool claims(const DeviceText& text) {
    if (baseName(text.path).rfind("i2c-", 0) == 0) return true;
    if (!text.hasOptions) return false;
    // A hex address, "auto", or a single field: a mistyped address rather than GPIO lines.
    const std::string first = lower(text.options.substr(0, text.options.find(',')));
    return first.rfind("0x", 0) == 0 || first == "auto" ||
           text.options.find(',') == std::string::npos;
}

bool namesChip(const DeviceText& text, std::string_view chip) {
    const auto options = split(lower(text.options), ',');
    for (std::size_t i = 1; i < options.size(); ++i)
        if (options[i] == chip) return true;
    return false;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device, std::string_view chip,
                           std::span<const Preset> presets) {
    if (!text.hasOptions) return problem(Problem::I2cAddressMissing);
    const auto options = split(text.options, ',');
    if (lower(options[0]) == "auto") {
        device.i2cFindAddress = true;
    } else {
        // A 7-bit address outside the reserved ones: 0x03-0x77.
        long a = -1;
        if (!parseHexByte(options[0], a) || a < 0x03 || a > 0x77)
            return problem(Problem::BadI2cAddress, options[0]);
        device.i2cAddress = static_cast<std::uint8_t>(a);
    }
    device.wiring = presets[0].wiring;
    bool named = false;
    std::optional<bool> activeLow;
    for (std::size_t i = 1; i < options.size(); ++i) {
        const std::string option = lower(options[i]);
        if (option == chip) continue;
        if (option == "bl-low" || option == "bl-high") {
            activeLow = option == "bl-low";
            continue;
        }
        const Preset* preset = nullptr;
        for (const Preset& p : presets)
            if (*p.name && option == p.name) preset = &p;
        if (!preset && option.rfind("map=", 0) != 0) {
            Error e = problem(Problem::BadI2cOption, options[i]);
            e.choices = choices(chip, presets);
            return e;
        }
        if (named) return problem(Problem::TwoWirings, options[i]);
        named = true;
        if (preset) {
            device.wiring = preset->wiring;
            device.wiring.name = preset->name;
        } else if (auto e = parseMap(option, device.wiring)) {
            return e;
        }
    }
    if (activeLow) {
        device.wiring.backlightActiveLow = *activeLow;
        device.wiring.name += std::string(device.wiring.name.empty() ? "" : ", ") +
                              (*activeLow ? "bl-low" : "bl-high");
    }
    return std::nullopt;
}

// i2c-dev's major is 89.
std::optional<Error> check(const PortDevice& device, Os& os) {
    return checkDevice(device, os,
                       {"i2c", 89, Problem::NotI2cDevice, Hint::LoadI2cDev, Hint::None});
}

std::optional<Error> open(const PortDevice& device, Os& os, Bus& bus) {
    const int fd = os.files.open(device.path, OpenFor::Device);
    if (fd < 0)
        return openFailed(device.path, -fd,
                          -fd == ENOENT                   ? Hint::LoadI2cDev
                          : -fd == EACCES || -fd == EPERM ? Hint::JoinGroupI2c
                                                          : Hint::None);
    Error e;
    e.device = device.path;
    if (os.devices->ioctl(fd, I2C_FUNCS, &bus.funcs) < 0) bus.funcs = 0;
    bus.address = device.i2cAddress;
    if (device.i2cFindAddress) {
        std::vector<std::uint8_t> answered;
        for (const auto& [from, to] : {std::pair{0x20, 0x27}, std::pair{0x38, 0x3F}}) {
            for (int a = from; a <= to; ++a) {
                if (setSlave(os, fd, static_cast<std::uint8_t>(a)) < 0)
                    continue;  // a kernel driver has it: not ours to probe
                if (smbus(os, fd, 0, I2C_SMBUS_QUICK, nullptr) == 0)
                    answered.push_back(static_cast<std::uint8_t>(a));
            }
        }
        if (answered.size() != 1) {
            os.files.close(fd);
            e.what = answered.empty() ? Problem::I2cNoneFound : Problem::I2cManyFound;
            for (std::uint8_t a : answered) e.detail += (e.detail.empty() ? "" : ", ") + hexByte(a);
            return e;
        }
        bus.address = answered[0];
        bus.found = true;
    }
    if (const int rc = setSlave(os, fd, bus.address); rc < 0) {
        os.files.close(fd);
        e.what = Problem::I2cAddressRefused;
        e.detail = hexByte(bus.address);
        e.err = -rc;
        e.hint = e.err == EBUSY ? Hint::I2cAddressBusy : Hint::None;
        return e;
    }
    bus.fd = fd;
    return std::nullopt;
}

Cable cable(const Wiring& w) {
    Cable c{};
    const Pin order[] = {kRs,
                         kE,
                         kD4,
                         static_cast<Pin>(kD4 + 1),
                         static_cast<Pin>(kD4 + 2),
                         static_cast<Pin>(kD4 + 3)};
    for (std::size_t i = 0; i < c.bit.size(); ++i)
        c.bit[i] = static_cast<std::uint8_t>(w.pin[order[i]]);
    // R/W is never set: the module is only written. The backlight is held on.
    if (w.pin[kBacklight] != Wiring::kNone && !w.backlightActiveLow)
        c.alwaysHigh = static_cast<std::uint8_t>(1u << w.pin[kBacklight]);
    return c;
}

int writeByteData(Os& os, int fd, std::uint8_t command, std::uint8_t value) noexcept {
    i2c_smbus_data data{};
    data.byte = value;
    return smbus(os, fd, command, I2C_SMBUS_BYTE_DATA, &data);
}

Batch::Batch(Os& os, const Bus& bus, std::optional<std::uint8_t> reg) noexcept
    : m_os(os), m_fd(bus.fd), m_register(reg.has_value()), m_count(reg ? 1 : 0) {
    const unsigned long single = reg ? I2C_FUNC_SMBUS_WRITE_BYTE_DATA : I2C_FUNC_SMBUS_WRITE_BYTE;
    if (bus.funcs & I2C_FUNC_I2C) {
        m_mode = Mode::Write;
        m_capacity = kPage;
    } else if (bus.funcs & I2C_FUNC_SMBUS_WRITE_I2C_BLOCK) {
        m_mode = Mode::Block;
        m_capacity = kBlock;
    } else {
        // An adapter that offers neither still gets its one write() a byte, as it always has.
        m_mode = bus.funcs & single ? Mode::Single : Mode::Write;
        m_capacity = m_count + 1;
    }
    if (reg) m_bytes[0] = *reg;
}

int Batch::put(std::uint8_t byte) noexcept {
    m_bytes[m_count++] = byte;
    return m_count == m_capacity ? flush() : 0;
}

int Batch::flush() noexcept {
    const std::size_t first = m_register ? 1 : 0;
    if (m_count == first) return 0;
    const std::size_t n = m_count;
    m_count = first;
    int err = 0;
    switch (m_mode) {
        case Mode::Write: {
            const long sent = m_os.files.write(m_fd, m_bytes.data(), n);
            err = sent == static_cast<long>(n) ? 0 : sent < 0 ? static_cast<int>(-sent) : EIO;
            break;
        }
        case Mode::Block: {
            // A block holds at least one byte after its command (the controller pads an empty
            // one): a lone port byte goes as a send byte.
            if (n == 1) {
                err = smbus(m_os, m_fd, m_bytes[0], I2C_SMBUS_BYTE, nullptr);
                break;
            }
            i2c_smbus_data data{};
            data.block[0] = static_cast<std::uint8_t>(n - 1);
            std::copy(m_bytes.begin() + 1, m_bytes.begin() + static_cast<long>(n), data.block + 1);
            err = smbus(m_os, m_fd, m_bytes[0], I2C_SMBUS_I2C_BLOCK_DATA, &data);
            break;
        }
        case Mode::Single:
            // Send byte: the byte travels as the command. Write byte data: register, value.
            err = m_register ? writeByteData(m_os, m_fd, m_bytes[0], m_bytes[1])
                             : smbus(m_os, m_fd, m_bytes[0], I2C_SMBUS_BYTE, nullptr);
            break;
    }
    if (err == 0) m_answered = true;
    return err;
}

ExpanderBackend::ExpanderBackend(BackendId chip, const PortDevice& device, const Bus& bus, Os& os,
                                 std::optional<std::uint8_t> reg)
    : m_chip(chip),
      m_device(device),
      m_bus(bus),
      m_cable(cable(device.wiring)),
      m_os(os),
      m_batch(os, bus, reg) {}

ExpanderBackend::~ExpanderBackend() {
    m_os.files.close(m_bus.fd);
}

int ExpanderBackend::write(hd44780::Pins pins) noexcept {
    return m_batch.put(m_cable.byte(pins));
}

int ExpanderBackend::flush() noexcept {
    return m_batch.flush();
}

Description ExpanderBackend::describe() const {
    return i2c::describe(m_chip, m_device, m_bus);
}

Hint ExpanderBackend::failureHint(int err) const noexcept {
    return i2c::failureHint(m_answered || m_batch.answered(), err);
}

int ExpanderBackend::setRegister(std::uint8_t reg, std::uint8_t value) noexcept {
    const int err = writeByteData(m_os, m_bus.fd, reg, value);
    if (err == 0) m_answered = true;
    return err;
}

Hint failureHint(bool answered, int err) noexcept {
    if (answered || (err != ENXIO && err != EREMOTEIO && err != EIO)) return Hint::None;
    return Hint::I2cNoAnswer;
}

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

Description describe(BackendId chip, const PortDevice& device, const Bus& bus) {
    Description d{chip, device.path, hexByte(bus.address), device.wiring.name, bus.found};
    return d;
}

}  // namespace port::linux_backends::i2c
