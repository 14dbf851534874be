// Write-cycle and execution-time checker for an HD44780 bus, 5 V figures.
//
// Datasheet (HD44780U, ADE-207-272), write cycle at 4.5-5.5 V:
//   PWEH  E high pulse width            >= 230 ns
//   tcycE E cycle time                  >= 500 ns
//   tAS   RS set-up before E rises      >= 40 ns
//   tAH   RS hold after E falls         >= 10 ns   (RS stays put across the whole pulse)
//   tDSW  data set-up before E falls    >= 80 ns
//   tH    data hold after E falls       >= 10 ns
// Data may change while E is high (even in the write that raises E): only the fall samples
// it. A parallel-port write takes about 1 us, so the set-up and hold times hold whenever RS
// and data settle in one write and E moves in another.
// Execution times at fosc = 270 kHz (scale 270/fosc; 190 kHz is the slow corner):
//   clear display, return home 1.52 ms; other instructions 37 us; data write 37 + 4 us.
// Power-on: the first instruction must come more than 15 ms after VCC reaches 4.5 V.
//
// The checker observes and keeps facts (kind, time, shortfall); words for them belong to
// whoever shows them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "hd44780/recent.h"
#include "hd44780/types.h"

namespace hd44780 {

enum class ViolationKind : std::uint8_t {
    EnableHighTooShort,   // PWEH
    EnableCycleTooShort,  // tcycE
    LatchWhileBusy,       // previous instruction still executing
    LatchBeforePowerUp,   // first latch < 15 ms after power-on
    RsSetup,              // tAS: RS moved with or just before the rise of E
    RsHold,               // tAH: RS moved while E was high, with its fall, or just after
    DataSetup,            // tDSW: D4-D7 moved less than 80 ns before E fell
    DataHold,             // tH: D4-D7 moved with the fall of E or just after
    Count
};
inline constexpr std::size_t kViolationKinds = static_cast<std::size_t>(ViolationKind::Count);

struct Violation {
    ViolationKind kind{};
    std::int64_t atNs = 0;  // bus time of the offending write or latch
    std::int64_t byNs = 0;  // how far short of the limit (0 where it does not apply)
    Execution busyWith{};   // LatchWhileBusy: what the controller was executing
};

class TimingChecker {
public:
    static constexpr std::int64_t kMinEnableHighNs = 230;
    static constexpr std::int64_t kMinEnableCycleNs = 500;
    static constexpr std::int64_t kRsSetupNs = 40;
    static constexpr std::int64_t kRsHoldNs = 10;
    static constexpr std::int64_t kDataSetupNs = 80;
    static constexpr std::int64_t kDataHoldNs = 10;
    static constexpr std::int64_t kPowerUpNs = 15'000'000;
    static constexpr std::size_t kKeptViolations = 32;

    explicit TimingChecker(Oscillator oscillator = Oscillator::k270kHz,
                           std::optional<std::int64_t> powerOnNs = std::nullopt) noexcept;

    // Every change the bus makes, with the state it replaces; lowLinesChanged: DB0-DB3
    // moved too, on a bus that drives them.
    void onWrite(Pins before, Pins after, bool lowLinesChanged, std::int64_t atNs) noexcept;
    // The controller latched on a falling E edge at atNs.
    void onLatch(std::int64_t atNs) noexcept;
    // The controller started executing at atNs.
    void onExecute(Execution what, std::int64_t atNs) noexcept;
    // Whether an instruction is still executing at atNs.
    bool busyAt(std::int64_t atNs) const noexcept { return atNs < m_busyUntilNs; }

    // From now on, judge execution times against another oscillator.
    void setOscillator(Oscillator oscillator) noexcept;
    Oscillator oscillator() const noexcept { return m_oscillator; }

    // The write-cycle limit a kind of violation breaks; 0 for the execution times, which
    // are not a bus timing.
    static constexpr std::int64_t limitNs(ViolationKind kind) noexcept {
        switch (kind) {
            case ViolationKind::EnableHighTooShort:
                return kMinEnableHighNs;
            case ViolationKind::EnableCycleTooShort:
                return kMinEnableCycleNs;
            case ViolationKind::RsSetup:
                return kRsSetupNs;
            case ViolationKind::RsHold:
                return kRsHoldNs;
            case ViolationKind::DataSetup:
                return kDataSetupNs;
            case ViolationKind::DataHold:
                return kDataHoldNs;
            default:
                return 0;
        }
    }

    // Datasheet execution times, given at 270 kHz and scaling with the oscillator's period.
    static constexpr std::int64_t executionNs(Execution what, Oscillator oscillator) noexcept {
        std::int64_t ns = 0;
        switch (what) {
            case Execution::ClearOrHome:
                ns = 1'520'000;
                break;
            case Execution::Instruction:
                ns = 37'000;
                break;
            case Execution::DataWrite:
                ns = 41'000;  // 37 us + tADD 4 us
                break;
        }
        return oscillator.scale(ns, 270);
    }

    std::uint64_t count() const noexcept { return m_total; }
    std::uint64_t count(ViolationKind kind) const noexcept {
        return m_counts[static_cast<std::size_t>(kind)];
    }
    // The most recent violations, oldest first.
    const Recent<Violation, kKeptViolations>& recent() const noexcept { return m_recent; }

private:
    void report(ViolationKind kind, std::int64_t atNs, std::int64_t byNs) noexcept;
    // RS or the data moved less than the hold times after the last fall.
    void holdAfterFall(bool rsChanged, bool dataChanged, std::int64_t atNs) noexcept;

    Oscillator m_oscillator;
    // executionNs for m_oscillator, by Execution: worked out once, not per latch.
    std::array<std::int64_t, 3> m_executionNs{};
    std::optional<std::int64_t> m_powerOnNs;
    // When each edge last happened; kNever is so long ago that no limit is short of it, so
    // the hot path needs no "has it happened" test.
    static constexpr std::int64_t kNever = INT64_MIN / 4;
    static constexpr std::int64_t kHoldNs = kRsHoldNs > kDataHoldNs ? kRsHoldNs : kDataHoldNs;
    std::int64_t m_lastRiseNs = kNever;
    std::int64_t m_lastFallNs = kNever;
    std::int64_t m_lastRsChangeNs = kNever;
    std::int64_t m_lastDataChangeNs = kNever;
    std::int64_t m_busyUntilNs = 0;
    Execution m_busyWith = Execution::Instruction;
    bool m_latchedBefore = false;
    std::uint64_t m_total = 0;
    std::array<std::uint64_t, kViolationKinds> m_counts{};
    Recent<Violation, kKeptViolations> m_recent;
};

// Inline: every bus write calls it, and in the caller's translation unit the pins stay in
// registers instead of being packed into an argument and unpacked again.
inline void TimingChecker::report(ViolationKind kind, std::int64_t atNs,
                                  std::int64_t byNs) noexcept {
    ++m_total;
    ++m_counts[static_cast<std::size_t>(kind)];
    // Counts stay exact; only the records are bounded.
    m_recent.push(Violation{kind, atNs, byNs, m_busyWith});
}

inline void TimingChecker::onWrite(Pins before, Pins after, bool lowLinesChanged,
                                   std::int64_t atNs) noexcept {
    const bool rsChanged = before.rs != after.rs;
    const bool dataChanged = before.db != after.db || lowLinesChanged;
    const bool rise = !before.e && after.e;
    const bool fall = before.e && !after.e;
    // The first write since the last fall (a write at the fall itself is handled below); it
    // may raise E again, and still breaks the hold times if it comes too soon.
    const std::int64_t sinceFall = atNs - m_lastFallNs;
    const bool justAfterFall = !before.e && sinceFall < kHoldNs;

    if (rise) {
        if (rsChanged)
            report(ViolationKind::RsSetup, atNs, kRsSetupNs);
        else if (atNs - m_lastRsChangeNs < kRsSetupNs)
            report(ViolationKind::RsSetup, atNs, kRsSetupNs - (atNs - m_lastRsChangeNs));
        if (atNs - m_lastRiseNs < kMinEnableCycleNs)
            report(ViolationKind::EnableCycleTooShort, atNs,
                   kMinEnableCycleNs - (atNs - m_lastRiseNs));
        m_lastRiseNs = atNs;
    } else if (before.e) {
        // E was high up to this write (and may fall with it): RS must not move.
        if (rsChanged) report(ViolationKind::RsHold, atNs, kRsHoldNs);
    }
    if (justAfterFall && (rsChanged || dataChanged)) holdAfterFall(rsChanged, dataChanged, atNs);

    if (fall) {
        if (dataChanged)
            report(ViolationKind::DataHold, atNs, kDataHoldNs);
        else if (atNs - m_lastDataChangeNs < kDataSetupNs)
            report(ViolationKind::DataSetup, atNs, kDataSetupNs - (atNs - m_lastDataChangeNs));
        if (atNs - m_lastRiseNs < kMinEnableHighNs)
            report(ViolationKind::EnableHighTooShort, atNs,
                   kMinEnableHighNs - (atNs - m_lastRiseNs));
        m_lastFallNs = atNs;
    }
    if (rsChanged) m_lastRsChangeNs = atNs;
    if (dataChanged) m_lastDataChangeNs = atNs;
}

}  // namespace hd44780
