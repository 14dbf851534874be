#include "hd44780/char_rom.h"

#include <array>

namespace hd44780 {
namespace {

struct RomEntry {
    std::uint8_t code;
    GlyphRows rows;
};

// kRom_a00, kRom_a02 ...: generated at build time from data/hd44780-rom-*.txt (see their
// headers for source and licence).
#include "roms.inc"

// Where the Japanese mask's glyphs are not ASCII's: the yen sign and two arrows; its blank
// 0xA0; and of its Greek letters and symbols (0xE0-0xFF), those with a one-column
// character (the descender letters as their plain forms). ⁻¹, x̄ and the kanji 千万円
// have none.
constexpr RomSign kA00Signs[] = {
    {0x5C, "¥"}, {0x7E, "→"}, {0x7F, "←"}, {0xA0, " "}, {0xE0, "α"}, {0xE1, "ä"},
    {0xE2, "β"}, {0xE3, "ε"}, {0xE4, "μ"}, {0xE5, "σ"}, {0xE6, "ρ"}, {0xE7, "g"},
    {0xE8, "√"}, {0xEA, "j"}, {0xEC, "¢"}, {0xEE, "ñ"}, {0xEF, "ö"}, {0xF0, "p"},
    {0xF1, "q"}, {0xF2, "θ"}, {0xF3, "∞"}, {0xF4, "Ω"}, {0xF5, "ü"}, {0xF6, "Σ"},
    {0xF7, "π"}, {0xF9, "y"}, {0xFD, "÷"}, {0xFE, " "}, {0xFF, "█"},
};
// The European mask's arrows and signs below 0x20, its house at 0x7F, its Cyrillic and
// Greek capitals in 0x80-0x9F and 0xAC/0xAD, and where its 0xA0-0xFF part from Latin-1's
// (Φ at Latin-1's Ø). The bell (0x98) and the double arrows (0x14, 0x15) have no
// one-column character.
constexpr RomSign kA02Signs[] = {
    {0x10, "▶"}, {0x11, "◀"}, {0x12, "“"}, {0x13, "”"}, {0x16, "●"}, {0x17, "↵"}, {0x18, "↑"},
    {0x19, "↓"}, {0x1A, "→"}, {0x1B, "←"}, {0x1C, "≤"}, {0x1D, "≥"}, {0x1E, "▲"}, {0x1F, "▼"},
    {0x7E, "~"}, {0x7F, "⌂"}, {0x80, "Б"}, {0x81, "Д"}, {0x82, "Ж"}, {0x83, "З"}, {0x84, "И"},
    {0x85, "Й"}, {0x86, "Л"}, {0x87, "П"}, {0x88, "У"}, {0x89, "Ц"}, {0x8A, "Ч"}, {0x8B, "Ш"},
    {0x8C, "Щ"}, {0x8D, "Ъ"}, {0x8E, "Ы"}, {0x8F, "Э"}, {0x90, "α"}, {0x91, "♪"}, {0x92, "Γ"},
    {0x93, "π"}, {0x94, "Σ"}, {0x95, "σ"}, {0x96, "♫"}, {0x97, "τ"}, {0x99, "Θ"}, {0x9A, "Ω"},
    {0x9B, "δ"}, {0x9C, "∞"}, {0x9D, "♥"}, {0x9E, "ε"}, {0x9F, "∩"}, {0xA0, "‖"}, {0xA8, "ƒ"},
    {0xAC, "Ю"}, {0xAD, "Я"}, {0xAF, "‘"}, {0xB4, "₧"}, {0xB8, "ω"}, {0xD8, "Φ"},
};
// The rest of 0xA1-0xFF is Latin-1's, code for code.
constexpr RomRun kA02Runs[] = {{0xA1, 0xFF, U'\u00A1'}};
// The Japanese mask's 0xA1-0xDF are JIS X 0201's katakana, Unicode's half-width forms.
constexpr RomRun kA00Runs[] = {{0xA1, 0xDF, U'\uFF61'}};

struct Row {
    RomRow row;
    std::span<const RomEntry> glyphs;
};

// One row a ROM, in the order of the Rom values the program names.
const Row kRoms[] = {
    {{"a00", kA00Signs, kA00Runs}, kRom_a00},  // Japanese: katakana in 0xA1-0xDF (Rom::A00)
    {{"a02", kA02Signs, kA02Runs},
     kRom_a02},  // European: Latin-1 accents, Greek, Cyrillic (Rom::A02)
};
constexpr std::size_t kRomCount = sizeof kRoms / sizeof kRoms[0];

using Table = std::array<GlyphRows, 256>;

Table makeTable(std::span<const RomEntry> entries) {
    Table table{};  // codes without an entry stay blank
    for (const RomEntry& e : entries) table[e.code] = e.rows;
    for (std::size_t code = 0; code < 0x10; ++code) table[code] = GlyphRows{};
    return table;
}

std::size_t indexOf(Rom rom) noexcept {
    const auto i = static_cast<std::size_t>(rom);
    return i < kRomCount ? i : 0;
}

}  // namespace

std::span<const RomRow> roms() noexcept {
    static const auto rows = [] {
        std::array<RomRow, kRomCount> list{};
        for (std::size_t i = 0; i < kRomCount; ++i) list[i] = kRoms[i].row;
        return list;
    }();
    return rows;
}

const RomRow& romRow(Rom rom) noexcept {
    return roms()[indexOf(rom)];
}

std::optional<Rom> romNamed(std::string_view name) noexcept {
    for (std::size_t i = 0; i < kRomCount; ++i)
        if (name == kRoms[i].row.name) return static_cast<Rom>(i);
    return std::nullopt;
}

const GlyphRows& romGlyph(Rom rom, std::uint8_t code) noexcept {
    static const auto tables = [] {
        std::array<Table, kRomCount> all{};
        for (std::size_t i = 0; i < kRomCount; ++i) all[i] = makeTable(kRoms[i].glyphs);
        return all;
    }();
    return tables[indexOf(rom)][code];
}

}  // namespace hd44780
