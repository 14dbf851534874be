// The port-output layer: Out32/Inp32 over one backend per port address, each opened on
// its first write (the moment the classic port library would load), an emulated display
// per address, the bus trace, and Sleep.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hd44780/controller.h"
#include "port/backend.h"
#include "port/clock.h"
#include "port/port_writer.h"
#include "port/vcd_trace.h"

namespace port {

class PortLayer final : public PortWriter, public Sleeper {
public:
    // Called with a one-line French message when the layer cannot go on: an unusable port,
    // a failed write, an unwritable trace. The program's hook does not return; if a test's
    // hook does, the failed port drops its writes from then on.
    using FatalHook = std::function<void(const std::string& message)>;

    PortLayer(PortConfig config, Clock& clock, Sleeper& sleeper, FatalHook fatal,
              BackendOpener opener);
    ~PortLayer() override;

    void Out32(std::int16_t port, std::int16_t value) noexcept override;
    std::int16_t Inp32(std::int16_t port) noexcept override;
    // Flushes the trace, so that a killed program loses nothing written before its last
    // pause, then sleeps.
    void Sleep(std::uint32_t milliseconds) noexcept override;

    void flushTrace() noexcept;

    struct PortView {
        std::int16_t address = 0;
        const hd44780::Controller* display = nullptr;  // emulated, or the hardware's mirror
        std::string device;                            // empty for the emulator alone
        std::string note;
        bool failed = false;
    };
    // Open ports, in the order they were first written.
    std::vector<PortView> ports() const;
    const hd44780::Controller* display(std::int16_t port) const noexcept;

    const PortConfig& config() const noexcept { return m_config; }

private:
    struct Port {
        std::int16_t address;
        std::unique_ptr<PortBackend> backend;
        std::unique_ptr<hd44780::Controller> display;
        std::string note;
        std::uint8_t last = 0;
        bool failed = false;
    };
    Port* find(std::int16_t port) noexcept;
    Port* open(std::int16_t port) noexcept;
    void fail(const std::string& message) noexcept;

    PortConfig m_config;
    Clock& m_clock;
    Sleeper& m_sleeper;
    FatalHook m_fatal;
    BackendOpener m_opener;
    std::unique_ptr<VcdTrace> m_trace;
    std::vector<std::unique_ptr<Port>> m_ports;
};

}  // namespace port
