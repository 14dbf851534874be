// Driver of an HD44780 character LCD in 4-bit mode on a PC parallel port's data register.
//
//   bit 0  RS   register select: 0 instruction, 1 data
//   bit 1  E    enable; the controller latches on its falling edge
//   bits 4-7    D4-D7, the half-byte being transferred
//
// Every half-byte is written three times: set-up with E low, E high, E low again. RS and
// data settle a whole port write (about 1 us) before E rises and stay put while it falls,
// which covers the datasheet's set-up and hold times (tAS 40 ns, tDSW 80 ns, tH 10 ns).
// Nothing reads the busy flag (R/W is tied low): the pulse's low phase and a 2 ms pause
// after each instruction give the controller its execution time.
#pragma once

#include <array>
#include <cstdint>

#include "hd44780/timing_checker.h"
#include "port/clock.h"
#include "port/port_writer.h"

namespace lcd {

// The enable pulse counts 1000 iterations high and 20000 low. One iteration is taken as
// 2.5 ns, so E stays high 2.5 us (datasheet PWEH >= 230 ns at 5 V, 450 ns at 2.7 V) and
// low 50 us. The low phase outlasts a data write (37 + 4 us at 270 kHz), so the next latch
// never finds the controller busy. A slow 190 kHz clone needs 58 us per data write, which
// this does not cover.
inline constexpr int kStrobeHighIterations = 1000;
inline constexpr int kStrobeLowIterations = 20000;
inline constexpr std::int64_t kIterationPs = 2500;
inline constexpr std::int64_t kStrobeHighNs = kStrobeHighIterations * kIterationPs / 1000;
inline constexpr std::int64_t kStrobeLowNs = kStrobeLowIterations * kIterationPs / 1000;

// Pause after each instruction. Clear display and return home take 1.52 ms at 270 kHz.
inline constexpr std::uint32_t kCommandSleepMs = 2;
// Power-on: the first instruction must come more than 15 ms after VCC reaches 4.5 V.
inline constexpr std::uint32_t kInitSleepMs = 16;

// The emulator's checker judges by the same datasheet figures: these times must pass it.
using Limits = hd44780::TimingChecker;
static_assert(kStrobeHighNs >= Limits::kMinEnableHighNs, "E high >= PWEH");
static_assert(kStrobeHighNs + kStrobeLowNs >= Limits::kMinEnableCycleNs, "E cycle >= tcycE");
static_assert(kStrobeLowNs >=
                  Limits::executionNs(hd44780::Execution::DataWrite, hd44780::Oscillator::k270kHz),
              "the low phase outlasts a data write at 270 kHz");
static_assert(kCommandSleepMs * 1'000'000LL >= Limits::executionNs(hd44780::Execution::ClearOrHome,
                                                                   hd44780::Oscillator::k270kHz),
              "the pause after an instruction outlasts clear and home");
static_assert(kInitSleepMs * 1'000'000LL > Limits::kPowerUpNs, "power-up wait > 15 ms");

// Accented glyphs for CGRAM slots 0-3: à, é, è, ë. Rows top to bottom, bit 4 leftmost.
inline constexpr std::array<std::array<std::uint8_t, 8>, 4> kGlyphs{{
    {0x04, 0x02, 0x0E, 0x01, 0x0F, 0x11, 0x0F, 0x00},  // à
    {0x04, 0x08, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // é
    {0x04, 0x02, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // è
    {0x05, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00},  // ë
}};

class LcdDriver {
public:
    LcdDriver(port::PortWriter& out, port::Sleeper& sleeper, port::Clock& clock) noexcept
        : m_out(out), m_sleeper(sleeper), m_clock(clock) {}
    virtual ~LcdDriver() = default;

    // I/O address of the selected port's data register: 888 (LPT1) or 632 (LPT2).
    std::int16_t PortLPT = 0;
    // The last value a transfer wrote to the data register, E always clear.
    std::int16_t DatPort = 0;

    // Lines low, 16 ms, then 0x01 0x03 0x02 0x28 0x0C 0x06 0x01. Works from 8-bit power-on
    // state as from 4-bit mode: in 8-bit mode the first six nibbles are whole instructions
    // and the sixth (0x2_) switches to 4 bits; in 4-bit mode they pair up as 01 03 02.
    void LCD_Init() noexcept;
    // Sends only the high half of Dat, as an instruction, then pauses 2 ms.
    void LCD_MSB(std::int16_t Dat) noexcept;
    // Loads kGlyphs into CGRAM glyphs 0-3. Leaves the address counter in CGRAM.
    void EcrireCGRAM() noexcept;
    // Sets the DDRAM address (addr is the whole 0x80 + address instruction), then writes Car.
    void EcrireCCRAM(std::int16_t addr, std::int16_t Car) noexcept;

protected:
    // Instruction: two half-bytes with RS low, then 2 ms.
    void LCD_Cmd(std::int16_t value) noexcept;
    // Data: two half-bytes with RS high, no pause.
    void LCD_Data(std::int16_t value) noexcept;

private:
    void LCD_Strobe(std::int16_t value) noexcept;
    void sendHalf(std::int16_t value) noexcept;

    port::PortWriter& m_out;
    port::Sleeper& m_sleeper;
    port::Clock& m_clock;
};

}  // namespace lcd
