// Velmorin's serial backpack: an Arduino Uno or Nano with an HD44780 LCD, speaking
// lcdserializer (VELMORIN_LPT1=/dev/ttyACM0@lcdserializer, or COM3@lcdserializer).
// The pins default to the 16x2 "LCD keypad shield"'s.
#include <LiquidCrystal.h>

#include "lcd_serializer.h"

// The line's rate: 9600 is lcdserializer's; a higher one needs ,baud=N on the PC too.
constexpr unsigned long kBaud = 9600;
constexpr uint8_t kColumns = 16;

// The LCD's pins: RS, E, D4, D5, D6, D7, and the backlight (-1: none).
struct Pins {
    uint8_t rs, e, d4, d5, d6, d7;
    int8_t backlight;
};
constexpr Pins kPins{8, 9, 4, 5, 6, 7, 10};  // LCD keypad shield

LiquidCrystal lcd(kPins.rs, kPins.e, kPins.d4, kPins.d5, kPins.d6, kPins.d7);

// What the protocol asks of the LCD, on LiquidCrystal.
struct Board {
    void command(uint8_t c) {
        lcd.command(c);
        // Datasheet: clear and return home take 1.52 ms; LiquidCrystal's command() does
        // not wait for them.
        if (c <= 0x03) delayMicroseconds(2000);
    }
    void write(uint8_t d) { lcd.write(d); }
    void functionSet(bool twoLines, bool font5x10) {
        lcd.begin(kColumns, twoLines ? 2 : 1, font5x10 ? LCD_5x10DOTS : LCD_5x8DOTS);
    }
};

Board board;
velmorin::LcdSerializer<Board> serializer(board);

void setup() {
    if (kPins.backlight >= 0) {
        pinMode(kPins.backlight, OUTPUT);
        digitalWrite(kPins.backlight, HIGH);
    }
    lcd.begin(kColumns, 2);
    Serial.begin(kBaud);
}

void loop() {
    while (Serial.available() > 0) serializer.feed(static_cast<uint8_t>(Serial.read()));
}
