#include "lcd/lcd_driver.h"

namespace lcd {
namespace {
constexpr std::int16_t kRs = 0x01;
constexpr std::int16_t kE = 0x02;
constexpr std::int16_t kInitSequence[] = {0x01, 0x03, 0x02, 0x28, 0x0C, 0x06, 0x01};
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
    sendHalf(static_cast<std::int16_t>((value & 0x0F) * 16));
    m_sleeper.Sleep(kCommandSleepMs);
}

void LcdDriver::LCD_Data(std::int16_t value) noexcept {
    sendHalf(static_cast<std::int16_t>((value & 0xF0) | kRs));
    sendHalf(static_cast<std::int16_t>(((value & 0x0F) * 16) | kRs));
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
        LCD_Cmd(static_cast<std::int16_t>(0x40 + 8 * g));  // CGRAM address of glyph g
        for (std::uint8_t row : kGlyphs[g]) LCD_Data(row);
        if (g == 0) m_sleeper.Sleep(1);
    }
}

}  // namespace lcd
