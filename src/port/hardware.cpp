#include "port/hardware.h"

#include "port/port_writer.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#if (defined(__x86_64__) || defined(__i386__)) && __has_include(<sys/io.h>)
#include <sys/io.h>
#define VELMORIN_HAVE_IOPORT 1
#else
#define VELMORIN_HAVE_IOPORT 0
#endif

namespace port {
namespace {

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string errnoText(int err) {
    return std::strerror(err);
}

// The /proc name of a device path: /dev/parport2 -> parport2.
std::string parportName(const std::string& device) {
    return std::filesystem::path(device).filename().string();
}

// ppdev's character major as /proc/devices lists it ("99 ppdev"); none when the list lacks
// it. An unreadable list counts as the usual 99.
std::optional<unsigned> ppdevMajor(const SysApi& sys) {
    std::ifstream in(sys.procDevices);
    if (!in) return 99u;
    for (std::string line; std::getline(in, line);) {
        unsigned major = 0;
        char name[32] = {};
        if (std::sscanf(line.c_str(), " %u %31s", &major, name) == 2 &&
            std::string(name) == "ppdev")
            return major;
    }
    return std::nullopt;
}

// Whether the ppdev character driver is registered. An unknown answer counts as yes.
bool ppdevLoaded(const SysApi& sys) {
    return ppdevMajor(sys).has_value();
}

// What to do about a failed open or claim, by errno.
std::string remedy(int err, const SysApi& sys) {
    // A device node without its driver (made by hand, or left from before) opens with
    // ENXIO, like a port that refuses registration: the module list tells them apart.
    if (err == ENXIO && !ppdevLoaded(sys)) err = ENODEV;
    switch (err) {
        case ENOENT:
        case ENODEV:
            if (!ppdevLoaded(sys)) return kPpdevMissingRemedy;
            return " ; ce port n'existe plus (ls /dev/parport*)";
        case EACCES:
        case EPERM:
            return joinGroupRemedy("lp") +
                   ", ou lancez avec VELMORIN_LPT=emulator pour l'afficheur émulé";
        case ENXIO:
            return " ; le port a refusé l'enregistrement (un autre pilote l'a-t-il pris ?)";
        case EBUSY:
            return " ; le port est occupé par un autre programme";
        default:
            return {};
    }
}

class PpdevBackend final : public PortBackend {
public:
    PpdevBackend(int fd, std::string device, const SysApi& sys)
        : m_fd(fd), m_device(std::move(device)), m_sys(sys) {}
    ~PpdevBackend() override {
        m_sys.ioctl(m_fd, PPRELEASE, nullptr);
        m_sys.close(m_fd);
    }
    int write(std::uint8_t value) noexcept override {
        return m_sys.ioctl(m_fd, PPWDATA, &value) == 0 ? 0 : lastError();
    }
    std::string description() const override { return m_device + " (ppdev)"; }

private:
    int m_fd;
    std::string m_device;
    SysApi m_sys;
};

class IoportBackend final : public PortBackend {
public:
    IoportBackend(std::int16_t port, const SysApi& sys) : m_port(port), m_sys(sys) {}
    int write(std::uint8_t value) noexcept override {
        m_sys.outb(value, static_cast<std::uint16_t>(m_port));
        return 0;
    }
    std::string description() const override { return "E/S directe " + hexAddress(m_port); }

private:
    std::int16_t m_port;
    SysApi m_sys;
};

}  // namespace

const char* const kPpdevMissingRemedy = " ; le module ppdev n'est pas chargé : sudo modprobe ppdev";
const char* const kI2cDevMissingRemedy =
    " ; chargez le module i2c-dev (sudo modprobe i2c-dev) ; sur un Raspberry Pi, activez I2C "
    "avec sudo raspi-config";

std::string joinGroupRemedy(const std::string& group) {
    return " ; ajoutez votre utilisateur au groupe " + group + " (sudo usermod -aG " + group +
           " $USER, puis reconnectez-vous)";
}

int lastError() noexcept {
    return errno != 0 ? errno : EIO;
}

SysApi SysApi::real() {
    SysApi s;
    s.open = [](const std::string& path, int flags) {
        return ::open(path.c_str(), flags | O_CLOEXEC);
    };
    s.stat = [](const std::string& path, struct stat* st) { return ::stat(path.c_str(), st); };
    s.ioctl = [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); };
    s.write = [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
    s.close = [](int fd) { return ::close(fd); };
#if VELMORIN_HAVE_IOPORT
    s.ioperm = [](unsigned long from, unsigned long num, int on) {
        return ::ioperm(from, num, on);
    };
    s.outb = [](std::uint8_t value, std::uint16_t port) { ::outb(value, port); };
#endif
    s.tell = [](const std::string& line) { std::fprintf(stderr, "velmorin : %s\n", line.c_str()); };
    return s;
}

std::vector<ParportInfo> listParports(const std::string& procRoot) {
    std::vector<ParportInfo> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(procRoot, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("parport", 0) != 0) continue;
        const std::string base = readFirstLine(entry.path().string() + "/base-addr");
        char* end = nullptr;
        const long long value = std::strtoll(base.c_str(), &end, 10);
        if (end == base.c_str()) continue;
        std::string active = readFirstLine(entry.path().string() + "/devices/active");
        found.push_back(ParportInfo{name, value, active.empty() ? "none" : active});
    }
    std::sort(found.begin(), found.end(),
              [](const ParportInfo& a, const ParportInfo& b) { return a.name < b.name; });
    return found;
}

bool ioportAddressAllowed(std::int16_t port) noexcept {
    return supportedPort(port) != nullptr;
}

OpenResult openPpdev(const std::string& device, const SysApi& sys) {
    // PPCLAIM would wait for ever behind another driver: look before claiming.
    const std::string active =
        readFirstLine(sys.procRoot + "/" + parportName(device) + "/devices/active");
    if (!active.empty() && active != "none")
        return {nullptr,
                device + " est tenu par le pilote « " + active +
                    " » ; libérez le port : sudo rmmod " + active +
                    " (et mettez-le en liste noire "
                    "dans /etc/modprobe.d pour qu'il ne revienne pas)",
                {}};
    const int fd = sys.open(device, O_RDWR);
    if (fd < 0) {
        const int err = errno;
        return {nullptr,
                "impossible d'ouvrir " + device + " : " + errnoText(err) + remedy(err, sys),
                {}};
    }
    if (sys.ioctl(fd, PPCLAIM, nullptr) != 0) {
        const int err = errno;
        sys.close(fd);
        return {nullptr,
                "PPCLAIM sur " + device + " refusé : " + errnoText(err) + remedy(err, sys),
                {}};
    }
    return {std::make_unique<PpdevBackend>(fd, device, sys), {}, {}};
}

OpenResult openIoport(std::int16_t port, const SysApi& sys) {
    if (!ioportAddressAllowed(port))
        return {nullptr,
                "E/S directe refusée à l'adresse " + hexAddress(port) +
                    " : seuls les registres de données " + supportedAddressList() +
                    " sont autorisés",
                {}};
    if (!sys.ioperm || !sys.outb)
        return {nullptr,
                "E/S directe indisponible sur cette architecture ; utilisez VELMORIN_LPT=ppdev",
                {}};
    // The permission belongs to the calling thread: the one that will write.
    if (sys.ioperm(static_cast<unsigned long>(static_cast<std::uint16_t>(port)), 1, 1) != 0) {
        const int err = errno;
        if (err == ENOSYS)
            return {nullptr,
                    "ioperm(" + hexAddress(port) + ") : " + errnoText(err) +
                        " ; ce noyau n'offre pas d'E/S directe sur les ports : utilisez "
                        "VELMORIN_LPT=ppdev",
                    {}};
        return {nullptr,
                "ioperm(" + hexAddress(port) + ") refusé : " + errnoText(err) +
                    " ; l'E/S directe exige root ou CAP_SYS_RAWIO, et le verrouillage du noyau "
                    "(Secure Boot) l'interdit ; préférez VELMORIN_LPT=ppdev",
                {}};
    }
    return {std::make_unique<IoportBackend>(port, sys), {}, {}};
}

namespace {

std::string checkDevice(const char* setting, const PortDevice& device, const SysApi& sys) {
    if (device.kind == PortDevice::Kind::None) return {};
    const std::string named = std::string(setting) + "=" + device.path;
    struct stat st {};
    if (!sys.stat || sys.stat(device.path, &st) != 0) {
        const int err = sys.stat ? errno : ENOENT;
        std::string m = named + " : " + errnoText(err);
        switch (device.kind) {
            case PortDevice::Kind::Parport:
                if (err == ENOENT && device.path.rfind(sys.devRoot + "/parport", 0) == 0 &&
                    !ppdevLoaded(sys))
                    return m + kPpdevMissingRemedy;
                return m + " ; donnez le chemin complet d'un port parallèle (ls /dev/parport*)";
            case PortDevice::Kind::I2c:
                return err == ENOENT ? m + kI2cDevMissingRemedy : m;
            default:
                return m + " ; les puces GPIO présentes : ls /dev/gpiochip*";
        }
    }
    if (!S_ISCHR(st.st_mode))
        return named + " n'est pas un périphérique caractère ; rien n'y a été ouvert";
    if (device.kind == PortDevice::Kind::Parport &&
        major(st.st_rdev) != ppdevMajor(sys).value_or(99))
        return named + " n'est pas un port ppdev (/dev/parportN) ; rien n'y a été ouvert";
    return {};
}

}  // namespace

std::string checkDevices(const PortConfig& config, const SysApi& sys) {
    if (config.kind == BackendKind::Emulator || config.kind == BackendKind::Ioport) return {};
    for (const SupportedPort& p : kSupportedPorts)
        if (auto e = checkDevice(p.deviceSetting, config.devices[portIndex(p)], sys); !e.empty())
            return e;
    return {};
}

BackendOpener hardwareOpener(SysApi sys) {
    auto told = std::make_shared<bool>(false);
    return [sys = std::move(sys), told](std::int16_t port, const PortConfig& config) -> OpenResult {
        if (config.kind == BackendKind::Emulator) return {};
        if (config.kind == BackendKind::Ioport) return openIoport(port, sys);

        // The layer serves supported ports only; each has its device setting.
        const SupportedPort* supported = supportedPort(port);
        const std::string setting = supported ? supported->deviceSetting : "VELMORIN_LPT1";
        const PortDevice& chosen = config.device(port);
        if (supported && chosen.kind != PortDevice::Kind::None) {
            if (auto e = checkDevice(supported->deviceSetting, chosen, sys); !e.empty())
                return {nullptr, e, {}};
            switch (chosen.kind) {
                case PortDevice::Kind::I2c:
                    return openI2c(chosen, sys);
                case PortDevice::Kind::Gpio:
                    return openGpio(chosen, sys);
                default:
                    return openPpdev(chosen.path, sys);
            }
        }

        const auto parports = listParports(sys.procRoot);
        for (const ParportInfo& p : parports)
            if (p.base == static_cast<std::uint16_t>(port))
                return openPpdev(sys.devRoot + "/" + p.name, sys);

        if (config.kind == BackendKind::Ppdev) {
            std::string m =
                "VELMORIN_LPT=ppdev : aucun port parallèle à l'adresse " + hexAddress(port);
            m += parports.empty() ? " (aucun /dev/parport* ; chargez parport_pc et ppdev)"
                                  : " ; désignez-en un avec " + setting + "=/dev/parportN";
            return {nullptr, m, {}};
        }
        // Auto: no parport at this address, so the emulator serves it. PCI cards sit
        // elsewhere; say where, once, so a user with hardware is not left guessing.
        OpenResult r;
        if (!parports.empty()) {
            r.note = "aucun port à " + hexAddress(port);
            for (const ParportInfo& p : parports)
                r.note += " ; " + sys.devRoot + "/" + p.name + " est à " +
                          hexAddress(static_cast<std::int16_t>(p.base));
            if (!*told && sys.tell)
                sys.tell(r.note + " (afficheur émulé ; " + setting +
                         "=/dev/parportN pour le choisir)");
            *told = true;
        }
        return r;
    };
}

}  // namespace port
