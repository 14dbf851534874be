// Bus-level model of an HD44780(U) character LCD controller. It takes the controller's own
// pins (RS, E, DB4-DB7); which port bit drives which pin is the cable's business.
//
// Facts it honours (HD44780U datasheet ADE-207-272):
//  - The controller latches RS and DB on the falling edge of E. The value latched is the one
//    on the bus before the write that drops E.
//  - Power-on reset: 8-bit interface, 1 line, 5x8 font, display/cursor/blink off, I/D = 1,
//    S = 0, DDRAM all 0x20, AC = 0. CGRAM contents are undefined (zero here).
//  - In 8-bit mode each latch is a whole byte. DB0-DB3 have internal pull-ups, so with them
//    open a lone 0x2 nibble arrives as 0x2F. After a function set with DL = 0, bytes travel
//    as two nibbles, high first (InstructionDecoder pairs them).
//  - While busy (busy flag set) the controller does not accept an instruction or data
//    byte. Nobody reads the flag on a write-only bus, so a byte with either half latched
//    while busy is simply lost; its E pulses still count towards nibble pairing (the
//    datasheet is silent there).
//  - DDRAM in 2-line mode: 0x00-0x27 and 0x40-0x67, wrapping 0x27 -> 0x40 -> ... 0x67 -> 0x00.
//    In 1-line mode 0x00-0x4F. CGRAM: 64 bytes, AC wraps 0x3F -> 0x00, and AC keeps pointing
//    into CGRAM until a set-DDRAM-address, clear or home.
//  - Display shift moves both lines together, modulo 40 per line (80 in 1-line mode).
//  - Codes 0x00-0x07 show CGRAM glyphs, 0x08-0x0F repeat them (5x8).
//  - Blink alternates the cell with a full block every 409.6 ms at 250 kHz.
//  - Modules: one controller drives up to 80 characters. A 4-row module runs it in 2-line
//    mode, rows 3 and 4 continuing lines 1 and 2; most 16x1 modules are 2-line parts whose
//    right half shows line 2 (0x40-0x47).
//
// Rendering is 5x8: with F = 1 (5x10, one line) cells show their first eight rows and
// CGRAM keeps 8-byte slots.
//
// Behaviour the datasheet leaves undefined (DDRAM addresses in the gap, a function set that
// changes N or F afterwards, RS changing between the two nibbles of a byte) is modelled
// plainly and recorded as a warning.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "hd44780/instruction_decoder.h"
#include "hd44780/recent.h"
#include "hd44780/timing_checker.h"
#include "hd44780/types.h"

namespace hd44780 {

struct Options {
    bool undrivenLinesHigh = true;  // DB0-DB3 pulled up (true) or tied to ground (false)
    Rom rom = Rom::A00;
    Oscillator oscillator = Oscillator::k270kHz;
    std::optional<std::int64_t> powerOnNs;  // when VCC reached 4.5 V, if known
    // Execute every latch even while busy: for tests whose bus has no real timing.
    bool executeWhileBusy = false;
};

enum class WarningKind : std::uint8_t {
    DdramGap,         // value: the address set
    LateFunctionSet,  // value: the instruction, which changed N or F
    RsDiffersInByte,  // the second nibble's RS was used
    NoInstruction,    // instruction 0x00
};

struct Warning {
    WarningKind kind{};
    std::int64_t atNs = 0;
    std::uint8_t value = 0;
};

struct Cell {
    std::uint8_t code = 0x20;
    GlyphRows rows{};  // what the cell shows; blank while the display is off
};

// Hears every byte the controller executes (a latch lost to busy is not one).
class ExecutionObserver {
public:
    virtual ~ExecutionObserver() = default;
    virtual void executed(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept = 0;
};

class Controller {
public:
    static constexpr std::size_t kKeptWarnings = 32;

    explicit Controller(Options options = {}) noexcept;

    // The pins as they stand from bus time atNs on, DB0-DB3 left open. Every port write
    // comes through here: the common case (E unchanged) is a few compares.
    void busWrite(Pins pins, std::int64_t atNs) noexcept;
    // The same on a bus that drives DB0-DB3 too (a capture of an 8-bit wiring): db0to3's
    // bit 0 is DB0.
    void busWrite8(Pins pins, std::uint8_t db0to3, std::int64_t atNs) noexcept;

    // The lines as they stood when a capture began: taken as the state, not as edges, so
    // nothing is judged against a change nobody saw.
    void assume(Pins pins) noexcept;
    // The same on a bus that drives DB0-DB3 too.
    void assume8(Pins pins, std::uint8_t db0to3) noexcept;

    // Tells observer of every byte executed from now on; null: nobody.
    void observe(ExecutionObserver* observer) noexcept { m_observer = observer; }

    // The module's mask and oscillator can be changed (the user picks the part they own).
    void setRom(Rom rom) noexcept { m_options.rom = rom; }
    void setOscillator(Oscillator oscillator) noexcept;

    // --- state, as the datasheet names it
    const std::array<std::uint8_t, 128>& ddram() const noexcept { return m_ddram; }
    const std::array<std::uint8_t, 64>& cgram() const noexcept { return m_cgram; }
    std::uint8_t addressCounter() const noexcept { return m_ac; }
    bool addressInCgram() const noexcept { return m_acInCgram; }
    bool fourBitMode() const noexcept { return !m_decoder.eightBit(); }
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
    std::optional<std::uint8_t> pendingNibble() const noexcept { return m_decoder.pendingNibble(); }
    Pins lastPins() const noexcept { return m_pins; }
    Rom rom() const noexcept { return m_options.rom; }

    // --- what a module of the given size shows
    // The DDRAM address behind a cell, or none where the controller drives nothing there.
    std::optional<std::uint8_t> address(int row, int column, Geometry module) const noexcept;
    Cell cell(int row, int column, Geometry module) const noexcept;
    // The cell as it looks at bus time nowNs: its glyph with the underline cursor and the
    // blinking block laid over it.
    GlyphRows shownRows(int row, int column, Geometry module, std::int64_t nowNs) const noexcept;
    // True while blink shows the full block, at bus time nowNs.
    bool blinkBlockShown(std::int64_t nowNs) const noexcept;
    GlyphRows glyph(std::uint8_t code) const noexcept;

    const TimingChecker& timing() const noexcept { return m_timing; }
    std::uint64_t warningCount() const noexcept { return m_warningCount; }
    const Recent<Warning, kKeptWarnings>& warnings() const noexcept { return m_warnings; }
    // Bumped by every bus write; lets a view know when to repaint.
    std::uint64_t revision() const noexcept { return m_revision; }

private:
    void write(Pins pins, bool lowLinesChanged, std::int64_t atNs) noexcept;
    void latch(Pins pins, std::int64_t atNs) noexcept;
    void execute(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept;
    void instruction(std::uint8_t byte, std::int64_t atNs) noexcept;
    void functionSet(std::uint8_t byte, std::int64_t atNs) noexcept;
    void writeData(std::uint8_t byte) noexcept;
    void moveAddress(bool forward) noexcept;
    void shiftDisplay(bool left) noexcept;
    int lineLength() const noexcept { return m_twoLines ? 40 : 80; }
    void warn(WarningKind kind, std::int64_t atNs, std::uint8_t value = 0) noexcept;

    Options m_options;
    ExecutionObserver* m_observer = nullptr;
    TimingChecker m_timing;
    InstructionDecoder m_decoder;
    bool m_widthChanged = false;  // by the byte being executed
    std::array<std::uint8_t, 128> m_ddram{};
    std::array<std::uint8_t, 64> m_cgram{};
    std::uint8_t m_ac = 0;
    bool m_acInCgram = false;
    bool m_twoLines = false;
    bool m_font5x10 = false;
    bool m_displayOn = false;
    bool m_cursorOn = false;
    bool m_blinkOn = false;
    bool m_increment = true;
    bool m_shiftOnEntry = false;
    int m_shift = 0;
    int m_functionSetsSinceDl = 0;  // N and F may only be set by the first one
    Pins m_pins{};
    std::uint64_t m_revision = 0;
    std::uint64_t m_warningCount = 0;
    Recent<Warning, kKeptWarnings> m_warnings;
};

}  // namespace hd44780
