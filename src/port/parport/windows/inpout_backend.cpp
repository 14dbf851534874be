// The port library on Windows: InpOut's DLL writes a byte to an I/O port through its own
// kernel driver. The 64-bit build is inpoutx64.dll, with the 32-bit build's exports:
// Out32(short port, short data), Inp32(short port), and IsInpOutDriverOpen(), which says
// whether the library could open (or, run once as administrator, install) that driver.
//
// The library is loaded on the port's first Out32, the moment a classic port library
// loads, and only from the program's folder or the system's: a DLL planted in the current
// folder must never run. Each Out32 is one call into it; the emulator keeps running beside
// it as the mirror.
#include <memory>

#include "port/cable.h"
#include "port/parport/windows/inpout_backend.h"

namespace port::inpout {
namespace {

// The system's error codes (winerror.h) the sentences tell apart.
constexpr unsigned long kBadExeFormat = 193;  // ERROR_BAD_EXE_FORMAT: another bitness

using Out32Fn = void (*)(short port, short data);
using DriverOpenFn = int (*)();  // BOOL

class InpoutBackend final : public PortBackend {
public:
    // The backend keeps the library loaded: out32 is its code.
    InpoutBackend(std::unique_ptr<Library> library, Out32Fn out32, std::int16_t port)
        : m_library(std::move(library)), m_out32(out32), m_port(port) {}
    int write(hd44780::Pins pins) noexcept override {
        m_out32(m_port, static_cast<short>(kParallelCable.byte(pins)));
        return 0;
    }
    Description description() const override { return {kInpout.key, kLibrary, {}, {}, false}; }

private:
    std::unique_ptr<Library> m_library;
    Out32Fn m_out32;
    std::int16_t m_port;
};

std::string joined(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& f : folders) text += (text.empty() ? "" : "; ") + f;
    return text;
}

OpenResult openAt(const SupportedPort& port, bool required, Os& os) {
    unsigned long code = 0;
    std::unique_ptr<Library> library =
        os.libraries ? os.libraries->loadLibrary(kLibrary, code) : nullptr;
    const std::vector<std::string> folders =
        os.libraries ? os.libraries->libraryFolders() : std::vector<std::string>{};
    Error e = backendProblem(Problem::LibraryMissing);
    e.device = kLibrary;
    e.detail = joined(folders);
    if (!library) {
        if (code == kBadExeFormat) {
            e.code = codeOf(Problem::WrongBits);
            e.number = static_cast<long>(code);
            return {nullptr, e, {}};
        }
        // Only the 32-bit build beside the program: say which file this one needs.
        bool only32 = false;
        for (const std::string& f : folders)
            if (os.files.stat(f + "\\" + kLibrary32).regularFile) only32 = true;
        if (!required && !only32) {
            OpenResult r;
            r.note.backend = kInpout.key;
            r.note.address = port.address;
            r.note.detail = kLibrary;
            r.note.searched = e.detail;
            return r;
        }
        e.hint = codeOf(only32 ? Hint::Library32Only : Hint::None);
        return {nullptr, e, {}};
    }
    const auto out32 = reinterpret_cast<Out32Fn>(library->symbol("Out32"));
    if (!out32) {
        e.code = codeOf(Problem::NoOut32);
        return {nullptr, e, {}};
    }
    // Older builds lack the query; their Out32 then simply does nothing without the driver.
    if (const auto driverOpen =
            reinterpret_cast<DriverOpenFn>(library->symbol("IsInpOutDriverOpen"));
        driverOpen && !driverOpen()) {
        e.code = codeOf(Problem::DriverClosed);
        return {nullptr, e, {}};
    }
    return {std::make_unique<InpoutBackend>(std::move(library), out32, port.address), {}, {}};
}

}  // namespace

// Tried by auto for every address: the library is Windows' own way to the port here.
const BackendRow kInpout{"inpout", "inpout", nullptr, true,   true,   nullptr,
                         nullptr,  nullptr,  nullptr, openAt, nullptr};

}  // namespace port::inpout
