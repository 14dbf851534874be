// Direct port I/O: outb() on the data register, x86 only, for experts.
//
// ioperm() needs CAP_SYS_RAWIO, fails with EPERM under kernel lockdown (Secure Boot), with
// ENOSYS where the kernel was built without it, and grants access to the calling thread
// only. Only the supported ports' data registers are ever touched, so that nothing can make
// a root process write an arbitrary I/O port: the layer opens supported addresses only.
#include <cerrno>
#include <memory>

#include "port/cable.h"
#include "port/parport/linux/ioport_backend.h"

namespace port::ioport {
namespace {

class IoportBackend final : public PortBackend {
public:
    IoportBackend(std::int16_t port, Os& os) : m_port(port), m_os(os) {}
    int write(hd44780::Pins pins) noexcept override {
        m_os.portIo->outb(static_cast<std::uint16_t>(m_port), kParallelCable.byte(pins));
        return 0;
    }
    Description description() const override {
        return {kIoport.key, hexAddress(m_port), {}, {}, false};
    }

private:
    std::int16_t m_port;
    Os& m_os;
};

OpenResult openAt(const SupportedPort& port, bool, Os& os) {
    Error e = backendProblem(Problem::Unavailable);
    e.address = port.address;
    if (!os.portIo) return {nullptr, e, {}};
    if (const int rc = os.portIo->portAccess(static_cast<std::uint16_t>(port.address)); rc != 0) {
        e.err = -rc;
        e.code = codeOf(e.err == ENOSYS ? Problem::IopermUnsupported : Problem::IopermRefused);
        return {nullptr, e, {}};
    }
    return {std::make_unique<IoportBackend>(port.address, os), {}, {}};
}

}  // namespace

// Never chosen by auto: it needs root, and a wrong address could upset other hardware.
const BackendRow kIoport{"ioport", "ioport", nullptr, true,   false,  nullptr,
                         nullptr,  nullptr,  nullptr, openAt, nullptr};

}  // namespace port::ioport
