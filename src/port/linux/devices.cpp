#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "port/linux/backends.h"

namespace port::linux_backends {

std::optional<unsigned> driverMajor(Os& os, const std::string& driver, unsigned fallback) {
    std::vector<std::string> lines;
    if (readLines(os, "/proc/devices", lines) != 0) return fallback;
    for (const std::string& line : lines) {
        unsigned major = 0;
        char name[32] = {};
        if (std::sscanf(line.c_str(), " %u %31s", &major, name) == 2 && driver == name)
            return major;
    }
    return std::nullopt;
}

std::optional<Error> checkDevice(const std::string& path, Os& os, const Driver& driver) {
    Error e;
    e.device = path;
    const PathInfo st = os.files.stat(path);
    if (st.error != 0) {
        e.what = Problem::DeviceUnusable;
        e.err = st.error;
        e.hint = st.error == ENOENT ? driver.ifAbsent : driver.ifUnusable;
        return e;
    }
    if (!st.characterDevice) {
        e.what = Problem::NotCharacterDevice;
        return e;
    }
    const auto major = driverMajor(os, driver.name, driver.usualMajor);
    if (major && *major == 0) return std::nullopt;  // unreadable list, no usual major
    if (!major || st.major != *major) {
        e.what = Problem::Backend;
        e.code = driver.notIt;
        return e;
    }
    return std::nullopt;
}

std::vector<SerialPortInfo> serialPorts(TextFiles& texts) {
    constexpr const char* kTty = "/sys/class/tty";
    std::vector<std::string> names = texts.listDirectory(kTty);
    std::sort(names.begin(), names.end());
    std::vector<SerialPortInfo> found;
    for (const std::string& name : names) {
        if (!name.starts_with("ttyACM") && !name.starts_with("ttyUSB") &&
            !name.starts_with("ttyAMA"))
            continue;
        // device is the USB interface (ttyACM) or the usb-serial port under it (ttyUSB):
        // the USB device and its product string are one or two levels up.
        std::string product;
        for (const char* up : {"/device/../product", "/device/../../product"}) {
            std::string text;
            if (texts.readText(std::string(kTty) + "/" + name + up, 256, text) == 0) {
                product = text.substr(0, text.find('\n'));
                break;
            }
        }
        found.push_back({"/dev/" + name, product});
    }
    return found;
}

Error openFailed(const std::string& path, int err, std::uint8_t hint) {
    Error e = problem(Problem::OpenFailed);
    e.device = path;
    e.err = err;
    e.hint = hint;
    return e;
}

}  // namespace port::linux_backends
