#include "lcd/texte.h"

#include <gtest/gtest.h>

namespace {

TEST(Texte, FixedToExactly32CodePoints) {
    struct Case {
        std::u32string in;
        std::u32string out;
    };
    const Case cases[] = {
        {U"", std::u32string(32, U' ')},
        {U"Bonjour", U"Bonjour" + std::u32string(25, U' ')},
        {U"0123456789012345678901234567890123456789", U"01234567890123456789012345678901"},
        {std::u32string(31, U'😀') + U"ab", std::u32string(31, U'😀') + U"a"},
    };
    for (const auto& c : cases) {
        const auto fixed = lcd::fixTexteLCD(c.in);
        EXPECT_EQ(fixed.size(), 32u);
        EXPECT_EQ(fixed, c.out);
    }
}

TEST(Texte, CharacterCodes) {
    struct Case {
        char32_t c;
        int code;
    };
    const Case cases[] = {
        {U'à', 0},    {U'é', 1},     {U'À', 192},   {U'É', 201},   {U'è', 2},       {U'A', 65},
        {U'ë', 3},    {U'ê', 0xEA},  {U'È', 0xC8},  {U'Ë', 0xCB},  {U' ', 32},      {U'~', 126},
        {0x7F, 32},   {U'€', 0x80},  {U'œ', 0x9C},  {U'Ÿ', 0x9F},  {U'’', 0x92},    {0xA0, 0xA0},
        {U'ÿ', 0xFF}, {U'\n', 32},   {U'\t', 32},   {U'\0', 32},   {U'\r', 32},     {0x2028, 32},
        {0x2029, 32}, {0x80, 32},    {0x81, 32},    {0x9D, 32},    {0x9F, 32},      {U'😀', '?'},
        {U'ש', '?'},  {0x0301, '?'}, {0xFFFD, '?'}, {0xD800, '?'}, {0x110000, '?'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lcd::characterCode(c.c), c.code) << std::hex << unsigned(c.c);
}

}  // namespace
