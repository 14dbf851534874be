// A USB-I2C bridge named as itself (cp2112@0x27, mcp2221:0123456@0x27) rather than by the
// /dev/i2c-N its kernel driver made of it: that number changes with plug order.
//
// Linux facts: each I2C adapter is /sys/bus/i2c/devices/i2c-N; a bridge's adapter sits
// under its HID device, whose uevent gives HID_ID=0003:VVVVVVVV:PPPPPPPP (bus 3 is USB)
// and HID_UNIQ=the USB serial number. The kernel's hid-mcp2221 leaves no hidraw node, and
// hid-cp2112's must not be written behind the driver's back: the adapter is the way in.
#include <algorithm>
#include <cstdio>

#include "port/i2c/bridges.h"
#include "port/linux/i2c_dev_bus.h"
#include "port/os.h"
#include "port/parse.h"

namespace port::i2c {
namespace {

constexpr const char* kAdapters = "/sys/bus/i2c/devices";

// "cp2112" or "cp2112:0001": the bridge and the serial number asked for.
const UsbBridge* named(const std::string& path, std::string& serial) {
    const std::string form = lower(path.substr(0, path.find(':')));
    serial = path.find(':') == std::string::npos ? std::string() : path.substr(path.find(':') + 1);
    for (const UsbBridge& b : kUsbBridges)
        if (form == b.form) return &b;
    return nullptr;
}

bool names(const std::string& path) {
    std::string serial;
    return named(path, serial) != nullptr;
}

// The attached bridges of that kind (and serial number, if one is given).
std::vector<AttachedBridge> matching(Os& os, const std::string& path) {
    std::string serial;
    const UsbBridge* kind = named(path, serial);
    std::vector<AttachedBridge> found;
    for (const AttachedBridge& b : attachedBridges(os))
        if (b.bridge == kind && (serial.empty() || b.serial == serial)) found.push_back(b);
    return found;
}

std::optional<Error> resolve(const std::string& path, Os& os, AttachedBridge& bridge) {
    const std::vector<AttachedBridge> found = matching(os, path);
    if (found.size() == 1) {
        bridge = found[0];
        return std::nullopt;
    }
    Error e = backendProblem(found.empty() ? Problem::NoBridge : Problem::ManyBridges);
    e.device = path;
    // What is there: the other bridges where none matched, the candidates where many did.
    for (const AttachedBridge& b : found.empty() ? attachedBridges(os) : found)
        e.detail += (e.detail.empty() ? "" : ", ") + bridgeName(b);
    std::string serial;
    e.choices = named(path, serial)->driver;
    return e;
}

std::optional<Error> check(const std::string& path, Os& os) {
    AttachedBridge b{};
    if (auto e = resolve(path, os, b)) return e;
    return checkI2cDev(b.node, os);
}

std::unique_ptr<I2cBus> open(const std::string& path, Os& os, std::optional<Error>& error) {
    AttachedBridge b{};
    if ((error = resolve(path, os, b))) return nullptr;
    return openI2cDev(b.node, os, error);
}

}  // namespace

std::vector<AttachedBridge> attachedBridges(Os& os) {
    std::vector<AttachedBridge> found;
    std::vector<std::string> adapters = os.files.listDirectory(kAdapters);
    std::sort(adapters.begin(), adapters.end());
    for (const std::string& adapter : adapters) {
        if (!adapter.starts_with("i2c-")) continue;
        // The adapter's parent: the HID device, where it is a bridge.
        std::vector<std::string> lines;
        if (readLines(os, std::string(kAdapters) + "/" + adapter + "/../uevent", lines) != 0)
            continue;
        unsigned bus = 0, vendor = 0, product = 0;
        std::string serial;
        bool hid = false;
        for (const std::string& l : lines) {
            if (l.starts_with("HID_ID="))
                hid = std::sscanf(l.c_str() + 7, "%x:%x:%x", &bus, &vendor, &product) == 3;
            if (l.starts_with("HID_UNIQ=")) serial = l.substr(9);
        }
        if (!hid || bus != 3) continue;
        for (const UsbBridge& b : kUsbBridges)
            if (b.vendor == vendor && b.product == product)
                found.push_back({&b, serial, "/dev/" + adapter});
    }
    return found;
}

std::string bridgeName(const AttachedBridge& b) {
    return std::string(b.bridge->name) + (b.serial.empty() ? "" : " " + b.serial);
}

const BusKind kUsbBridgeBus{names, check, open};

}  // namespace port::i2c
