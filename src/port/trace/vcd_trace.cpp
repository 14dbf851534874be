#include "port/trace/vcd_trace.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "port/cable.h"
#include "port/ports.h"

namespace port {
namespace {

// Written out once this much is buffered (about 1000 writes). The buffer holds that plus
// the longest record, so a record never has to be split.
constexpr std::size_t kFlushAt = 64 * 1024;
// "#" + 19 digits, "b" + 8 bits + id, "b" + 32 bits + id, six wires, each copied in
// fixed-size moves that may reach a few bytes past the record: well under 160.
constexpr std::size_t kMaxRecord = 160;
constexpr std::size_t kCapacity = kFlushAt + kMaxRecord + 4096;  // the header goes first

// Every byte as the trace spells it, "00100001".
constexpr auto kBits = [] {
    std::array<std::array<char, 8>, 256> bits{};
    for (std::size_t v = 0; v < 256; ++v)
        for (std::size_t b = 0; b < 8; ++b) bits[v][7 - b] = ((v >> b) & 1) ? '1' : '0';
    return bits;
}();

// The trace's wires by port bit, as the cable wires them: -1 where no wire is.
constexpr auto kWireOfBit = [] {
    std::array<int, 8> wire{-1, -1, -1, -1, -1, -1, -1, -1};
    for (std::size_t w = 0; w < hd44780::kLineCount; ++w)
        wire[kParallelCable.bit[w]] = static_cast<int>(w);
    return wire;
}();
constexpr unsigned kWireBits = [] {
    unsigned bits = 0;
    for (std::size_t w = 0; w < hd44780::kLineCount; ++w) bits |= 1u << kParallelCable.bit[w];
    return bits;
}();

// "00" to "99", for spelling times two digits at a time.
constexpr auto kPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t v = 0; v < 100; ++v) {
        pairs[2 * v] = static_cast<char>('0' + v / 10);
        pairs[2 * v + 1] = static_cast<char>('0' + v % 10);
    }
    return pairs;
}();

// Writes t in decimal at out and returns the end. The digits are made right to left, two
// at a time, into a scratch that one fixed-size copy moves out: no length to work out
// first, which is what a general conversion spends most of its time on.
char* spellTime(char* out, std::uint64_t t) noexcept {
    constexpr std::size_t kDigits = 20;  // 2^64 has 20
    std::array<char, 2 * kDigits> scratch;
    std::size_t first = kDigits;
    while (t >= 100) {
        const std::uint64_t rest = t / 100;
        const auto pair = static_cast<std::size_t>(t - rest * 100);
        first -= 2;
        std::memcpy(scratch.data() + first, kPairs.data() + 2 * pair, 2);
        t = rest;
    }
    if (t >= 10) {
        first -= 2;
        std::memcpy(scratch.data() + first, kPairs.data() + 2 * t, 2);
    } else {
        scratch[--first] = static_cast<char>('0' + t);
    }
    std::memcpy(out, scratch.data() + first, kDigits);
    return out + (kDigits - first);
}

}  // namespace

std::string VcdTrace::scopeName(std::int16_t port) {
    return "lpt_" + hexAddress(port);
}

int VcdTrace::openFile(Os& os, const std::string& path, std::optional<Error>& error) {
    Error e;
    e.device = path;
    const int fd = os.files.open(path, OpenFor::Trace);
    // Where the lock comes with the open (a share mode), a second writer is refused there.
    if (fd == -EWOULDBLOCK || (fd >= 0 && os.files.lockExclusive(fd) == -EWOULDBLOCK)) {
        if (fd >= 0) os.files.close(fd);
        e.what = Problem::TraceLocked;
        error = e;
        return -1;
    }
    if (fd < 0) {
        e.err = -fd;
        e.what = e.err == ENXIO ? Problem::TraceNoReader : Problem::TraceOpenFailed;
        error = e;
        return -1;
    }
    // The descriptor stays non-blocking: a pipe whose reader stops reading must not hang
    // the program (flush waits for room, but not for ever).
    if (os.files.fstat(fd).regularFile) {
        if (const int rc = os.trace.truncate(fd, 0); rc != 0) {
            os.files.close(fd);
            e.what = Problem::TraceTruncateFailed;
            e.err = -rc;
            error = e;
            return -1;
        }
    }
    return fd;
}

VcdTrace::VcdTrace(Os& os, int fd, const std::vector<std::int16_t>& ports, std::int64_t startNs,
                   const std::string& version)
    : m_os(os),
      m_fd(fd),
      m_regular(os.files.fstat(fd).regularFile),
      m_buffer(new char[kCapacity]),
      m_startNs(startNs) {
    append("$version " + version + " $end\n$timescale 1 ns $end\n");
    int next = 0;
    for (std::int16_t p : ports) {
        Signal s{p, {}, {}, -1, {}, 0};
        for (std::size_t k = 0; k < s.ids.size(); ++k) {
            Id& id = s.ids[k];
            int n = next++;
            do {
                id.text[id.size++] = static_cast<char>('!' + n % 94);
                n /= 94;
            } while (n > 0);
            Tail& tail = s.tails[k];
            tail.text[0] = ' ';
            for (std::uint8_t i = 0; i < id.size; ++i) tail.text[1 + i] = id.text[i];
            tail.text[1 + id.size] = '\n';
            tail.size = static_cast<std::uint8_t>(id.size + 2);
        }
        append("$scope module " + scopeName(p) + " $end\n$var wire 8 ");
        append(s.ids[0]);
        append(" data [7:0] $end\n$var integer 32 ");
        append(s.ids[1]);
        append(" writes $end\n");
        for (std::size_t w = 0; w < hd44780::kLineCount; ++w) {
            append("$var wire 1 ");
            append(s.ids[2 + w]);
            append(' ');
            append(hd44780::kLineNames[w]);
            append(" $end\n");
        }
        append("$upscope $end\n");
        m_signals.push_back(s);
    }
    append("$enddefinitions $end\n#0\n$dumpvars\n");
    for (const Signal& s : m_signals) {
        append("bxxxxxxxx ");
        append(s.ids[0]);
        append("\nb0 ");
        append(s.ids[1]);
        append('\n');
        for (std::size_t w = 0; w < hd44780::kLineCount; ++w) {
            append('x');
            append(s.ids[2 + w]);
            append('\n');
        }
    }
    append("$end\n");
    m_lastNs = 0;
}

VcdTrace::~VcdTrace() {
    flush();
    m_os.files.close(m_fd);
}

void VcdTrace::append(std::string_view text) noexcept {
    std::memcpy(m_buffer.get() + m_used, text.data(), text.size());
    m_used += text.size();
}

inline void VcdTrace::countUp(Signal& s) noexcept {
    int i = s.writesDigits - 1;
    while (i >= 0 && s.writes[static_cast<std::size_t>(i)] == '1')
        s.writes[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) {
        s.writes[static_cast<std::size_t>(i)] = '1';
    } else if (s.writesDigits < 32) {  // one digit more: 1 followed by the zeros
        s.writes[s.writesDigits++] = '0';
        s.writes[0] = '1';
    }
}

char* VcdTrace::putTime(char* out, std::uint64_t t) noexcept {
    const std::uint64_t millis = t / 1'000'000;
    if (millis == 0) return spellTime(out, t);
    if (millis != m_millis) {
        m_millis = millis;
        m_millisSize =
            static_cast<std::size_t>(spellTime(m_millisText.data(), millis) - m_millisText.data());
    }
    std::memcpy(out, m_millisText.data(), 20);
    out += m_millisSize;
    // The last six digits, zeros included: three pairs.
    const auto below = static_cast<std::size_t>(t - millis * 1'000'000);
    std::memcpy(out, kPairs.data() + 2 * (below / 10'000), 2);
    std::memcpy(out + 2, kPairs.data() + 2 * (below / 100 % 100), 2);
    std::memcpy(out + 4, kPairs.data() + 2 * (below % 100), 2);
    return out + 6;
}

char* VcdTrace::put(char* out, const Tail& tail, char first) noexcept {
    std::memcpy(out, tail.text.data(), tail.text.size());
    *out = first;
    return out + tail.size;
}

void VcdTrace::record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept {
    // After a failed write nothing more goes into the file, so nothing more is buffered
    // either: the buffer is never written past its end.
    if (m_error != 0) return;
    for (Signal& s : m_signals) {
        if (s.port != port) continue;
        // Times must rise strictly for every write to show as its own change; two writes in
        // the same nanosecond are set 1 ns apart.
        std::int64_t t = atNs - m_startNs;
        if (t <= m_lastNs) t = m_lastNs + 1;
        m_lastNs = t;
        // Fixed-size copies may write past the record's end: the buffer has room for the
        // longest record beyond kFlushAt, and the next record writes over them.
        char* out = m_buffer.get() + m_used;
        *out++ = '#';
        out = putTime(out, static_cast<std::uint64_t>(t));
        *out++ = '\n';
        *out++ = 'b';
        std::memcpy(out, kBits[value].data(), 8);
        out = put(out + 8, s.tails[0], ' ');
        *out++ = 'b';
        countUp(s);
        std::memcpy(out, s.writes.data(), 32);
        out = put(out + s.writesDigits, s.tails[1], ' ');
        // Only the wires that moved: all of them on the first write.
        unsigned moved = (s.last < 0 ? 0xFFu : value ^ static_cast<unsigned>(s.last)) & kWireBits;
        while (moved != 0) {
            const int bit = std::countr_zero(moved);
            moved &= moved - 1;
            const auto w = static_cast<std::size_t>(kWireOfBit[static_cast<std::size_t>(bit)]);
            out = put(out, s.tails[2 + w], ((value >> bit) & 1) ? '1' : '0');
        }
        m_used = static_cast<std::size_t>(out - m_buffer.get());
        s.last = value;
        if (m_used >= kFlushAt) flush();
        return;
    }
}

int VcdTrace::flush() noexcept {
    if (m_error != 0) {
        m_used = 0;
        return m_error;
    }
    std::size_t done = 0;
    std::int64_t deadline = -1;  // set while a pipe takes nothing
    while (done < m_used) {
        const long n = m_os.files.write(m_fd, m_buffer.get() + done, m_used - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            deadline = -1;
            continue;
        }
        if (n == -EAGAIN) {
            const std::int64_t now = m_os.time.nowNs();
            if (deadline < 0) deadline = now + kReaderPatienceMs * 1'000'000;
            const int rc = now < deadline
                               ? m_os.trace.waitWritable(
                                     m_fd, static_cast<int>((deadline - now) / 1'000'000) + 1)
                               : -ETIMEDOUT;
            if (rc == 0) continue;
            m_error = -rc;
        } else {
            m_error = n < 0 ? static_cast<int>(-n) : EIO;
        }
        break;
    }
    if (m_error != 0 && m_regular) {
        // A full disk or a size limit took part of this buffer: cut the file back to the
        // end of the last whole record, so that it never ends inside one.
        std::size_t cut = done;
        while (cut > 0 && !(m_buffer[cut] == '#' && m_buffer[cut - 1] == '\n')) --cut;
        m_os.trace.truncate(m_fd, m_fileBytes + static_cast<std::int64_t>(cut));
        done = cut;
    }
    m_fileBytes += static_cast<std::int64_t>(done);
    m_used = 0;
    return m_error;
}

}  // namespace port
