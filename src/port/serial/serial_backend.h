// An HD44780 behind a microcontroller on a serial port (an Arduino with an LCD, a serial
// LCD board): the row, its protocols, its own problems and remedies.
//
// Such a board takes whole instructions, not bus cycles: the backend is on the
// instruction-level seam (port/instruction_backend.h) and sends what the controller
// executes in the protocol the board speaks, one coder each (line_coder.h).
//
// Device text: PORT@PROTOCOL[,baud=N]: /dev/ttyACM0@lcdserializer, COM3@picanlcd,baud=19200,
// /dev/ttyACM0@matrix-orbital.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "port/backend.h"
#include "port/serial/line_coder.h"

namespace port::serial {

enum class Problem : std::uint8_t {
    ProtocolMissing,  // "/dev/ttyACM0" alone; choices: the protocols
    UnknownProtocol,  // detail: the name given; choices: the protocols
    BadBaud,          // detail: the rate given
    BadOption,        // detail: the option
    NotSerialPort,    // the named device is not a serial port
    Console,          // a virtual console, /dev/tty or /dev/console: text on a screen
    PtyMaster,        // /dev/ptmx: opening it makes a new terminal nobody reads
    OptionTwice,      // detail: the option given again
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

// The protocols the row offers, in the order the window lists them.
std::span<const Protocol> protocols() noexcept;

// The protocols' names, "lcdserializer, picanlcd, vdr-lcd, matrix-orbital".
std::string protocolNames();

extern const BackendRow kSerial;

}  // namespace port::serial
