#include "port/fatal.h"

#include <cstdio>

namespace port {

void Fatal::fail(const std::string& message) noexcept {
    if (m_failed) return;
    m_failed = true;
    try {
        for (auto& halt : m_halts) halt();
        if (m_flush) {
            auto flush = std::move(m_flush);
            m_flush = nullptr;
            flush();
        }
        if (m_sink) m_sink(message);
    } catch (...) {
        // Telling failed (no memory, a broken window): the message still goes out.
        std::fprintf(stderr, "velmorin : %s\n", message.c_str());
    }
}

}  // namespace port
