// An HD44780 module behind a PCF8574/PCF8574A "backpack" on an I2C bus.
//
// The expander is a byte-wide output port, like the parallel port's data register: each
// Out32 becomes exactly one byte on the bus, the pins placed by the backpack's wiring, and
// the bytes between two pauses go out as one transaction where the adapter can. One byte
// in a transaction takes 9 clocks: 90 us at 100 kHz, 22.5 us at 400 kHz (above the part's
// rating). So E stays high at least 22.5 us (datasheet: PWEH >= 450 ns), and two falls of
// E are at least three bytes, 67 us, apart, beyond the 37 us a write executes in (41 us at
// 190 kHz). The driver's pauses (clear, home, power-up) are never inside a transaction.
//
// The boards differ in which expander pin drives which LCD pin, and in whether the
// backlight transistor turns on with its pin high or low. A wrong preset shows garbage or a
// dark display on the module while the mirror shows the text.
#include "port/i2c/backends.h"
#include "port/i2c/expander.h"

namespace port::i2c {
namespace {

// The map strings are map='s order: RS, R/W, E, backlight, D4, D5, D6, D7.
const Preset kPresets[] = {
    {"", "01234567", false},        // YwRobot, DFRobot, ...: backlight on when high
    {"lcm1602", "01234567", true},  // on when low
    {"mjkdz", "65470123", true},    // also sold as GY-I2CLCD: on when low
    {"lcdxio", "45670123", true},   // on when low
};

}  // namespace

const Chip kPcf8574Chip{"pcf8574", "pcf8574", kPresets, std::nullopt, {}};

namespace {

// The window's fields for a backpack on any bus: the address (or a find), and the wiring,
// which names the chip too; "map=" opens a field for the pins.
enum Field : std::size_t { kAddress, kFind, kWiring, kMap };
constexpr const char* kMapChoice = "map=";

std::vector<std::string> addresses() {
    // The backpacks' usual addresses: PCF8574 0x27, PCF8574A 0x3f, MCP23008 0x20.
    return {"0x27", "0x3f", "0x20"};
}

// Each chip's presets as a device text's options name them: "" and "mjkdz" for the
// PCF8574 (the chip meant when none is named), "mcp23008" and "mcp23008,NAME" for the
// other; then map=.
std::vector<std::string> wirings() {
    std::vector<std::string> all;
    for (const Chip* chip : {&kPcf8574Chip, &kMcp23008Chip})
        for (const Preset& p : chip->presets) {
            const std::string preset = p.name;
            if (chip == &kPcf8574Chip)
                all.push_back(preset);
            else
                all.push_back(chip->name + (preset.empty() ? "" : "," + preset));
        }
    all.emplace_back(kMapChoice);
    return all;
}

constexpr OptionField kFields[] = {
    {"address", OptionField::Kind::EditableChoice, addresses},
    {"find", OptionField::Kind::Find},
    {"wiring", OptionField::Kind::Choice, wirings},
    {"map", OptionField::Kind::Text, nullptr, kWiring, kMapChoice},
};

// A find looks for the address and the wiring both: "@auto" alone.
std::string format(const Candidate& picked, std::span<const std::string> values, bool find) {
    if (find) return picked.device + "@auto";
    std::string text = picked.device + "@" + values[kAddress];
    std::string wiring = values[kWiring];
    if (wiring == kMapChoice) wiring += values[kMap];
    if (!wiring.empty()) text += "," + wiring;
    return text;
}

std::vector<std::string> values(const Candidate&, const std::string& options) {
    std::vector<std::string> v{addresses().front(), "", "", ""};
    if (options.empty()) return v;
    const std::size_t comma = options.find(',');
    v[kAddress] = options.substr(0, comma);
    const std::string wiring = comma == std::string::npos ? "" : options.substr(comma + 1);
    if (wiring.rfind(kMapChoice, 0) == 0) {
        v[kWiring] = kMapChoice;
        v[kMap] = wiring.substr(std::string_view(kMapChoice).size());
    } else {
        v[kWiring] = wiring;
    }
    return v;
}

// What @auto found: the address and the wiring read back ("0x27,mjkdz"), or the address
// alone where the wiring was given.
std::string found(const Description& opened) {
    return opened.lookedUp.empty() ? opened.detail : opened.lookedUp;
}

const OptionSchema kOptions{kFields, format, values, found};

}  // namespace

// Never chosen by auto: writing to an unknown I2C device could upset it.
const BackendRow kPcf8574{"pcf8574",
                          nullptr,
                          "/dev/i2c-N@0xAA",
                          false,
                          false,
                          chipClaims<kPcf8574Chip>,
                          chipParse<kPcf8574Chip>,
                          check,
                          chipOpen<kPcf8574Chip>,
                          nullptr,
                          candidates,  // every bus of every kind, for either chip
                          &kOptions,
                          true};

}  // namespace port::i2c
