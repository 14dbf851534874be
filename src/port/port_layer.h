// The port-output layer: Out32/Inp32 over one backend per port address, each opened on
// its first write (the moment the classic port library would load), an emulated display
// per address, the bus trace, and the driver's time: Sleep and the busy-wait clock, both
// stretched by VELMORIN_DELAY for slow modules.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hd44780/controller.h"
#include "port/backend.h"
#include "port/clock.h"
#include "port/fatal.h"
#include "port/opener.h"
#include "port/os.h"
#include "port/port_writer.h"
#include "port/settings/settings.h"
#include "port/trace/vcd_trace.h"

namespace port {

class PortLayer final : public PortWriter, public Sleeper, public Clock {
public:
    // fatal hears of an unusable port, a failed write or a failed trace write; the layer
    // registers its release with it. If a test's sink returns, the failed port drops
    // its writes from then on.
    PortLayer(PortConfig config, Clock& clock, Sleeper& sleeper, Fatal& fatal, BackendOpener opener,
              Os& os = systemOs());
    ~PortLayer() override;

    void Out32(std::int16_t port, std::int16_t value) noexcept override;
    std::int16_t Inp32(std::int16_t port) noexcept override;
    // Sends the writes a backend queued and flushes the trace, so that a pause is never
    // inside a queue and a killed program loses nothing written before its last pause,
    // then sleeps (VELMORIN_DELAY times as long).
    void Sleep(std::uint32_t milliseconds) noexcept override;
    std::int64_t nowNs() const noexcept override { return m_clock.nowNs(); }
    // Spins VELMORIN_DELAY times as long: both phases of the enable pulse stretch.
    void spinFor(std::int64_t ns) noexcept override { m_clock.spinFor(ns * m_config.delay); }

    // Sends every queued write and writes out the trace; a failure is fatal. Called when
    // the program waits for events and before it ends.
    void flush() noexcept;
    // On the fatal path, before the user is told: queued writes sent, the trace written
    // out and closed, every device let go, and nothing is written from then on.
    void release() noexcept;

    // Puts another device on a supported port, as the user chose it in the window: the
    // old backend's queue is sent and the backend closed, then the device opened (a device
    // with no row and not the emulator: the setting's auto, or its backend). One that will
    // not open leaves the port on its emulator alone and is returned: a wrong guess is not
    // fatal. The driver's next writes re-initialise the module.
    std::optional<Error> choose(std::int16_t port, const PortDevice& device) noexcept;

    // The panel's sentence for a choice that failed, no longer to be shown.
    void forgetFailedChoice(std::int16_t port) noexcept;

    // Hears the first note an opener leaves (once per program: the panel shows each port's).
    void onNote(std::function<void(const Note&)> told) { m_told = std::move(told); }

    // The module the user owns: applies at once to every emulated display, and to those
    // opened later.
    void setRom(hd44780::Rom rom) noexcept;
    void setOscillator(hd44780::Oscillator oscillator) noexcept;
    // Its size: for the boards that place text by row and column (see PortBackend).
    void setModule(hd44780::Geometry module) noexcept;

    struct PortView {
        std::int16_t address = 0;
        const hd44780::Controller* display = nullptr;  // emulated, or the hardware's mirror
        std::optional<Description> device;             // none for the emulator alone
        Note note;
        std::optional<Error> choiceFailed;  // the last device chosen for it would not open
    };
    // Open ports, in the order they were first written.
    std::vector<PortView> ports() const;
    const hd44780::Controller* display(std::int16_t port) const noexcept;

    const PortConfig& config() const noexcept { return m_config; }
    // Bus time when the layer was made: the program's start.
    std::int64_t startNs() const noexcept { return m_startNs; }

    // A parallel-port write on the ISA/LPC bus takes about 1 us. The emulated port takes
    // as long in bus time, so that the set-up write and the E edge after it are as far
    // apart as on the real part (tAS 40 ns, tDSW 80 ns), however fast Out32 returns.
    static constexpr std::int64_t kPortWriteNs = 1'000;

private:
    struct Port {
        std::int16_t address;
        std::unique_ptr<PortBackend> backend;
        std::unique_ptr<hd44780::Controller> display;
        Note note;
        std::optional<Error> choiceFailed;
        std::uint8_t last = 0;
        std::int64_t lastNs = 0;  // bus time of the last write
        bool failed = false;
    };
    Port* find(std::int16_t port) noexcept;
    // The other port of ours that holds the device, where it is one that cannot be shared.
    std::optional<Error> heldByOtherPort(std::int16_t port, const PortDevice& device);
    // Whether the port's device was named in a settings file (the window's last choice), not
    // for this run in the environment.
    bool savedDevice(std::int16_t port) const noexcept;
    // A port with its emulated display, powered now and driving nothing else yet.
    Port& addPort(std::int16_t port);
    Port* open(std::int16_t port) noexcept;
    void writeFailed(Port& p, int err) noexcept;
    void flushTrace() noexcept;

    PortConfig m_config;
    Clock& m_clock;
    Sleeper& m_sleeper;
    Fatal& m_fatal;
    BackendOpener m_opener;
    Os& m_os;
    std::int64_t m_startNs;
    std::function<void(const Note&)> m_told;
    bool m_noted = false;
    std::unique_ptr<VcdTrace> m_trace;
    std::vector<std::unique_ptr<Port>> m_ports;
};

}  // namespace port
