#include "hd44780/controller.h"

#include "hd44780/char_rom.h"
#include "hd44780/instructions.h"

namespace hd44780 {
namespace {

// Blink half-period: 409.6 ms at 250 kHz, scaled with the oscillator.
std::int64_t blinkHalfPeriodNs(Oscillator oscillator) {
    const std::int64_t at250kHz = 409'600'000;
    return oscillator.scale(at250kHz, 250);
}

}  // namespace

Controller::Controller(Options options) noexcept
    : m_options(options),
      m_timing(options.oscillator, options.powerOnNs),
      m_decoder(options.undrivenLinesHigh) {
    m_ddram.fill(0x20);
}

void Controller::setOscillator(Oscillator oscillator) noexcept {
    m_options.oscillator = oscillator;
    m_timing.setOscillator(oscillator);
}

inline void Controller::write(Pins pins, bool lowLinesChanged, std::int64_t atNs) noexcept {
    const Pins before = m_pins;
    m_pins = pins;
    ++m_revision;
    m_timing.onWrite(before, pins, lowLinesChanged, atNs);
    // Falling edge of E: RS and DB are sampled as they stood before this write.
    if (before.e && !pins.e) latch(before, atNs);
}

void Controller::busWrite(Pins pins, std::int64_t atNs) noexcept {
    write(pins, false, atNs);
}

void Controller::busWrite8(Pins pins, std::uint8_t db0to3, std::int64_t atNs) noexcept {
    const auto low = static_cast<std::uint8_t>(db0to3 & 0x0F);
    // A latch in this write takes DB0-DB3 as they stood before it, like the other lines.
    write(pins, low != m_decoder.lowLines(), atNs);
    m_decoder.setLowLines(low);
}

void Controller::assume(Pins pins) noexcept {
    m_pins = pins;
    ++m_revision;
}

void Controller::assume8(Pins pins, std::uint8_t db0to3) noexcept {
    assume(pins);
    m_decoder.setLowLines(static_cast<std::uint8_t>(db0to3 & 0x0F));
}

void Controller::latch(Pins pins, std::int64_t atNs) noexcept {
    m_timing.onLatch(atNs);
    const bool busy = m_timing.busyAt(atNs) && !m_options.executeWhileBusy;
    const auto latched = m_decoder.latch(pins, busy);
    if (!latched) return;
    if (latched->rsDiffers) warn(WarningKind::RsDiffersInByte, atNs);
    m_widthChanged = latched->widthChanged;
    execute(latched->rs, latched->byte, atNs);
}

void Controller::execute(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept {
    if (m_observer) m_observer->executed(rs, byte, atNs);
    if (rs) {
        writeData(byte);
        m_timing.onExecute(Execution::DataWrite, atNs);
    } else {
        instruction(byte, atNs);
    }
}

void Controller::instruction(std::uint8_t byte, std::int64_t atNs) noexcept {
    using namespace instr;
    Execution busy = Execution::Instruction;
    if (byte & kSetDdramAddress) {
        m_ac = byte & kDdramAddressMask;
        m_acInCgram = false;
        const bool inGap = m_twoLines ? ((m_ac & 0x3F) > 0x27) : (m_ac > 0x4F);
        if (inGap) warn(WarningKind::DdramGap, atNs, m_ac);
    } else if (byte & kSetCgramAddress) {
        m_ac = byte & kCgramAddressMask;
        m_acInCgram = true;
    } else if (byte & kFunctionSet) {
        functionSet(byte, atNs);
    } else if (byte & kShift) {
        const bool right = (byte & kShiftRight) != 0;
        if (byte & kShiftDisplay)
            shiftDisplay(!right);
        else
            moveAddress(right);
    } else if (byte & kDisplayControl) {
        m_displayOn = (byte & kDisplayOn) != 0;
        m_cursorOn = (byte & kCursorOn) != 0;
        m_blinkOn = (byte & kBlinkOn) != 0;
    } else if (byte & kEntryModeSet) {
        m_increment = (byte & kEntryIncrement) != 0;
        m_shiftOnEntry = (byte & kEntryShift) != 0;
    } else if (byte & kReturnHome) {
        m_ac = 0;
        m_acInCgram = false;
        m_shift = 0;
        busy = Execution::ClearOrHome;
    } else if (byte & kClearDisplay) {
        m_ddram.fill(0x20);
        m_ac = 0;
        m_acInCgram = false;
        m_shift = 0;
        m_increment = true;
        busy = Execution::ClearOrHome;
    } else {
        warn(WarningKind::NoInstruction, atNs);
    }
    m_timing.onExecute(busy, atNs);
}

void Controller::functionSet(std::uint8_t byte, std::int64_t atNs) noexcept {
    const bool twoLines = (byte & instr::kFunction2Lines) != 0;
    const bool font5x10 = (byte & instr::kFunction5x10) != 0;
    if (m_widthChanged) {
        // The set that switches the interface arrives as a lone nibble in 4-bit
        // initialisations; the one after it is where N and F are really chosen.
        m_functionSetsSinceDl = 0;
    } else {
        if (m_functionSetsSinceDl > 0 && (twoLines != m_twoLines || font5x10 != m_font5x10))
            warn(WarningKind::LateFunctionSet, atNs, byte);
        ++m_functionSetsSinceDl;
    }
    m_twoLines = twoLines;
    m_font5x10 = font5x10;
    m_shift %= lineLength();
}

void Controller::writeData(std::uint8_t byte) noexcept {
    if (m_acInCgram) {
        m_cgram[m_ac & instr::kCgramAddressMask] = byte;
        moveAddress(m_increment);
        return;
    }
    m_ddram[m_ac & instr::kDdramAddressMask] = byte;
    moveAddress(m_increment);
    // Shift on entry follows DDRAM writes only: left when incrementing, right when not.
    if (m_shiftOnEntry) shiftDisplay(m_increment);
}

void Controller::moveAddress(bool forward) noexcept {
    if (m_acInCgram) {
        m_ac = static_cast<std::uint8_t>((m_ac + (forward ? 1 : 63)) & instr::kCgramAddressMask);
        return;
    }
    int a = m_ac;
    if (m_twoLines) {
        if (forward)
            a = a == 0x27 ? 0x40 : a == 0x67 ? 0x00 : a + 1;
        else
            a = a == 0x40 ? 0x27 : a == 0x00 ? 0x67 : a - 1;
    } else {
        if (forward)
            a = a >= 0x4F ? 0x00 : a + 1;
        else
            a = a == 0x00 ? 0x4F : a - 1;
    }
    m_ac = static_cast<std::uint8_t>(a & instr::kDdramAddressMask);
}

void Controller::shiftDisplay(bool left) noexcept {
    const int len = lineLength();
    m_shift = (m_shift + (left ? 1 : len - 1)) % len;
}

GlyphRows Controller::glyph(std::uint8_t code) const noexcept {
    if (code < 0x10) {
        GlyphRows rows{};
        const std::size_t base = static_cast<std::size_t>(code & 0x07) * 8;
        for (std::size_t r = 0; r < 8; ++r) rows[r] = m_cgram[base + r] & 0x1F;
        return rows;
    }
    return romGlyph(m_options.rom, code);
}

std::optional<std::uint8_t> Controller::address(int row, int column,
                                                Geometry module) const noexcept {
    if (row < 0 || row >= module.rows || column < 0 || column >= module.columns)
        return std::nullopt;
    // Which controller line and which position along it the module wires to this cell.
    int line = row;
    int offset = column;
    if (module.rows == 4) {
        line = row % 2;
        offset = column + (row / 2) * module.columns;
    } else if (module.rows == 1) {
        const bool splitSixteen = module.columns == 16;
        line = splitSixteen ? column / 8 : 0;
        offset = splitSixteen ? column % 8 : column;
    }
    if (m_twoLines) return static_cast<std::uint8_t>(line * 0x40 + (offset + m_shift) % 40);
    if (line != 0) return std::nullopt;  // 1-line mode drives no second line
    return static_cast<std::uint8_t>((offset + m_shift) % 80);
}

Cell Controller::cell(int row, int column, Geometry module) const noexcept {
    Cell c;
    const auto a = address(row, column, module);
    if (!a) return c;
    c.code = m_ddram[*a];
    if (m_displayOn) c.rows = glyph(c.code);
    return c;
}

GlyphRows Controller::shownRows(int row, int column, Geometry module,
                                std::int64_t nowNs) const noexcept {
    GlyphRows rows = cell(row, column, module).rows;
    if (!m_displayOn || m_acInCgram || !(m_cursorOn || m_blinkOn)) return rows;
    if (address(row, column, module) != m_ac) return rows;
    if (m_blinkOn && blinkBlockShown(nowNs)) rows.fill(0x1F);
    if (m_cursorOn) rows[7] = 0x1F;
    return rows;
}

bool Controller::blinkBlockShown(std::int64_t nowNs) const noexcept {
    const std::int64_t half = blinkHalfPeriodNs(m_options.oscillator);
    const std::int64_t t = nowNs - m_options.powerOnNs.value_or(0);
    return t >= 0 && (t / half) % 2 == 0;
}

void Controller::warn(WarningKind kind, std::int64_t atNs, std::uint8_t value) noexcept {
    ++m_warningCount;
    m_warnings.push(Warning{kind, atNs, value});
}

}  // namespace hd44780
