// The backpack sketch's protocol, on the host: a byte stream in, the LCD calls out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lcd_serializer.h"

namespace {

struct RecordingLcd {
    std::vector<std::string> calls;
    void command(uint8_t c) { calls.push_back("command " + std::to_string(c)); }
    void write(uint8_t d) { calls.push_back("write " + std::to_string(d)); }
    void functionSet(bool twoLines, bool font5x10) {
        calls.push_back(std::string("lines ") + (twoLines ? "2" : "1") + (font5x10 ? " 5x10" : " 5x8"));
    }
};

TEST(BackpackSketch, InstructionsAfterTheEscapeAndTheWidthKept) {
    struct Case {
        std::vector<uint8_t> line;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        // What Velmorin sends at start-up: the function set's DL is not applied.
        {{0xFE, 0x38, 0xFE, 0x0C, 0xFE, 0x01}, {"lines 2 5x8", "command 12", "command 1"}},
        {{0xFE, 0x24}, {"lines 1 5x10"}},
        {{0xFE, 0x80, 'A', 0x20, 0x00}, {"command 128", "write 65", "write 32", "write 0"}},
        {{0xFE, 0x48, 0x1F}, {"command 72", "write 31"}},
    };
    for (const Case& c : cases) {
        RecordingLcd lcd;
        velmorin::LcdSerializer<RecordingLcd> s(lcd);
        for (uint8_t b : c.line) s.feed(b);
        EXPECT_EQ(lcd.calls, c.calls);
    }
}

}  // namespace
