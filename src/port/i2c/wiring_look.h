// A backpack's chip, wiring and backlight polarity, found by reading the module back.
//
// A PCF8574's pins are quasi-bidirectional: a pin written 1 is a weak pull-up and reads
// what drives it. With R/W and E high the HD44780 drives D7-D4 with its busy flag and
// address counter (or with DDRAM data, RS high), high nibble first in 4-bit mode; with
// R/W low its data pins are inputs, and read as the pull-ups' 1s. A backlight NPN's base
// clamps its pin near 0.7 V (reads 0 when let high); a PNP's reads 1. So a few writes and
// reads, each through a trial wiring, single out the one wiring under which the controller
// answers what it was told, without a pin left driving the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "port/i2c/expander.h"
#include "port/os.h"

namespace port::i2c {

enum class Look : std::uint8_t {
    None,         // the wiring was given
    ReadBack,     // the controller's own answers singled it out
    Fallback,     // nothing answered as a controller (R/W tied low, no wiring fits): the usual one
    NotBackpack,  // the reads fit no expander: nothing more is written there
};

struct LookResult {
    Look look = Look::None;
    const Chip* chip = nullptr;  // told apart by reading back
    Wiring wiring;               // found, or the chip's usual board
    bool polarityKnown = false;
    std::string options;  // the device text's wiring options: "mjkdz", "map=65470123,bl-low"
    int err = 0;          // a transfer failed: the look stopped there
    // What the look took on the bus: transactions each way, and their bytes after the
    // address (at 100 kHz a byte is 90 us, an address with its start and stop about 110 us).
    int writes = 0;
    int reads = 0;
    std::size_t bytes = 0;
};

// Looks at the expander at address, which has answered the probe. Leaves E low and every
// other pin but the backlight's low too; the normal start-up follows it.
LookResult lookAtBackpack(I2cBus& bus, std::uint8_t address, Time& time) noexcept;

}  // namespace port::i2c
