// The program's one fatal path. An unusable port, a failed write, a failed trace write or a
// bad setting all end here: whoever can be halted is halted, the trace is flushed once, and
// the sink tells the user and ends the program. The handler exists before the port layer and
// the window, so nothing reaches it through a pointer that may not be set yet.
#pragma once

#include <functional>
#include <vector>

#include "port/errors.h"

namespace port {

class Fatal {
public:
    // Tells the user. The program's sink never returns; a test's may, and then the failed
    // part stays quiet from then on.
    using Sink = std::function<void(const Error& error)>;

    explicit Fatal(Sink sink) : m_sink(std::move(sink)) {}
    Fatal(const Fatal&) = delete;
    Fatal& operator=(const Fatal&) = delete;

    // Called first on failure, in registration order: stop timers and handlers.
    void onHalt(std::function<void()> halt) { m_halts.push_back(std::move(halt)); }
    // Called once, after the halts: save what must not be lost (the trace).
    void onFlush(std::function<void()> flush) { m_flush = std::move(flush); }

    // Only the first failure is told; one that happens while telling it is dropped.
    void fail(const Error& error) noexcept;
    bool failed() const noexcept { return m_failed; }

private:
    Sink m_sink;
    std::vector<std::function<void()>> m_halts;
    std::function<void()> m_flush;
    bool m_failed = false;
};

}  // namespace port
