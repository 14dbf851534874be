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

void TimingChecker::holdAfterFall(bool rsChanged, bool dataChanged, std::int64_t atNs) noexcept {
    const std::int64_t sinceFall = atNs - m_lastFallNs;
    if (rsChanged && sinceFall < kRsHoldNs)
        report(ViolationKind::RsHold, atNs, kRsHoldNs - sinceFall);
    if (dataChanged && sinceFall < kDataHoldNs)
        report(ViolationKind::DataHold, atNs, kDataHoldNs - sinceFall);
}

}  // namespace hd44780
