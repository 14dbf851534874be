// The character-generator ROMs (masks) of HD44780-compatible controllers. A ROM is its
// table in data/ (hd44780-rom-NAME.txt, made into an array at build time) and its row in
// char_rom.cpp.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "hd44780/types.h"

namespace hd44780 {

// A code whose glyph is not its ASCII character, as the text that shows it ("¥").
struct RomSign {
    std::uint8_t code;
    const char* text;
};

// A run of codes whose glyphs are a run of Unicode characters, one column wide each.
struct RomRun {
    std::uint8_t first, last;
    char32_t unicode;  // the character of first
};

struct RomRow {
    const char* name;  // "a00": what VELMORIN_MODULE, velmorin-check and the window call it
    std::span<const RomSign> signs;
    std::span<const RomRun> runs;
};

// The ROMs, a row each; a Rom is its row's index.
std::span<const RomRow> roms() noexcept;
const RomRow& romRow(Rom rom) noexcept;
std::optional<Rom> romNamed(std::string_view name) noexcept;
inline const char* romName(Rom rom) noexcept {
    return romRow(rom).name;
}

// The 5x8 dot rows the ROM shows for a character code. Codes 0x00-0x0F belong to CGRAM
// and codes the mask leaves empty come back blank.
const GlyphRows& romGlyph(Rom rom, std::uint8_t code) noexcept;

}  // namespace hd44780
