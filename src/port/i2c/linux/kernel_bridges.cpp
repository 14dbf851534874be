// The USB-I2C bridges Linux's own drivers hold (hid-mcp2221, hid-cp2112, hid-ft260): each
// is an I2C adapter, /sys/bus/i2c/devices/i2c-N, under its HID device, whose uevent gives
// HID_ID=0003:VVVVVVVV:PPPPPPPP (bus 3 is USB) and HID_UNIQ=the USB serial number.
// hid-mcp2221 leaves no hidraw node; hid-cp2112 keeps one (listed in the HID device's
// hidraw/ folder), which must not be written behind the driver's back.
#include <algorithm>
#include <cstdio>

#include "port/i2c/linux/i2c_dev_bus.h"
#include "port/i2c/usb_bridges.h"
#include "port/os.h"

namespace port::i2c {
namespace {

constexpr const char* kAdapters = "/sys/bus/i2c/devices";

}  // namespace

KernelBridges kernelBridges(Os& os) {
    KernelBridges found;
    found.drivers = true;
    std::vector<std::string> adapters = os.texts.listDirectory(kAdapters);
    std::sort(adapters.begin(), adapters.end());
    for (const std::string& adapter : adapters) {
        if (!adapter.starts_with("i2c-")) continue;
        // The adapter's parent: the HID device, where it is a bridge.
        const std::string hidDevice = std::string(kAdapters) + "/" + adapter + "/..";
        std::vector<std::string> lines;
        if (readLines(os, hidDevice + "/uevent", lines) != 0) continue;
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
                found.adapters.push_back({&b, serial, "/dev/" + adapter});
        for (const std::string& node : os.texts.listDirectory(hidDevice + "/hidraw"))
            if (node.starts_with("hidraw")) found.heldHidNodes.push_back("/dev/" + node);
    }
    return found;
}

std::optional<Error> checkAdapter(const std::string& node, Os& os) {
    return checkI2cDev(node, os);
}

std::unique_ptr<I2cBus> openAdapter(const std::string& node, Os& os, std::optional<Error>& error) {
    return openI2cDev(node, os, error);
}

}  // namespace port::i2c
