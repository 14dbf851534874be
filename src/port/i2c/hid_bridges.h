// The USB-I2C bridges spoken to in their own HID reports, where no kernel driver holds
// them: the same code on Windows and on Linux's hidraw nodes. Each report is a USB round
// trip (1-2 ms), so a transaction goes in as few reports as the bridge takes, and its
// outcome is asked for once, after its last report.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "port/i2c/i2c_bus.h"
#include "port/os.h"

namespace port::i2c {

// How long a bridge may take to answer a report, and how often it may say it is still
// busy with the last one, before the bus counts as gone.
inline constexpr int kAnswerMs = 1000;
inline constexpr int kBusyAnswers = 20;

// The bus over an open bridge, its clock set: null, with the errno in error (EBUSY where
// another program's transfer holds the bridge).
using HidBusMaker = std::unique_ptr<I2cBus> (*)(std::unique_ptr<HidDevice> device, int& error);
std::unique_ptr<I2cBus> mcp2221Bus(std::unique_ptr<HidDevice> device, int& error);
std::unique_ptr<I2cBus> cp2112Bus(std::unique_ptr<HidDevice> device, int& error);

// A bridge's bus once its set-up (Bus::setUp(): 0 or the errno) has passed.
template <class Bus>
std::unique_ptr<I2cBus> setUpBus(std::unique_ptr<HidDevice> device, int& error) {
    auto bus = std::make_unique<Bus>(std::move(device));
    if ((error = bus->setUp()) != 0) return nullptr;
    return bus;
}

// Reads input reports until one starts with first: 0, or the errno (EPROTO when none
// comes in kAnswerMs, from a bridge that stopped answering).
int awaitReport(HidDevice& device, std::span<std::uint8_t> in, std::uint8_t first,
                int timeoutMs = kAnswerMs) noexcept;

}  // namespace port::i2c
