// Value change dump (IEEE 1364) of every port write, for GTKWave or PulseView.
//
// One scope per port address (lpt_0x378 ...), each with the byte written (data), a write
// counter (so that a write of an unchanged value still shows) and one 1-bit wire per bus
// line: RS, E, D4-D7. Some viewers import 1-bit wires only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace port {

class VcdTrace {
public:
    // Writes the header for the given port addresses to an open file it takes over.
    // Times are nanoseconds since startNs.
    VcdTrace(std::FILE* file, const std::vector<std::int16_t>& ports, std::int64_t startNs,
             const std::string& version);
    ~VcdTrace();
    VcdTrace(const VcdTrace&) = delete;
    VcdTrace& operator=(const VcdTrace&) = delete;

    // Records one write; ports that were not declared are ignored.
    void record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept;
    void flush() noexcept;

    static std::string scopeName(std::int16_t port);

private:
    struct Signal {
        std::int16_t port;
        std::string ids[8];  // data, writes, RS, E, D4, D5, D6, D7
        int last = -1;       // unknown until the first write
        std::uint32_t writes = 0;
    };

    std::FILE* m_file;
    std::int64_t m_startNs;
    std::int64_t m_lastNs = -1;
    std::vector<Signal> m_signals;
};

}  // namespace port
