// Drives an emulated controller's bus directly with parallel-port bytes (through our
// cable), with datasheet-compliant timing unless a test asks otherwise.
#pragma once

#include <cstdint>

#include "hd44780/controller.h"
#include "port/cable.h"

namespace testsupport {

class BusFeeder {
public:
    explicit BusFeeder(hd44780::Controller& c, std::int64_t startNs = 100'000'000)
        : m_c(c), m_t(startNs) {}

    void write(std::uint8_t pins, std::int64_t thenWaitNs = 1'000) {
        m_c.busWrite(port::kParallelCable.pins(pins), m_t);
        m_t += thenWaitNs;
    }
    // One half-byte: set-up, E high 2.5 us, E low, 50 us.
    void nibble(bool rs, std::uint8_t n) {
        const auto v = static_cast<std::uint8_t>((n << 4) | (rs ? 1 : 0));
        write(v);
        write(static_cast<std::uint8_t>(v | 2), 2'500);
        write(v, 50'000);
    }
    // A whole byte in 4-bit mode, then long enough for a clear or home.
    void byte4(bool rs, std::uint8_t b) {
        nibble(rs, static_cast<std::uint8_t>(b >> 4));
        nibble(rs, static_cast<std::uint8_t>(b & 0x0F));
        if (!rs && b < 0x04) m_t += 2'000'000;
    }
    void cmd(std::uint8_t b) { byte4(false, b); }
    void data(std::uint8_t b) { byte4(true, b); }
    void text(const char* s) {
        while (*s) data(static_cast<std::uint8_t>(*s++));
    }
    // The usual 4-bit initialisation from any state, then 2 lines, display on, increment.
    void init4() {
        m_t += 20'000'000;
        for (std::uint8_t n : {3, 3, 3, 2}) {
            nibble(false, n);
            m_t += 5'000'000;
        }
        for (std::uint8_t b : {0x28, 0x0C, 0x06, 0x01}) cmd(b);
    }
    std::int64_t now() const { return m_t; }
    void wait(std::int64_t ns) { m_t += ns; }

private:
    hd44780::Controller& m_c;
    std::int64_t m_t;
};

}  // namespace testsupport
