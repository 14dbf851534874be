// The driver wired end to end on simulated time: driver -> recorder -> port layer ->
// emulated controller.
#pragma once

#include <string>
#include <vector>

#include "lcd/lcd_driver.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "recorder.h"
#include "ui/messages.h"

namespace testsupport {

// Opens the protected transfers to tests.
class TestDriver : public lcd::LcdDriver {
public:
    using LcdDriver::LCD_Cmd;
    using LcdDriver::LCD_Data;
    using LcdDriver::LcdDriver;
};

inline port::PortConfig emulatorConfig(hd44780::Options options = {}) {
    port::PortConfig config;
    config.mode = port::Mode::Emulator;
    config.emulator = options;
    return config;
}

// The port layer on simulated time with emulated displays, every write recorded.
struct PortRig {
    explicit PortRig(hd44780::Options options = {}, port::PortConfig config = emulatorConfig())
        : layer(withOptions(std::move(config), options), clock, clock, fatalPath,
                port::hardwareOpener()) {}

    const hd44780::Controller& lcd(std::int16_t port = 888) const { return *layer.display(port); }
    // The codes a module shows on one row.
    std::string line(int row, std::int16_t port = 888, hd44780::Geometry module = {20, 2}) const {
        std::string s;
        for (int c = 0; c < module.columns; ++c)
            s += static_cast<char>(lcd(port).cell(row, c, module).code);
        return s;
    }
    static port::PortConfig withOptions(port::PortConfig config, const hd44780::Options& o) {
        config.emulator = o;
        return config;
    }

    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(ui::sentence(e)); }};
    port::PortLayer layer;
    port::testing::Recorder rec = recorder();

private:
    port::testing::Recorder recorder() {
        port::testing::Recorder r{clock, layer, &layer};
        r.chargePerWrite(clock, kPortWriteNs);
        return r;
    }

public:
    static constexpr std::int64_t kPortWriteNs = 1'000;
};

struct DriverRig : PortRig {
    explicit DriverRig(hd44780::Options options = {}, port::PortConfig config = emulatorConfig())
        : PortRig(options, std::move(config)) {
        driver.PortLPT = 888;
    }
    TestDriver driver{rec, rec, clock};
};

}  // namespace testsupport
