#include "hd44780/instruction_decoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using hd44780::InstructionDecoder;
using hd44780::Pins;

struct Byte {
    bool rs;
    int byte;
    bool widthChanged;
    friend bool operator==(const Byte&, const Byte&) = default;
};

// The usual 4-bit start: three 8-bit wake-ups (DB0-DB3 pulled up), the switch to 4 bits
// as a lone nibble, then whole bytes in two halves; one byte with a half latched while
// busy is lost, and the pairing goes on.
TEST(InstructionDecoder, PairsNibblesAfterTheWidthSwitchAndLosesBusyBytes) {
    struct Latch {
        bool rs;
        std::uint8_t nibble;
        bool busy;
    };
    const Latch latches[] = {{false, 0x3, false}, {false, 0x3, true},  {false, 0x3, false},
                             {false, 0x2, false}, {false, 0x2, false}, {false, 0x8, false},
                             {true, 0x4, true},   {true, 0x1, false},  {true, 0x4, false},
                             {true, 0x2, false},  {false, 0x3, false}, {false, 0x0, false},
                             {true, 0x4, false}};
    InstructionDecoder d;
    std::vector<Byte> executed;
    for (const Latch& l : latches)
        if (auto b = d.latch(Pins{l.rs, false, l.nibble}, l.busy))
            executed.push_back({b->rs, b->byte, b->widthChanged});
    const std::vector<Byte> expected{
        {false, 0x3F, false}, {false, 0x3F, false}, {false, 0x2F, true}, {false, 0x28, false},
        {true, 0x42, false},  {false, 0x30, true},  {true, 0x4F, false}};
    EXPECT_EQ(executed, expected);
    EXPECT_TRUE(d.eightBit()) << "0x30 went back to 8 bits";
    EXPECT_FALSE(d.pendingNibble());
}

}  // namespace
