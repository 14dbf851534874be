// What a serial board's protocol makes of what the controller executes. Each protocol is
// one coder and one row of the protocol table: the serial backend opens the port, queues
// what the coder puts on the line, sends it at each pause and honours the waits the coder
// asks for; the coder only turns executed bytes into line bytes. Pure: no I/O, no time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "hd44780/types.h"

namespace port::serial {

// Where a coder's bytes go.
class Line {
public:
    virtual void put(std::span<const std::uint8_t> bytes) noexcept = 0;
    // The board is busy that long once the bytes so far have left: what follows waits.
    virtual void busyFor(std::int64_t ns) noexcept = 0;

protected:
    ~Line() = default;
};

class LineCoder {
public:
    virtual ~LineCoder() = default;
    // The module the board drives: right after the open, and whenever the user picks
    // another size.
    virtual void setModule(hd44780::Geometry /*module*/, Line& /*line*/) noexcept {}
    // One byte the controller executes with RS low, or high.
    virtual void instruction(std::uint8_t byte, Line& line) noexcept = 0;
    virtual void data(std::uint8_t byte, Line& line) noexcept = 0;
    // Before every pause: what was kept back for more (a glyph part defined) goes now.
    virtual void pause(Line& /*line*/) noexcept {}

    // What the line could not carry as it was.
    struct Said {
        unsigned replaced = 0;    // data bytes sent as a space (they were the escape byte)
        std::uint8_t unsaid = 0;  // the first instruction the protocol has no word for
    };
    const Said& said() const noexcept { return m_said; }

protected:
    Said m_said;
};

// A protocol the serial row offers: "PORT@name".
struct Protocol {
    const char* name;
    unsigned defaultBaud;
    std::unique_ptr<LineCoder> (*coder)();
};

// The escape family (lcdserializer, picanlcd, vdr-lcd): an escape byte before each
// instruction, data bytes as they are.
struct EscapeProtocol {
    std::uint8_t instructionEscape;
    // Data bytes in [dataEscapeFirst, dataEscapeLast] go after dataEscape; none where the
    // protocol has no data escape (a data byte equal to the instruction escape then goes
    // as a space).
    bool hasDataEscape;
    std::uint8_t dataEscape;
    std::uint8_t dataEscapeFirst;
    std::uint8_t dataEscapeLast;
    unsigned interfaceBits;  // the DL of the board's own link to its LCD
};
std::unique_ptr<LineCoder> escapeCoder(const EscapeProtocol& protocol);

// The Matrix Orbital command set: its own commands after 0xFE, text placed by row and
// column.
std::unique_ptr<LineCoder> matrixOrbitalCoder();

}  // namespace port::serial
