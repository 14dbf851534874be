// Checks the data-register bytes that QEMU saw a guest's velmorin write, by decoding them
// with the emulator: the start-up sequence, then whole timer ticks whose transmissions
// are exactly what the driver sends for the clock text they show.
//   kernel_check BYTES_FILE [--ticks N] [--vcd FILE] [--startup-only] [--backpack]
// With --backpack the bytes are what an I2C backpack received: the driver's writes mapped
// through the backpack's wiring.
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver_rig.h"
#include "port/cable.h"
#include "vcd_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const std::string& path) {
    std::ifstream in(path);
    Bytes out;
    for (std::string tok; in >> tok;)
        if (tok.rfind("0x", 0) == 0)
            out.push_back(static_cast<std::uint8_t>(std::stoul(tok, nullptr, 16)));
    return out;
}

// The common PCF8574 backpack as wired on the board: P0 RS, P1 R/W, P2 E, P3 backlight,
// P4-P7 DB4-DB7.
constexpr port::Cable kBackpackCable{{0, 2, 4, 5, 6, 7}, 0x08};
const port::Cable* g_cable = &port::kParallelCable;

// A wiring given on the command line, worked out by hand from the board: "6,4,0,1,2,3,0x00".
const port::Cable* parseCable(const std::string& text) {
    static port::Cable cable{};
    std::stringstream in(text);
    std::string field;
    for (std::size_t i = 0; i < cable.bit.size() && std::getline(in, field, ','); ++i)
        cable.bit[i] = static_cast<std::uint8_t>(std::stoul(field));
    if (std::getline(in, field, ',')) cable.alwaysHigh = static_cast<std::uint8_t>(std::stoul(field, nullptr, 16));
    return &cable;
}

// What the driver writes for a given call sequence, as the cable under test carries it.
template <typename F>
Bytes driverBytes(F&& f) {
    testsupport::DriverRig rig;
    f(rig.driver);
    Bytes out;
    for (std::uint8_t b : rig.rec.bytes())
        out.push_back(g_cable->byte(port::kParallelCable.pins(b)));
    return out;
}

std::string printable(const std::vector<std::uint8_t>& codes) {
    std::string s;
    for (auto c : codes) s += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return s;
}

int fail(const std::string& why) {
    std::printf("FAIL: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return fail("usage: kernel_check BYTES_FILE [--ticks N] [--vcd FILE] [--startup-only]");
    const Bytes bytes = readBytes(argv[1]);
    int ticks = 1;
    std::string vcdPath;
    bool startupOnly = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ticks" && i + 1 < argc)
            ticks = std::atoi(argv[++i]);
        else if (a == "--vcd" && i + 1 < argc)
            vcdPath = argv[++i];
        else if (a == "--startup-only")
            startupOnly = true;
        else if (a == "--backpack")
            g_cable = &kBackpackCable;
        else if (a == "--cable" && i + 1 < argc)  // RS,E,D4,D5,D6,D7,HIGH: bits, held-high mask
            g_cable = parseCable(argv[++i]);
    }
    std::printf("bytes: %zu\n", bytes.size());

    const Bytes startup = driverBytes([](auto& d) {
        d.LCD_Init();
        d.EcrireCGRAM();
    });
    if (bytes.size() < startup.size() || !std::equal(startup.begin(), startup.end(), bytes.begin()))
        return fail("the first " + std::to_string(startup.size()) +
                    " bytes are not the start-up init + glyph load");
    std::printf("start-up: %zu bytes, as expected (init 43 + glyphs 216)\n", startup.size());

    if (!vcdPath.empty()) {
        std::ifstream in(vcdPath);
        std::stringstream ss;
        ss << in.rdbuf();
        const auto vcd = testsupport::parseVcd(ss.str());
        if (!vcd.ok) return fail("the VCD trace does not parse");
        Bytes traced;
        for (const auto& c : vcd.of("lpt_0x378", "data"))
            if (c.value.find('x') == std::string::npos)
                traced.push_back(static_cast<std::uint8_t>(std::stoul(c.value, nullptr, 2)));
        if (traced != bytes)
            return fail("the VCD has " + std::to_string(traced.size()) +
                        " writes for 0x378, QEMU saw " + std::to_string(bytes.size()) +
                        " (or they differ)");
        std::printf("VCD: %zu writes for 0x378, identical to QEMU's, in order\n", traced.size());
    }
    if (startupOnly) return 0;

    // Decode the rest on an emulated controller that saw the same start-up.
    hd44780::Controller lcd;
    std::int64_t t = 100'000'000;
    std::size_t fed = 0;
    auto feedTo = [&](std::size_t end) {
        for (; fed < end; ++fed) {
            lcd.busWrite(g_cable->pins(bytes[fed]), t);
            t += 1'000'000;  // well clear of every busy time: QEMU's gaps are not bus timing
        }
    };
    feedTo(startup.size());
    constexpr std::size_t kTransmission = 43 + 6 + 32 * 6;
    std::vector<std::vector<std::uint8_t>> shown;
    std::size_t pos = startup.size();
    while (pos + kTransmission <= bytes.size()) {
        feedTo(pos + kTransmission);
        std::vector<std::uint8_t> codes;
        for (std::size_t a = 0; a < 20; ++a) codes.push_back(lcd.ddram()[a]);
        for (std::size_t a = 0x40; a < 0x4C; ++a) codes.push_back(lcd.ddram()[a]);
        const Bytes expected = driverBytes([&codes](auto& d) {
            d.LCD_Init();
            for (std::size_t i = 0; i < codes.size(); ++i) {
                if (i == 20) d.LCD_Cmd(0xC0);
                d.LCD_Data(codes[i]);
            }
        });
        if (!std::equal(expected.begin(), expected.end(), bytes.begin() + static_cast<long>(pos)))
            return fail("transmission " + std::to_string(shown.size() + 1) +
                        " is not what the driver sends for \"" + printable(codes) + "\"");
        shown.push_back(codes);
        pos += kTransmission;
    }
    std::printf("whole transmissions: %zu (%zu bytes left over)\n", shown.size(),
                bytes.size() - pos);
    if (static_cast<int>(shown.size()) < 3 * ticks)
        return fail("fewer than " + std::to_string(ticks) + " whole ticks of three transmissions");
    const std::regex clock(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\dU\.\.\.\.\.[0-9,]{1,7} *)");
    for (std::size_t k = 0; k + 3 <= shown.size(); k += 3) {
        if (shown[k] != shown[k + 1] || shown[k] != shown[k + 2])
            return fail("tick " + std::to_string(k / 3 + 1) +
                        " did not send the same text three times");
        const std::string text = printable(shown[k]);
        std::printf("tick %zu: line 1 \"%s\", line 2 \"%s\"\n", k / 3 + 1,
                    text.substr(0, 20).c_str(), text.substr(20).c_str());
        if (!std::regex_match(text, clock))
            return fail("tick text is not the clock text: \"" + text + "\"");
    }
    std::printf("decoded display, line 1: \"%s\"\n", printable(shown.back()).substr(0, 20).c_str());
    std::printf("timing-checker violations on the decode: %llu (synthetic timing)\n",
                static_cast<unsigned long long>(lcd.timing().count()));
    return 0;
}
