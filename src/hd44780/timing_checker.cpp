#include "hd44780/timing_checker.h"

namespace hd44780 {

TimingChecker::TimingChecker(Oscillator oscillator, std::optional<std::int64_t> powerOnNs) noexcept
    : m_powerOnNs(powerOnNs) {
    setOscillator(oscillator);
}

void TimingChecker::setOscillator(Oscillator oscillator) noexcept {
    m_oscillator = oscillator;
    for (Execution e : {Execution::ClearOrHome, Execution::Instruction, Execution::DataWrite})
        m_executionNs[static_cast<std::size_t>(e)] = executionNs(e, oscillator);
}

void TimingChecker::onWrite(Pins before, Pins after, std::int64_t atNs) noexcept {
    const bool rsChanged = before.rs != after.rs;
    const bool dataChanged = before.db != after.db || before.dbLow != after.dbLow;
    const bool rise = !before.e && after.e;
    const bool fall = before.e && !after.e;
    // The first write since the last fall (a write at the fall itself is handled below); it
    // may raise E again, and still breaks the hold times if it comes too soon.
    const bool justAfterFall = !before.e && m_lastFallNs;
    const std::int64_t sinceFall = justAfterFall ? atNs - *m_lastFallNs : 0;

    if (rise) {
        if (rsChanged)
            report(ViolationKind::RsSetup, atNs, kRsSetupNs);
        else if (m_lastRsChangeNs && atNs - *m_lastRsChangeNs < kRsSetupNs)
            report(ViolationKind::RsSetup, atNs, kRsSetupNs - (atNs - *m_lastRsChangeNs));
        if (m_lastRiseNs && atNs - *m_lastRiseNs < kMinEnableCycleNs)
            report(ViolationKind::EnableCycleTooShort, atNs,
                   kMinEnableCycleNs - (atNs - *m_lastRiseNs));
        m_lastRiseNs = atNs;
    } else if (before.e) {
        // E was high up to this write (and may fall with it): RS must not move.
        if (rsChanged) report(ViolationKind::RsHold, atNs, kRsHoldNs);
    }
    if (justAfterFall && sinceFall < kRsHoldNs && rsChanged)
        report(ViolationKind::RsHold, atNs, kRsHoldNs - sinceFall);

    if (fall) {
        if (dataChanged)
            report(ViolationKind::DataHold, atNs, kDataHoldNs);
        else if (m_lastDataChangeNs && atNs - *m_lastDataChangeNs < kDataSetupNs)
            report(ViolationKind::DataSetup, atNs, kDataSetupNs - (atNs - *m_lastDataChangeNs));
        if (m_lastRiseNs && atNs - *m_lastRiseNs < kMinEnableHighNs)
            report(ViolationKind::EnableHighTooShort, atNs,
                   kMinEnableHighNs - (atNs - *m_lastRiseNs));
        m_lastFallNs = atNs;
    } else if (justAfterFall && sinceFall < kDataHoldNs && dataChanged) {
        report(ViolationKind::DataHold, atNs, kDataHoldNs - sinceFall);
    }

    if (rsChanged) m_lastRsChangeNs = atNs;
    if (dataChanged) m_lastDataChangeNs = atNs;
}

void TimingChecker::onLatch(std::int64_t atNs) noexcept {
    if (!m_latchedBefore && m_powerOnNs && atNs - *m_powerOnNs < kPowerUpNs)
        report(ViolationKind::LatchBeforePowerUp, atNs, kPowerUpNs - (atNs - *m_powerOnNs));
    m_latchedBefore = true;
    if (busyAt(atNs)) {
        report(ViolationKind::LatchWhileBusy, atNs, m_busyUntilNs - atNs);
    }
}

void TimingChecker::onExecute(Execution what, std::int64_t atNs) noexcept {
    m_busyUntilNs = atNs + m_executionNs[static_cast<std::size_t>(what)];
    m_busyWith = what;
}

void TimingChecker::report(ViolationKind kind, std::int64_t atNs, std::int64_t byNs) noexcept {
    ++m_total;
    ++m_counts[static_cast<std::size_t>(kind)];
    // Counts stay exact; only the records are bounded.
    m_recent.push(Violation{kind, atNs, byNs, m_busyWith});
}

}  // namespace hd44780
