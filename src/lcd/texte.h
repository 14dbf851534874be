// What the text sender puts on the display: the box text fixed to 32 characters, and the
// single-byte code each character goes out as.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hd44780/instructions.h"

namespace lcd {

// Characters sent per transmission: 20 on line 1, then 12 on line 2.
inline constexpr std::size_t kTexteLength = 32;
// The 21st character starts line 2: DDRAM 0x40, set with 0xC0.
inline constexpr std::size_t kLine2From = 21;
inline constexpr std::int16_t kLine2Address = hd44780::instr::kSetDdramAddress | 0x40;

// The first 32 code points of text, padded with spaces to exactly 32.
std::u32string fixTexteLCD(std::u32string_view text);

// The code sent for one character: "à", "é", "è" and "ë" are custom glyphs 0 to 3;
// control characters (C0, DEL, C1) go out as spaces (a newline would otherwise show glyph
// 2, a tab glyph 1); everything else is its Windows-1252 byte, or '?' where that code page
// has none.
std::uint8_t characterCode(char32_t c) noexcept;

}  // namespace lcd
