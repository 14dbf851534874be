#include "hd44780/timing_checker.h"

#include <gtest/gtest.h>

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

struct ViolationCase {
    const char* name;
    ViolationKind kind;
    std::function<void(BusFeeder&)> feed;
};

TEST(TimingChecker, CatchesEachKindOfViolation) {
    const std::vector<ViolationCase> cases = {
        {"E high 100 ns", ViolationKind::EnableHighTooShort,
         [](BusFeeder& b) {
             b.write(0x00);
             b.write(0x02, 100);
             b.write(0x00, 50'000);
         }},
        {"E cycle 400 ns", ViolationKind::EnableCycleTooShort,
         [](BusFeeder& b) {
             b.write(0x02, 300);
             b.write(0x00, 100);
             b.write(0x02, 300);
             b.write(0x00, 50'000);
         }},
        {"data after clear", ViolationKind::LatchWhileBusy,
         [](BusFeeder& b) {
             b.nibble(false, 0x0);
             b.nibble(false, 0x1);  // clear: 1.52 ms
             b.nibble(true, 0x4);
         }},
        {"data right after data", ViolationKind::LatchWhileBusy,
         [](BusFeeder& b) {
             b.nibble(true, 0x4);
             b.write(0x11);
             b.write(0x13, 2'500);
             b.write(0x11, 10'000);  // 2nd nibble executes the write: 41 us busy
             b.write(0x41);
             b.write(0x43, 2'500);
             b.write(0x41, 50'000);
         }},
        {"RS rises with E", ViolationKind::RsChangedWithE,
         [](BusFeeder& b) {
             b.write(0x40);
             b.write(0x43, 2'500);
             b.write(0x41, 50'000);
         }},
        {"data dropped with E", ViolationKind::DataChangedWithE,
         [](BusFeeder& b) {
             b.write(0x40);
             b.write(0x42, 2'500);
             b.write(0x00, 50'000);
         }},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        Controller c;
        BusFeeder bus(c);
        bus.init4();
        ASSERT_EQ(c.timing().count(), 0u);
        tc.feed(bus);
        EXPECT_GE(c.timing().count(tc.kind), 1u);
        ASSERT_FALSE(c.timing().recent().empty());
        EXPECT_FALSE(c.timing().recent().back().text.empty());
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

TEST(TimingChecker, ViolationsNeverChangeWhatIsDecoded) {
    Controller fast;
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
            const auto v = static_cast<std::uint8_t>((n << 4) | 1);
            fast.busWrite(v, t++);
            fast.busWrite(static_cast<std::uint8_t>(v | 2), t++);
            fast.busWrite(v, t++);
        }
    }
    EXPECT_GT(fast.timing().count(), 0u);
    EXPECT_EQ(fast.ddram(), slow.ddram());
}

}  // namespace
