// libFuzzer: arbitrary code points (valid or not: lone surrogates, values past U+10FFFF)
// through the text sender's fixing to 32 characters and character-code mapping. The input
// is read as UTF-32 units, a superset of what a decoded text box can hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "lcd/texte.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u32string text(size / 4, U'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * 4);
    const std::u32string fixed = lcd::fixTexteLCD(text);
    if (fixed.size() != lcd::kTexteLength) __builtin_trap();
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        if (i < text.size() && fixed[i] != text[i]) __builtin_trap();
        const std::uint8_t code = lcd::characterCode(fixed[i]);
        // Only à, é, è and ë reach the custom glyphs 0-3; nothing else below a space.
        constexpr char32_t kGlyphLetters[] = {0xE0, 0xE9, 0xE8, 0xEB};
        if (code < 0x20 && !(code < 4 && fixed[i] == kGlyphLetters[code])) __builtin_trap();
    }
    return 0;
}
