// Character-generator ROM of the HD44780U, masks A00 and A02.
#pragma once

#include "hd44780/types.h"

namespace hd44780 {

// The 5x8 dot rows the ROM shows for a character code. Codes 0x00-0x0F belong to CGRAM
// and codes the mask leaves empty come back blank.
const GlyphRows& romGlyph(Rom rom, std::uint8_t code) noexcept;

}  // namespace hd44780
