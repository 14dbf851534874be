#include "port/vcd_trace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bitset>
#include <cerrno>
#include <cstring>

#include "port/backend.h"
#include "port/cable.h"

namespace port {
namespace {

// VCD identifiers are short strings of printable ASCII, '!' to '~'.
std::string identifier(int n) {
    std::string id;
    do {
        id += static_cast<char>('!' + n % 94);
        n /= 94;
    } while (n > 0);
    return id;
}

// Written out once this much is buffered (about 400 writes); the buffer is reserved with
// room to spare, so recording never allocates.
constexpr std::size_t kFlushAt = 64 * 1024;
constexpr std::size_t kReserve = kFlushAt + 4096;

}  // namespace

std::string VcdTrace::scopeName(std::int16_t port) {
    return "lpt_" + hexAddress(port);
}

int VcdTrace::openFile(const std::string& path, std::string& error) {
    const std::string remedy = " ; choisissez un autre fichier avec VELMORIN_TRACE";
    // O_NONBLOCK: a FIFO with no reader fails at once (ENXIO) instead of blocking here.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int err = errno;
        error = err == ENXIO ? "le fichier de trace " + path +
                                   " est un tube que personne ne lit ; lancez d'abord le "
                                   "lecteur, ou" +
                                   remedy.substr(2)
                             : "impossible d'ouvrir le fichier de trace " + path + " : " +
                                   std::strerror(err) + remedy;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        error = "le fichier de trace " + path + " est déjà utilisé par un autre programme" + remedy;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        error = "impossible de vider le fichier de trace " + path + " : " + std::strerror(errno) +
                remedy;
        ::close(fd);
        return -1;
    }
    return fd;
}

VcdTrace::VcdTrace(int fd, const std::vector<std::int16_t>& ports, std::int64_t startNs,
                   const std::string& version)
    : m_fd(fd), m_startNs(startNs) {
    m_buffer.reserve(kReserve);
    m_buffer += "$version " + version + " $end\n$timescale 1 ns $end\n";
    int next = 0;
    for (std::int16_t p : ports) {
        Signal s{p, {}, -1, 0};
        for (auto& id : s.ids) id = identifier(next++);
        m_buffer += "$scope module " + scopeName(p) + " $end\n";
        m_buffer += "$var wire 8 " + s.ids[0] + " data [7:0] $end\n";
        m_buffer += "$var integer 32 " + s.ids[1] + " writes $end\n";
        for (std::size_t w = 0; w < hd44780::kLineCount; ++w)
            m_buffer += "$var wire 1 " + s.ids[2 + w] + " " + hd44780::kLineNames[w] + " $end\n";
        m_buffer += "$upscope $end\n";
        m_signals.push_back(std::move(s));
    }
    m_buffer += "$enddefinitions $end\n#0\n$dumpvars\n";
    for (const Signal& s : m_signals) {
        m_buffer += "bxxxxxxxx " + s.ids[0] + "\nb0 " + s.ids[1] + "\n";
        for (std::size_t w = 0; w < hd44780::kLineCount; ++w) m_buffer += "x" + s.ids[2 + w] + "\n";
    }
    m_buffer += "$end\n";
    m_lastNs = 0;
}

VcdTrace::~VcdTrace() {
    flush();
    ::close(m_fd);
}

void VcdTrace::record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept {
    for (Signal& s : m_signals) {
        if (s.port != port) continue;
        // Times must rise strictly for every write to show as its own change; two writes in
        // the same nanosecond are set 1 ns apart.
        std::int64_t t = atNs - m_startNs;
        if (t <= m_lastNs) t = m_lastNs + 1;
        m_lastNs = t;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "#%lld\nb", static_cast<long long>(t));
        m_buffer += stamp;
        m_buffer += std::bitset<8>(value).to_string();
        m_buffer += ' ';
        m_buffer += s.ids[0];
        ++s.writes;
        std::string count = std::bitset<32>(s.writes).to_string();
        m_buffer += "\nb";
        m_buffer.append(count, count.find('1'));
        m_buffer += ' ';
        m_buffer += s.ids[1];
        m_buffer += '\n';
        for (std::size_t w = 0; w < hd44780::kLineCount; ++w) {
            const auto line = static_cast<hd44780::Line>(w);
            const bool bit = kParallelCable.level(value, line);
            if (s.last < 0 ||
                kParallelCable.level(static_cast<std::uint8_t>(s.last), line) != bit) {
                m_buffer += bit ? '1' : '0';
                m_buffer += s.ids[2 + w];
                m_buffer += '\n';
            }
        }
        s.last = value;
        if (m_buffer.size() >= kFlushAt) flush();
        return;
    }
}

int VcdTrace::flush() noexcept {
    if (m_error != 0) return m_error;
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    return m_error;
}

}  // namespace port
