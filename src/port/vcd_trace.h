// Value change dump (IEEE 1364) of every port write, for GTKWave or PulseView.
//
// One scope per port address (lpt_0x378 ...), each with the byte written (data), a write
// counter (so that a write of an unchanged value still shows) and one 1-bit wire per module
// line as the parallel cable carries it: RS, E, D4-D7. Some viewers import 1-bit wires only.
//
// The trace is buffered here, not by stdio, so that the file only ever ends on a whole
// write record: a program killed between flushes loses the records since the last flush,
// never half of one. Write errors are kept and reported by flush().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace port {

class VcdTrace {
public:
    // Takes over an open file descriptor and buffers the header for the given ports.
    // Times are nanoseconds since startNs.
    VcdTrace(int fd, const std::vector<std::int16_t>& ports, std::int64_t startNs,
             const std::string& version);
    ~VcdTrace();
    VcdTrace(const VcdTrace&) = delete;
    VcdTrace& operator=(const VcdTrace&) = delete;

    // Opens a trace file for writing: locked against a second writer, never blocking on a
    // FIFO without a reader, truncated only once the lock is held. Returns the descriptor,
    // or -1 with a sentence in error.
    static int openFile(const std::string& path, std::string& error);

    // Records one write; ports that were not declared are ignored. A full buffer is written
    // out at a record boundary.
    void record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept;
    // Writes out what is buffered. Returns 0, or the errno of the first failed write (which
    // sticks: a trace with a hole is not written to again).
    int flush() noexcept;

    static std::string scopeName(std::int16_t port);

private:
    struct Signal {
        std::int16_t port;
        std::string ids[8];  // data, writes, RS, E, D4, D5, D6, D7
        int last = -1;       // unknown until the first write
        std::uint32_t writes = 0;
    };

    int m_fd;
    int m_error = 0;
    std::string m_buffer;
    std::int64_t m_startNs;
    std::int64_t m_lastNs = -1;
    std::vector<Signal> m_signals;
};

}  // namespace port
