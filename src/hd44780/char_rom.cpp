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
constexpr RomSign kA02Signs[] = {{0x7E, "~"}};
// The Japanese mask's 0xA1-0xDF are JIS X 0201's katakana, Unicode's half-width forms.
constexpr RomRun kA00Runs[] = {{0xA1, 0xDF, U'\uFF61'}};

struct Row {
    RomRow row;
    std::span<const RomEntry> glyphs;
};

// One row a ROM, in the order of the Rom values the program names.
const Row kRoms[] = {
    {{"a00", kA00Signs, kA00Runs}, kRom_a00},  // Japanese: katakana in 0xA1-0xDF (Rom::A00)
    {{"a02", kA02Signs, {}}, kRom_a02},  // European: Latin-1 accents, Greek, Cyrillic (Rom::A02)
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
