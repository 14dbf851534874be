#include "port/port_layer.h"

#include <cerrno>
#include <exception>

#include "port/cable.h"

namespace port {
namespace {

#ifdef EDQUOT
constexpr int kQuotaExceeded = EDQUOT;
#else
constexpr int kQuotaExceeded = ENOSPC;  // no errno of its own here
#endif

// Facts about a failure, gathered where nothing may throw: when copying its strings fails
// (no memory), the bare kind and errno still go out.
template <class Build>
Error safely(Problem what, int err, Build&& build) noexcept {
    try {
        return build();
    } catch (...) {
        Error e;
        e.what = what;
        e.err = err;
        return e;
    }
}

}  // namespace

PortLayer::PortLayer(PortConfig config, Clock& clock, Sleeper& sleeper, Fatal& fatal,
                     BackendOpener opener, Os& os)
    : m_config(std::move(config)),
      m_clock(clock),
      m_sleeper(sleeper),
      m_fatal(fatal),
      m_opener(std::move(opener)),
      m_os(os),
      m_startNs(clock.nowNs()) {
    m_fatal.onFlush([this] { release(); });
    if (m_config.tracePath.empty()) return;
    for (const std::string& own : m_config.ownFiles)
        if (sameFile(m_os, m_config.tracePath, own)) {
            Error e = problem(Problem::TraceIsOwnFile, own);
            e.device = m_config.tracePath;
            m_fatal.fail(e);
            return;
        }
    std::optional<Error> error;
    const int fd = VcdTrace::openFile(m_os, m_config.tracePath, error);
    if (fd < 0) {
        m_fatal.fail(*error);
        return;
    }
    std::vector<std::int16_t> scopes;
    for (const SupportedPort& p : kSupportedPorts) scopes.push_back(p.address);
    m_trace =
        std::make_unique<VcdTrace>(m_os, fd, scopes, m_clock.nowNs(), "Velmorin " VELMORIN_VERSION);
    // The header goes out now: an unwritable trace (a full disk, /dev/full) is found before
    // the first port write, not after.
    flushTrace();
}

PortLayer::~PortLayer() {
    m_fatal.onFlush(nullptr);
}

PortLayer::Port* PortLayer::find(std::int16_t port) noexcept {
    for (auto& p : m_ports)
        if (p->address == port) return p.get();
    return nullptr;
}

PortLayer::Port& PortLayer::addPort(std::int16_t port) {
    auto p = std::make_unique<Port>();
    p->address = port;
    hd44780::Options options = m_config.emulator;
    // The emulated module is powered when its port is first driven.
    options.powerOnNs = m_clock.nowNs();
    p->display = std::make_unique<hd44780::Controller>(options);
    m_ports.push_back(std::move(p));
    return *m_ports.back();
}

PortLayer::Port* PortLayer::open(std::int16_t port) noexcept {
    std::optional<Error> error;
    Port* opened = nullptr;
    try {
        opened = &addPort(port);

        if (!supportedPort(port)) {
            Error e;
            e.what = Problem::UnsupportedAddress;
            e.address = port;
            error = e;
        } else {
            OpenResult r;
            if (auto held = heldByOtherPort(port, m_config.device(port)))
                r.error = held;
            else
                r = m_opener(port, m_config);
            opened->note = r.note;
            error = r.error;
            opened->backend = std::move(r.backend);
            if (error && savedDevice(port)) {
                // Not fatal: the window that could undo the choice must open.
                opened->choiceFailed = error;
                error.reset();
            }
            if (opened->backend) opened->backend->setModule(m_config.module);
            if (!opened->note.empty() && !m_noted && m_told) {
                m_noted = true;
                m_told(opened->note);
            }
        }
    } catch (const std::exception& ex) {
        // Walking /proc, building paths and messages allocate and may throw; Out32 may not.
        error = safely(Problem::PrepareFailed, 0, [&] {
            Error e;
            e.what = Problem::PrepareFailed;
            e.address = port;
            e.detail = ex.what();
            return e;
        });
    }
    if (!opened) {
        m_fatal.fail(*error);
        return nullptr;
    }
    if (error) {
        opened->failed = true;
        m_fatal.fail(*error);
    }
    return opened;
}

void PortLayer::Out32(std::int16_t port, std::int16_t value) noexcept {
    Port* p = find(port);
    if (!p) p = open(port);
    if (!p || p->failed) return;
    // Only the low byte reaches the port; the module sees it through the parallel cable.
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    const hd44780::Pins pins = kParallelCable.pins(byte);
    if (p->backend) {
        if (const int err = p->backend->write(pins); err != 0) return writeFailed(*p, err);
    }
    std::int64_t now = m_clock.nowNs();
    // The mirror of real hardware keeps the real clock; the emulator alone is a port whose
    // writes take as long as a real one's.
    if (!p->backend && now < p->lastNs + kPortWriteNs) now = p->lastNs + kPortWriteNs;
    p->lastNs = now;
    p->last = byte;
    p->display->busWrite(pins, now);
    if (m_trace) m_trace->record(port, byte, now);
}

std::optional<Error> PortLayer::choose(std::int16_t port, const PortDevice& device) noexcept {
    const SupportedPort* supported = supportedPort(port);
    if (!supported) return problem(Problem::UnsupportedAddress);
    Port* p = find(port);
    try {
        if (!p) p = &addPort(port);
        if (p->failed) return problem(Problem::WriteFailed);  // the program is ending
        // Both ports stay as they are; the panel says why.
        if (auto held = heldByOtherPort(port, device)) return p->choiceFailed = held;
        // What the old backend queued goes out before it closes. It is being replaced: a
        // module already gone is no reason to end the run.
        if (p->backend) (void)p->backend->flush();
        p->backend.reset();
        p->note = {};
        p->choiceFailed.reset();
        m_config.devices[portIndex(*supported)] = device;
        if (device.emulatorOnly) return std::nullopt;
        OpenResult r = m_opener(port, m_config);
        p->note = r.note;
        p->backend = std::move(r.backend);
        if (p->backend) p->backend->setModule(m_config.module);
        if (r.error) {
            // Said as the choice it is, not as the settings file's line it replaced.
            r.error->file.clear();
            r.error->line = 0;
            if (r.error->setting.empty()) r.error->setting = supported->deviceSetting;
            p->backend.reset();
            p->choiceFailed = r.error;
            return r.error;
        }
    } catch (const std::exception& ex) {
        Error e = safely(Problem::PrepareFailed, 0, [&] {
            Error f = problem(Problem::PrepareFailed, ex.what());
            f.address = port;
            return f;
        });
        if (p) {
            p->backend.reset();
            p->choiceFailed = e;
        }
        return e;
    }
    return std::nullopt;
}

void PortLayer::writeFailed(Port& p, int err) noexcept {
    p.failed = true;
    m_fatal.fail(safely(Problem::WriteFailed, err, [&] {
        Error e;
        e.what = Problem::WriteFailed;
        e.err = err;
        e.hint = p.backend->failureHint(err);
        e.description = p.backend->description();
        e.backend = e.description.backend;
        return e;
    }));
}

std::int16_t PortLayer::Inp32(std::int16_t port) noexcept {
    const Port* p = find(port);
    return p ? static_cast<std::int16_t>(p->last) : 0;
}

void PortLayer::Sleep(std::uint32_t milliseconds) noexcept {
    flush();
    m_sleeper.Sleep(milliseconds * static_cast<std::uint32_t>(m_config.delay));
}

void PortLayer::flush() noexcept {
    for (auto& p : m_ports) {
        if (p->failed || !p->backend) continue;
        if (const int err = p->backend->flush(); err != 0) writeFailed(*p, err);
    }
    flushTrace();
}

void PortLayer::flushTrace() noexcept {
    if (!m_trace) return;
    if (const int err = m_trace->flush(); err != 0) {
        const Problem what =
            err == ETIMEDOUT ? Problem::TraceReaderStalled : Problem::TraceWriteFailed;
        const Error e = safely(what, err, [&] {
            Error t;
            t.what = what;
            t.err = err;
            t.hint = codeOf(what == Problem::TraceReaderStalled ? Hint::None
                            : err == ENOSPC || err == kQuotaExceeded || err == EFBIG
                                ? Hint::TraceFreeSpace
                            : err == EPIPE ? Hint::TraceReaderGone
                                           : Hint::TraceOtherFile);
            t.device = m_config.tracePath;
            return t;
        });
        m_trace.reset();  // nothing more goes into a trace with a hole in it
        m_fatal.fail(e);
    }
}

void PortLayer::release() noexcept {
    flush();
    m_trace.reset();  // closes the file, and with it the lock
    for (auto& p : m_ports) {
        p->backend.reset();  // a claimed port is released, a device closed
        p->failed = true;
    }
}

void PortLayer::setRom(hd44780::Rom rom) noexcept {
    m_config.emulator.rom = rom;
    for (auto& p : m_ports) p->display->setRom(rom);
}

void PortLayer::setOscillator(hd44780::Oscillator oscillator) noexcept {
    m_config.emulator.oscillator = oscillator;
    for (auto& p : m_ports) p->display->setOscillator(oscillator);
}

std::optional<Error> PortLayer::heldByOtherPort(std::int16_t port, const PortDevice& device) {
    if (!device.row || device.row->sharedNode || device.path.empty()) return std::nullopt;
    for (const auto& other : m_ports) {
        if (other->address == port || !other->backend) continue;
        if (!sameFile(m_os, other->backend->description().device, device.path)) continue;
        // Its own exclusive hold would refuse the open as another program's.
        Error e = problem(Problem::HeldByOtherPort, portLabel(other->address));
        e.device = device.path;
        e.address = port;
        if (const SupportedPort* s = supportedPort(port)) e.setting = s->deviceSetting;
        return e;
    }
    return std::nullopt;
}

void PortLayer::forgetFailedChoice(std::int16_t port) noexcept {
    if (Port* p = find(port)) p->choiceFailed.reset();
}

bool PortLayer::savedDevice(std::int16_t port) const noexcept {
    const SupportedPort* supported = supportedPort(port);
    if (!supported || !m_config.namedDevicesApply() || !m_config.device(port).row) return false;
    const SettingOrigin* origin = m_config.origin(supported->deviceSetting);
    return origin && !origin->file.empty();
}

void PortLayer::setModule(hd44780::Geometry module) noexcept {
    m_config.module = module;
    for (auto& p : m_ports)
        if (p->backend) p->backend->setModule(module);
}

std::vector<PortLayer::PortView> PortLayer::ports() const {
    std::vector<PortView> views;
    for (const auto& p : m_ports) {
        PortView v{p->address, p->display.get(), std::nullopt, p->note, p->choiceFailed};
        if (p->backend) v.device = p->backend->description();
        views.push_back(std::move(v));
    }
    return views;
}

const hd44780::Controller* PortLayer::display(std::int16_t port) const noexcept {
    for (const auto& p : m_ports)
        if (p->address == port) return p->display.get();
    return nullptr;
}

}  // namespace port
