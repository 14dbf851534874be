#include "check/vcd_reader.h"

#include <cctype>
#include <cstdlib>
#include <utility>

namespace check {
namespace {

constexpr std::size_t kBuffer = 1 << 16;

bool parseUnsigned(const std::string& s, std::size_t from, std::uint64_t& out) {
    if (from >= s.size() || s.size() - from > 19) return false;
    std::uint64_t v = 0;
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
    }
    out = v;
    return true;
}

// "1 ns", "10ps", "100 us": femtoseconds per unit, or 0.
std::uint64_t timescale(const std::vector<std::string>& words) {
    std::string all;
    for (const std::string& w : words) all += w;
    std::size_t digits = 0;
    while (digits < all.size() && std::isdigit(static_cast<unsigned char>(all[digits]))) ++digits;
    std::uint64_t n = 0;
    if (!parseUnsigned(all.substr(0, digits), 0, n) || (n != 1 && n != 10 && n != 100)) return 0;
    const std::string unit = all.substr(digits);
    const std::pair<const char*, std::uint64_t> units[] = {{"s", 1'000'000'000'000'000},
                                                           {"ms", 1'000'000'000'000},
                                                           {"us", 1'000'000'000},
                                                           {"ns", 1'000'000},
                                                           {"ps", 1'000},
                                                           {"fs", 1}};
    for (const auto& [name, fs] : units)
        if (unit == name) return n * fs;
    return 0;
}

}  // namespace

VcdReader::VcdReader(Source source) : m_source(std::move(source)), m_buffer(kBuffer) {}

bool VcdReader::fill() {
    if (m_eof) return false;
    const long n = m_source(m_buffer.data(), m_buffer.size());
    if (n < 0) {
        m_eof = true;
        fail(VcdProblem::Unreadable);
        m_error->err = static_cast<int>(-n);
        return false;
    }
    m_at = 0;
    m_size = static_cast<std::size_t>(n);
    if (n == 0) m_eof = true;
    if (n > 0) m_lastByte = m_buffer[m_size - 1];
    return n > 0;
}

// The next whitespace-separated word, across buffer refills.
bool VcdReader::token(std::string& out) {
    out.clear();
    for (;;) {
        if (m_at == m_size && !fill()) return false;
        const char c = m_buffer[m_at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (c == '\n') ++m_line;
            ++m_at;
            continue;
        }
        break;
    }
    m_tokenLine = m_line;
    for (;;) {
        if (m_at == m_size) {
            // A word longer than any VCD's is not read whole: memory stays bounded (looked
            // at once a buffer, not once a byte).
            if (out.size() > kMaxToken) return fail(VcdProblem::TooLong, out.substr(0, 16));
            if (!fill()) return !m_error;
        }
        const char c = m_buffer[m_at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return true;
        out += c;
        ++m_at;
    }
}

bool VcdReader::fail(VcdProblem what, std::string text) {
    if (!m_error) m_error = VcdError{what, m_tokenLine, std::move(text), 0};
    return false;
}

bool VcdReader::readUntilEnd(std::vector<std::string>& words, const std::string& keyword) {
    words.clear();
    std::string w;
    while (token(w)) {
        if (w == "$end") return true;
        words.push_back(w);
    }
    return m_error ? false : fail(VcdProblem::UnclosedBlock, keyword);
}

std::uint64_t parseSampleRate(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    std::string unit = end ? std::string(end) : std::string();
    unit.erase(0, unit.find_first_not_of(" \t"));
    unit.erase(unit.find_last_not_of(" \t\r") + 1);
    const std::pair<const char*, double> units[] = {
        {"", 1}, {"Hz", 1}, {"kHz", 1e3}, {"MHz", 1e6}, {"GHz", 1e9}};
    for (const auto& [name, scale] : units)
        if (unit == name && end != text.c_str() && value > 0 && value * scale <= 1e12)
            return static_cast<std::uint64_t>(value * scale + 0.5);
    return 0;
}

bool VcdReader::skipBlock(const std::string& keyword) {
    std::vector<std::string> words;
    return readUntilEnd(words, keyword);
}

bool VcdReader::readHeader() {
    std::vector<std::string> scopes, words;
    std::string t;
    while (token(t)) {
        if (t == "$enddefinitions") return skipBlock(t);
        if (t == "$timescale") {
            if (!readUntilEnd(words, t)) return false;
            m_fsPerUnit = timescale(words);
            if (m_fsPerUnit == 0) {
                std::string said;
                for (const std::string& w : words) said += (said.empty() ? "" : " ") + w;
                return fail(VcdProblem::BadTimescale, said);
            }
        } else if (t == "$scope") {
            if (!readUntilEnd(words, t)) return false;
            scopes.push_back(words.size() >= 2 ? words[1] : words.empty() ? "" : words[0]);
        } else if (t == "$upscope") {
            if (!skipBlock(t)) return false;
            if (!scopes.empty()) scopes.pop_back();
        } else if (t == "$var") {
            if (!readUntilEnd(words, t)) return false;
            // $var TYPE WIDTH ID NAME [RANGE] $end; the range may be glued to the name.
            std::uint64_t width = 0;
            if (words.size() < 4 || !parseUnsigned(words[1], 0, width) || width == 0 ||
                width > 64) {
                std::string said;
                for (const std::string& w : words) said += (said.empty() ? "" : " ") + w;
                return fail(VcdProblem::BadVar, said);
            }
            VcdVar v;
            v.width = static_cast<int>(width);
            v.name = words[3];
            std::string range = words.size() > 4 ? words[4] : std::string();
            if (const std::size_t b = v.name.find('['); b != std::string::npos && b > 0) {
                range = v.name.substr(b);
                v.name.erase(b);
            }
            // [7:0] or [3]: the value's bit 0 is the range's low end.
            if (range.size() > 2 && range.front() == '[') {
                const std::size_t colon = range.find(':');
                const std::string low = colon == std::string::npos
                                            ? range.substr(1, range.size() - 2)
                                            : range.substr(colon + 1, range.size() - colon - 2);
                const std::string high =
                    range.substr(1, (colon == std::string::npos ? range.size() - 1 : colon) - 1);
                std::uint64_t lo = 0, hi = 0;
                if (parseUnsigned(low, 0, lo) && parseUnsigned(high, 0, hi))
                    v.lsb = static_cast<int>(lo < hi ? lo : hi);
            }
            for (const std::string& s : scopes) v.scope += (v.scope.empty() ? "" : ".") + s;
            const auto [it, added] = m_ids.emplace(words[2], m_idCount);
            if (added) ++m_idCount;
            v.id = it->second;
            m_vars.push_back(std::move(v));
        } else if (t == "$comment") {
            if (!readUntilEnd(words, t)) return false;
            // "... at 1 MHz": the rate sigrok sampled at.
            for (std::size_t i = 0; i + 2 < words.size(); ++i)
                if (words[i] == "at")
                    if (const std::uint64_t rate =
                            parseSampleRate(words[i + 1] + " " + words[i + 2]))
                        m_periodFs = 1'000'000'000'000'000 / rate;
        } else if (t[0] == '$') {
            if (!skipBlock(t)) return false;  // $date, $version ...
        }
        // Anything else before the definitions end is ignored, as other readers do.
    }
    return m_error ? false : fail(VcdProblem::NoDefinitions);
}

bool VcdReader::next(Change& change) {
    std::string& t = m_token;
    while (token(t)) {
        const char c = t[0];
        if (c == '#') {
            std::uint64_t time = 0;
            if (!parseUnsigned(t, 1, time)) return fail(VcdProblem::BadTime, t);
            if (m_timeSeen && time < m_time) return fail(VcdProblem::TimeGoesBack, t);
            m_time = time;
            m_timeSeen = true;
            continue;
        }
        if (c == '$') {
            // $dumpvars, $dumpall, $dumpon, $dumpoff open blocks of ordinary changes.
            if (t == "$comment" && !skipBlock(t)) return false;
            continue;
        }
        change = Change{};
        change.time = m_time;
        if (c == '0' || c == '1' || c == 'x' || c == 'X' || c == 'z' || c == 'Z') {
            m_idToken.assign(t, 1, std::string::npos);
            if (m_idToken.empty() && !token(m_idToken))
                return m_error ? false : fail(VcdProblem::ValueWithoutId, t);
            change.bits = c == '1';
            change.unknown = c != '0' && c != '1';
        } else if (c == 'b' || c == 'B') {
            if (t.size() < 2 || t.size() > 65) return fail(VcdProblem::BadValue, t);
            for (std::size_t i = 1; i < t.size(); ++i) {
                const char d = t[i];
                change.bits <<= 1;
                change.unknown <<= 1;
                if (d == '1')
                    change.bits |= 1;
                else if (d != '0') {
                    if (d != 'x' && d != 'X' && d != 'z' && d != 'Z')
                        return fail(VcdProblem::BadValue, t);
                    change.unknown |= 1;
                }
            }
            if (!token(m_idToken)) return m_error ? false : fail(VcdProblem::ValueWithoutId, t);
        } else if (c == 'r' || c == 'R') {
            if (!token(m_idToken)) return m_error ? false : fail(VcdProblem::ValueWithoutId, t);
            continue;  // a real: no pin carries one
        } else {
            return fail(VcdProblem::BadValue, t);
        }
        const auto it = m_ids.find(m_idToken);
        if (it == m_ids.end()) return fail(VcdProblem::UnknownId, m_idToken);
        change.id = it->second;
        return true;
    }
    return false;
}

}  // namespace check
