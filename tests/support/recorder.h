// Recording fakes of the port-output seams, for tests: every Out32 and Sleep, in order,
// with its time, optionally passed on to a real layer or display.
#pragma once

#include <cstdint>
#include <vector>

#include "port/clock.h"
#include "port/port_writer.h"

namespace port::testing {

struct Event {
    enum class Kind : std::uint8_t { Write, Sleep };
    Kind kind;
    std::int16_t port;   // Write only
    std::int16_t value;  // Write: the value as given; Sleep: unused
    std::uint32_t ms;    // Sleep only
    std::int64_t atNs;
};

class Recorder final : public PortWriter, public Sleeper {
public:
    // Times come from clock; Sleep goes on to sleeper and writes to next, where given.
    Recorder(const Clock& clock, Sleeper& sleeper, PortWriter* next = nullptr) noexcept
        : m_clock(clock), m_sleeper(sleeper), m_next(next) {}

    // Each write takes this long on simulated time, as a real port write does (about 1 us
    // on the ISA bus): without it, a set-up write and the E edge after it would land in the
    // same nanosecond and break the datasheet's set-up times.
    void chargePerWrite(SimulatedClock& clock, std::int64_t ns) noexcept {
        m_charged = &clock;
        m_chargeNs = ns;
    }

    void Out32(std::int16_t port, std::int16_t value) noexcept override {
        if (m_charged) m_charged->advance(m_chargeNs);
        m_events.push_back({Event::Kind::Write, port, value, 0, m_clock.nowNs()});
        if (m_next) m_next->Out32(port, value);
    }
    std::int16_t Inp32(std::int16_t port) noexcept override {
        if (m_next) return m_next->Inp32(port);
        for (auto it = m_events.rbegin(); it != m_events.rend(); ++it)
            if (it->kind == Event::Kind::Write && it->port == port)
                return static_cast<std::int16_t>(it->value & 0xFF);
        return 0;
    }
    void Sleep(std::uint32_t milliseconds) noexcept override {
        m_events.push_back({Event::Kind::Sleep, 0, 0, milliseconds, m_clock.nowNs()});
        m_sleeper.Sleep(milliseconds);
    }

    const std::vector<Event>& events() const noexcept { return m_events; }
    void clear() noexcept { m_events.clear(); }

    // The low bytes written, in order, to one port (all ports when port is 0).
    std::vector<std::uint8_t> bytes(std::int16_t port = 0) const {
        std::vector<std::uint8_t> out;
        for (const Event& e : m_events)
            if (e.kind == Event::Kind::Write && (port == 0 || e.port == port))
                out.push_back(static_cast<std::uint8_t>(e.value & 0xFF));
        return out;
    }
    std::vector<std::uint32_t> sleeps() const {
        std::vector<std::uint32_t> out;
        for (const Event& e : m_events)
            if (e.kind == Event::Kind::Sleep) out.push_back(e.ms);
        return out;
    }

private:
    const Clock& m_clock;
    Sleeper& m_sleeper;
    PortWriter* m_next;
    SimulatedClock* m_charged = nullptr;
    std::int64_t m_chargeNs = 0;
    std::vector<Event> m_events;
};

}  // namespace port::testing
