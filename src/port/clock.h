// Time as the driver sees it: a monotonic clock with a busy-wait, and Sleep.
//
// The enable pulse is timed by spinning, the instruction gaps by sleeping. Both go through
// these interfaces so that tests can run on simulated time and never wait for real.
#pragma once

#include <cstdint>

#include "port/os.h"

namespace port {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in nanoseconds; only differences mean anything.
    virtual std::int64_t nowNs() const noexcept = 0;
    // Busy-waits for at least ns nanoseconds without yielding the processor.
    virtual void spinFor(std::int64_t ns) noexcept = 0;
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Suspends the calling thread for at least the given number of milliseconds.
    virtual void Sleep(std::uint32_t milliseconds) noexcept = 0;
};

// The system's monotonic clock, a spin on it, and its sleep.
class SteadyClock final : public Clock, public Sleeper {
public:
    explicit SteadyClock(Os& os = systemOs()) noexcept : m_os(os) {}
    std::int64_t nowNs() const noexcept override { return m_os.time.nowNs(); }
    void spinFor(std::int64_t ns) noexcept override {
        const std::int64_t deadline = nowNs() + ns;
        while (nowNs() < deadline) {
            // Deliberately empty: a pulse must not give the processor away.
        }
    }
    void Sleep(std::uint32_t milliseconds) noexcept override { m_os.time.sleepMs(milliseconds); }

private:
    Os& m_os;
};

// Simulated time: spinning and sleeping advance it at once, so tests see exact,
// repeatable timings and never wait.
class SimulatedClock final : public Clock, public Sleeper {
public:
    explicit SimulatedClock(std::int64_t startNs = 1'000'000'000) noexcept : m_nowNs(startNs) {}
    std::int64_t nowNs() const noexcept override { return m_nowNs; }
    void spinFor(std::int64_t ns) noexcept override { m_nowNs += ns > 0 ? ns : 0; }
    void Sleep(std::uint32_t milliseconds) noexcept override {
        m_nowNs += static_cast<std::int64_t>(milliseconds) * 1'000'000;
    }
    void advance(std::int64_t ns) noexcept { spinFor(ns); }

private:
    std::int64_t m_nowNs;
};

}  // namespace port
