#include "port/vcd_trace.h"

#include <bitset>

#include "port/backend.h"

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

const char* const kWireNames[6] = {"RS", "E", "D4", "D5", "D6", "D7"};
constexpr int kWireBits[6] = {0, 1, 4, 5, 6, 7};

}  // namespace

std::string VcdTrace::scopeName(std::int16_t port) {
    return "lpt_" + hexAddress(port);
}

VcdTrace::VcdTrace(std::FILE* file, const std::vector<std::int16_t>& ports, std::int64_t startNs,
                   const std::string& version)
    : m_file(file), m_startNs(startNs) {
    std::fprintf(m_file, "$version %s $end\n$timescale 1 ns $end\n", version.c_str());
    int next = 0;
    for (std::int16_t p : ports) {
        Signal s{p, {}, -1, 0};
        for (auto& id : s.ids) id = identifier(next++);
        std::fprintf(m_file, "$scope module %s $end\n", scopeName(p).c_str());
        std::fprintf(m_file, "$var wire 8 %s data [7:0] $end\n", s.ids[0].c_str());
        std::fprintf(m_file, "$var integer 32 %s writes $end\n", s.ids[1].c_str());
        for (int w = 0; w < 6; ++w)
            std::fprintf(m_file, "$var wire 1 %s %s $end\n", s.ids[2 + w].c_str(), kWireNames[w]);
        std::fprintf(m_file, "$upscope $end\n");
        m_signals.push_back(std::move(s));
    }
    std::fprintf(m_file, "$enddefinitions $end\n#0\n$dumpvars\n");
    for (const Signal& s : m_signals) {
        std::fprintf(m_file, "bxxxxxxxx %s\nb0 %s\n", s.ids[0].c_str(), s.ids[1].c_str());
        for (int w = 0; w < 6; ++w) std::fprintf(m_file, "x%s\n", s.ids[2 + w].c_str());
    }
    std::fprintf(m_file, "$end\n");
    m_lastNs = 0;
}

VcdTrace::~VcdTrace() {
    flush();
    std::fclose(m_file);
}

void VcdTrace::record(std::int16_t port, std::uint8_t value, std::int64_t atNs) noexcept {
    for (Signal& s : m_signals) {
        if (s.port != port) continue;
        // Times must rise strictly for every write to show as its own change; two writes in
        // the same nanosecond are set 1 ns apart.
        std::int64_t t = atNs - m_startNs;
        if (t <= m_lastNs) t = m_lastNs + 1;
        m_lastNs = t;
        std::fprintf(m_file, "#%lld\n", static_cast<long long>(t));
        std::fprintf(m_file, "b%s %s\n", std::bitset<8>(value).to_string().c_str(),
                     s.ids[0].c_str());
        ++s.writes;
        std::string count = std::bitset<32>(s.writes).to_string();
        count.erase(0, count.find('1'));
        std::fprintf(m_file, "b%s %s\n", count.c_str(), s.ids[1].c_str());
        for (int w = 0; w < 6; ++w) {
            const int bit = (value >> kWireBits[w]) & 1;
            if (s.last < 0 || ((s.last >> kWireBits[w]) & 1) != bit)
                std::fprintf(m_file, "%d%s\n", bit, s.ids[2 + w].c_str());
        }
        s.last = value;
        return;
    }
}

void VcdTrace::flush() noexcept {
    std::fflush(m_file);
}

}  // namespace port
