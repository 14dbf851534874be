#include "hd44780/timing_checker.h"

#include <gtest/gtest.h>

#include <optional>

#include "bus_feeder.h"
#include "hd44780/controller.h"

using hd44780::Controller;
using hd44780::ViolationKind;
using testsupport::BusFeeder;

namespace {

TEST(TimingChecker, CompliantStreamIsQuiet) {
    hd44780::Options o;
    o.powerOnNs = 0;
    Controller c(o);
    BusFeeder bus(c, 0);
    bus.init4();
    bus.text("Bonjour tout le monde");
    EXPECT_EQ(c.timing().count(), 0u);
}

// Port bytes (parallel cable: RS bit 0, E bit 1, D4-D7 bits 4-7), each followed by a wait.
using Stream = std::vector<std::pair<std::uint8_t, std::int64_t>>;

struct ViolationCase {
    const char* name;
    std::optional<ViolationKind> kind;  // none: the stream is within the datasheet
    Stream writes;
    std::optional<ViolationKind> also = std::nullopt;  // a second rule the same write breaks
};

TEST(TimingChecker, CatchesEachKindOfViolation) {
    const std::vector<ViolationCase> cases = {
        {"E high 100 ns",
         ViolationKind::EnableHighTooShort,
         {{0x00, 1'000}, {0x02, 100}, {0x00, 50'000}}},
        {"E cycle 400 ns",
         ViolationKind::EnableCycleTooShort,
         {{0x02, 300}, {0x00, 100}, {0x02, 300}, {0x00, 50'000}}},
        {"data after clear",
         ViolationKind::LatchWhileBusy,
         {{0x00, 1'000},
          {0x02, 2'500},
          {0x00, 50'000},  // high half of 0x01
          {0x10, 1'000},
          {0x12, 2'500},
          {0x10, 50'000},  // low half: clear, 1.52 ms
          {0x41, 1'000},
          {0x43, 2'500},
          {0x41, 50'000}}},  // a data half 50 us later
        {"data right after data",
         ViolationKind::LatchWhileBusy,
         {{0x41, 1'000},
          {0x43, 2'500},
          {0x41, 50'000},
          {0x11, 1'000},
          {0x13, 2'500},
          {0x11, 10'000},  // 2nd half executes: 41 us busy
          {0x41, 1'000},
          {0x43, 2'500},
          {0x41, 50'000}}},
        {"RS rises with E", ViolationKind::RsSetup, {{0x40, 1'000}, {0x43, 2'500}, {0x41, 50'000}}},
        {"RS 20 ns before E rises",
         ViolationKind::RsSetup,
         {{0x40, 1'000}, {0x41, 20}, {0x43, 2'500}, {0x41, 50'000}}},
        {"RS changes while E is high",
         ViolationKind::RsHold,
         {{0x00, 1'000}, {0x02, 1'000}, {0x03, 2'500}, {0x01, 50'000}}},
        {"RS 5 ns after E falls",
         ViolationKind::RsHold,
         {{0x40, 1'000}, {0x42, 2'500}, {0x40, 5}, {0x41, 50'000}}},
        {"data dropped with E",
         ViolationKind::DataHold,
         {{0x40, 1'000}, {0x42, 2'500}, {0x00, 50'000}}},
        {"data 5 ns after E falls",
         ViolationKind::DataHold,
         {{0x40, 1'000}, {0x42, 2'500}, {0x40, 5}, {0x00, 50'000}}},
        {"data 50 ns before E falls",
         ViolationKind::DataSetup,
         {{0x00, 1'000}, {0x02, 2'000}, {0xF2, 50}, {0xF0, 50'000}}},
        {"data 5 ns after E falls, raising E again",
         ViolationKind::DataHold,
         {{0x40, 1'000}, {0x42, 2'500}, {0x40, 5}, {0x02, 2'500}, {0x00, 50'000}}},
        {"RS 5 ns after E falls, raising E again",
         ViolationKind::RsHold,
         {{0x40, 1'000}, {0x42, 2'500}, {0x40, 5}, {0x43, 2'500}, {0x41, 50'000}},
         ViolationKind::RsSetup},
        {"data rises with E, 1 us before the fall",
         std::nullopt,
         {{0x00, 1'000}, {0xF2, 1'000}, {0xF0, 50'000}}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        Controller c;
        BusFeeder bus(c);
        bus.init4();
        ASSERT_EQ(c.timing().count(), 0u);
        for (const auto& [value, waitNs] : tc.writes) bus.write(value, waitNs);
        if (!tc.kind) {
            EXPECT_EQ(c.timing().count(), 0u);
            continue;
        }
        EXPECT_GE(c.timing().count(*tc.kind), 1u);
        const std::uint64_t also = tc.also ? c.timing().count(*tc.also) : 0;
        EXPECT_EQ(also, tc.also ? 1u : 0u);
        EXPECT_EQ(c.timing().count(), c.timing().count(*tc.kind) + also) << "and nothing else";
        ASSERT_FALSE(c.timing().recent().empty());
        EXPECT_EQ(c.timing().recent().back().kind, *tc.kind);
    }
}

// A byte latched while the controller is still busy is lost, as on the part: a data write
// starting 30 us after another (busy 41 us at 270 kHz) never reaches DDRAM; at 45 us it does.
TEST(TimingChecker, ALatchWhileBusyIsIgnored) {
    for (std::int64_t gapUs : {30, 45}) {
        SCOPED_TRACE(gapUs);
        Controller c;
        BusFeeder bus(c);
        bus.init4();
        auto pulse = [&bus](std::uint8_t v, std::int64_t lowNs) {
            bus.write(v);
            bus.write(static_cast<std::uint8_t>(v | 2), 2'500);
            bus.write(v, lowNs);
        };
        bus.nibble(true, 'A' >> 4);
        pulse(('A' & 0x0F) << 4 | 1, gapUs * 1'000 - 3'500);  // 'A' executes here, at T
        // 'B': its first half falls gapUs after T (w + 1 + 2.5 us), its second 53.5 us later.
        pulse(('B' >> 4) << 4 | 1, 50'000);
        pulse(('B' & 0x0F) << 4 | 1, 50'000);
        bus.data('C');
        const std::string shown(c.ddram().begin(), c.ddram().begin() + 3);
        EXPECT_EQ(shown, gapUs == 30 ? "AC " : "ABC");
        EXPECT_EQ(c.timing().count(ViolationKind::LatchWhileBusy), gapUs == 30 ? 1u : 0u);
    }
}

TEST(TimingChecker, FirstLatchTooSoonAfterPowerOn) {
    hd44780::Options o;
    o.powerOnNs = 0;
    Controller c(o);
    BusFeeder bus(c, 5'000'000);
    bus.nibble(false, 0x3);
    ASSERT_EQ(c.timing().count(ViolationKind::LatchBeforePowerUp), 1u);
    EXPECT_NEAR(static_cast<double>(c.timing().recent().back().byNs), 10e6, 0.1e6);
}

TEST(TimingChecker, SlowOscillatorNeedsLongerThanTheDriverGives) {
    // 50 us between a data write and the next latch satisfies 41 us at 270 kHz but not
    // the 58 us a 190 kHz part needs.
    for (auto osc : {hd44780::Oscillator::k270kHz, hd44780::Oscillator::k190kHz}) {
        hd44780::Options o;
        o.oscillator = osc;
        Controller c(o);
        BusFeeder bus(c);
        bus.init4();
        bus.wait(1'000'000);  // past even a slow part's clear
        const auto before = c.timing().count(ViolationKind::LatchWhileBusy);
        bus.text("ab");
        const auto after = c.timing().count(ViolationKind::LatchWhileBusy) - before;
        EXPECT_EQ(after, osc == hd44780::Oscillator::k190kHz ? 1u : 0u);
    }
}

TEST(TimingChecker, ViolationsOtherThanBusyNeverChangeWhatIsDecoded) {
    hd44780::Options regardless;
    regardless.executeWhileBusy = true;
    Controller fast(regardless);
    Controller slow;
    for (Controller* c : {&fast, &slow}) {
        BusFeeder bus(*c);
        bus.init4();
    }
    // The same bytes, once with pulses far too short and no pauses.
    BusFeeder good(slow, 1'000'000'000);
    good.text("Hi");
    std::int64_t t = 1'000'000'000;
    for (std::uint8_t ch : {'H', 'i'}) {
        for (std::uint8_t n :
             {static_cast<std::uint8_t>(ch >> 4), static_cast<std::uint8_t>(ch & 15)}) {
            const hd44780::Pins v{true, false, n};
            fast.busWrite(v, t++);
            fast.busWrite(hd44780::Pins{true, true, n}, t++);
            fast.busWrite(v, t++);
        }
    }
    EXPECT_GT(fast.timing().count(), 0u);
    EXPECT_EQ(fast.ddram(), slow.ddram());
}

}  // namespace
