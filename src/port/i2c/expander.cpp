#include "port/i2c/expander.h"

#include "port/i2c/bridge_bus.h"
#include "port/i2c/wiring_look.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "port/parse.h"

namespace port::i2c {
namespace {

using hd44780::Line;

constexpr std::size_t at(Line line) noexcept {
    return static_cast<std::size_t>(line);
}

// A map's fault, as the expander's problem.
std::optional<Error> parseMap(const std::string& map, const std::string& option, Wiring& wiring) {
    const std::optional<MapProblem> p = port::parseMap(map, wiring);
    if (!p) return std::nullopt;
    return backendProblem(*p == MapProblem::Length ? Problem::PinMapLength
                          : *p == MapProblem::Pin  ? Problem::PinMapPin
                                                   : Problem::PinMapTwice,
                          option);
}

// The chip's named presets, "lcm1602, mjkdz, lcdxio".
std::string presetNames(const Chip& chip) {
    std::string list;
    for (const Preset& p : chip.presets)
        if (*p.name) list += (list.empty() ? "" : ", ") + std::string(p.name);
    return list;
}

const BusKind* kindOf(const std::string& path) noexcept {
    const auto kinds = busKinds();
    for (const BusKind& k : kinds)
        if (k.names(path)) return &k;
    return kinds.empty() ? nullptr : &kinds.front();
}

// The chip the options name, if any.
const char* chipNamed(const DeviceText& text) {
    const auto options = split(lower(text.options), ',');
    for (std::size_t i = 1; i < options.size(); ++i)
        for (const char* name : kChipNames)
            if (options[i] == name) return name;
    return nullptr;
}

// Until the expander has answered once, a transfer error means nothing is at the address
// (ETIMEDOUT: the kernel's hid-cp2112 reports a NACK so).
std::uint8_t failureHint(bool answered, int err) noexcept {
#ifdef EREMOTEIO
    if (err == EREMOTEIO) err = EIO;  // Linux's own word for it
#endif
    if (answered || (err != ENXIO && err != EIO && err != ETIMEDOUT)) return 0;
    return codeOf(Hint::NoAnswer);
}

// An expander at one address: the module's pins through the board's wiring, one byte a
// write, sent by a Batch.
class ExpanderBackend final : public PortBackend {
public:
    ExpanderBackend(const Chip& chip, const PortDevice& device, std::unique_ptr<I2cBus> bus,
                    std::uint8_t address, bool found, const Wiring& wiring, const LookResult& look)
        : m_chip(chip),
          m_path(device.path),
          m_wiring(wiring.name),
          m_bus(std::move(bus)),
          m_address(address),
          m_found(found),
          m_look(look),
          m_cable(cable(wiring)),
          m_batch(*m_bus, address, chip.dataRegister) {}

    int write(hd44780::Pins pins) noexcept override { return m_batch.put(m_cable.byte(pins)); }
    int flush() noexcept override { return m_batch.flush(); }
    Description description() const override {
        // A USB bridge by its name, with the node it is reached through.
        const auto* bridge = dynamic_cast<const BridgeBus*>(m_bus.get());
        Description d{
            m_chip.key, bridge ? bridge->bridgeName() : m_path, hexByte(m_address), m_wiring,
            m_found,    bridge ? bridge->route() : ""};
        if (m_look.look != Look::None) {
            d.look = static_cast<std::uint8_t>(m_look.look);
            d.polarityUnknown = !m_look.polarityKnown;
            d.lookedUp = d.detail + (m_look.options.empty() ? "" : "," + m_look.options);
        }
        return d;
    }
    std::uint8_t failureHint(int err) const noexcept override {
        return i2c::failureHint(m_answered || m_batch.answered(), err);
    }
    // The chip's set-up, before the first write: 0, or the errno.
    int setUp() noexcept {
        for (const RegisterWrite& w : m_chip.setUp) {
            const std::uint8_t bytes[] = {w.reg, w.value};
            if (const int err = m_bus->write(m_address, bytes); err != 0) return err;
            m_answered = true;
        }
        return 0;
    }

private:
    const Chip& m_chip;
    std::string m_path;
    std::string m_wiring;
    std::unique_ptr<I2cBus> m_bus;
    std::uint8_t m_address;
    bool m_found;
    LookResult m_look;
    Cable m_cable;
    Batch m_batch;
    bool m_answered = false;  // by a set-up write
};

// @auto: the one address in the probe ranges that answers.
std::optional<Error> find(I2cBus& bus, const std::string& path, std::uint8_t& address) {
    std::vector<std::uint8_t> answered;
    for (const AddressRange& r : kProbeRanges)
        for (unsigned a = r.first; a <= r.last; ++a)
            if (bus.probe(static_cast<std::uint8_t>(a)) == 0)
                answered.push_back(static_cast<std::uint8_t>(a));
    if (answered.size() == 1) {
        address = answered[0];
        return std::nullopt;
    }
    Error e = backendProblem(answered.empty() ? Problem::NoneFound : Problem::ManyFound);
    e.device = path;
    for (std::uint8_t a : answered) e.detail += (e.detail.empty() ? "" : ", ") + hexByte(a);
    return e;
}

}  // namespace

Claim claims(const Chip& chip, const DeviceText& text) {
    const char* named = chipNamed(text);
    // The chip the options name, or the family's first where they name none.
    if (std::string_view(named ? named : kChipNames[0]) != chip.name) return Claim::No;
    for (const BusKind& k : busKinds())
        if (k.names(text.path)) return Claim::ByPath;
    if (!text.hasOptions) return Claim::No;
    // A hex address or "auto": an expander on a bus named by a path of another form.
    const std::string first = lower(text.options.substr(0, text.options.find(',')));
    return first.starts_with("0x") || first == "auto" ? Claim::ByOptions : Claim::No;
}

std::optional<Error> parse(const Chip& chip, const DeviceText& text, PortDevice& device) {
    if (!text.hasOptions) return backendProblem(Problem::AddressMissing);
    auto parsed = std::make_shared<Options>();
    const auto options = split(text.options, ',');
    if (lower(options[0]) == "auto") {
        parsed->findAddress = true;
    } else {
        long a = -1;
        if (!parseHexByte(options[0], a) || a < kAddresses.first || a > kAddresses.last)
            return backendProblem(Problem::BadAddress, options[0]);
        parsed->address = static_cast<std::uint8_t>(a);
    }
    Wiring& wiring = parsed->wiring;
    wiring = presetWiring(chip.presets[0]);
    bool named = false;
    std::optional<bool> activeLow;
    for (std::size_t i = 1; i < options.size(); ++i) {
        const std::string option = lower(options[i]);
        if (option == chip.name) continue;
        if (option == "bl-low" || option == "bl-high") {
            activeLow = option == "bl-low";
            continue;
        }
        if (option == "auto") {
            if (named) return backendProblem(Problem::TwoWirings, options[i]);
            named = parsed->findWiring = true;
            continue;
        }
        const Preset* preset = nullptr;
        for (const Preset& p : chip.presets)
            if (*p.name && option == p.name) preset = &p;
        if (!preset && !option.starts_with("map=")) {
            Error e = backendProblem(Problem::BadOption, options[i]);
            e.choices = presetNames(chip);
            return e;
        }
        if (named) return backendProblem(Problem::TwoWirings, options[i]);
        named = true;
        if (preset) {
            wiring = presetWiring(*preset);
        } else {
            if (auto e = parseMap(option.substr(4), option, wiring)) return e;
            wiring.backlightActiveLow = false;
            wiring.name = option;
        }
    }
    if (parsed->findAddress && !named) parsed->findWiring = true;
    parsed->backlightActiveLow = activeLow;
    if (activeLow) {
        wiring.backlightActiveLow = *activeLow;
        wiring.name +=
            std::string(wiring.name.empty() ? "" : ", ") + (*activeLow ? "bl-low" : "bl-high");
    }
    device.options = std::move(parsed);
    return std::nullopt;
}

std::optional<Error> check(const PortDevice& device, Os& os) {
    const BusKind* kind = kindOf(device.path);
    if (!kind) return problem(port::Problem::UnknownDevice);
    return kind->check(device.path, os);
}

OpenResult openNamed(const Chip& chip, const PortDevice& device, Os& os) {
    const BusKind* kind = kindOf(device.path);
    if (!kind) return {nullptr, problem(port::Problem::UnknownDevice), {}};
    std::optional<Error> error;
    std::unique_ptr<I2cBus> bus = kind->open(device.path, os, error);
    if (!bus) return {nullptr, error, {}};
    return openOn(chip, device, std::move(bus), os.time);
}

// A transfer that failed, as the panel names the expander.
Error writeFailed(const ExpanderBackend& backend, int err) {
    Error e = problem(port::Problem::WriteFailed);
    e.err = err;
    e.hint = backend.failureHint(err);
    e.description = backend.description();
    return e;
}

OpenResult openOn(const Chip& named, const PortDevice& device, std::unique_ptr<I2cBus> bus,
                  Time& time) {
    const Options& options = device.as<Options>();
    std::uint8_t address = options.address;
    if (options.findAddress)
        if (auto e = find(*bus, device.path, address)) return {nullptr, e, {}};
    if (const int err = bus->claim(address); err != 0) {
        Error e = backendProblem(Problem::AddressRefused, hexByte(address));
        e.device = device.path;
        e.err = err;
        e.hint = err == EBUSY ? codeOf(Hint::AddressBusy) : 0;
        return {nullptr, e, {}};
    }
    const Chip* chip = &named;
    Wiring wiring = options.wiring;
    LookResult look;
    // Nothing is written to an address that has not answered.
    const int silent = options.findWiring && !options.findAddress ? bus->probe(address) : 0;
    if (options.findWiring && silent == 0) {
        look = lookAtBackpack(*bus, address, time);
        if (look.look == Look::NotBackpack) {
            Error e = backendProblem(Problem::NotBackpack, hexByte(address));
            e.device = device.path;
            return {nullptr, e, {}};
        }
        if (look.chip) chip = look.chip;
        wiring = look.wiring;
        if (options.backlightActiveLow) {  // the user's word over the look's
            wiring.backlightActiveLow = *options.backlightActiveLow;
            look.polarityKnown = true;
        }
    }
    auto backend = std::make_unique<ExpanderBackend>(*chip, device, std::move(bus), address,
                                                     options.findAddress, wiring, look);
    if (silent != 0 || look.err != 0)
        return {nullptr, writeFailed(*backend, silent != 0 ? silent : look.err), {}};
    if (const int err = backend->setUp(); err != 0)
        return {nullptr, writeFailed(*backend, err), {}};
    return {std::move(backend), {}, {}};
}

Batch::Batch(I2cBus& bus, std::uint8_t address, std::optional<std::uint8_t> reg) noexcept
    : m_bus(bus),
      m_address(address),
      m_first(reg ? 1 : 0),
      // A register device needs its register and one value in every transaction, whatever
      // the bus says it packs: it sends those two as it can.
      m_capacity(std::min(kPage, std::max(bus.maxWrite(), m_first + 1))),
      m_count(m_first) {
    if (reg) m_bytes[0] = *reg;
}

int Batch::put(std::uint8_t byte) noexcept {
    m_bytes[m_count++] = byte;
    return m_count == m_capacity ? flush() : 0;
}

int Batch::flush() noexcept {
    if (m_count == m_first) return 0;
    const std::size_t n = m_count;
    m_count = m_first;
    int err = m_bus.write(m_address, std::span<const std::uint8_t>(m_bytes.data(), n));
    // Some adapters take less than they say (the kernel's hid-cp2112: 61 bytes, and no word
    // of it in I2C_FUNCS) and refuse a longer write before anything reaches the bus. Then
    // the same bytes go in halves, and smaller, until a size passes; it is kept.
    while ((err == EINVAL || err == EOPNOTSUPP) && n > m_first + 1 && m_capacity > m_first + 1) {
        // Half the values a transaction held, the register aside.
        m_capacity =
            m_first + std::max<std::size_t>(1, (std::min(m_capacity, n) - m_first + 1) / 2);
        err = sendInPieces(n);
    }
    if (err == 0) m_answered = true;
    return err;
}

int Batch::sendInPieces(std::size_t n) noexcept {
    // Each piece opens as the whole did (a register device's register), then takes the
    // next values.
    const std::size_t values = m_capacity - m_first;
    std::array<std::uint8_t, kPage> piece{};
    std::copy(m_bytes.begin(), m_bytes.begin() + static_cast<long>(m_first), piece.begin());
    for (std::size_t at = m_first; at < n; at += values) {
        const std::size_t take = std::min(values, n - at);
        std::copy(m_bytes.begin() + static_cast<long>(at),
                  m_bytes.begin() + static_cast<long>(at + take),
                  piece.begin() + static_cast<long>(m_first));
        if (const int err =
                m_bus.write(m_address, std::span<const std::uint8_t>(piece.data(), m_first + take));
            err != 0)
            return err;  // the first piece's refusal sent nothing: a smaller size is tried
    }
    return 0;
}

std::vector<Candidate> candidates(Os& os) {
    std::vector<Candidate> all;
    for (const BusKind& k : busKinds()) {
        std::vector<Candidate> some = k.list(os);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

}  // namespace port::i2c
