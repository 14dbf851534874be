// Bus-level model of an HD44780(U) character LCD controller, wired as our parallel-port
// cable wires it: RS on D0, E on D1, DB4-DB7 on D4-D7, R/W tied low, DB0-DB3 open.
//
// Facts it honours (HD44780U datasheet ADE-207-272):
//  - The controller latches RS and DB on the falling edge of E. The value latched is the one
//    on the bus before the write that drops E.
//  - Power-on reset: 8-bit interface, 1 line, 5x8 font, display/cursor/blink off, I/D = 1,
//    S = 0, DDRAM all 0x20, AC = 0. CGRAM contents are undefined (zero here).
//  - In 8-bit mode each latch is a whole byte. DB0-DB3 have internal pull-ups, so with them
//    open a lone 0x2 nibble arrives as 0x2F.
//  - After a function set with DL = 0, bytes travel as two nibbles, high first. Only the
//    count of E pulses keeps the phase: a stray nibble skews every later byte.
//  - DDRAM in 2-line mode: 0x00-0x27 and 0x40-0x67, wrapping 0x27 -> 0x40 -> ... 0x67 -> 0x00.
//    In 1-line mode 0x00-0x4F. CGRAM: 64 bytes, AC wraps 0x3F -> 0x00, and AC keeps pointing
//    into CGRAM until a set-DDRAM-address, clear or home.
//  - Display shift moves both lines together, modulo 40 per line (80 in 1-line mode).
//  - Codes 0x00-0x07 show CGRAM glyphs, 0x08-0x0F repeat them (5x8).
//  - Blink alternates the cell with a full block every 409.6 ms at 250 kHz.
//
// Rendering is 5x8: with F = 1 (5x10, one line) cells show their first eight rows and
// CGRAM keeps 8-byte slots.
//
// Behaviour the datasheet leaves undefined (DDRAM addresses in the gap, a function set that
// changes N or F afterwards, RS changing between the two nibbles of a byte) is modelled
// plainly and reported as a warning.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "hd44780/timing_checker.h"
#include "hd44780/types.h"

namespace hd44780 {

struct Options {
    bool undrivenLinesHigh = true;  // DB0-DB3 pulled up (true) or tied to ground (false)
    Rom rom = Rom::A00;
    Oscillator oscillator = Oscillator::k270kHz;
    std::optional<std::int64_t> powerOnNs;  // when VCC reached 4.5 V, if known
};

struct Cell {
    std::uint8_t code = 0x20;
    GlyphRows rows{};  // what the cell shows; blank while the display is off
};

struct Cursor {
    int row = 0;
    int column = 0;
    bool underline = false;
    bool blink = false;
};

class Controller {
public:
    static constexpr std::size_t kKeptWarnings = 32;
    static constexpr int kRows = 2;

    explicit Controller(Options options = {}) noexcept;

    // One write of the port's data register at bus time atNs.
    void busWrite(std::uint8_t pins, std::int64_t atNs) noexcept;

    // --- state, as the datasheet names it
    const std::array<std::uint8_t, 128>& ddram() const noexcept { return m_ddram; }
    const std::array<std::uint8_t, 64>& cgram() const noexcept { return m_cgram; }
    std::uint8_t addressCounter() const noexcept { return m_ac; }
    bool addressInCgram() const noexcept { return m_acInCgram; }
    bool fourBitMode() const noexcept { return !m_dl8; }
    bool twoLines() const noexcept { return m_twoLines; }
    bool font5x10() const noexcept { return m_font5x10; }
    bool displayOn() const noexcept { return m_displayOn; }
    bool cursorOn() const noexcept { return m_cursorOn; }
    bool blinkOn() const noexcept { return m_blinkOn; }
    bool increment() const noexcept { return m_increment; }
    bool shiftOnEntry() const noexcept { return m_shiftOnEntry; }
    // How many positions the display is shifted left (0 .. line length - 1).
    int displayShift() const noexcept { return m_shift; }
    // The high nibble waiting for its low half, in 4-bit mode.
    std::optional<std::uint8_t> pendingNibble() const noexcept;
    std::uint8_t lastPins() const noexcept { return m_pins; }

    // --- what a module of `columns` x 2 shows
    Cell cell(int row, int column, int columns) const noexcept;
    std::optional<Cursor> cursor(int columns) const noexcept;
    // True while blink shows the full block, at bus time nowNs.
    bool blinkBlockShown(std::int64_t nowNs) const noexcept;
    GlyphRows glyph(std::uint8_t code) const noexcept;

    const TimingChecker& timing() const noexcept { return m_timing; }
    std::uint64_t warningCount() const noexcept { return m_warningCount; }
    const std::deque<std::string>& warnings() const noexcept { return m_warnings; }
    // Bumped by every bus write; lets a view know when to repaint.
    std::uint64_t revision() const noexcept { return m_revision; }
    const Options& options() const noexcept { return m_options; }

private:
    void latch(std::uint8_t pins, std::int64_t atNs) noexcept;
    void execute(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept;
    void instruction(std::uint8_t byte, std::int64_t atNs) noexcept;
    void functionSet(std::uint8_t byte) noexcept;
    void writeData(std::uint8_t byte) noexcept;
    void moveAddress(bool forward) noexcept;
    void shiftDisplay(bool left) noexcept;
    int lineLength() const noexcept { return m_twoLines ? 40 : 80; }
    void warn(std::string text) noexcept;

    Options m_options;
    TimingChecker m_timing;
    std::array<std::uint8_t, 128> m_ddram{};
    std::array<std::uint8_t, 64> m_cgram{};
    std::uint8_t m_ac = 0;
    bool m_acInCgram = false;
    bool m_dl8 = true;
    bool m_twoLines = false;
    bool m_font5x10 = false;
    bool m_displayOn = false;
    bool m_cursorOn = false;
    bool m_blinkOn = false;
    bool m_increment = true;
    bool m_shiftOnEntry = false;
    int m_shift = 0;
    int m_functionSetsSinceDl = 0;  // N and F may only be set by the first one
    struct Pending {
        std::uint8_t nibble;
        bool rs;
    };
    std::optional<Pending> m_pending;
    std::uint8_t m_pins = 0;
    std::uint64_t m_revision = 0;
    std::uint64_t m_warningCount = 0;
    std::deque<std::string> m_warnings;
};

}  // namespace hd44780
