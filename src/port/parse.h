// Small text helpers for settings and device texts.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace port {

inline std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// A whole decimal number in [lo, hi], nothing else (no sign, no spaces).
inline bool parseDecimal(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 9) return false;
    if (!std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    out = std::strtol(s.c_str(), nullptr, 10);
    return out >= lo && out <= hi;
}

// "0x27": hex with its prefix, at most two digits.
inline bool parseHexByte(const std::string& s, long& out) {
    const bool hex =
        s.size() > 2 && s.size() <= 4 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
        std::all_of(s.begin() + 2, s.end(), [](unsigned char c) { return std::isxdigit(c); });
    if (!hex) return false;
    out = std::strtol(s.c_str() + 2, nullptr, 16);
    return true;
}

// "0x27": a byte in hexadecimal, as I2C addresses are written; upper: "0x2F", as the
// datasheet writes instruction codes.
inline std::string hexByte(unsigned v, bool upper = false) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    return {'0', 'x', digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

inline std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The length of the well-formed UTF-8 sequence that starts at text[i], or 0.
inline std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80             ? 1
                    : c < 0xC2           ? 0  // a continuation byte, or an overlong lead
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    for (std::size_t k = 1; k < n; ++k)
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

// The last path component: /dev/parport2 -> parport2.
inline std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace port
