// libFuzzer: arbitrary UTF-8 through the text sender's decoding, fixing to 32 characters
// and character-code mapping.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lcd/texte.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u32string text = lcd::decodeUtf8(bytes);
    if (text.size() > size) __builtin_trap();
    for (char32_t c : text)
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) __builtin_trap();
    const std::u32string fixed = lcd::fixTexteLCD(text);
    if (fixed.size() != lcd::kTexteLength) __builtin_trap();
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        if (i < text.size() && fixed[i] != text[i]) __builtin_trap();
        const std::uint8_t code = lcd::characterCode(fixed[i]);
        // Only à and é may reach the custom glyphs; nothing else below a space.
        if (code < 0x20 && !((code == 0 && fixed[i] == 0xE0) || (code == 1 && fixed[i] == 0xE9)))
            __builtin_trap();
    }
    return 0;
}
