// An HD44780 behind a microcontroller on a serial port (an Arduino with an LCD, a serial
// LCD board): the row, its protocols, its own problems and remedies.
//
// Such a board takes whole instructions, not bus cycles: the backend is on the
// instruction-level seam (port/instruction_backend.h) and sends what the controller
// executes, each instruction after an escape byte, each data byte as it is, in the
// protocol the board speaks.
//
// Device text: PORT@PROTOCOL[,baud=N]: /dev/ttyACM0@lcdserializer, COM3@picanlcd,baud=19200.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/backend.h"

namespace port::serial {

// A protocol of the family: one escape byte before each instruction, data bytes as they
// are (the figures are those other LCD servers give for these boards).
struct Protocol {
    const char* name;
    std::uint8_t instructionEscape;
    // Data bytes in [dataEscapeFirst, dataEscapeLast] go after dataEscape; none where the
    // protocol has no data escape (a data byte equal to the instruction escape is then
    // sent as a space).
    std::optional<std::uint8_t> dataEscape;
    std::uint8_t dataEscapeFirst;
    std::uint8_t dataEscapeLast;
    unsigned interfaceBits;  // the DL the board's own link to its LCD has
    unsigned defaultBaud;
};

inline constexpr std::array<Protocol, 3> kProtocols{{
    {"lcdserializer", 0xFE, std::nullopt, 0, 0, 8, 9600},
    {"picanlcd", 0x11, 0x12, 0x00, 0x20, 8, 9600},
    {"vdr-lcd", 0xFE, std::nullopt, 0, 0, 4, 9600},
}};

enum class Problem : std::uint8_t {
    ProtocolMissing,  // "/dev/ttyACM0" alone; choices: the protocols
    UnknownProtocol,  // detail: the name given; choices: the protocols
    BadBaud,          // detail: the rate given
    BadOption,        // detail: the option
    NotSerialPort,    // the named device is not a serial port
};
enum class Hint : std::uint8_t {
    None,
    ListSerialPorts,   // no such port: where they are listed
    JoinGroupDialout,  // Debian gives serial ports to the group dialout
    PortBusy,          // another program (the Arduino IDE's serial monitor) holds it
    CablePulled,       // the port went away mid-run
};

struct Options final : DeviceOptions {
    const Protocol* protocol = nullptr;
    unsigned baud = 0;
};

// From what the controller executes to the bytes on the line. Pure: no I/O, no time.
class LineEncoder {
public:
    explicit LineEncoder(const Protocol& protocol) noexcept : m_protocol(protocol) {}

    // At most an escape and its byte: no allocation inside a port write.
    struct Encoded {
        std::array<std::uint8_t, 2> bytes{};
        std::uint8_t size = 0;
        bool waitAfter = false;  // clear or return home: the board needs 1.52 ms after it
    };
    // What one executed byte makes the line carry.
    Encoded instruction(std::uint8_t byte) const noexcept;
    Encoded data(std::uint8_t byte) noexcept;
    // How many data bytes were sent as a space because they were the instruction escape.
    unsigned replaced() const noexcept { return m_replaced; }

private:
    const Protocol& m_protocol;
    unsigned m_replaced = 0;
};

// The protocols' names, "lcdserializer, picanlcd, vdr-lcd".
std::string protocolNames();

extern const BackendRow kSerial;

}  // namespace port::serial
