#include "hd44780/controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "bus_feeder.h"
#include "hd44780/char_rom.h"

using hd44780::Controller;
using testsupport::BusFeeder;

namespace {

std::string line(const Controller& c, int row, int columns = 20) {
    std::string s;
    for (int col = 0; col < columns; ++col)
        s += static_cast<char>(c.cell(row, col, {columns, 2}).code);
    return s;
}

TEST(Controller, PowerOnState) {
    Controller c;
    EXPECT_FALSE(c.fourBitMode());
    EXPECT_FALSE(c.twoLines());
    EXPECT_FALSE(c.font5x10());
    EXPECT_FALSE(c.displayOn());
    EXPECT_FALSE(c.cursorOn());
    EXPECT_FALSE(c.blinkOn());
    EXPECT_TRUE(c.increment());
    EXPECT_FALSE(c.shiftOnEntry());
    EXPECT_EQ(c.addressCounter(), 0);
    for (std::uint8_t b : c.ddram()) ASSERT_EQ(b, 0x20);
}

TEST(Controller, LatchesOnFallingEdgeWithValueBeforeTheWrite) {
    Controller c;
    BusFeeder bus(c);
    bus.write(0x20);
    bus.write(0x22, 2'500);
    EXPECT_FALSE(c.fourBitMode()) << "nothing latches while E is high";
    // E drops in the same write as the data changes: the old data (0x2) is what latches.
    bus.write(0x80, 50'000);
    EXPECT_TRUE(c.fourBitMode());
    EXPECT_EQ(c.timing().count(hd44780::ViolationKind::DataHold), 1u);
}

// In 8-bit mode the undriven DB0-DB3 complete the byte: 0x2 + pull-ups is 0x2F
// (4-bit, 2 lines, 5x10); tied low it is 0x20 (4-bit, 1 line, 5x8).
TEST(Controller, EightBitNibbleTakesUndrivenLowLines) {
    for (bool high : {true, false}) {
        hd44780::Options o;
        o.undrivenLinesHigh = high;
        Controller c(o);
        BusFeeder bus(c);
        bus.nibble(false, 0x2);
        EXPECT_TRUE(c.fourBitMode());
        EXPECT_EQ(c.twoLines(), high);
        EXPECT_EQ(c.font5x10(), high);
        EXPECT_FALSE(c.pendingNibble().has_value());
    }
}

TEST(Controller, FourBitNibblesPairHighFirstAndALoneNibbleWaits) {
    Controller c;
    BusFeeder bus(c);
    bus.init4();
    bus.nibble(true, 0x4);
    ASSERT_EQ(c.pendingNibble(), std::optional<std::uint8_t>(0x4));
    EXPECT_EQ(c.ddram()[0], 0x20) << "half a byte writes nothing";
    bus.nibble(true, 0x1);
    EXPECT_FALSE(c.pendingNibble().has_value());
    EXPECT_EQ(c.ddram()[0], 'A');
    // A stray nibble skews what follows: 0x4 | 0x2 then 0x1 | ... .
    bus.nibble(true, 0x4);
    bus.data('B');
    EXPECT_EQ(c.ddram()[1], 0x44);
    EXPECT_EQ(c.pendingNibble(), std::optional<std::uint8_t>(0x2));
}

struct InstructionCase {
    const char* name;
    std::vector<std::uint8_t> commands;
    std::function<void(const Controller&)> check;
};

TEST(Controller, InstructionSet) {
    const std::vector<InstructionCase> table = {
        {"clear resets AC, unshifts, sets I/D",
         {0x04, 0x18, 0x01},
         [](const Controller& c) {
             EXPECT_EQ(c.addressCounter(), 0);
             EXPECT_EQ(c.displayShift(), 0);
             EXPECT_TRUE(c.increment());
             EXPECT_EQ(c.ddram()[0], 0x20);
         }},
        {"home keeps DDRAM and I/D",
         {0x04, 0x85, 0x18, 0x02},
         [](const Controller& c) {
             EXPECT_EQ(c.addressCounter(), 0);
             EXPECT_EQ(c.displayShift(), 0);
             EXPECT_FALSE(c.increment());
             EXPECT_EQ(c.ddram()[0], 'H');
         }},
        {"entry mode decrement + shift",
         {0x07},
         [](const Controller& c) {
             EXPECT_TRUE(c.increment());
             EXPECT_TRUE(c.shiftOnEntry());
         }},
        {"display control",
         {0x0F},
         [](const Controller& c) {
             EXPECT_TRUE(c.displayOn());
             EXPECT_TRUE(c.cursorOn());
             EXPECT_TRUE(c.blinkOn());
         }},
        {"display off", {0x08}, [](const Controller& c) { EXPECT_FALSE(c.displayOn()); }},
        {"cursor right", {0x14}, [](const Controller& c) { EXPECT_EQ(c.addressCounter(), 1); }},
        {"cursor left wraps to end of line 2",
         {0x10},
         [](const Controller& c) { EXPECT_EQ(c.addressCounter(), 0x67); }},
        {"display shift left",
         {0x18, 0x18},
         [](const Controller& c) { EXPECT_EQ(c.displayShift(), 2); }},
        {"display shift right wraps mod 40",
         {0x1C},
         [](const Controller& c) { EXPECT_EQ(c.displayShift(), 39); }},
        {"set DDRAM address",
         {0xC5},
         [](const Controller& c) {
             EXPECT_EQ(c.addressCounter(), 0x45);
             EXPECT_FALSE(c.addressInCgram());
         }},
        {"set CGRAM address",
         {0x4B},
         [](const Controller& c) {
             EXPECT_EQ(c.addressCounter(), 0x0B);
             EXPECT_TRUE(c.addressInCgram());
         }},
        {"function set back to 8-bit",
         {0x30},
         [](const Controller& c) { EXPECT_FALSE(c.fourBitMode()); }},
    };
    for (const auto& tc : table) {
        SCOPED_TRACE(tc.name);
        Controller c;
        BusFeeder bus(c);
        bus.init4();
        bus.data('H');
        bus.cmd(0x80);
        for (std::uint8_t b : tc.commands) bus.cmd(b);
        tc.check(c);
    }
}

TEST(Controller, DdramAddressWrapsLikeTheDatasheet) {
    struct Case {
        bool twoLines;
        bool increment;
        std::uint8_t from;
        std::uint8_t to;
    };
    const Case cases[] = {
        {true, true, 0x27, 0x40},  {true, true, 0x67, 0x00},  {true, false, 0x40, 0x27},
        {true, false, 0x00, 0x67}, {false, true, 0x4F, 0x00}, {false, false, 0x00, 0x4F},
        {true, true, 0x13, 0x14},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(testing::Message() << "from " << int(tc.from) << " two=" << tc.twoLines
                                        << " inc=" << tc.increment);
        Controller c;
        BusFeeder bus(c);
        bus.init4();
        if (!tc.twoLines) bus.cmd(0x20);  // late N change: a warning, modelled plainly
        bus.cmd(tc.increment ? 0x06 : 0x04);
        bus.cmd(static_cast<std::uint8_t>(0x80 | tc.from));
        bus.data('x');
        EXPECT_EQ(c.ddram()[tc.from], 'x');
        EXPECT_EQ(c.addressCounter(), tc.to);
    }
}

TEST(Controller, CgramWrapsAndStaysSelectedUntilDdramAddress) {
    Controller c;
    BusFeeder bus(c);
    bus.init4();
    bus.cmd(0x7F);  // CGRAM 0x3F
    bus.data(0x11);
    bus.data(0x1F);
    EXPECT_EQ(c.cgram()[0x3F], 0x11);
    EXPECT_EQ(c.cgram()[0x00], 0x1F);
    EXPECT_TRUE(c.addressInCgram());
    EXPECT_EQ(c.displayShift(), 0);
    bus.cmd(0x80);
    bus.data('Z');
    EXPECT_EQ(c.ddram()[0], 'Z');
    EXPECT_EQ(c.cgram()[0x01], 0x00);
}

TEST(Controller, Codes8To15MirrorCgramGlyphs) {
    Controller c;
    BusFeeder bus(c);
    bus.init4();
    bus.cmd(0x48);  // glyph 1
    for (std::uint8_t r : {0xE4, 0x08, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00}) bus.data(r);
    bus.cmd(0x80);
    bus.data(1);
    bus.data(9);
    const hd44780::GlyphRows expected{0x04, 0x08, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00};
    EXPECT_EQ(c.cell(0, 0, {16, 2}).rows, expected) << "only the low five bits show";
    EXPECT_EQ(c.cell(0, 1, {16, 2}).rows, expected);
}

TEST(Controller, DisplayShiftMovesBothLinesAndShiftOnEntryFollowsDdramOnly) {
    Controller c;
    BusFeeder bus(c);
    bus.init4();
    bus.text("ABC");
    bus.cmd(0xC0);
    bus.text("xyz");
    bus.cmd(0x18);  // shift left
    EXPECT_EQ(line(c, 0, 4), "BC  ");
    EXPECT_EQ(line(c, 1, 4), "yz  ");
    bus.cmd(0x1C);
    bus.cmd(0x1C);  // two right: column 0 now shows address 39
    EXPECT_EQ(line(c, 0, 4), " ABC");

    Controller d;
    BusFeeder bus2(d);
    bus2.init4();
    bus2.cmd(0x07);  // increment and shift
    bus2.text("AB");
    EXPECT_EQ(d.displayShift(), 2);
    bus2.cmd(0x40);
    bus2.data(0x1F);
    EXPECT_EQ(d.displayShift(), 2) << "CGRAM writes never shift";
}

TEST(Controller, OneLineModeLeavesSecondRowBlank) {
    hd44780::Options o;
    o.undrivenLinesHigh = false;
    Controller c(o);
    BusFeeder bus(c);
    bus.nibble(false, 0x2);  // 0x20: 4-bit, 1 line
    bus.cmd(0x0C);
    bus.cmd(0xC0);
    bus.data('Q');
    EXPECT_EQ(c.ddram()[0x40], 'Q');
    EXPECT_EQ(c.cell(1, 0, {16, 2}).rows, hd44780::GlyphRows{});
    EXPECT_EQ(c.cell(0, 0, {16, 2}).code, 0x20);
}

TEST(Controller, CursorAndBlinkAreLaidOverTheCellAtTheAddressCounter) {
    const hd44780::GlyphRows blank{};
    const hd44780::GlyphRows underline{0, 0, 0, 0, 0, 0, 0, 0x1F};
    const hd44780::GlyphRows block{0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F};
    const std::int64_t on = 0;             // first blink half-period: block shown
    const std::int64_t off = 500'000'000;  // second one (409.6 ms * 250/270 each)
    struct Case {
        const char* name;
        std::uint8_t control;
        hd44780::Geometry module;
        int row, column;  // where the cursor is looked for (AC = 1 after "A")
        std::int64_t at;
        hd44780::GlyphRows shown;
    };
    const Case cases[] = {
        {"underline", 0x0E, {16, 2}, 0, 1, on, underline},
        {"blink, block phase", 0x0D, {16, 2}, 0, 1, on, block},
        {"blink, cell phase", 0x0D, {16, 2}, 0, 1, off, blank},
        {"both, cell phase", 0x0F, {16, 2}, 0, 1, off, underline},
        {"not on other cells", 0x0F, {16, 2}, 0, 2, on, blank},
        {"display off", 0x0B, {16, 2}, 0, 1, on, blank},
        {"module too narrow",
         0x0E,
         {1, 2},
         0,
         0,
         on,
         hd44780::GlyphRows{0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00}},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        hd44780::Options o;
        o.powerOnNs = 0;
        Controller c(o);
        BusFeeder bus(c);
        bus.init4();
        bus.text("A");
        bus.cmd(tc.control);
        EXPECT_EQ(c.shownRows(tc.row, tc.column, tc.module, tc.at), tc.shown);
    }
}

// What each row of a module shows after a 32-character transmission: the address of its
// first and last cell (0xFF: nothing driven).
TEST(Controller, ModulesMapTheirRowsOntoTheTwoLines) {
    struct Case {
        hd44780::Geometry module;
        std::vector<std::pair<int, int>> rows;  // first, last address per row
    };
    const Case cases[] = {
        {{20, 4}, {{0x00, 0x13}, {0x40, 0x53}, {0x14, 0x27}, {0x54, 0x67}}},
        {{16, 4}, {{0x00, 0x0F}, {0x40, 0x4F}, {0x10, 0x1F}, {0x50, 0x5F}}},
        {{16, 1}, {{0x00, 0x47}}},
        {{20, 1}, {{0x00, 0x13}}},
        {{40, 2}, {{0x00, 0x27}, {0x40, 0x67}}},
    };
    Controller c;
    BusFeeder bus(c);
    bus.init4();
    for (const Case& tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.module.columns << "x" << tc.module.rows);
        ASSERT_EQ(static_cast<int>(tc.rows.size()), tc.module.rows);
        for (int r = 0; r < tc.module.rows; ++r) {
            EXPECT_EQ(c.address(r, 0, tc.module), tc.rows[r].first);
            EXPECT_EQ(c.address(r, tc.module.columns - 1, tc.module), tc.rows[r].second);
        }
    }
    EXPECT_EQ(c.address(0, 8, {16, 1}), 0x40) << "a 16x1's right half is line 2";
    EXPECT_EQ(c.address(4, 0, {20, 4}), std::nullopt);
}

TEST(CharRom, SpotChecksAgainstTheTables) {
    using hd44780::GlyphRows;
    using hd44780::Rom;
    EXPECT_EQ(hd44780::romGlyph(Rom::A00, 'A'),
              (GlyphRows{0x0e, 0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x00}));
    EXPECT_EQ(hd44780::romGlyph(Rom::A00, 0xDF), (GlyphRows{0x1c, 0x14, 0x1c, 0, 0, 0, 0, 0}));
    EXPECT_EQ(hd44780::romGlyph(Rom::A02, 0xE9),
              (GlyphRows{0x02, 0x04, 0x00, 0x0e, 0x11, 0x1f, 0x10, 0x0e}));
    EXPECT_EQ(hd44780::romGlyph(Rom::A00, 0x90), GlyphRows{}) << "A00 has no glyph there";
    EXPECT_EQ(hd44780::romGlyph(Rom::A00, 0x05), GlyphRows{}) << "CGRAM codes are not ROM";
}

TEST(Controller, AnyByteStreamIsSafeAndBounded) {
    Controller c;
    std::uint32_t x = 12345;
    for (int i = 0; i < 200'000; ++i) {
        x = x * 1103515245u + 12345u;
        c.busWrite(port::kParallelCable.pins(static_cast<std::uint8_t>(x >> 16)), i);
    }
    EXPECT_LE(c.warnings().size(), Controller::kKeptWarnings);
    EXPECT_LE(c.timing().recent().size(), hd44780::TimingChecker::kKeptViolations);
    EXPECT_GT(c.timing().count(), hd44780::TimingChecker::kKeptViolations);
}

// Each undefined behaviour is a warning of its own kind, and the byte still does what the
// model says.
TEST(Controller, UndefinedBehaviourIsAWarning) {
    using K = hd44780::WarningKind;
    struct Case {
        const char* name;
        std::function<void(BusFeeder&)> send;
        K kind;
    };
    const Case cases[] = {
        {"DDRAM 0x28, the gap between the lines", [](BusFeeder& b) { b.cmd(0xA8); }, K::DdramGap},
        {"N changed after the interface was set", [](BusFeeder& b) { b.cmd(0x20); },
         K::LateFunctionSet},
        {"RS low, then high, in one byte",
         [](BusFeeder& b) {
             b.nibble(false, 0x4);
             b.nibble(true, 0x1);
         },
         K::RsDiffersInByte},
        {"instruction 0x00", [](BusFeeder& b) { b.cmd(0x00); }, K::NoInstruction},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Controller ctl;
        BusFeeder bus(ctl);
        bus.init4();
        c.send(bus);
        ASSERT_EQ(ctl.warningCount(), 1u);
        EXPECT_EQ(ctl.warnings().back().kind, c.kind);
    }
}

}  // namespace
