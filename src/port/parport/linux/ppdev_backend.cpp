// A parallel port through the kernel's ppdev driver: /dev/parportN, one PPWDATA ioctl per
// write. The port's data pins are the parallel cable's bits.
//
// Linux facts this relies on:
//  - /dev/parportN numbers follow registration order, not address. The address of each
//    is in /proc/sys/dev/parport/parportN/base-addr, in decimal, first field ("888\t0").
//  - PPCLAIM blocks for as long as another driver (lp, typically) holds the port; the
//    holder shows in /proc/sys/dev/parport/parportN/devices/active. Data ioctls fail with
//    EINVAL until the port is claimed. udev gives /dev/parport* to the group lp.
//  - ppdev's character major is 99 (listed in /proc/devices once the module is loaded).
//    Opening some other device nodes has side effects (a tape rewinds on close), so a path
//    the user names is checked before it is ever opened.
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "port/cable.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parport/linux/ppdev_backend.h"
#include "port/parse.h"

namespace port::linux_backends {
namespace {

using ppdev::Hint;
using ppdev::kPpdev;
using ppdev::Problem;

constexpr const char* kProcParport = "/proc/sys/dev/parport";
constexpr const char* kDev = "/dev";
constexpr unsigned kPpdevMajor = 99;

// Whether the ppdev character driver is registered. An unknown answer counts as yes.
bool ppdevLoaded(Os& os) {
    return driverMajor(os, "ppdev", kPpdevMajor).has_value();
}

// The remedy for a failed open or claim, by errno.
Hint remedyFor(int err, Os& os) {
    // A device node without its driver (made by hand, or left from before) opens with
    // ENXIO, like a port that refuses registration: the module list tells them apart.
    if (err == ENXIO && !ppdevLoaded(os)) err = ENODEV;
    switch (err) {
        case ENOENT:
        case ENODEV:
            return ppdevLoaded(os) ? Hint::ParportGone : Hint::LoadPpdev;
        case EACCES:
        case EPERM:
            return Hint::JoinGroupLp;
        case ENXIO:
            return Hint::ParportRefused;
        case EBUSY:
            return Hint::ParportBusy;
        default:
            return Hint::None;
    }
}

std::uint8_t remedy(int err, Os& os) {
    return codeOf(remedyFor(err, os));
}

Error failure(Problem what, const std::string& device, int err = 0, std::uint8_t hint = 0) {
    Error e = backendProblem(what);
    e.device = device;
    e.err = err;
    e.hint = hint;
    return e;
}

class PpdevBackend final : public PortBackend {
public:
    PpdevBackend(int fd, std::string device, Os& os)
        : m_fd(fd), m_device(std::move(device)), m_os(os) {}
    ~PpdevBackend() override {
        m_os.parport->release(m_fd);
        m_os.files.close(m_fd);
    }
    int write(hd44780::Pins pins) noexcept override {
        const int rc = m_os.parport->writeData(m_fd, kParallelCable.byte(pins));
        return rc >= 0 ? 0 : errnoOf(rc);
    }
    Description description() const override { return {kPpdev.key, m_device, {}, {}, false}; }

private:
    int m_fd;
    std::string m_device;
    Os& m_os;
};

OpenResult openDevice(const std::string& device, Os& os) {
    // PPCLAIM would wait for ever behind another driver: look before claiming.
    const std::string active =
        firstLine(os, std::string(kProcParport) + "/" + baseName(device) + "/devices/active");
    if (!active.empty() && active != "none") {
        Error e = failure(Problem::ParportHeld, device);
        e.detail = active;
        return {nullptr, e, {}};
    }
    const int fd = os.files.open(device, OpenFor::Device);
    if (fd < 0) return {nullptr, openFailed(device, -fd, remedy(-fd, os)), {}};
    if (const int rc = os.parport->claim(fd); rc < 0) {
        os.files.close(fd);
        return {nullptr, failure(Problem::ClaimFailed, device, -rc, remedy(-rc, os)), {}};
    }
    return {std::make_unique<PpdevBackend>(fd, device, os), {}, {}};
}

// /dev/parportN; and any path alone, since the parallel port is what a bare path names.
Claim claims(const DeviceText& text) {
    if (baseName(text.path).starts_with("parport")) return Claim::ByPath;
    return text.hasOptions ? Claim::No : Claim::ByOptions;
}

std::optional<Error> parse(const DeviceText& text, PortDevice&) {
    if (text.hasOptions) return backendProblem(Problem::OptionsGiven, text.options);
    return std::nullopt;
}

std::optional<Error> check(const PortDevice& device, Os& os) {
    const bool underDev = device.path.rfind(std::string(kDev) + "/parport", 0) == 0;
    // A missing /dev/parportN is the module's absence when the module is not loaded.
    const Hint absent = underDev && !ppdevLoaded(os) ? Hint::LoadPpdev : Hint::GiveParportPath;
    return checkDevice(device.path, os,
                       {"ppdev", kPpdevMajor, codeOf(Problem::NotPpdevDevice), codeOf(absent),
                        codeOf(Hint::GiveParportPath)});
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    return openDevice(device.path, os);
}

OpenResult openAt(const SupportedPort& port, bool required, Os& os) {
    const auto parports = listParports(os);
    for (const ParportInfo& p : parports)
        if (p.base == static_cast<std::uint16_t>(port.address))
            return openDevice(std::string(kDev) + "/" + p.name, os);
    OpenResult r;
    if (required) {
        Error e = failure(Problem::NoParportAt, {});
        e.address = port.address;
        e.setting = port.deviceSetting;
        e.hint = codeOf(parports.empty() ? Hint::LoadParport : Hint::ListParports);
        r.error = e;
        return r;
    }
    // No parport at this address, so the emulator serves it. PCI cards sit elsewhere: say
    // where, so a user with hardware is not left guessing.
    if (parports.empty()) return r;
    r.note.backend = kPpdev.key;
    r.note.address = port.address;
    r.note.setting = port.deviceSetting;
    for (const ParportInfo& p : parports)
        r.note.found.push_back({std::string(kDev) + "/" + p.name, p.base});
    return r;
}

}  // namespace

std::vector<ParportInfo> listParports(Os& os) {
    std::vector<ParportInfo> found;
    for (const std::string& name : os.texts.listDirectory(kProcParport)) {
        if (name.rfind("parport", 0) != 0) continue;
        const std::string base =
            firstLine(os, std::string(kProcParport) + "/" + name + "/base-addr");
        char* end = nullptr;
        const long long value = std::strtoll(base.c_str(), &end, 10);
        if (end == base.c_str()) continue;
        found.push_back(ParportInfo{name, value});
    }
    std::sort(found.begin(), found.end(),
              [](const ParportInfo& a, const ParportInfo& b) { return a.name < b.name; });
    return found;
}

namespace {

// Every parport, by its ppdev node and base address.
std::vector<Candidate> candidates(Os& os) {
    std::vector<Candidate> list;
    for (const ParportInfo& p : listParports(os))
        list.push_back({std::string(kDev) + "/" + p.name, {}, p.base});
    return list;
}

}  // namespace

}  // namespace port::linux_backends

namespace port::ppdev {

const BackendRow kPpdev{"ppdev",
                        "ppdev",
                        "/dev/parportN",
                        false,
                        true,
                        linux_backends::claims,
                        linux_backends::parse,
                        linux_backends::check,
                        linux_backends::openNamed,
                        linux_backends::openAt,
                        linux_backends::candidates};

}  // namespace port::ppdev
