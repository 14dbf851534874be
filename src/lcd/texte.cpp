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
    // The letters the glyph loader puts in CGRAM go out as their slots: neither ROM has
    // them at their Windows-1252 codes (A00 shows a root for 0xE8).
    if (c == 0x00E0) return 0;  // à: custom glyph 0
    if (c == 0x00E9) return 1;  // é: custom glyph 1
    if (c == 0x00E8) return 2;  // è: custom glyph 2
    if (c == 0x00EB) return 3;  // ë: custom glyph 3
    // C0, DEL and C1 controls, and the line breaks: nothing to show, and codes 0x08-0x0F
    // would show glyphs.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) return ' ';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    for (std::uint8_t i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    return '?';
}

}  // namespace lcd
