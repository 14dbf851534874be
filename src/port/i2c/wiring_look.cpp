#include "port/i2c/wiring_look.h"

#include <array>
#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "port/i2c/backends.h"

namespace port::i2c {
namespace {

using hd44780::Line;

// MCP23008 registers (datasheet DS21919): IODIR 1 = input; IPOL; IOCON.SEQOP keeps the
// address pointer on one register; GPPU 1 = a 100 kOhm pull-up on an input; GPIO reads
// the pins; OLAT is what an output drives.
constexpr std::uint8_t kIodir = 0x00, kIocon = 0x05, kGppu = 0x06, kGpio = 0x09, kOlat = 0x0A;
constexpr std::uint8_t kSeqop = 1u << 5;

// Every transaction counted, for what the look costs.
class Counted final : public I2cBus {
public:
    Counted(I2cBus& bus, std::uint8_t address, LookResult& r) noexcept
        : m_bus(bus), m_address(address), m_r(r) {}
    int write(std::span<const std::uint8_t> bytes) noexcept { return write(m_address, bytes); }
    int read(std::uint8_t& byte) noexcept {
        return read(m_address, std::span<std::uint8_t>(&byte, 1));
    }
    std::uint8_t address() const noexcept { return m_address; }

    int claim(std::uint8_t a) noexcept override { return m_bus.claim(a); }
    int write(std::uint8_t a, std::span<const std::uint8_t> bytes) noexcept override {
        ++m_r.writes;
        m_r.bytes += bytes.size();
        return m_bus.write(a, bytes);
    }
    int read(std::uint8_t a, std::span<std::uint8_t> bytes) noexcept override {
        ++m_r.reads;
        m_r.bytes += bytes.size();
        return m_bus.read(a, bytes);
    }
    int probe(std::uint8_t a) noexcept override { return m_bus.probe(a); }
    std::size_t maxWrite() const noexcept override { return m_bus.maxWrite(); }
    void setTimeoutMs(int ms) noexcept override { m_bus.setTimeoutMs(ms); }

private:
    I2cBus& m_bus;
    std::uint8_t m_address;
    LookResult& m_r;
};

// The expander's eight pins driven as a PCF8574's are: a 0 driven low, a 1 let high. An
// MCP23008 is made to do the same: its outputs drive 0 (OLAT), and a pin "written 1" is
// an input with its pull-up (IODIR, GPPU). The writes between two reads go as few
// transactions as the bus takes: the bytes follow one another as separate writes would.
class QuasiPins {
public:
    QuasiPins(Counted& bus, bool mcp) noexcept
        : m_bus(bus),
          m_mcp(mcp),
          m_batch(bus, bus.address(), mcp ? std::optional<std::uint8_t>(kIodir) : std::nullopt) {}
    void set(std::uint8_t pins) noexcept {
        m_written = pins;
        if (const int err = m_batch.put(pins); err != 0 && m_err == 0) m_err = err;
    }
    int flush() noexcept {
        const int err = m_batch.flush();
        return m_err != 0 ? std::exchange(m_err, 0) : err;
    }
    // The pins' levels; a pin written 0 that reads 1 is no expander's: `odd` is set.
    int get(std::uint8_t& levels) noexcept {
        if (const int err = flush(); err != 0) return err;
        if (m_mcp) {
            const std::uint8_t gpio[] = {kGpio};
            if (const int err = m_bus.write(gpio); err != 0) return err;
        }
        if (const int err = m_bus.read(levels); err != 0) return err;
        if (levels & ~m_written) odd = true;
        return 0;
    }
    bool odd = false;

private:
    Counted& m_bus;
    bool m_mcp;
    Batch m_batch;
    std::uint8_t m_written = 0;
    int m_err = 0;
};

// A trial wiring: the data nibble's pins, E and R/W; the two other pins are RS and the
// backlight in either order, both held low until the order is tried.
struct Trial {
    std::array<std::uint8_t, 4> d;
    std::uint8_t e, rw;
    std::array<std::uint8_t, 2> others;  // RS first where a preset says so
};

std::uint8_t bit(std::uint8_t pin) noexcept {
    return static_cast<std::uint8_t>(1u << pin);
}

// The controller behind the pins, through one trial wiring.
class Module {
public:
    Module(QuasiPins& pins, Time& time, const Trial& t) noexcept
        : m_pins(pins), m_time(time), m_t(t) {}

    // A nibble written: RS and data with E low, E high, E low (datasheet: tAS 40 ns before
    // E rises, PWEH 230 ns; one byte on the bus is 90 us).
    void nibble(std::uint8_t n, std::int8_t rs = -1) {
        std::uint8_t b = rs >= 0 ? bit(static_cast<std::uint8_t>(rs)) : 0;
        for (std::size_t i = 0; i < 4; ++i)
            if (n >> i & 1) b |= bit(m_t.d[i]);
        m_pins.set(b);
        m_pins.set(static_cast<std::uint8_t>(b | bit(m_t.e)));
        m_pins.set(b);
    }
    void byte(std::uint8_t v, std::int8_t rs = -1) {
        nibble(static_cast<std::uint8_t>(v >> 4), rs);
        nibble(v & 0x0F, rs);
    }
    // Initialisation by instruction, from whatever state the module is in: 0011 three
    // times (datasheet: > 4.1 ms after the first, > 100 us after the second), then 0010.
    int wake() {
        for (int i = 0; i < 3; ++i) {
            nibble(0x3);
            if (const int err = m_pins.flush(); err != 0) return err;
            m_time.sleepMs(i == 0 ? 5 : 1);
        }
        nibble(0x2);
        byte(0x28);  // 4 bits, two lines
        return 0;
    }
    // A byte read, high nibble first: the busy flag and address counter, or data (RS high).
    // A high nibble that is not `expect`'s ends it early: nothing drives the pins.
    int read(std::uint8_t& v, std::int8_t rs, bool& ok, int expect = -1) {
        const std::uint8_t idle = static_cast<std::uint8_t>(
            bit(m_t.rw) | (rs >= 0 ? bit(static_cast<std::uint8_t>(rs)) : 0) | dataPins());
        v = 0;
        ok = true;
        for (int half = 0; half < 2; ++half) {
            m_pins.set(idle);
            m_pins.set(static_cast<std::uint8_t>(idle | bit(m_t.e)));
            std::uint8_t levels = 0;
            if (const int err = m_pins.get(levels); err != 0) return err;
            m_pins.set(idle);
            std::uint8_t n = 0;
            for (std::size_t i = 0; i < 4; ++i)
                if (levels & bit(m_t.d[i])) n |= static_cast<std::uint8_t>(1u << i);
            v = static_cast<std::uint8_t>(v << 4 | n);
            if (half == 0 && expect >= 0 && n != (expect >> 4)) {
                ok = false;
                m_pins.set(idle);  // the second half, unread, keeps the nibbles in step
                m_pins.set(static_cast<std::uint8_t>(idle | bit(m_t.e)));
                m_pins.set(idle);
                break;
            }
        }
        m_pins.set(0);  // R/W low again: the module's pins are inputs
        return 0;
    }
    // Set DDRAM address a, then read the address counter back: 0, a, and nothing busy.
    int counterReads(std::uint8_t a, bool& ok) {
        byte(static_cast<std::uint8_t>(0x80 | a));
        std::uint8_t v = 0;
        if (const int err = read(v, -1, ok, a); err != 0) return err;
        ok = ok && v == a;
        return 0;
    }

private:
    std::uint8_t dataPins() const noexcept {
        std::uint8_t b = 0;
        for (std::uint8_t p : m_t.d) b |= bit(p);
        return b;
    }
    QuasiPins& m_pins;
    Time& m_time;
    const Trial& m_t;
};

// The trials: each preset's pins first, then every other way of putting the data nibble
// on one half of the expander and E and R/W on the other's.
std::vector<Trial> trials(const Chip& chip) {
    std::vector<Trial> all;
    const auto add = [&](const Trial& t) {
        for (const Trial& o : all)
            if (o.d == t.d && o.e == t.e && o.rw == t.rw) return;
        all.push_back(t);
    };
    for (const Preset& p : chip.presets) {
        const Wiring w = presetWiring(p);
        const auto pin = [&](Line l) { return w.pin[static_cast<std::size_t>(l)]; };
        if (pin(Line::RW) == Wiring::kNone || pin(Line::Backlight) == Wiring::kNone) continue;
        Trial t{};
        for (std::size_t i = 0; i < 4; ++i)
            t.d[i] = static_cast<std::uint8_t>(
                pin(static_cast<Line>(static_cast<int>(Line::DB4) + static_cast<int>(i))));
        t.e = static_cast<std::uint8_t>(pin(Line::E));
        t.rw = static_cast<std::uint8_t>(pin(Line::RW));
        t.others = {static_cast<std::uint8_t>(pin(Line::RS)),
                    static_cast<std::uint8_t>(pin(Line::Backlight))};
        add(t);
    }
    for (const std::uint8_t data : {std::uint8_t{4}, std::uint8_t{0}}) {
        const std::uint8_t control = static_cast<std::uint8_t>(4 - data);
        for (std::uint8_t e = 0; e < 4; ++e)
            for (std::uint8_t rw = 0; rw < 4; ++rw) {
                if (rw == e) continue;
                Trial t{{data, static_cast<std::uint8_t>(data + 1),
                         static_cast<std::uint8_t>(data + 2), static_cast<std::uint8_t>(data + 3)},
                        static_cast<std::uint8_t>(control + e),
                        static_cast<std::uint8_t>(control + rw),
                        {}};
                std::size_t k = 0;
                for (std::uint8_t o = 0; o < 4; ++o)
                    if (o != e && o != rw) t.others[k++] = static_cast<std::uint8_t>(control + o);
                add(t);
            }
    }
    return all;
}

// The wiring as a device text names it: a preset where pins and polarity are one's, else
// map= (on when high unless bl-low).
std::string wiringOptions(const Chip& chip, const Wiring& w) {
    std::string map;
    for (Line l : kMapOrder) {
        const std::int8_t p = w.pin[static_cast<std::size_t>(l)];
        map += p == Wiring::kNone ? '-' : static_cast<char>('0' + p);
    }
    for (const Preset& p : chip.presets)
        if (map == p.map && w.backlightActiveLow == p.backlightActiveLow) return p.name;
    return "map=" + map + (w.backlightActiveLow ? ",bl-low" : "");
}

// The chip, from its answers to two one-byte writes. A PCF8574 reads back its port: all
// low after 0x00, P0 let high after 0x01. An MCP23008 takes a lone byte as its register
// pointer and answers with that register: IODIR (0xFF from reset, 0x00 once set up), then
// IPOL (0x00).
int tellChip(Counted& bus, const Chip*& chip) {
    std::uint8_t first = 0, second = 0;
    const std::uint8_t zero[] = {0x00}, one[] = {0x01};
    if (int err = bus.write(zero); err != 0 || (err = bus.read(first)) != 0) return err;
    if (int err = bus.write(one); err != 0 || (err = bus.read(second)) != 0) return err;
    if (first == 0x00 && (second & 0x01))
        chip = &kPcf8574Chip;
    else if (first == 0xFF || (first == 0x00 && second == 0x00))
        chip = &kMcp23008Chip;
    else
        chip = nullptr;
    return 0;
}

}  // namespace

LookResult lookAtBackpack(I2cBus& i2c, std::uint8_t address, Time& time) noexcept {
    LookResult r;
    try {
        Counted bus(i2c, address, r);
        const Chip* chip = nullptr;
        if ((r.err = tellChip(bus, chip)) != 0) return r;
        if (!chip) {
            r.look = Look::NotBackpack;
            return r;
        }
        r.chip = chip;
        const bool mcp = chip == &kMcp23008Chip;
        if (mcp) {
            // Byte mode, the pull-ups on, every output driving 0; IODIR then shapes the pins.
            for (const std::array<std::uint8_t, 2>& w :
                 {std::array<std::uint8_t, 2>{kIocon, kSeqop}, {kGppu, 0xFF}, {kOlat, 0x00}})
                if ((r.err = bus.write(w)) != 0) return r;
        }
        QuasiPins pins(bus, mcp);
        std::optional<Trial> found;
        std::int8_t rs = -1;
        for (const Trial& t : trials(*chip)) {
            Module m(pins, time, t);
            bool ok = false;
            if ((r.err = m.wake()) != 0 || (r.err = m.counterReads(0x05, ok)) != 0) return r;
            if (pins.odd) break;
            if (!ok) continue;
            if ((r.err = m.counterReads(0x0A, ok)) != 0) return r;
            if (!ok) continue;
            // RS is whichever other pin makes a data write and read of 'V' at 0x00 come
            // back; with the backlight's instead, the write is an instruction (a CGRAM
            // address) and the read the address counter.
            for (std::uint8_t candidate : t.others) {
                const auto asRs = static_cast<std::int8_t>(candidate);
                m.byte(0x80);
                m.byte('V', asRs);
                m.byte(0x80);
                std::uint8_t v = 0;
                if ((r.err = m.read(v, asRs, ok)) != 0) return r;
                if (ok && v == 'V') {
                    rs = asRs;
                    break;
                }
            }
            if (rs >= 0) {
                found = t;
                break;
            }
        }
        Wiring w = presetWiring(chip->presets[0]);
        std::int8_t backlight = w.pin[static_cast<std::size_t>(Line::Backlight)];
        if (found && !pins.odd) {
            w.pin[static_cast<std::size_t>(Line::RS)] = rs;
            w.pin[static_cast<std::size_t>(Line::E)] = static_cast<std::int8_t>(found->e);
            w.pin[static_cast<std::size_t>(Line::RW)] = static_cast<std::int8_t>(found->rw);
            for (std::size_t i = 0; i < 4; ++i)
                w.pin[static_cast<std::size_t>(Line::DB4) + i] =
                    static_cast<std::int8_t>(found->d[i]);
            backlight = static_cast<std::int8_t>(found->others[0] == rs ? found->others[1]
                                                                        : found->others[0]);
            w.pin[static_cast<std::size_t>(Line::Backlight)] = backlight;
        }
        // The backlight's pin alone let high: an NPN's base holds it low.
        if (backlight != Wiring::kNone && !pins.odd) {
            pins.set(bit(static_cast<std::uint8_t>(backlight)));
            std::uint8_t levels = 0;
            if ((r.err = pins.get(levels)) != 0) return r;
            const bool low = !(levels & bit(static_cast<std::uint8_t>(backlight)));
            // Read back, either answer is the transistor's; otherwise only the clamp tells.
            r.polarityKnown = found || low;
            if (r.polarityKnown) w.backlightActiveLow = !low;
        }
        if (pins.odd) {
            r.look = Look::NotBackpack;
            return r;
        }
        if (mcp) {
            const std::uint8_t pullUpsOff[] = {kGppu, 0x00};
            if ((r.err = bus.write(pullUpsOff)) != 0) return r;
        }
        r.look = found ? Look::ReadBack : Look::Fallback;
        const std::string options = wiringOptions(*chip, w);
        // The panel's name for it puts a space after the comma: "map=65470123, bl-low".
        w.name = options;
        if (const std::size_t comma = w.name.find(','); comma != std::string::npos)
            w.name.insert(comma + 1, " ");
        r.options = !mcp ? options : chip->name + (options.empty() ? "" : "," + options);
        r.wiring = w;
    } catch (...) {
        r.err = ENOMEM;  // a trial list that could not be made
    }
    return r;
}

}  // namespace port::i2c
