// The Matrix Orbital command set, spoken by LK-series modules, their clones and the usual
// USB + serial backpacks of hobby displays. Each command is 0xFE and a letter; bytes 0-7
// show the custom characters; every other byte is a character at the board's cursor.
//
// The board keeps its own screen: it places text by column and row (counted from 1) and
// defines a glyph whole, in one command with its eight rows. So the coder keeps what the
// HD44780 would have kept: the address counter, its direction, and the CGRAM rows of each
// glyph, and turns DDRAM addresses into cells with the module's size.
//  - Function sets and entry modes have no counterpart: they do not travel. An entry mode
//    that shifts the display, and a display shift, cannot be said: nothing goes for them.
//  - Text runs on past the end of a row on the board, onto the next row, where the
//    HD44780's address runs on into cells off the screen or onto another row: after a
//    row's last cell, the next character is placed.
//  - Characters at addresses the module does not show are not sent: the module would not
//    show them either.
#include <array>
#include <initializer_list>

#include "hd44780/instructions.h"
#include "port/serial/line_coder.h"

namespace port::serial {
namespace matrix_orbital {  // its own, whatever shares its unity source
namespace {

namespace in = hd44780::instr;

constexpr std::uint8_t kCommand = 0xFE;
constexpr std::uint8_t kSetSize = 0xD1;    // backpacks: columns, rows
constexpr std::uint8_t kDisplayOn = 0x42;  // + minutes before it turns off; 0: never
constexpr std::uint8_t kDisplayOff = 0x46;
constexpr std::uint8_t kUnderlineOn = 0x4A;
constexpr std::uint8_t kUnderlineOff = 0x4B;
constexpr std::uint8_t kBlockOn = 0x53;
constexpr std::uint8_t kBlockOff = 0x54;
constexpr std::uint8_t kAutoScrollOff = 0x52;  // else a write to the last cell scrolls up
constexpr std::uint8_t kClear = 0x58;
constexpr std::uint8_t kHome = 0x48;
constexpr std::uint8_t kPlace = 0x47;        // + column, row, from 1
constexpr std::uint8_t kDefineGlyph = 0x4E;  // + glyph 0-7, its eight rows
// The boards' guides ask a few milliseconds after clear screen and go home: the firmware
// clears its own LCD (datasheet: 1.52 ms) and its screen buffer before it reads on.
constexpr std::int64_t kBoardClearNs = 5'000'000;

struct Cell {
    int column = -1;  // -1: not known
    int row = 0;
    friend constexpr bool operator==(const Cell&, const Cell&) = default;
};

class MatrixOrbitalCoder final : public LineCoder {
public:
    void setModule(hd44780::Geometry module, Line& line) noexcept override {
        if (!m_started) {
            m_started = true;
            say(line, {kCommand, kSetSize, size(module.columns), size(module.rows)});
            say(line, {kCommand, kDisplayOn, 0});
            say(line, {kCommand, kUnderlineOff, kCommand, kBlockOff});
            say(line, {kCommand, kAutoScrollOff});
        } else if (!(module == m_module)) {
            say(line, {kCommand, kSetSize, size(module.columns), size(module.rows)});
        }
        m_module = module;
        m_board = {};
    }

    void instruction(std::uint8_t byte, Line& line) noexcept override {
        pause(line);  // a glyph left part-defined is defined as it stands
        if (byte & in::kSetDdramAddress) {
            m_cgram = false;
            m_address = byte & in::kDdramAddressMask;
            place(line);
        } else if (byte & in::kSetCgramAddress) {
            m_cgram = true;
            m_address = byte & in::kCgramAddressMask;
        } else if (byte & in::kFunctionSet) {
            m_twoLines = (byte & in::kFunction2Lines) != 0;
        } else if (byte & in::kShift) {
            if (byte & in::kShiftDisplay) return unsaid(byte);
            advance((byte & in::kShiftRight) != 0);
            place(line);
        } else if (byte & in::kDisplayControl) {
            show(byte, line);
        } else if (byte & in::kEntryModeSet) {
            m_increment = (byte & in::kEntryIncrement) != 0;
            if (byte & in::kEntryShift) unsaid(byte);
        } else if (byte & (in::kReturnHome | in::kClearDisplay)) {
            const bool clear = byte == in::kClearDisplay;
            say(line, {kCommand, clear ? kClear : kHome});
            line.busyFor(kBoardClearNs);
            if (clear) m_increment = true;  // datasheet: clear display sets I/D
            m_cgram = false;
            m_address = 0;
            m_board = {0, 0};
        }
    }

    void data(std::uint8_t byte, Line& line) noexcept override {
        if (m_cgram) {
            const unsigned glyph = (m_address >> 3) & 7;
            m_glyphs[glyph][m_address & 7] = byte & 0x1F;
            m_changed |= static_cast<std::uint8_t>(1u << glyph);
            if ((m_address & 7) == 7) define(glyph, line);
            m_address = (m_address + (m_increment ? 1 : 0x3F)) & in::kCgramAddressMask;
            return;
        }
        const Cell at = cell(m_address);
        if (at.column >= 0) {
            place(line);
            if (byte < 0x10) {
                byte &= 7;  // CGRAM codes 8-15 repeat 0-7
            } else if (byte == kCommand) {
                ++m_said.replaced;
                byte = ' ';
            }
            line.put({&byte, 1});
            m_board = at.column + 1 < m_module.columns ? Cell{at.column + 1, at.row} : Cell{};
        }
        advance(m_increment);
    }

    void pause(Line& line) noexcept override {
        for (unsigned glyph = 0; m_changed != 0; ++glyph)
            if (m_changed & (1u << glyph)) define(glyph, line);
    }

private:
    static std::uint8_t size(int n) noexcept { return static_cast<std::uint8_t>(n); }
    static void say(Line& line, std::initializer_list<std::uint8_t> bytes) noexcept {
        line.put({bytes.begin(), bytes.size()});
    }

    // Where a DDRAM address shows on the module, if it does. In 2-line mode the lines
    // start at 0x00 and 0x40; a 4-row module shows each line's next cells on rows 3 and 4.
    Cell cell(unsigned address) const noexcept {
        const int columns = m_module.columns;
        if (m_module.rows == 1 || !m_twoLines) {
            const int a = static_cast<int>(address);
            return a < columns ? Cell{a, 0} : Cell{};
        }
        const int line = address >= 0x40 ? 1 : 0;
        const int offset = static_cast<int>(address) - line * 0x40;
        if (offset < columns) return {offset, line};
        if (m_module.rows == 4 && offset < 2 * columns) return {offset - columns, line + 2};
        return {};
    }

    // The address counter's step: in 2-line mode each line is 40 cells, and the last of
    // one is followed by the first of the other.
    void advance(bool up) noexcept {
        const unsigned last = m_twoLines ? 0x27 : 0x4F;
        const unsigned line = m_twoLines && m_address >= 0x40 ? 0x40 : 0;
        const unsigned other = m_twoLines ? 0x40 - line : 0;
        const unsigned offset = m_address - line;
        if (up)
            m_address = offset >= last ? other : m_address + 1;
        else
            m_address = offset == 0 ? other + last : m_address - 1;
    }

    void place(Line& line) noexcept {
        const Cell at = cell(m_address);
        if (at.column < 0 || at == m_board) return;
        say(line, {kCommand, kPlace, size(at.column + 1), size(at.row + 1)});
        m_board = at;
    }

    void show(std::uint8_t byte, Line& line) noexcept {
        const std::uint8_t changed = byte ^ m_shown;
        m_shown = byte;
        if (changed & in::kDisplayOn) {
            if (byte & in::kDisplayOn)
                say(line, {kCommand, kDisplayOn, 0});
            else
                say(line, {kCommand, kDisplayOff});
        }
        if (changed & in::kCursorOn)
            say(line, {kCommand, byte & in::kCursorOn ? kUnderlineOn : kUnderlineOff});
        if (changed & in::kBlinkOn)
            say(line, {kCommand, byte & in::kBlinkOn ? kBlockOn : kBlockOff});
    }

    void define(unsigned glyph, Line& line) noexcept {
        std::array<std::uint8_t, 11> out{kCommand, kDefineGlyph, static_cast<std::uint8_t>(glyph)};
        for (unsigned row = 0; row < 8; ++row) out[3 + row] = m_glyphs[glyph][row];
        line.put(out);
        m_changed &= static_cast<std::uint8_t>(~(1u << glyph));
    }

    void unsaid(std::uint8_t byte) noexcept {
        if (m_said.unsaid == 0) m_said.unsaid = byte;
    }

    hd44780::Geometry m_module;
    bool m_started = false;
    unsigned m_address = 0;
    bool m_cgram = false;
    bool m_increment = true;
    bool m_twoLines = true;
    // As the start-up leaves the board: on, both cursors off.
    std::uint8_t m_shown = in::kDisplayControl | in::kDisplayOn;
    Cell m_board;  // where the board's cursor is, where that is known
    std::array<std::array<std::uint8_t, 8>, 8> m_glyphs{};
    std::uint8_t m_changed = 0;  // the glyphs with rows not yet sent, a bit each
};

}  // namespace
}  // namespace matrix_orbital

std::unique_ptr<LineCoder> matrixOrbitalCoder() {
    return std::make_unique<matrix_orbital::MatrixOrbitalCoder>();
}

}  // namespace port::serial
