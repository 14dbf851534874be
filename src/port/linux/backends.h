// The Linux backends' rows, and the kernel facts tests look at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/backend.h"
#include "port/os.h"

namespace port::linux_backends {

extern const BackendRow kPpdev;
extern const BackendRow kIoport;
extern const BackendRow kPcf8574;
extern const BackendRow kMcp23008;
extern const BackendRow kGpio;

struct ParportInfo {
    std::string name;   // "parport0"
    std::int64_t base;  // I/O address of the data register
};

// Every parport the kernel lists, in name order.
std::vector<ParportInfo> listParports(Os& os);

// A character major as /proc/devices lists it ("99 ppdev"); none when the list lacks the
// driver, fallback when the list cannot be read.
std::optional<unsigned> driverMajor(Os& os, const std::string& driver, unsigned fallback);

// The driver a named device must belong to.
struct Driver {
    const char* name;     // as /proc/devices lists it
    unsigned usualMajor;  // where the list cannot be read; 0: then any
    Problem notIt;        // the device is some other driver's
    Hint ifAbsent;        // the path is not there (ENOENT)
    Hint ifUnusable;      // it cannot be looked at for another reason
};

// Looks at a named device without opening it: it is there, it is a character device, and
// it is the driver's, in one look. Opening some device nodes has side effects (a tape rewinds on
// close, an ioctl reaches the wrong driver), so nothing is opened before this.
std::optional<Error> checkDevice(const PortDevice& device, Os& os, const Driver& driver);

// A device that would not open, with the remedy for its errno.
Error openFailed(const std::string& path, int err, Hint hint);

}  // namespace port::linux_backends
