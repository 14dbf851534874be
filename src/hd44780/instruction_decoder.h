// From the controller's pins to the bytes it executes: the nibble pairing of a 4-bit bus
// and the bus width that function sets choose. The controller runs on it, and so can
// anything that must know what a stream of bus writes tells a module (a serial backpack,
// which takes whole instructions).
//
// Datasheet facts it honours:
//  - After power-on reset the interface is 8 bits wide: each latch is a whole byte, and
//    DB0-DB3 read as their pull-ups (or ground) leave them when they are not wired.
//  - After a function set with DL = 0, bytes travel as two nibbles, high first. Only the
//    count of E pulses keeps the phase: a stray nibble skews every later byte.
//  - A byte with either half latched while the controller is busy is lost; its pulses
//    still count towards the pairing.
#pragma once

#include <cstdint>
#include <optional>

#include "hd44780/types.h"

namespace hd44780 {

class InstructionDecoder {
public:
    struct Latched {
        bool rs = false;
        std::uint8_t byte = 0;
        bool rsDiffers = false;     // the two halves' RS differ; the second's is used
        bool widthChanged = false;  // a function set that switches the bus width
    };

    explicit InstructionDecoder(bool undrivenLinesHigh = true) noexcept
        : m_low(undrivenLinesHigh ? 0x0F : 0x00) {}

    // A fall of E, with RS and DB4-DB7 as they stood before it. busy: the controller was
    // busy then. Returns the byte this latch completes, to be executed, or none (the first
    // half of a byte, or a byte lost to busy).
    std::optional<Latched> latch(Pins pins, bool busy) noexcept;
    // DB0-DB3 as they stand from now on (bit 0 is DB0), where a bus drives them: an 8-bit
    // latch takes them as its low half. Until then they read as the pull-ups (or ground)
    // leave them.
    void setLowLines(std::uint8_t db0to3) noexcept { m_low = db0to3 & 0x0F; }
    std::uint8_t lowLines() const noexcept { return m_low; }

    bool eightBit() const noexcept { return m_eightBit; }
    // The high nibble waiting for its low half, on a 4-bit bus.
    std::optional<std::uint8_t> pendingNibble() const noexcept;

    // Whether an executed byte is a function set (DL, N and F are its bits).
    static bool isFunctionSet(bool rs, std::uint8_t byte) noexcept;

private:
    std::uint8_t m_low;  // DB0-DB3
    bool m_eightBit = true;
    struct Pending {
        std::uint8_t nibble;
        bool rs;
        bool busy;  // latched while busy: the byte is lost whatever its second half does
    };
    std::optional<Pending> m_pending;
};

}  // namespace hd44780
