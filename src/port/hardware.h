// Choosing and opening the backend of a port address: the kernel's ppdev driver, direct
// port I/O, an I2C backpack, GPIO lines, or the emulator alone.
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
//  - ioperm() needs CAP_SYS_RAWIO, fails with EPERM under kernel lockdown, ENOSYS where the
//    kernel was built without it, and grants access to the calling thread only.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "port/backend.h"

namespace port {

// The system calls and file roots the hardware backends use, so that tests can run them
// on a fake /proc and /dev with a fake device.
struct SysApi {
    std::string procRoot = "/proc/sys/dev/parport";
    std::string devRoot = "/dev";
    std::string procDevices = "/proc/devices";  // lists "99 ppdev" once the module is loaded
    std::function<int(const std::string& path, struct stat* st)> stat;   // 0, or -1 + errno
    std::function<int(const std::string& path, int flags)> open;         // fd, or -1 + errno
    std::function<int(int fd, unsigned long request, void* arg)> ioctl;  // 0, or -1 + errno
    std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
    std::function<int(int fd)> close;
    std::function<int(unsigned long from, unsigned long num, int on)> ioperm;  // x86 only
    std::function<void(std::uint8_t value, std::uint16_t port)> outb;          // x86 only
    std::function<void(const std::string& line)> tell;  // a one-time notice for the user

    static SysApi real();
};

struct ParportInfo {
    std::string name;    // "parport0"
    std::int64_t base;   // I/O address of the data register
    std::string active;  // the device holding the port, "none" when free
};

// Every parport the kernel lists, in name order.
std::vector<ParportInfo> listParports(const std::string& procRoot);

// Addresses the direct-I/O backend may ever touch: the supported ports' data registers,
// so that nothing can make a root process write an arbitrary I/O port.
bool ioportAddressAllowed(std::int16_t port) noexcept;

// Checks, without opening anything, that each device the user named for a port that the
// settings will use is there and of the right kind. Empty, or a sentence naming the
// variable.
std::string checkDevices(const PortConfig& config, const SysApi& sys);

// The errno of a failed call, never 0, so that a failed write is never taken for success.
int lastError() noexcept;

// Remedies that both the start-up check and a backend's open give.
std::string joinGroupRemedy(const std::string& group);  // " ; ajoutez votre utilisateur..."
extern const char* const kPpdevMissingRemedy;
extern const char* const kI2cDevMissingRemedy;

OpenResult openPpdev(const std::string& device, const SysApi& sys);
OpenResult openIoport(std::int16_t port, const SysApi& sys);
OpenResult openI2c(const PortDevice& device, const SysApi& sys);
OpenResult openGpio(const PortDevice& device, const SysApi& sys);

// The program's opener: emulator, ppdev, ioport, or auto (ppdev where a parport has the
// address, the emulator elsewhere); a device named for the address wins over auto.
BackendOpener hardwareOpener(SysApi sys = SysApi::real());

}  // namespace port
