#include "port/port_layer.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "port/cable.h"

namespace port {
namespace {

// A failure's sentence, built where nothing may throw: when building it fails (no memory),
// the errno text alone goes out.
template <class Build>
std::string sentence(int err, Build&& build) noexcept {
    try {
        return build();
    } catch (...) {
        return std::strerror(err);
    }
}

}  // namespace

PortLayer::PortLayer(PortConfig config, Clock& clock, Sleeper& sleeper, Fatal& fatal,
                     BackendOpener opener)
    : m_config(std::move(config)),
      m_clock(clock),
      m_sleeper(sleeper),
      m_fatal(fatal),
      m_opener(std::move(opener)) {
    m_fatal.onFlush([this] { flushTrace(); });
    if (m_config.tracePath.empty()) return;
    std::string error;
    const int fd = VcdTrace::openFile(m_config.tracePath, error);
    if (fd < 0) {
        m_fatal.fail(error);
        return;
    }
    std::vector<std::int16_t> scopes;
    for (const SupportedPort& p : kSupportedPorts) scopes.push_back(p.address);
    m_trace = std::make_unique<VcdTrace>(fd, scopes, m_clock.nowNs(), "Velmorin " VELMORIN_VERSION);
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

PortLayer::Port* PortLayer::open(std::int16_t port) noexcept {
    std::string error;
    Port* opened = nullptr;
    try {
        auto p = std::make_unique<Port>();
        p->address = port;
        hd44780::Options options = m_config.emulator;
        // The emulated module is powered when its port is first driven.
        options.powerOnNs = m_clock.nowNs();
        p->display = std::make_unique<hd44780::Controller>(options);
        m_ports.push_back(std::move(p));
        opened = m_ports.back().get();

        if (!supportedPort(port)) {
            error = "aucun port parallèle pris en charge à l'adresse " + hexAddress(port) +
                    " (adresses prises en charge : " + supportedAddressList() + ")";
        } else {
            OpenResult r = m_opener(port, m_config);
            opened->note = r.note;
            error = r.error;
            opened->backend = std::move(r.backend);
        }
    } catch (const std::exception& e) {
        // Walking /proc, building paths and messages allocate and may throw; Out32 may not.
        error = "impossible de préparer le port " + hexAddress(port) + " : " + e.what() +
                " ; relancez avec VELMORIN_LPT=emulator pour l'afficheur émulé seul";
    }
    if (!opened) {
        m_fatal.fail(error);
        return nullptr;
    }
    if (!error.empty()) {
        opened->failed = true;
        m_fatal.fail(error);
    }
    return opened;
}

void PortLayer::Out32(std::int16_t port, std::int16_t value) noexcept {
    Port* p = find(port);
    if (!p) p = open(port);
    if (!p || p->failed) return;
    // Only the low byte reaches the port.
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    if (p->backend) {
        if (const int err = p->backend->write(byte); err != 0) {
            p->failed = true;
            m_fatal.fail(sentence(err, [&] {
                return "écriture sur " + p->backend->description() +
                       " impossible : " + std::strerror(err) + p->backend->explain(err);
            }));
            return;
        }
    }
    const std::int64_t now = m_clock.nowNs();
    p->last = byte;
    p->display->busWrite(kParallelCable.pins(byte), now);
    if (m_trace) m_trace->record(port, byte, now);
}

std::int16_t PortLayer::Inp32(std::int16_t port) noexcept {
    const Port* p = find(port);
    return p ? static_cast<std::int16_t>(p->last) : 0;
}

void PortLayer::Sleep(std::uint32_t milliseconds) noexcept {
    flushTrace();
    m_sleeper.Sleep(milliseconds * static_cast<std::uint32_t>(m_config.delay));
}

void PortLayer::flushTrace() noexcept {
    if (!m_trace) return;
    if (const int err = m_trace->flush(); err != 0) {
        const std::string message = sentence(err, [&] {
            return "écriture du fichier de trace " + m_config.tracePath +
                   " impossible : " + std::strerror(err) +
                   " ; libérez de la place ou choisissez un autre fichier avec VELMORIN_TRACE";
        });
        m_trace.reset();  // nothing more goes into a trace with a hole in it
        m_fatal.fail(message);
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

std::vector<PortLayer::PortView> PortLayer::ports() const {
    std::vector<PortView> views;
    for (const auto& p : m_ports)
        views.push_back(PortView{p->address, p->display.get(),
                                 p->backend ? p->backend->description() : std::string(), p->note,
                                 p->failed});
    return views;
}

const hd44780::Controller* PortLayer::display(std::int16_t port) const noexcept {
    for (const auto& p : m_ports)
        if (p->address == port) return p->display.get();
    return nullptr;
}

}  // namespace port
