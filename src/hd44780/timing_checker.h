// Write-cycle and execution-time checker for an HD44780 bus, 5 V figures.
//
// Datasheet (HD44780U, ADE-207-272), write cycle at 4.5-5.5 V:
//   PWEH  E high pulse width   >= 230 ns
//   tcycE E cycle time         >= 500 ns
//   tAS   RS set-up before E rises, tDSW data set-up before E falls, tH/tAH hold after E
//         falls: tens of ns. A parallel-port write takes about 1 us, so these hold whenever
//         RS and data settle in one write and E moves in another; they break when one write
//         moves E and changes RS or data together.
// Execution times at fosc = 270 kHz (scale 270/fosc; 190 kHz is the slow corner):
//   clear display, return home 1.52 ms; other instructions 37 us; data write 37 + 4 us.
// Power-on: the first instruction must come more than 15 ms after VCC reaches 4.5 V.
//
// The checker only observes: it never changes what the controller decodes.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "hd44780/types.h"

namespace hd44780 {

enum class ViolationKind : std::uint8_t {
    EnableHighTooShort,   // PWEH
    EnableCycleTooShort,  // tcycE
    LatchWhileBusy,       // previous instruction still executing
    LatchBeforePowerUp,   // first latch < 15 ms after power-on
    RsChangedWithE,       // RS moved in the write that moved E (tAS / tAH)
    DataChangedWithE,     // D4-D7 moved in the write that moved E (tDSW / tH)
};
inline constexpr std::size_t kViolationKinds = 6;

struct Violation {
    ViolationKind kind;
    std::int64_t atNs;  // bus time of the offending write
    std::int64_t byNs;  // how far short of the limit (0 where it does not apply)
    std::string text;   // one line, French, for the display window's tooltip
};

// What the controller is busy with after executing an instruction.
enum class Execution : std::uint8_t { ClearOrHome, Instruction, DataWrite };

class TimingChecker {
public:
    static constexpr std::int64_t kMinEnableHighNs = 230;
    static constexpr std::int64_t kMinEnableCycleNs = 500;
    static constexpr std::int64_t kPowerUpNs = 15'000'000;
    static constexpr std::size_t kKeptViolations = 32;

    explicit TimingChecker(Oscillator oscillator = Oscillator::k270kHz,
                           std::optional<std::int64_t> powerOnNs = std::nullopt) noexcept;

    // Every value the port puts on the bus, with the value it replaces.
    void onWrite(std::uint8_t before, std::uint8_t after, std::int64_t atNs) noexcept;
    // The controller latched on a falling E edge at atNs.
    void onLatch(std::int64_t atNs) noexcept;
    // The controller started executing at atNs.
    void onExecute(Execution what, std::int64_t atNs) noexcept;

    static std::int64_t executionNs(Execution what, Oscillator oscillator) noexcept;

    std::uint64_t count() const noexcept { return m_total; }
    std::uint64_t count(ViolationKind kind) const noexcept {
        return m_counts[static_cast<std::size_t>(kind)];
    }
    // The most recent violations, oldest first; at most kKeptViolations.
    const std::deque<Violation>& recent() const noexcept { return m_recent; }

private:
    void report(ViolationKind kind, std::int64_t atNs, std::int64_t byNs,
                std::string text) noexcept;

    Oscillator m_oscillator;
    std::optional<std::int64_t> m_powerOnNs;
    std::optional<std::int64_t> m_lastRiseNs;
    std::int64_t m_busyUntilNs = 0;
    Execution m_busyWith = Execution::Instruction;
    bool m_latchedBefore = false;
    std::uint64_t m_total = 0;
    std::array<std::uint64_t, kViolationKinds> m_counts{};
    std::deque<Violation> m_recent;
};

}  // namespace hd44780
