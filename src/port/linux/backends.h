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

// The look every named device gets: it exists (st, from Os::stat) and is a character
// device. hintIfMissing goes with a failed look.
std::optional<Error> checkCharacterDevice(const PortDevice& device, const PathInfo& st,
                                          Hint hintIfMissing);

}  // namespace port::linux_backends
