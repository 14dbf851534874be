// Value change dump (IEEE 1364) of every port write, for GTKWave or PulseView.
//
// One scope per port address (lpt_0x378 ...), each with the byte written (data), a write
// counter (so that a write of an unchanged value still shows) and one 1-bit wire per module
// line as the parallel cable carries it: RS, E, D4-D7. Some viewers import 1-bit wires only.
//
// The trace is buffered here, in one fixed buffer, so that recording never allocates and
// the file only ever ends on a whole write record: a program killed between flushes loses
// the records since the last flush, never half of one. Write errors are kept and reported
// by flush().
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "port/errors.h"
#include "port/os.h"

namespace port {

class VcdTrace {
public:
    // How long a pipe's reader may take nothing before the trace gives up on it.
    static constexpr std::int64_t kReaderPatienceMs = 2000;

    // Takes over an open file descriptor and buffers the header for the given ports.
    // Times are nanoseconds since startNs.
    VcdTrace(Os& os, int fd, const std::vector<std::int16_t>& ports, std::int64_t startNs,
             const std::string& version);
    ~VcdTrace();
    VcdTrace(const VcdTrace&) = delete;
    VcdTrace& operator=(const VcdTrace&) = delete;

    // Opens a trace file for writing: locked against a second writer, never blocking on a
    // FIFO without a reader, truncated only once the lock is held. Returns the descriptor,
    // or -1 with the facts in error.
    static int openFile(Os& os, const std::string& path, std::optional<Error>& error);

    // Records one write; ports that were not declared are ignored. A full buffer is written
    // out at a record boundary. After a failed write, records are dropped: flush() has
    // said so.
    void record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept;
    // Writes out what is buffered. Returns 0, or the errno of the first failed write (which
    // sticks: a trace with a hole is not written to again; a regular file is cut back to
    // its last whole record first). A pipe that takes nothing for kReaderPatienceMs fails
    // with ETIMEDOUT.
    int flush() noexcept;

    static std::string scopeName(std::int16_t port);

private:
    // VCD identifiers: '!' to '~', at most three characters for the signals we declare.
    struct Id {
        std::array<char, 3> text{};
        std::uint8_t size = 0;
    };
    // The end of a value change as the trace spells it, " ID\n" or "1ID\n": its first
    // character is set when it is written. Eight bytes are copied whatever its size, so
    // that a record is made of fixed-size moves, not of loops and calls.
    struct Tail {
        std::array<char, 8> text{};
        std::uint8_t size = 0;
    };
    struct Signal {
        std::int16_t port;
        std::array<Id, 8> ids;  // data, writes, RS, E, D4, D5, D6, D7
        std::array<Tail, 8> tails;
        int last = -1;  // unknown until the first write
        // The write counter as the trace spells it, in binary, counted up in place: a
        // carry ripples through two digits on average.
        std::array<char, 33> writes{};
        std::uint8_t writesDigits = 0;
    };

    void append(std::string_view text) noexcept;
    void append(char c) noexcept { m_buffer[m_used++] = c; }
    void append(const Id& id) noexcept { append(std::string_view(id.text.data(), id.size)); }
    static void countUp(Signal& s) noexcept;
    char* putTime(char* out, std::uint64_t t) noexcept;
    static char* put(char* out, const Tail& tail, char first) noexcept;

    Os& m_os;
    int m_fd;
    bool m_regular;                // a file that can be cut back, not a pipe or a device
    std::int64_t m_fileBytes = 0;  // whole records written so far
    int m_error = 0;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::int64_t m_startNs;
    std::int64_t m_lastNs = -1;
    // The time's digits above its last six change once a millisecond: kept spelt.
    std::uint64_t m_millis = 0;
    std::array<char, 24> m_millisText{};
    std::size_t m_millisSize = 0;  // 0 before the first millisecond
    std::vector<Signal> m_signals;
};

}  // namespace port
