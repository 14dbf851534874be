#include "port/clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace port {

std::int64_t SteadyClock::nowNs() const noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void SteadyClock::spinFor(std::int64_t ns) noexcept {
    const std::int64_t deadline = nowNs() + ns;
    while (nowNs() < deadline) {
        // Deliberately empty: a pulse must not give the processor away.
    }
}

void SteadyClock::Sleep(std::uint32_t milliseconds) noexcept {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1'000'000L};
    // A signal must not shorten the pause the controller relies on.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
}

bool SteadyClock::reduceTimerSlack() noexcept {
    return prctl(PR_SET_TIMERSLACK, 1000UL) == 0;
}

}  // namespace port
