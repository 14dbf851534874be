// The driver wired end to end on simulated time: driver -> recorder -> port layer ->
// emulated controller.
#pragma once

#include <string>
#include <vector>

#include "lcd/lcd_driver.h"
#include "port/hardware.h"
#include "port/port_layer.h"
#include "port/testing/recorder.h"

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
    config.kind = port::BackendKind::Emulator;
    config.emulator = options;
    return config;
}

struct DriverRig {
    explicit DriverRig(hd44780::Options options = {})
        : layer(
              emulatorConfig(options), clock, clock,
              [this](const std::string& m) { fatal.push_back(m); }, port::hardwareOpener()) {
        driver.PortLPT = 888;
    }

    const hd44780::Controller& lcd(std::int16_t port = 888) const { return *layer.display(port); }
    std::string line(int row, int columns = 20, std::int16_t port = 888) const {
        std::string s;
        for (int c = 0; c < columns; ++c)
            s += static_cast<char>(lcd(port).cell(row, c, columns).code);
        return s;
    }

    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    port::PortLayer layer;
    port::testing::Recorder rec{clock, layer, &layer};
    TestDriver driver{rec, rec, clock};
};

}  // namespace testsupport
