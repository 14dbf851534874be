#include "port/fatal.h"

namespace port {

void Fatal::fail(const Error& error) noexcept {
    if (m_failed) return;
    m_failed = true;
    // A halt or the flush that throws (no memory) must not keep the user from being told.
    try {
        for (auto& halt : m_halts) halt();
    } catch (...) {
    }
    try {
        if (m_flush) {
            auto flush = std::move(m_flush);
            m_flush = nullptr;
            flush();
        }
    } catch (...) {
    }
    try {
        if (m_sink) m_sink(error);
    } catch (...) {
        // The program's sink renders its own fallback; a test's that throws has failed.
    }
}

}  // namespace port
