#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "check/capture.h"
#include "check/vcd_reader.h"
#include "driver_rig.h"
#include "scratch.h"

namespace {

using hd44780::ViolationKind;

// A reader over text, in small pieces so that tokens straddle refills.
check::VcdReader fromText(const std::string& text) {
    auto at = std::make_shared<std::size_t>(0);
    return check::VcdReader([text, at](char* buf, std::size_t size) -> long {
        const std::size_t n = std::min<std::size_t>({size, 7, text.size() - *at});
        text.copy(buf, n, *at);
        *at += n;
        return static_cast<long>(n);
    });
}

struct Judging {
    std::optional<check::VcdError> error;
    std::optional<check::MapError> mapError;
    check::Judged judged;
    std::vector<std::string> rows;
    bool fourBit = false;
    check::PinMap::Chosen chosen{};
};

Judging judge(check::VcdReader reader, const std::string& map = {}, hd44780::Options options = {}) {
    Judging r;
    if (!reader.readHeader()) {
        r.error = reader.error();
        return r;
    }
    check::PinMap pins;
    if ((r.mapError = check::mapPins(reader.vars(), map, pins))) return r;
    r.chosen = pins.chosen;
    hd44780::Controller lcd(options);
    r.judged = check::judge(reader, pins, lcd);
    r.error = reader.error();
    r.fourBit = lcd.fourBitMode();
    for (int row = 0; row < 2; ++row) {
        std::string s;
        for (int c = 0; c < 16; ++c) s += static_cast<char>(lcd.cell(row, c, {16, 2}).code);
        r.rows.push_back(s);
    }
    return r;
}

// A hand-made capture: scope "top", wires RS ! E " D4-D7 # $ % & (and D0-D3 ' ( ) *), each
// write "T RS E DB" at T ns, DB the data lines high bit first.
std::string capture(const std::vector<std::string>& writes, bool eightBit = false) {
    std::string vcd =
        "$timescale 1ns $end\n$scope module top $end\n"
        "$var wire 1 ! RS $end\n$var wire 1 \" E $end\n";
    const char* high[] = {"&", "%", "$", "#"};  // D7 D6 D5 D4
    const char* low[] = {"*", ")", "(", "'"};   // D3 D2 D1 D0
    for (int i = 0; i < 4; ++i)
        vcd += "$var wire 1 " + std::string(high[3 - i]) + " D" + std::to_string(4 + i) + " $end\n";
    if (eightBit)
        for (int i = 0; i < 4; ++i)
            vcd += "$var wire 1 " + std::string(low[3 - i]) + " D" + std::to_string(i) + " $end\n";
    vcd += "$upscope $end\n$enddefinitions $end\n";
    for (const std::string& w : writes) {
        long long t = 0;
        char rs = 0, e = 0, db[9] = {};
        std::sscanf(w.c_str(), "%lld %c %c %8s", &t, &rs, &e, db);
        vcd += "#" + std::to_string(t) + "\n" + rs + "!\n" + e + "\"\n";
        const std::size_t n = std::string(db).size();
        for (std::size_t i = 0; i < n; ++i)
            vcd += std::string(1, db[i]) + (i < 4 ? high[i] : low[i - 4]) + "\n";
    }
    return vcd;
}

// The program's own trace of its start-up and a text, from the emulator, against what the
// emulated display showed and counted in the same run: at 270 kHz clean, at 190 kHz the
// slow clone's lost writes.
TEST(Check, VelmorinsOwnTraceAgreesWithTheDisplayWindow) {
    for (const hd44780::Oscillator osc :
         {hd44780::Oscillator::k270kHz, hd44780::Oscillator::k190kHz}) {
        SCOPED_TRACE(osc.kHz);
        port::PortConfig config = testsupport::emulatorConfig();
        config.tracePath = testsupport::scratchPath("t.vcd");
        hd44780::Options options;
        options.oscillator = osc;
        testsupport::DriverRig rig(options, config);
        rig.driver.LCD_Init();
        rig.driver.EcrireCGRAM();
        rig.driver.LCD_Cmd(0x80);  // line 1: the glyphs left the address counter in CGRAM
        for (char c : std::string("Bonjour")) rig.driver.LCD_Data(c);
        rig.layer.flush();
        std::FILE* f = std::fopen(config.tracePath.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        Judging r = judge(check::VcdReader([f](char* b, std::size_t n) {
                              return static_cast<long>(std::fread(b, 1, n, f));
                          }),
                          {}, options);
        std::fclose(f);
        ASSERT_FALSE(r.error);
        EXPECT_EQ(r.rows[0], rig.line(0, 888, {16, 2}));
        EXPECT_EQ(r.judged.violationCount, rig.lcd().timing().count());
        if (osc.kHz == 270) {
            EXPECT_EQ(r.rows[0].substr(0, 7), "Bonjour");
        }
        EXPECT_EQ(r.judged.violationCount == 0, osc.kHz == 270);
    }
}

TEST(Check, HandMadeCaptures) {
    // 8-bit wake-up 0x3 three times, then 0x2 to 4 bits: E high 1 us each, 5 ms apart.
    std::vector<std::string> startUp;
    long long t = 20'000'000;
    for (const char* db : {"0011", "0011", "0011", "0010"}) {
        startUp.push_back(std::to_string(t) + " 0 1 " + db);
        startUp.push_back(std::to_string(t + 1000) + " 0 0 " + db);
        t += 5'000'000;
    }
    {
        SCOPED_TRACE("an E pulse of 200 ns, after the wake-up");
        std::vector<std::string> w = startUp;
        w.push_back("40000000 0 1 0000");
        w.push_back("40000200 0 0 0000");
        const Judging r = judge(fromText(capture(w)));
        ASSERT_FALSE(r.error);
        ASSERT_EQ(r.judged.violationCount, 1u);
        EXPECT_EQ(r.judged.violations[0].kind, ViolationKind::EnableHighTooShort);
        EXPECT_EQ(r.judged.violations[0].atNs, 40'000'200);
        EXPECT_EQ(r.judged.violations[0].byNs, 30);  // 200 of 230 ns
        EXPECT_TRUE(r.fourBit);
    }
    {
        SCOPED_TRACE("D4 and D5 swapped: 0x2 reads as 0x1, the bus never goes to 4 bits");
        const Judging r = judge(fromText(capture(startUp)), "RS=RS,E=E,D4=D5,D5=D4,D6=D6,D7=D7");
        ASSERT_FALSE(r.error);
        EXPECT_FALSE(r.fourBit);
        EXPECT_EQ(judge(fromText(capture(startUp))).fourBit, true);
    }
    {
        SCOPED_TRACE("8 bits wide: function set 0x38, then 'A' (0x41) on D0-D7");
        const Judging r = judge(fromText(capture({"20000000 0 1 00111000", "20001000 0 0 00111000",
                                                  "20100000 1 1 01000001", "20101000 1 0 01000001"},
                                                 true)));
        ASSERT_FALSE(r.error);
        EXPECT_EQ(r.rows[0][0], 'A');
        EXPECT_EQ(r.judged.data, 1u);
    }
    {
        SCOPED_TRACE("sigrok's defaults: channels D0-D7 on the port's data pins");
        const Judging r =
            judge(fromText("$timescale 1 us $end\n$scope module libsigrok $end\n"
                           "$var wire 1 ! D0 $end\n$var wire 1 \" D1 $end\n"
                           "$var wire 1 # D4 $end\n$var wire 1 $ D5 $end\n"
                           "$var wire 1 % D6 $end\n$var wire 1 & D7 $end\n"
                           "$upscope $end\n$enddefinitions $end\n"
                           "#0 0! 0\" 0# 0$ 0% 0&\n#20000 1\" 1# 1$\n#20001 0\"\n"));
        ASSERT_FALSE(r.error);
        EXPECT_EQ(r.chosen, check::PinMap::Chosen::ParallelCable);
        EXPECT_EQ(r.judged.edges, 4u);         // E, D4, D5 up, E down: the lines start low
        EXPECT_EQ(r.judged.instructions, 1u);  // 0x3 on the 8-bit bus
    }
}

// Real boards as cheap analysers see them: the first values, a power-on pulse, the sample
// period, the module's size.
TEST(Check, CapturesOfOtherPeoplesBoards) {
    // The datasheet's wake-up, 0x3 three times then 0x2, E high 10 us, 5 ms apart.
    std::vector<std::string> wake;
    for (long long t = 20'000'000; const char* db : {"0011", "0011", "0011", "0010"}) {
        wake.push_back(std::to_string(t) + " 0 1 " + db);
        wake.push_back(std::to_string(t + 10'000) + " 0 0 " + db);
        t += 5'000'000;
    }
    // A floating bus's pulse of 100 ns (PWEH), and DDRAM 0x94 then 0xD4 (a 20x4's rows 3, 4).
    const std::vector<std::string> pulse = {"0 0 0 0000", "1000000 0 1 1111", "1000100 0 0 1111"};
    std::vector<std::string> rows = {"50000000 0 1 1001", "50010000 0 0 1001", "50020000 0 1 0100",
                                     "50030000 0 0 0100", "50100000 0 1 1101", "50110000 0 0 1101",
                                     "50120000 0 1 0100", "50130000 0 0 0100"};
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    std::vector<std::string> after = wake;
    for (std::size_t i = 1; i < pulse.size(); ++i) after.push_back("4" + pulse[i]);  // at 41 ms
    const struct {
        const char* what;
        std::string vcd;
        std::uint64_t violations, before, unresolved;
        bool woke;
    } cases[] = {
        // E already high at t = 0, with RS: nothing judged against a rise nobody saw.
        {"E high at the start", capture({"0 1 1 0011", "20000 1 0 0011"}), 0, 0, 0, false},
        {"a power-on pulse, then the wake-up", capture(join(pulse, wake)), 0, 1, 0, true},
        {"the same pulse after it", capture(after), 1, 0, 0, true},
        // 200 kHz: one unit a sample of 5 us; RS moves with E's rise, in one sample.
        {"200 kHz",
         "$timescale 1 us $end\n$var wire 1 ! RS $end\n$var wire 1 \" E $end\n"
         "$var wire 4 # db [7:4] $end\n$enddefinitions $end\n#0 0! 0\" b0 #\n"
         "#20000 1! 1\" b10 #\n#20005 0\"\n#20100 1\"\n#20105 0\"\n",
         0, 0, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Judging r =
            judge(fromText(c.vcd), std::string(c.what) == "200 kHz"
                                       ? "RS=RS,E=E,D4=db[4],D5=db[5],D6=db[6],D7=db[7]"
                                       : "");
        ASSERT_FALSE(r.error);
        EXPECT_EQ(r.judged.violationCount, c.violations);
        EXPECT_EQ(r.judged.before.violationCount, c.before);
        EXPECT_EQ(r.judged.unresolvedCount, c.unresolved);
        EXPECT_EQ(r.judged.wakeNs.has_value(), c.woke);
    }
    EXPECT_TRUE(judge(fromText(capture({"0 1 1 0011", "20000 1 0 0011"}))).judged.eHighAtStart);
    const check::Judged floating =
        judge(fromText(capture({"0 0 0 0000", "20000000 0 1 0x11", "20001000 0 0 0x11"}))).judged;
    EXPECT_EQ(floating.unknownLatches, 1u);
    EXPECT_EQ(floating.unknownPin, check::Pin::D6);  // D7 D6 D5 D4 as written
    EXPECT_EQ(judge(fromText(capture(join(wake, rows)))).judged.periodFs, 10'000'000'000u);
    // sigrok says its rate in a comment: 24 MHz, whatever the changes' spacing.
    EXPECT_EQ(judge(fromText("$comment\n  Acquisition with 6/6 channels at 24 MHz\n$end\n" +
                             capture(wake)))
                  .judged.periodFs,
              41'666'666u);
    const check::Judged sized = judge(fromText(capture(join(wake, rows)))).judged;
    EXPECT_EQ(check::likelyModule(sized, {16, 2}), (hd44780::Geometry{20, 4}));
    EXPECT_FALSE(check::likelyModule(sized, {20, 4}));
}

TEST(Check, UnreadableCapturesNameTheLine) {
    struct Case {
        std::string text;
        check::VcdProblem what;
        std::uint64_t line;
    };
    const std::string header =
        "$timescale 1ns $end\n$var wire 1 ! RS $end\n$var wire 1 \" E $end\n"
        "$var wire 4 # db [7:4] $end\n$enddefinitions $end\n";
    const Case cases[] = {
        {"$timescale 1ns $end\n$var wire 1 ! RS", check::VcdProblem::UnclosedBlock, 2},
        {"$timescale 1ns $end\n$var wire 1 ! RS $end\n", check::VcdProblem::NoDefinitions, 2},
        {"$timescale 3 ns $end\n", check::VcdProblem::BadTimescale, 1},
        {"#0\n1!\n#12x\n", check::VcdProblem::BadTime, 8},
        {"#5\n1!\n#4\n", check::VcdProblem::TimeGoesBack, 8},
        {"#0\nb101\n", check::VcdProblem::ValueWithoutId, 7},
        {"#0\n1?\n", check::VcdProblem::UnknownId, 7},
        {"#0\nq!\n", check::VcdProblem::BadValue, 7},
        {"#0\n" + std::string(check::VcdReader::kMaxToken + 1, 'A'), check::VcdProblem::TooLong, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const bool inHeader = std::string(c.text).starts_with("$");
        const Judging r = judge(fromText(inHeader ? c.text : header + c.text),
                                "RS=RS,E=E,D4=db[4],D5=db[5],D6=db[6],D7=db[7]");
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->what, c.what);
        EXPECT_EQ(r.error->line, c.line);
    }
}

}  // namespace
