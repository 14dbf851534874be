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

Error openFailed(const std::string& path, int err, std::uint8_t hint) {
    Error e = problem(Problem::OpenFailed);
    e.device = path;
    e.err = err;
    e.hint = hint;
    return e;
}

}  // namespace port::linux_backends
