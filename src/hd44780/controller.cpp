#include "hd44780/controller.h"

#include <cstdio>

#include "hd44780/char_rom.h"

namespace hd44780 {
namespace {

std::string hex(unsigned value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", value & 0xFFu);
    return buf;
}

// Blink half-period: 409.6 ms at 250 kHz, scaled with the oscillator.
std::int64_t blinkHalfPeriodNs(Oscillator oscillator) {
    const std::int64_t at250kHz = 409'600'000;
    return oscillator == Oscillator::k190kHz ? at250kHz * 250 / 190 : at250kHz * 250 / 270;
}

}  // namespace

Controller::Controller(Options options) noexcept
    : m_options(options), m_timing(options.oscillator, options.powerOnNs) {
    m_ddram.fill(0x20);
}

std::optional<std::uint8_t> Controller::pendingNibble() const noexcept {
    if (!m_pending) return std::nullopt;
    return m_pending->nibble;
}

void Controller::busWrite(std::uint8_t pins, std::int64_t atNs) noexcept {
    const std::uint8_t before = m_pins;
    m_pins = pins;
    ++m_revision;
    m_timing.onWrite(before, pins, atNs);
    // Falling edge of E: RS and DB are sampled as they stood before this write.
    if ((before & kPinE) && !(pins & kPinE)) latch(before, atNs);
}

void Controller::latch(std::uint8_t pins, std::int64_t atNs) noexcept {
    m_timing.onLatch(atNs);
    const bool rs = (pins & kPinRs) != 0;
    const auto nibble = static_cast<std::uint8_t>(pins >> 4);
    if (m_dl8) {
        // DB0-DB3 are not wired: they read as the pull-ups (or ground) leave them.
        const std::uint8_t low = m_options.undrivenLinesHigh ? 0x0F : 0x00;
        execute(rs, static_cast<std::uint8_t>((nibble << 4) | low), atNs);
        return;
    }
    if (!m_pending) {
        m_pending = Pending{nibble, rs};
        return;
    }
    const Pending first = *m_pending;
    m_pending.reset();
    if (first.rs != rs)
        warn("RS différent entre les deux moitiés d'un octet (RS du second quartet retenu)");
    execute(rs, static_cast<std::uint8_t>((first.nibble << 4) | nibble), atNs);
}

void Controller::execute(bool rs, std::uint8_t byte, std::int64_t atNs) noexcept {
    if (rs) {
        writeData(byte);
        m_timing.onExecute(Execution::DataWrite, atNs);
    } else {
        instruction(byte, atNs);
    }
}

void Controller::instruction(std::uint8_t byte, std::int64_t atNs) noexcept {
    Execution busy = Execution::Instruction;
    if (byte & 0x80) {  // set DDRAM address
        m_ac = byte & 0x7F;
        m_acInCgram = false;
        const bool inGap = m_twoLines ? ((m_ac & 0x3F) > 0x27) : (m_ac > 0x4F);
        if (inGap)
            warn("adresse DDRAM " + hex(m_ac) + " hors des lignes (comportement non défini)");
    } else if (byte & 0x40) {  // set CGRAM address
        m_ac = byte & 0x3F;
        m_acInCgram = true;
    } else if (byte & 0x20) {
        functionSet(byte);
    } else if (byte & 0x10) {  // cursor or display shift
        const bool right = (byte & 0x04) != 0;
        if (byte & 0x08)
            shiftDisplay(!right);
        else
            moveAddress(right);
    } else if (byte & 0x08) {  // display on/off control
        m_displayOn = (byte & 0x04) != 0;
        m_cursorOn = (byte & 0x02) != 0;
        m_blinkOn = (byte & 0x01) != 0;
    } else if (byte & 0x04) {  // entry mode set
        m_increment = (byte & 0x02) != 0;
        m_shiftOnEntry = (byte & 0x01) != 0;
    } else if (byte & 0x02) {  // return home
        m_ac = 0;
        m_acInCgram = false;
        m_shift = 0;
        busy = Execution::ClearOrHome;
    } else if (byte & 0x01) {  // clear display
        m_ddram.fill(0x20);
        m_ac = 0;
        m_acInCgram = false;
        m_shift = 0;
        m_increment = true;
        busy = Execution::ClearOrHome;
    } else {
        warn("instruction 0x00 (aucune instruction définie) ignorée");
    }
    m_timing.onExecute(busy, atNs);
}

void Controller::functionSet(std::uint8_t byte) noexcept {
    const bool dl8 = (byte & 0x10) != 0;
    const bool twoLines = (byte & 0x08) != 0;
    const bool font5x10 = (byte & 0x04) != 0;
    if (dl8 != m_dl8) {
        // The set that switches the interface arrives as a lone nibble in 4-bit
        // initialisations; the one after it is where N and F are really chosen.
        m_functionSetsSinceDl = 0;
        m_pending.reset();
    } else {
        if (m_functionSetsSinceDl > 0 && (twoLines != m_twoLines || font5x10 != m_font5x10))
            warn("function set " + hex(byte) +
                 " change N ou F après l'initialisation (comportement non défini)");
        ++m_functionSetsSinceDl;
    }
    m_dl8 = dl8;
    m_twoLines = twoLines;
    m_font5x10 = font5x10;
    m_shift %= lineLength();
}

void Controller::writeData(std::uint8_t byte) noexcept {
    if (m_acInCgram) {
        m_cgram[m_ac & 0x3F] = byte;
        moveAddress(m_increment);
        return;
    }
    m_ddram[m_ac & 0x7F] = byte;
    moveAddress(m_increment);
    // Shift on entry follows DDRAM writes only: left when incrementing, right when not.
    if (m_shiftOnEntry) shiftDisplay(m_increment);
}

void Controller::moveAddress(bool forward) noexcept {
    if (m_acInCgram) {
        m_ac = static_cast<std::uint8_t>((m_ac + (forward ? 1 : 63)) & 0x3F);
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
    m_ac = static_cast<std::uint8_t>(a & 0x7F);
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

Cell Controller::cell(int row, int column, int columns) const noexcept {
    Cell c;
    if (row < 0 || row >= kRows || column < 0 || column >= columns) return c;
    int address = 0;
    if (m_twoLines) {
        address = row * 0x40 + (column + m_shift) % 40;
    } else {
        if (row != 0) return c;  // the second row stays blank in 1-line mode
        address = (column + m_shift) % 80;
    }
    c.code = m_ddram[static_cast<std::size_t>(address)];
    if (m_displayOn) c.rows = glyph(c.code);
    return c;
}

std::optional<Cursor> Controller::cursor(int columns) const noexcept {
    if (!m_displayOn || m_acInCgram || !(m_cursorOn || m_blinkOn)) return std::nullopt;
    int row = 0;
    int offset = 0;
    int len = lineLength();
    if (m_twoLines) {
        row = m_ac >= 0x40 ? 1 : 0;
        offset = m_ac - row * 0x40;
    } else {
        offset = m_ac;
    }
    if (offset >= len) return std::nullopt;
    const int column = (offset - m_shift + len) % len;
    if (column >= columns) return std::nullopt;
    return Cursor{row, column, m_cursorOn, m_blinkOn};
}

bool Controller::blinkBlockShown(std::int64_t nowNs) const noexcept {
    const std::int64_t half = blinkHalfPeriodNs(m_options.oscillator);
    const std::int64_t t = nowNs - m_options.powerOnNs.value_or(0);
    return t >= 0 && (t / half) % 2 == 0;
}

void Controller::warn(std::string text) noexcept {
    ++m_warningCount;
    if (m_warnings.size() == kKeptWarnings) m_warnings.pop_front();
    m_warnings.push_back(std::move(text));
}

}  // namespace hd44780
