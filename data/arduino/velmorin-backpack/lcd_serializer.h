// The lcdserializer protocol on the board's side, in plain C++ so that the PC's tests run
// it too: 0xFE, then an instruction for the LCD; any other byte is a character.
//
// The board keeps its own link to its LCD (LiquidCrystal's, 4 bits wide): a function set
// from the PC gives its N and F bits (lines, font), never the width, which is the link's
// business. Everything else goes to the LCD as it came.
#pragma once

#include <stdint.h>

namespace velmorin {

constexpr uint8_t kInstructionEscape = 0xFE;

// Lcd: command(uint8_t), write(uint8_t), and functionSet(bool twoLines, bool font5x10),
// which sets the lines and the font and keeps the board's own bus width.
template <class Lcd>
class LcdSerializer {
public:
    explicit LcdSerializer(Lcd& lcd) : m_lcd(lcd) {}

    void feed(uint8_t byte) {
        if (m_escaped) {
            m_escaped = false;
            instruction(byte);
        } else if (byte == kInstructionEscape) {
            m_escaped = true;
        } else {
            m_lcd.write(byte);
        }
    }

private:
    static constexpr uint8_t kFunctionSet = 0x20;  // 001DNF--
    static constexpr uint8_t kTwoLines = 0x08;     // N
    static constexpr uint8_t kFont5x10 = 0x04;     // F

    void instruction(uint8_t byte) {
        if ((byte & 0xE0) == kFunctionSet) {
            m_lcd.functionSet((byte & kTwoLines) != 0, (byte & kFont5x10) != 0);
            return;
        }
        m_lcd.command(byte);
    }

    Lcd& m_lcd;
    bool m_escaped = false;
};

}  // namespace velmorin
