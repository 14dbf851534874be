// I2C expanders between the port and the module (PCF8574, MCP23008), over any I2cBus:
// the device text, the board's wiring, finding the address, and the writes between two
// pauses packed into as few transactions as the bus takes.
//
// Device text: BUS@ADDRESS[,OPTION...]. BUS is a bus one of the platform's bus kinds names
// (/dev/i2c-N); ADDRESS is 0x03-0x77 or "auto"; OPTION is a wiring preset, map=PPPPPPPP
// (the expander pins of RS, R/W, E, backlight, D4-D7; "-" for a backlight that is not
// fitted, or an R/W tied low on the board), "auto" (the wiring read back from the module,
// as @auto alone does), bl-low or bl-high, or the chip's name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hd44780/types.h"
#include "port/backend.h"
#include "port/cable.h"
#include "port/i2c/i2c_bus.h"
#include "port/os.h"
#include "port/wiring.h"

namespace port::i2c {

// The expanders' own problems (Error::code) and remedies (Error::hint).
enum class Problem : std::uint8_t {
    AddressMissing,  // "/dev/i2c-1" alone
    BadAddress,      // detail: the address text
    BadOption,       // detail: the option; choices: the named presets
    PinMapLength,    // detail: the map
    PinMapPin,       // detail: the map; a pin that is not 0-7 (or "-" but for R/W, backlight)
    PinMapTwice,     // detail: the map
    TwoWirings,      // detail: the second one
    NotI2cDevice,    // the named device is some other driver's
    AddressRefused,  // device, detail: the address; err
    NoneFound,       // device: nothing answered in the probe ranges
    ManyFound,       // device, detail: the addresses that answered
    NotBackpack,     // device, detail: the address; its reads fit no expander
};
enum class Hint : std::uint8_t {
    None,
    LoadI2cDev,    // i2c-dev not loaded, or I2C not enabled on a Raspberry Pi
    JoinGroupI2c,  // the device belongs to the group i2c
    AddressBusy,   // a kernel driver has the address
    NoAnswer,      // nothing acknowledges the address
};

struct AddressRange {
    std::uint8_t first;
    std::uint8_t last;
};
// 7-bit addresses, outside the reserved ones.
inline constexpr AddressRange kAddresses{0x03, 0x77};
// Where the expanders answer: the PCF8574 and MCP23008 at 0x20-0x27, the PCF8574A at
// 0x38-0x3f. @auto probes these alone.
inline constexpr std::array<AddressRange, 2> kProbeRanges{{{0x20, 0x27}, {0x38, 0x3F}}};
// The chips a device text can name, the first being the one meant when none is.
inline constexpr std::array<const char*, 2> kChipNames{"pcf8574", "mcp23008"};

// A register the chip needs set before the first write.
struct RegisterWrite {
    std::uint8_t reg;
    std::uint8_t value;
};

struct Chip {
    const char* key;  // the row's
    const char* name;
    std::span<const Preset> presets;  // presets[0] is the usual board
    // A register device takes each value in this register; a port device, bare bytes.
    std::optional<std::uint8_t> dataRegister;
    std::span<const RegisterWrite> setUp;
};

struct Options final : DeviceOptions {
    std::uint8_t address = 0;
    bool findAddress = false;  // @auto: probe the expanders' ranges
    bool findWiring = false;   // read the wiring back: @auto with none named, or ",auto"
    std::optional<bool> backlightActiveLow;  // bl-low, bl-high: over what a look finds
    Wiring wiring;
};

// The writes to one expander between two pauses, packed into as few transactions as the
// bus takes. An expander takes any number of bytes after its address, each becoming its
// output (or, for a register device, its register's value) as it is acknowledged, so the
// bytes and their order on the bus are those of one transaction per write; only the start,
// address and stop between them go.
class Batch {
public:
    static constexpr std::size_t kPage = 4096;

    // reg: the register every byte writes (sequential addressing off), or none for a
    // bare port byte.
    Batch(I2cBus& bus, std::uint8_t address, std::optional<std::uint8_t> reg) noexcept;
    // Queues one byte, and sends the queue once it is full. 0, or the errno of the send.
    int put(std::uint8_t byte) noexcept;
    // Sends what is queued: 0, or the errno (the queue is dropped either way).
    int flush() noexcept;
    // Whether the expander has taken a transaction yet.
    bool answered() const noexcept { return m_answered; }

private:
    int sendInPieces(std::size_t n) noexcept;

    I2cBus& m_bus;
    std::uint8_t m_address;
    std::size_t m_first;     // bytes that open every transaction (the register)
    std::size_t m_capacity;  // bytes of one transaction: the bus's word, or what it took
    std::size_t m_count;
    bool m_answered = false;
    std::array<std::uint8_t, kPage> m_bytes{};
};

// The row functions every expander shares; each chip's row names its Chip.
Claim claims(const Chip& chip, const DeviceText& text);
std::optional<Error> parse(const Chip& chip, const DeviceText& text, PortDevice& device);
std::optional<Error> check(const PortDevice& device, Os& os);
OpenResult openNamed(const Chip& chip, const PortDevice& device, Os& os);
// The chip behind a bus that is already open: its address found or claimed, its wiring
// read back where asked (time: the look's pauses), its set-up.
OpenResult openOn(const Chip& chip, const PortDevice& device, std::unique_ptr<I2cBus> bus,
                  Time& time);
// Every bus of every kind, for either chip.
std::vector<Candidate> candidates(Os& os);

// A chip's row functions, for its BackendRow.
template <const Chip& chip>
Claim chipClaims(const DeviceText& text) {
    return claims(chip, text);
}
template <const Chip& chip>
std::optional<Error> chipParse(const DeviceText& text, PortDevice& device) {
    return parse(chip, text, device);
}
template <const Chip& chip>
OpenResult chipOpen(const PortDevice& device, Os& os) {
    return openNamed(chip, device, os);
}

}  // namespace port::i2c
