// Direct port I/O: the row, and its own problems.
#pragma once

#include <cstdint>

#include "port/backend.h"

namespace port::ioport {

enum class Problem : std::uint8_t {
    Unavailable,        // no I/O space on this processor, or no access to it
    IopermUnsupported,  // address, err
    IopermRefused,      // address, err
};

extern const BackendRow kIoport;

}  // namespace port::ioport
