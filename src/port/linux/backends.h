// What the Linux backends share: the kernel's tables, and a look at a named device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/backend.h"
#include "port/os.h"

namespace port::linux_backends {

struct ParportInfo {
    std::string name;   // "parport0"
    std::int64_t base;  // I/O address of the data register
};

// Every parport the kernel lists, in name order.
std::vector<ParportInfo> listParports(Os& os);

// A character major as /proc/devices lists it ("99 ppdev"); none when the list lacks the
// driver, fallback when the list cannot be read.
std::optional<unsigned> driverMajor(Os& os, const std::string& driver, unsigned fallback);

// The driver a named device must belong to, and the backend's own codes for what is
// wrong with it.
struct Driver {
    const char* name;         // as /proc/devices lists it
    unsigned usualMajor;      // where the list cannot be read; 0: then any
    std::uint8_t notIt;       // the backend's problem: the device is some other driver's
    std::uint8_t ifAbsent;    // its hint: the path is not there (ENOENT)
    std::uint8_t ifUnusable;  // its hint: it cannot be looked at for another reason
};

// Looks at a named device without opening it: it is there, it is a character device, and
// it is the driver's, in one look. Opening some device nodes has side effects (a tape rewinds on
// close, an ioctl reaches the wrong driver), so nothing is opened before this.
std::optional<Error> checkDevice(const std::string& path, Os& os, const Driver& driver);

// The serial ports sysfs knows a device behind: USB adapters and boards (ttyACM, ttyUSB),
// a Raspberry Pi's UARTs (ttyAMA), each with its USB product name where it has one. The
// ttyS ports are left out: the kernel makes 4 or 32 of them whether or not a UART is there.
std::vector<SerialPortInfo> serialPorts(TextFiles& texts);

// A device that would not open, with the remedy for its errno.
Error openFailed(const std::string& path, int err, std::uint8_t hint);

}  // namespace port::linux_backends
