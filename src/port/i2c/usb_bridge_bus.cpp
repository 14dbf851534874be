// A USB-I2C bridge named as itself (cp2112@0x27, mcp2221:0123456@0x27) rather than by the
// /dev/i2c-N a kernel driver made of it, or the HID path the system gave it: both change
// with plug order. The kernel's driver comes first where it holds the bridge; any other
// bridge is spoken to in its own HID reports.
#include <algorithm>
#include <cerrno>

#include "port/i2c/bridge_bus.h"
#include "port/i2c/usb_bridges.h"
#include "port/os.h"
#include "port/parse.h"

namespace port::i2c {

namespace {

// "cp2112" or "cp2112:0001": the bridge and the serial number asked for.
const UsbBridge* named(const std::string& path, std::string& serial) {
    const std::size_t colon = path.find(':');
    const std::string form = lower(path.substr(0, colon));
    serial = colon == std::string::npos ? std::string() : path.substr(colon + 1);
    for (const UsbBridge& b : kUsbBridges)
        if (form == b.form) return &b;
    return nullptr;
}

bool names(const std::string& path) {
    std::string serial;
    return named(path, serial) != nullptr;
}

bool contains(const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

// Every bridge attached: the kernel's adapters, then those reached through HID. why: what
// kept the system's HID layer from starting, if it did not.
std::vector<AttachedBridge> attached(Os& os, const KernelBridges& kernel, std::string& why) {
    std::vector<AttachedBridge> all = kernel.adapters;
    if (os.hid == nullptr || os.hid->start(why) != 0) return all;
    for (const UsbBridge& b : kUsbBridges) {
        if (b.overHid == nullptr) continue;
        for (const HidInfo& d : os.hid->devices(b.vendor, b.product))
            if (!contains(kernel.heldHidNodes, d.path)) all.push_back({&b, d.serial, d.path, true});
    }
    return all;
}

// "CP2112 0001, MCP2221A 0123456".
std::string listed(const std::vector<AttachedBridge>& bridges) {
    std::string list;
    for (const AttachedBridge& b : bridges) list += (list.empty() ? "" : ", ") + bridgeName(b);
    return list;
}

std::optional<Error> resolve(const std::string& path, Os& os, AttachedBridge& bridge) {
    std::string serial, why;
    const UsbBridge* kind = named(path, serial);
    const KernelBridges kernel = kernelBridges(os);
    const std::vector<AttachedBridge> all = attached(os, kernel, why);
    std::vector<AttachedBridge> found;
    for (const AttachedBridge& b : all)
        if (b.bridge == kind && (serial.empty() || b.serial == serial)) found.push_back(b);
    if (found.size() == 1) {
        bridge = found[0];
        return std::nullopt;
    }
    if (kind == nullptr) {  // a bus no kind names, where bridges are the only kind
        Error e = backendProblem(BridgeProblem::NoBridge, listed(all));
        e.backend = kBridgeKey;
        e.device = path;
        return e;
    }
    Error e = backendProblem(found.empty()
                                 ? (why.empty() ? BridgeProblem::NoBridge : BridgeProblem::NoHid)
                                 : BridgeProblem::ManyBridges);
    e.backend = kBridgeKey;
    e.device = path;
    if (!why.empty() && found.empty()) {
        e.detail = why;
        return e;
    }
    // What is there: the other bridges where none matched, the candidates where many did.
    e.detail = listed(found.empty() ? all : found);
    // The kernel's driver, where the kernel's are the way in.
    if (kernel.drivers) e.choices = kind->driver;
    return e;
}

std::optional<Error> check(const std::string& path, Os& os) {
    AttachedBridge b{};
    if (auto e = resolve(path, os, b)) return e;
    return b.hid ? std::nullopt : checkAdapter(b.node, os);
}

// The path the panel shows: a hidraw node as it is, Windows' long HID paths as "HID".
std::string route(const std::string& path) {
    return path.starts_with("/dev/") ? path : "HID USB";
}

std::unique_ptr<I2cBus> open(const std::string& path, Os& os, std::optional<Error>& error) {
    AttachedBridge b{};
    if ((error = resolve(path, os, b))) return nullptr;
    if (!b.hid) return openAdapter(b.node, os, error);  // named as the bridge it is
    int err = 0;
    std::unique_ptr<HidDevice> device = os.hid->open(b.node, err);
    std::unique_ptr<I2cBus> bus;
    if (device) bus = b.bridge->overHid(std::move(device), err);
    if (bus) return asBridge(std::move(bus), bridgeName(b), route(b.node));
    Error e = problem(port::Problem::OpenFailed);
    e.device = bridgeName(b) + " (" + route(b.node) + ")";
    e.err = err;
    e.backend = kBridgeKey;
    e.hint = codeOf(err == EACCES || err == EPERM ? BridgeHint::HidrawUdevRule
                    : err == EBUSY                ? BridgeHint::BridgeBusy
                                                  : BridgeHint::None);
    error = e;
    return nullptr;
}

// Every bridge attached, by the name that finds it whatever bus number or HID path it gets:
// its form, and its serial number where it has one.
std::vector<Candidate> list(Os& os) {
    std::string why;
    std::vector<Candidate> found;
    for (const AttachedBridge& b : attached(os, kernelBridges(os), why))
        found.push_back({std::string(b.bridge->form) + (b.serial.empty() ? "" : ":" + b.serial),
                         bridgeName(b)});
    return found;
}

// Every call goes to the bus; the name and route are the bridge's.
class NamedBridge final : public BridgeBus {
public:
    NamedBridge(std::unique_ptr<I2cBus> bus, std::string name, std::string route) noexcept
        : m_bus(std::move(bus)), m_name(std::move(name)), m_route(std::move(route)) {}
    int claim(std::uint8_t address) noexcept override { return m_bus->claim(address); }
    int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept override {
        return m_bus->write(address, bytes);
    }
    int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        return m_bus->read(address, bytes);
    }
    int probe(std::uint8_t address) noexcept override { return m_bus->probe(address); }
    std::size_t maxWrite() const noexcept override { return m_bus->maxWrite(); }
    void setTimeoutMs(int milliseconds) noexcept override { m_bus->setTimeoutMs(milliseconds); }
    std::string bridgeName() const override { return m_name; }
    std::string route() const override { return m_route; }

private:
    std::unique_ptr<I2cBus> m_bus;
    std::string m_name;
    std::string m_route;
};

}  // namespace

std::unique_ptr<I2cBus> asBridge(std::unique_ptr<I2cBus> bus, std::string name, std::string route) {
    return std::make_unique<NamedBridge>(std::move(bus), std::move(name), std::move(route));
}

std::string bridgeName(const AttachedBridge& b) {
    return std::string(b.bridge->name) + (b.serial.empty() ? "" : " " + b.serial);
}

const BusKind kUsbBridgeBus{names, check, open, list};

}  // namespace port::i2c
