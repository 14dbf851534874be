#include "lcd/lcd_driver.h"

#include "hd44780/instructions.h"
#include "port/cable.h"

namespace lcd {
namespace {

using hd44780::Line;
using port::kParallelCable;
namespace in = hd44780::instr;

// The parallel cable's bits: RS on D0, E on D1, the half-byte from D4 up.
constexpr std::int16_t bitOf(Line line) {
    return static_cast<std::int16_t>(1 << kParallelCable.bit[static_cast<std::size_t>(line)]);
}
constexpr std::int16_t kRs = bitOf(Line::RS);
constexpr std::int16_t kE = bitOf(Line::E);
// Multiplying by the weight of D4 moves a low half onto D4-D7 (x 16 on our cable).
constexpr std::int16_t kD4 = bitOf(Line::DB4);
static_assert(bitOf(Line::DB5) == 2 * kD4 && bitOf(Line::DB7) == 8 * kD4,
              "D4-D7 must be four adjacent bits, in order, for a half-byte to land whole");
static_assert(kD4 == 0x10, "a byte's high half goes out in place, masked with 0xF0");

// 0x01 0x03 0x02 0x28 0x0C 0x06 0x01. The 0x03 and 0x02 are return-home in 4-bit mode;
// from 8-bit power-on state their halves, with those of the first clear, are the 0-1-0-3-0-2
// nibbles that end in a 4-bit function set.
constexpr std::int16_t kInitSequence[] = {
    in::kClearDisplay,
    in::kReturnHome | 0x01,  // DB0 is "don't care" for return home
    in::kReturnHome,
    in::kFunctionSet | in::kFunction2Lines,   // 4-bit, 2 lines, 5x8
    in::kDisplayControl | in::kDisplayOn,     // no cursor, no blink
    in::kEntryModeSet | in::kEntryIncrement,  // no display shift
    in::kClearDisplay,
};
static_assert(kInitSequence[3] == 0x28 && kInitSequence[4] == 0x0C && kInitSequence[5] == 0x06);

}  // namespace

void LcdDriver::LCD_Strobe(std::int16_t value) noexcept {
    value = static_cast<std::int16_t>(value | kE);
    m_out.Out32(PortLPT, value);
    m_clock.spinFor(kStrobeHighNs);
    value = static_cast<std::int16_t>(value ^ kE);  // clears exactly the bit set above
    m_out.Out32(PortLPT, value);
    m_clock.spinFor(kStrobeLowNs);
}

// Set-up write with E low, then the pulse around the same value.
void LcdDriver::sendHalf(std::int16_t value) noexcept {
    DatPort = value;
    m_out.Out32(PortLPT, DatPort);
    LCD_Strobe(DatPort);
}

void LcdDriver::LCD_Cmd(std::int16_t value) noexcept {
    sendHalf(static_cast<std::int16_t>(value & 0xF0));
    sendHalf(static_cast<std::int16_t>((value & 0x0F) * kD4));
    m_sleeper.Sleep(kCommandSleepMs);
}

void LcdDriver::LCD_Data(std::int16_t value) noexcept {
    sendHalf(static_cast<std::int16_t>((value & 0xF0) | kRs));
    sendHalf(static_cast<std::int16_t>(((value & 0x0F) * kD4) | kRs));
}

void LcdDriver::LCD_MSB(std::int16_t Dat) noexcept {
    sendHalf(static_cast<std::int16_t>(Dat & 0xF0));
    m_sleeper.Sleep(kCommandSleepMs);
}

void LcdDriver::LCD_Init() noexcept {
    m_out.Out32(PortLPT, 0);  // RS and E low before anything else
    m_sleeper.Sleep(kInitSleepMs);
    for (std::int16_t instruction : kInitSequence) LCD_Cmd(instruction);
}

void LcdDriver::EcrireCCRAM(std::int16_t addr, std::int16_t Car) noexcept {
    LCD_Cmd(addr);
    LCD_Data(Car);
}

void LcdDriver::EcrireCGRAM() noexcept {
    for (std::size_t g = 0; g < kGlyphs.size(); ++g) {
        // CGRAM address of glyph g: 0x40, 0x48, 0x50, 0x58.
        LCD_Cmd(static_cast<std::int16_t>(in::kSetCgramAddress + 8 * g));
        for (std::uint8_t row : kGlyphs[g]) LCD_Data(row);
        if (g == 0) m_sleeper.Sleep(1);
    }
}

}  // namespace lcd
