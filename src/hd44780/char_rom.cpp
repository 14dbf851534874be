#include "hd44780/char_rom.h"

namespace hd44780 {
namespace {

struct RomEntry {
    std::uint8_t code;
    GlyphRows rows;
};

// Generated at build time from data/hd44780-rom-a0x.txt (see their headers for source and
// licence).
constexpr RomEntry kA00[] = {
#include "rom_a00.inc"
};
constexpr RomEntry kA02[] = {
#include "rom_a02.inc"
};

using Table = std::array<GlyphRows, 256>;

template <std::size_t N>
Table makeTable(const RomEntry (&entries)[N]) {
    Table table{};  // codes without an entry stay blank
    for (const RomEntry& e : entries) table[e.code] = e.rows;
    for (std::size_t code = 0; code < 0x10; ++code) table[code] = GlyphRows{};
    return table;
}

}  // namespace

const GlyphRows& romGlyph(Rom rom, std::uint8_t code) noexcept {
    static const Table a00 = makeTable(kA00);
    static const Table a02 = makeTable(kA02);
    return rom == Rom::A02 ? a02[code] : a00[code];
}

}  // namespace hd44780
