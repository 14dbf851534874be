#include "lcd/texte.h"

namespace lcd {
namespace {

// Windows-1252 bytes 0x80-0x9F and the characters they stand for; 0 where the code page
// leaves the byte undefined.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

std::u32string fixTexteLCD(std::u32string_view text) {
    std::u32string fixed(text.substr(0, kTexteLength));
    fixed.resize(kTexteLength, U' ');
    return fixed;
}

std::uint8_t characterCode(char32_t c) noexcept {
    if (c == 0x00E0) return 0;  // à: custom glyph 0
    if (c == 0x00E9) return 1;  // é: custom glyph 1
    if (c < 0x20 || c == 0x2028 || c == 0x2029) return ' ';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    for (std::uint8_t i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    return '?';
}

std::u32string decodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1Fu, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0Fu, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07u, min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        for (; j < bytes.size() && j <= i + static_cast<std::size_t>(extra); ++j) {
            const auto b = static_cast<unsigned char>(bytes[j]);
            if ((b & 0xC0) != 0x80) break;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (j != i + 1 + static_cast<std::size_t>(extra) || cp < min || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i = j > i + 1 ? j : i + 1;
            continue;
        }
        out.push_back(cp);
        i = j;
    }
    return out;
}

}  // namespace lcd
