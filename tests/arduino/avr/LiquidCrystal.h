// LiquidCrystal's interface as the sketch uses it, for the AVR build check only: Debian
// packages the Arduino AVR core but not this library, which the Arduino IDE bundles. The
// bodies do nothing; the check proves that the sketch, its protocol header and the core
// compile and link for an ATmega328P and fit its flash and RAM.
#pragma once

#include <Print.h>
#include <stdint.h>

#define LCD_5x10DOTS 0x04
#define LCD_5x8DOTS 0x00

class LiquidCrystal : public Print {
public:
    LiquidCrystal(uint8_t rs, uint8_t enable, uint8_t d4, uint8_t d5, uint8_t d6, uint8_t d7) {
        (void)rs, (void)enable, (void)d4, (void)d5, (void)d6, (void)d7;
    }
    void begin(uint8_t cols, uint8_t rows, uint8_t charsize = LCD_5x8DOTS) {
        (void)cols, (void)rows, (void)charsize;
    }
    void command(uint8_t value) { (void)value; }
    size_t write(uint8_t value) override {
        (void)value;
        return 1;
    }
};
