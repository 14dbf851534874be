// The HD44780 instruction set: one opcode bit marks each instruction (the highest bit set
// decides), and the bits below it are its flags. Datasheet table 6.
#pragma once

#include <cstdint>

namespace hd44780::instr {

inline constexpr std::uint8_t kClearDisplay = 0x01;
inline constexpr std::uint8_t kReturnHome = 0x02;

inline constexpr std::uint8_t kEntryModeSet = 0x04;
inline constexpr std::uint8_t kEntryIncrement = 0x02;  // I/D: address counter counts up
inline constexpr std::uint8_t kEntryShift = 0x01;      // S: shift the display on each write

inline constexpr std::uint8_t kDisplayControl = 0x08;
inline constexpr std::uint8_t kDisplayOn = 0x04;  // D
inline constexpr std::uint8_t kCursorOn = 0x02;   // C: underline cursor
inline constexpr std::uint8_t kBlinkOn = 0x01;    // B: blinking block

inline constexpr std::uint8_t kShift = 0x10;
inline constexpr std::uint8_t kShiftDisplay = 0x08;  // S/C: the display, not the cursor
inline constexpr std::uint8_t kShiftRight = 0x04;    // R/L

inline constexpr std::uint8_t kFunctionSet = 0x20;
inline constexpr std::uint8_t kFunction8Bit = 0x10;    // DL
inline constexpr std::uint8_t kFunction2Lines = 0x08;  // N
inline constexpr std::uint8_t kFunction5x10 = 0x04;    // F

inline constexpr std::uint8_t kSetCgramAddress = 0x40;  // + 6-bit address
inline constexpr std::uint8_t kSetDdramAddress = 0x80;  // + 7-bit address

inline constexpr std::uint8_t kCgramAddressMask = 0x3F;
inline constexpr std::uint8_t kDdramAddressMask = 0x7F;

// The datasheet's name of an instruction byte, by its highest bit set.
constexpr const char* name(std::uint8_t byte) noexcept {
    if (byte & kSetDdramAddress) return "set DDRAM address";
    if (byte & kSetCgramAddress) return "set CGRAM address";
    if (byte & kFunctionSet) return "function set";
    if (byte & kShift) return "cursor or display shift";
    if (byte & kDisplayControl) return "display on/off control";
    if (byte & kEntryModeSet) return "entry mode set";
    if (byte & kReturnHome) return "return home";
    if (byte & kClearDisplay) return "clear display";
    return "no instruction";
}

}  // namespace hd44780::instr
