#include "port/port_layer.h"

#include <cerrno>
#include <cstring>

namespace port {

PortLayer::PortLayer(PortConfig config, Clock& clock, Sleeper& sleeper, FatalHook fatal,
                     BackendOpener opener)
    : m_config(std::move(config)),
      m_clock(clock),
      m_sleeper(sleeper),
      m_fatal(std::move(fatal)),
      m_opener(std::move(opener)) {
    if (!m_config.tracePath.empty()) {
        std::FILE* f = std::fopen(m_config.tracePath.c_str(), "w");
        if (!f) {
            fail("impossible d'ouvrir le fichier de trace " + m_config.tracePath + " : " +
                 std::strerror(errno));
            return;
        }
        m_trace = std::make_unique<VcdTrace>(f, std::vector<std::int16_t>{kLpt1, kLpt2},
                                             m_clock.nowNs(), "Velmorin 1.00");
    }
}

PortLayer::~PortLayer() = default;

PortLayer::Port* PortLayer::find(std::int16_t port) noexcept {
    for (auto& p : m_ports)
        if (p->address == port) return p.get();
    return nullptr;
}

PortLayer::Port* PortLayer::open(std::int16_t port) noexcept {
    auto p = std::make_unique<Port>();
    p->address = port;
    hd44780::Options options = m_config.emulator;
    // The emulated module is powered when its port is first driven.
    options.powerOnNs = m_clock.nowNs();
    p->display = std::make_unique<hd44780::Controller>(options);
    m_ports.push_back(std::move(p));
    Port* opened = m_ports.back().get();

    if (port != kLpt1 && port != kLpt2) {
        opened->failed = true;
        fail("aucun port parallèle pris en charge à l'adresse " + hexAddress(port) +
             " (adresses prises en charge : 0x378, 0x278)");
        return opened;
    }
    OpenResult r = m_opener(port, m_config);
    opened->note = r.note;
    if (!r.error.empty()) {
        opened->failed = true;
        fail(r.error);
        return opened;
    }
    opened->backend = std::move(r.backend);
    return opened;
}

void PortLayer::Out32(std::int16_t port, std::int16_t value) noexcept {
    Port* p = find(port);
    if (!p) p = open(port);
    if (p->failed) return;
    // Only the low byte reaches the port.
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    if (p->backend) {
        if (const int err = p->backend->write(byte); err != 0) {
            p->failed = true;
            fail("écriture sur " + p->backend->description() +
                 " impossible : " + std::strerror(err));
            return;
        }
    }
    const std::int64_t now = m_clock.nowNs();
    p->last = byte;
    p->display->busWrite(byte, now);
    if (m_trace) m_trace->record(port, byte, now);
}

std::int16_t PortLayer::Inp32(std::int16_t port) noexcept {
    const Port* p = find(port);
    return p ? static_cast<std::int16_t>(p->last) : 0;
}

void PortLayer::Sleep(std::uint32_t milliseconds) noexcept {
    flushTrace();
    m_sleeper.Sleep(milliseconds);
}

void PortLayer::flushTrace() noexcept {
    if (m_trace) m_trace->flush();
}

void PortLayer::fail(const std::string& message) noexcept {
    flushTrace();
    if (m_fatal) m_fatal(message);
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
