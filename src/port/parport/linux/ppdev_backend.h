// A parallel port through the kernel's ppdev driver: the row, and its own problems and
// remedies.
#pragma once

#include <cstdint>

#include "port/backend.h"

namespace port::ppdev {

enum class Problem : std::uint8_t {
    NotPpdevDevice,  // the named device is some other driver's
    OptionsGiven,    // a parallel port takes nothing after '@'
    ParportHeld,     // detail: the driver holding it
    ClaimFailed,     // err (PPCLAIM)
    NoParportAt,     // address, setting
};
enum class Hint : std::uint8_t {
    None,
    LoadPpdev,       // ppdev is not in /proc/devices
    ParportGone,     // ls /dev/parport*
    JoinGroupLp,     // or run with the emulator
    ParportRefused,  // another driver took it?
    ParportBusy,
    GiveParportPath,  // a full path to a parallel port
    ListParports,     // name one with VELMORIN_LPTn=/dev/parportN
    LoadParport,      // no /dev/parport* at all
};

extern const BackendRow kPpdev;

}  // namespace port::ppdev
