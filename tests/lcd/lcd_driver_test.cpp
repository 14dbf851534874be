#include "lcd/lcd_driver.h"

#include <gtest/gtest.h>

#include <functional>

#include "driver_rig.h"

using testsupport::DriverRig;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct TransferCase {
    const char* name;
    std::function<void(testsupport::TestDriver&)> call;
    Bytes writes;
    std::vector<std::uint32_t> sleeps;
    std::int16_t datPort;
};

TEST(LcdDriver, TransfersWriteExactlyTheWorkedSequences) {
    const std::vector<TransferCase> cases = {
        {"LCD_Cmd(0x28)",
         [](auto& d) { d.LCD_Cmd(0x28); },
         {0x20, 0x22, 0x20, 0x80, 0x82, 0x80},
         {2},
         0x80},
        {"LCD_Data(0x41)",
         [](auto& d) { d.LCD_Data(0x41); },
         {0x41, 0x43, 0x41, 0x11, 0x13, 0x11},
         {},
         0x11},
        {"LCD_MSB(0x38)", [](auto& d) { d.LCD_MSB(0x38); }, {0x30, 0x32, 0x30}, {2}, 0x30},
        {"LCD_Data(0)",
         [](auto& d) { d.LCD_Data(0); },
         {0x01, 0x03, 0x01, 0x01, 0x03, 0x01},
         {},
         0x01},
        {"LCD_Data(0x1C1) keeps the low byte",
         [](auto& d) { d.LCD_Data(0x1C1); },
         {0xC1, 0xC3, 0xC1, 0x11, 0x13, 0x11},
         {},
         0x11},
        {"LCD_Cmd(-1) keeps the low byte",
         [](auto& d) { d.LCD_Cmd(-1); },
         {0xF0, 0xF2, 0xF0, 0xF0, 0xF2, 0xF0},
         {2},
         0xF0},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        DriverRig rig;
        tc.call(rig.driver);
        EXPECT_EQ(rig.rec.bytes(), tc.writes);
        EXPECT_EQ(rig.rec.sleeps(), tc.sleeps);
        EXPECT_EQ(rig.driver.DatPort, tc.datPort);
        EXPECT_EQ(rig.rec.bytes().back() & 0x02, 0) << "E is low when a routine returns";
        if (!tc.sleeps.empty()) {
            EXPECT_EQ(rig.rec.events().back().kind, port::testing::Event::Kind::Sleep);
        }
    }
}

TEST(LcdDriver, EnablePulseIsHighThenTwentyTimesLongerLow) {
    DriverRig rig;
    rig.driver.LCD_Data('A');
    const auto& ev = rig.rec.events();
    ASSERT_EQ(ev.size(), 6u);
    // Each simulated port write takes 1 us.
    EXPECT_EQ(ev[1].atNs - ev[0].atNs, 1'000) << "E rises right after the set-up write";
    EXPECT_EQ(ev[2].atNs - ev[1].atNs, 1'000 + 2'500);
    EXPECT_EQ(ev[3].atNs - ev[2].atNs, 1'000 + 50'000);
    EXPECT_EQ(lcd::kStrobeLowNs, 20 * lcd::kStrobeHighNs);
}

TEST(LcdDriver, InitWrites43ValuesAfterAZeroAndPauses) {
    DriverRig rig;
    rig.driver.LCD_Init();
    const Bytes b = rig.rec.bytes();
    ASSERT_EQ(b.size(), 43u);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(rig.rec.events()[1].kind, port::testing::Event::Kind::Sleep);
    EXPECT_EQ(rig.rec.sleeps(), (std::vector<std::uint32_t>{16, 2, 2, 2, 2, 2, 2, 2}));
    Bytes nibbles;
    for (std::size_t i = 1; i < b.size(); i += 3) nibbles.push_back(b[i] >> 4);
    EXPECT_EQ(nibbles, (Bytes{0, 1, 0, 3, 0, 2, 2, 8, 0, 0xC, 0, 6, 0, 1}));
    EXPECT_EQ(rig.driver.DatPort, 0x10);
}

struct StartState {
    const char* name;
    hd44780::Options options;
    std::function<void(DriverRig&)> before;
};

// A real module may be in any of these states when the program starts or re-initialises;
// the init must bring every one to the same place.
std::vector<StartState> startStates() {
    hd44780::Options low;
    low.undrivenLinesHigh = false;
    return {
        {"power-on, DB0-DB3 pulled high", {}, [](DriverRig&) {}},
        {"power-on, DB0-DB3 tied low", low, [](DriverRig&) {}},
        {"4-bit aligned",
         {},
         [](DriverRig& r) {
             r.driver.LCD_Init();
             r.driver.LCD_Data('x');
         }},
        {"4-bit with a pending nibble",
         {},
         [](DriverRig& r) {
             r.driver.LCD_Init();
             r.driver.LCD_MSB(0x38);
         }},
        {"4-bit, display shifted and cursor in CGRAM",
         {},
         [](DriverRig& r) {
             r.driver.LCD_Init();
             r.driver.LCD_Cmd(0x18);
             r.driver.EcrireCGRAM();
         }},
    };
}

TEST(LcdDriver, InitReachesTheWorkingModeFromEveryStartingState) {
    for (const auto& s : startStates()) {
        SCOPED_TRACE(s.name);
        DriverRig rig(s.options);
        rig.clock.advance(100'000'000);
        s.before(rig);
        rig.driver.LCD_Init();
        const auto& c = rig.lcd();
        EXPECT_TRUE(c.fourBitMode());
        EXPECT_TRUE(c.twoLines());
        EXPECT_FALSE(c.font5x10());
        EXPECT_TRUE(c.displayOn());
        EXPECT_FALSE(c.cursorOn());
        EXPECT_FALSE(c.blinkOn());
        EXPECT_TRUE(c.increment());
        EXPECT_FALSE(c.shiftOnEntry());
        EXPECT_EQ(c.displayShift(), 0);
        EXPECT_EQ(c.addressCounter(), 0);
        EXPECT_FALSE(c.addressInCgram());
        EXPECT_FALSE(c.pendingNibble().has_value());
        for (char ch : std::string("Bonjour")) rig.driver.LCD_Data(ch);
        EXPECT_EQ(rig.line(0), "Bonjour             ");
        EXPECT_EQ(rig.line(1), std::string(20, ' '));
    }
}

TEST(LcdDriver, EcrireCCRAMPlacesACharacterAtAnAddress) {
    DriverRig rig;
    rig.driver.LCD_Init();
    rig.driver.EcrireCCRAM(0xC0, 116);
    rig.driver.EcrireCCRAM(0x8F, 'p');
    EXPECT_EQ(rig.lcd().ddram()[0x40], 't');
    EXPECT_EQ(rig.lcd().ddram()[0x0F], 'p');
    EXPECT_EQ(rig.line(1).substr(0, 1), "t");
}

TEST(LcdDriver, EcrireCGRAMLoadsTheFourGlyphs) {
    DriverRig rig;
    rig.driver.LCD_Init();
    rig.rec.clear();
    rig.driver.EcrireCGRAM();
    EXPECT_EQ(rig.rec.sleeps(), (std::vector<std::uint32_t>{2, 1, 2, 2, 2}));
    EXPECT_EQ(rig.rec.bytes().size(), 216u);
    const hd44780::GlyphRows expected[4] = {
        {0x04, 0x02, 0x0E, 0x01, 0x0F, 0x11, 0x0F, 0x00},  // à
        {0x04, 0x08, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // é
        {0x04, 0x02, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // è
        {0x05, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // ë
    };
    const auto& cg = rig.lcd().cgram();
    for (std::size_t g = 0; g < 4; ++g)
        for (std::size_t r = 0; r < 8; ++r)
            EXPECT_EQ(cg[g * 8 + r], expected[g][r]) << g << "/" << r;
    EXPECT_TRUE(rig.lcd().addressInCgram());
    // The glyphs show where codes 0-3 are written.
    rig.driver.EcrireCCRAM(0x80, 1);
    EXPECT_EQ(rig.lcd().cell(0, 0, {16, 2}).rows, expected[1]);
}

TEST(LcdDriver, FullSessionOnSimulatedTimeHasNoTimingViolations) {
    hd44780::Options o;
    DriverRig rig(o);
    rig.driver.LCD_Init();
    rig.driver.EcrireCGRAM();
    rig.driver.LCD_Init();
    for (int i = 0; i < 32; ++i) {
        if (i == 20) rig.driver.LCD_Cmd(0xC0);
        rig.driver.LCD_Data(static_cast<std::int16_t>('A' + i));
    }
    EXPECT_EQ(rig.lcd().timing().count(), 0u);
    EXPECT_EQ(rig.lcd().warningCount(), 0u);
    EXPECT_EQ(rig.line(0), "ABCDEFGHIJKLMNOPQRST");
}

}  // namespace
