#include "hd44780/timing_checker.h"

#include <cstdio>

namespace hd44780 {
namespace {

std::string formatNs(std::int64_t ns) {
    char buf[48];
    if (ns >= 1'000'000 || ns <= -1'000'000)
        std::snprintf(buf, sizeof buf, "%.3f ms", static_cast<double>(ns) / 1e6);
    else if (ns >= 1'000 || ns <= -1'000)
        std::snprintf(buf, sizeof buf, "%.3f µs", static_cast<double>(ns) / 1e3);
    else
        std::snprintf(buf, sizeof buf, "%lld ns", static_cast<long long>(ns));
    return buf;
}

std::string at(std::int64_t ns) {
    char buf[48];
    std::snprintf(buf, sizeof buf, " (t = %.6f s)", static_cast<double>(ns) / 1e9);
    return buf;
}

}  // namespace

TimingChecker::TimingChecker(Oscillator oscillator, std::optional<std::int64_t> powerOnNs) noexcept
    : m_oscillator(oscillator), m_powerOnNs(powerOnNs) {}

std::int64_t TimingChecker::executionNs(Execution what, Oscillator oscillator) noexcept {
    std::int64_t ns = 0;
    switch (what) {
        case Execution::ClearOrHome:
            ns = 1'520'000;
            break;
        case Execution::Instruction:
            ns = 37'000;
            break;
        case Execution::DataWrite:
            ns = 41'000;
            break;  // 37 us + tADD 4 us
    }
    // Execution time scales with the oscillator period.
    return oscillator == Oscillator::k190kHz ? ns * 270 / 190 : ns;
}

void TimingChecker::onWrite(std::uint8_t before, std::uint8_t after, std::int64_t atNs) noexcept {
    const bool eBefore = (before & kPinE) != 0;
    const bool eAfter = (after & kPinE) != 0;
    if (eBefore == eAfter) return;

    const char* edge = eAfter ? "montant" : "descendant";
    const std::uint8_t changed = static_cast<std::uint8_t>(before ^ after);
    if (changed & kPinRs)
        report(ViolationKind::RsChangedWithE, atNs, 0,
               std::string("RS change dans l'écriture du front ") + edge + " de E" +
                   (eAfter ? " (tAS)" : " (tAH)") + at(atNs));
    if (changed & kPinsData)
        report(ViolationKind::DataChangedWithE, atNs, 0,
               std::string("D4-D7 changent dans l'écriture du front ") + edge + " de E" +
                   (eAfter ? " (tDSW)" : " (tH)") + at(atNs));

    if (eAfter) {
        if (m_lastRiseNs && atNs - *m_lastRiseNs < kMinEnableCycleNs) {
            const std::int64_t cycle = atNs - *m_lastRiseNs;
            report(ViolationKind::EnableCycleTooShort, atNs, kMinEnableCycleNs - cycle,
                   "cycle de E " + formatNs(cycle) + " < 500 ns" + at(atNs));
        }
        m_lastRiseNs = atNs;
    } else if (m_lastRiseNs) {
        const std::int64_t high = atNs - *m_lastRiseNs;
        if (high < kMinEnableHighNs)
            report(ViolationKind::EnableHighTooShort, atNs, kMinEnableHighNs - high,
                   "E haut " + formatNs(high) + " < 230 ns" + at(atNs));
    }
}

void TimingChecker::onLatch(std::int64_t atNs) noexcept {
    if (!m_latchedBefore && m_powerOnNs && atNs - *m_powerOnNs < kPowerUpNs) {
        const std::int64_t since = atNs - *m_powerOnNs;
        report(ViolationKind::LatchBeforePowerUp, atNs, kPowerUpNs - since,
               "première instruction " + formatNs(since) + " après la mise sous tension (< 15 ms)" +
                   at(atNs));
    }
    m_latchedBefore = true;
    if (atNs < m_busyUntilNs) {
        const char* what = m_busyWith == Execution::ClearOrHome ? "effacement/retour"
                           : m_busyWith == Execution::DataWrite ? "écriture de donnée"
                                                                : "instruction";
        report(ViolationKind::LatchWhileBusy, atNs, m_busyUntilNs - atNs,
               std::string("écriture pendant que le contrôleur est occupé (") + what + "), " +
                   formatNs(m_busyUntilNs - atNs) + " trop tôt" + at(atNs));
    }
}

void TimingChecker::onExecute(Execution what, std::int64_t atNs) noexcept {
    m_busyUntilNs = atNs + executionNs(what, m_oscillator);
    m_busyWith = what;
}

void TimingChecker::report(ViolationKind kind, std::int64_t atNs, std::int64_t byNs,
                           std::string text) noexcept {
    ++m_total;
    ++m_counts[static_cast<std::size_t>(kind)];
    // Counts stay exact; only the descriptions are bounded.
    if (m_recent.size() == kKeptViolations) m_recent.pop_front();
    m_recent.push_back(Violation{kind, atNs, byNs, std::move(text)});
}

}  // namespace hd44780
