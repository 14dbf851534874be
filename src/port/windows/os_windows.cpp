// The operating-system seam on Windows.
//
// Windows facts:
//  - The default timer tick is 15.6 ms: Sleep(2) lasts up to 16 ms unless the program asks
//    for 1 ms with timeBeginPeriod(1), which holds until the process ends.
//  - MinGW's clock_nanosleep fails at once with EINVAL, so a sleep built on it never sleeps:
//    Sleep it is.
//  - Paths are UTF-16: every path here arrives in UTF-8 and is converted.
//  - A share mode that lets others read but not write refuses a second writer
//    (ERROR_SHARING_VIOLATION), which stands in for flock: two instances cannot share a trace.
#include <windows.h>
// windows.h first: the others build on its types.
#include <mmsystem.h>
#include <setupapi.h>

#include <cerrno>
#include <chrono>

#include "port/hid/hidapi_hid.h"
#include "port/os.h"
#include "port/windows/utf16.h"

namespace port {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

namespace {

// The system's error as the errno the port layer speaks.
int errnoOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EWOULDBLOCK;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        case ERROR_DIRECTORY:
            return EISDIR;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:
            return EIO;
    }
}

int failed() {
    return -errnoOf(GetLastError());
}

std::string folderOf(const std::wstring& path) {
    return narrow(path.substr(0, path.find_last_of(L"\\/")));
}

// A library loaded until the program lets it go.
class LoadedLibrary final : public Library {
public:
    explicit LoadedLibrary(HMODULE module) noexcept : m_module(module) {}
    ~LoadedLibrary() override { FreeLibrary(m_module); }
    void* symbol(const char* name) override {
        return reinterpret_cast<void*>(GetProcAddress(m_module, name));
    }

private:
    HMODULE m_module;
};

class WindowsOs final : public Files,
                        public TraceFiles,
                        public FileReplacing,
                        public TextFiles,
                        public Time,
                        public Libraries,
                        public SerialPorts {
public:
    // The Device Manager's "Ports (COM et LPT)" with their friendly names ("Arduino Uno
    // (COM3)"), then any COM port only the registry's SERIALCOMM list names (wine's).
    std::vector<SerialPortInfo> listSerial() override {
        // The "Ports" device setup class (devguid.h's GUID_DEVCLASS_PORTS), spelled out so
        // that no GUID library need be linked.
        static const GUID kPortsClass = {
            0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
        std::vector<SerialPortInfo> found;
        const HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
        if (set != INVALID_HANDLE_VALUE) {
            SP_DEVINFO_DATA dev{};
            dev.cbSize = sizeof dev;
            for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &dev); ++i) {
                const HKEY key =
                    SetupDiOpenDevRegKey(set, &dev, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
                if (key == INVALID_HANDLE_VALUE) continue;
                wchar_t port[64] = {};
                DWORD size = sizeof port - sizeof(wchar_t);
                const bool named =
                    RegQueryValueExW(key, L"PortName", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(port), &size) == ERROR_SUCCESS;
                RegCloseKey(key);
                if (!named || std::wstring(port).rfind(L"COM", 0) != 0) continue;  // LPT1 too
                wchar_t friendly[256] = {};
                std::string name;
                if (SetupDiGetDeviceRegistryPropertyW(set, &dev, SPDRP_FRIENDLYNAME, nullptr,
                                                      reinterpret_cast<BYTE*>(friendly),
                                                      sizeof friendly - sizeof(wchar_t), nullptr)) {
                    name = narrow(friendly);
                    // "Arduino Uno (COM3)": the port is said apart.
                    const std::string suffix = " (" + narrow(port) + ")";
                    if (name.ends_with(suffix)) name.erase(name.size() - suffix.size());
                }
                found.push_back({narrow(port), name});
            }
            SetupDiDestroyDeviceInfoList(set);
        }
        HKEY comm = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                          &comm) == ERROR_SUCCESS) {
            for (DWORD i = 0;; ++i) {
                wchar_t value[256], data[64] = {};
                DWORD valueSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
                if (RegEnumValueW(comm, i, value, &valueSize, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
                    break;
                if (type != REG_SZ) continue;
                const std::string port = narrow(data);
                bool known = false;
                for (const SerialPortInfo& f : found) known = known || f.path == port;
                if (!known) found.push_back({port, {}});
            }
            RegCloseKey(comm);
        }
        return found;
    }

    // COM ports: \\.\COMn reaches COM10 and above too. Windows opens a port for one
    // program at a time; a second open fails with access denied.
    std::unique_ptr<SerialPort> openSerial(const std::string& path, unsigned baud,
                                           int& error) override {
        return serialPortOn(*this, openPort(path, baud), error);
    }

    // The port as a descriptor, or -errno.
    int openPort(const std::string& path, unsigned baud) {
        const HANDLE h = CreateFileW(wide("\\\\.\\" + path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            return code == ERROR_ACCESS_DENIED ? -EBUSY : -errnoOf(code);
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(h, &dcb)) {
            CloseHandle(h);
            return -ENOTTY;  // a file or a device that is no serial port
        }
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        if (!SetCommState(h, &dcb)) {
            CloseHandle(h);
            return -EINVAL;
        }
        // A write that the line has not taken in 2 s, plus 2 ms a byte (10 bits at 9600
        // baud is 1 ms), has lost its board: it fails rather than hangs.
        COMMTIMEOUTS timeouts{};
        timeouts.WriteTotalTimeoutConstant = 2000;
        timeouts.WriteTotalTimeoutMultiplier = 2;
        SetCommTimeouts(h, &timeouts);
        return adopt(h);
    }

    PathInfo stat(const std::string& path) override {
        PathInfo i;
        const DWORD a = GetFileAttributesW(wide(path).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            i.error = -failed();
            return i;
        }
        i.directory = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
        i.regularFile = !i.directory;
        return i;
    }
    PathInfo fstat(int fd) override {
        PathInfo i;
        const HANDLE h = handle(fd);
        if (h == INVALID_HANDLE_VALUE) {
            i.error = EBADF;
            return i;
        }
        i.regularFile = GetFileType(h) == FILE_TYPE_DISK;
        return i;
    }
    int open(const std::string& path, OpenFor how) override {
        // No device files: the library writes.
        if (how == OpenFor::Device || how == OpenFor::Query) return -ENOSYS;
        // Others may read the trace while it grows, but not write it.
        const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return failed();
        return adopt(h);
    }
    long write(int fd, const void* data, std::size_t size) noexcept override {
        DWORD written = 0;
        if (!WriteFile(handle(fd), data, static_cast<DWORD>(size), &written, nullptr))
            return failed();
        return static_cast<long>(written);
    }
    void close(int fd) noexcept override {
        const std::size_t i = static_cast<std::size_t>(fd - kFirstFd);
        if (fd < kFirstFd || i >= m_handles.size()) return;
        CloseHandle(m_handles[i]);
        m_handles[i] = INVALID_HANDLE_VALUE;
    }
    int lockExclusive(int) override { return 0; }  // the share mode refused others at open
    int truncate(int fd, std::int64_t size) override {
        LARGE_INTEGER at{};
        at.QuadPart = size;
        const HANDLE h = handle(fd);
        if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) return failed();
        return 0;
    }
    int waitWritable(int, int) noexcept override { return 0; }  // writes block instead

    int readText(const std::string& path, std::size_t maxBytes, std::string& text) override {
        text.clear();
        const HANDLE h =
            CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return failed();
        int rc = GetFileType(h) == FILE_TYPE_DISK ? 0 : -EINVAL;  // a pipe, a console
        char buf[4096];
        DWORD n = 0;
        while (rc == 0) {
            if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
                rc = failed();
                break;
            }
            if (n == 0) break;
            if (text.size() + n > maxBytes)
                rc = -EFBIG;
            else
                text.append(buf, n);
        }
        CloseHandle(h);
        if (rc != 0) text.clear();
        return rc;
    }
    std::vector<std::string> listDirectory(const std::string&) override { return {}; }
    // Links are rare on Windows and need rights to make: a path is its own file.
    int resolveLinks(const std::string& path, std::string& target) override {
        target = path;
        return 0;
    }
    int mayWrite(const std::string& path) override {
        const DWORD a = GetFileAttributesW(wide(path).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return failed();
        return (a & FILE_ATTRIBUTE_READONLY) ? -EACCES : 0;
    }
    int createBeside(const std::string& path, std::string& created) override {
        // CREATE_NEW fails where the name is taken: another name, a few times.
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const std::string name = path + "." + std::to_string(GetCurrentProcessId()) + "-" +
                                     std::to_string(GetTickCount() + attempt) + ".new";
            const HANDLE h = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                created = name;
                return adopt(h);
            }
            if (GetLastError() != ERROR_FILE_EXISTS) return failed();
        }
        return -EEXIST;
    }
    int keepMode(int, const PathInfo&) noexcept override { return 0; }  // ACLs follow the folder
    int sync(int fd) noexcept override { return FlushFileBuffers(handle(fd)) ? 0 : failed(); }
    int rename(const std::string& from, const std::string& to) override {
        // Replaces the old file in one step, once the new one is on the disk.
        return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? 0
                   : failed();
    }
    int makeDirectory(const std::string& path) override {
        return CreateDirectoryW(wide(path).c_str(), nullptr) ? 0 : failed();
    }
    int remove(const std::string& path) override {
        return DeleteFileW(wide(path).c_str()) ? 0 : failed();
    }

    std::unique_ptr<Library> loadLibrary(const std::string& name, unsigned long& error) override {
        const HMODULE m =
            LoadLibraryExW(wide(name).c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
        error = m ? 0 : GetLastError();
        return m ? std::make_unique<LoadedLibrary>(m) : nullptr;
    }
    std::vector<std::string> libraryFolders() override {
        wchar_t exe[MAX_PATH] = {};
        wchar_t system[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        GetSystemDirectoryW(system, MAX_PATH);
        return {folderOf(exe), narrow(system)};
    }

    std::int64_t nowNs() const noexcept override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleepMs(std::uint32_t milliseconds) noexcept override { ::Sleep(milliseconds); }
    bool reduceTimerSlack() noexcept override { return timeBeginPeriod(1) == TIMERR_NOERROR; }

private:
    // A handle as the descriptor the port layer passes back.
    int adopt(HANDLE h) {
        for (std::size_t i = 0; i < m_handles.size(); ++i)
            if (m_handles[i] == INVALID_HANDLE_VALUE) {
                m_handles[i] = h;
                return static_cast<int>(i) + kFirstFd;
            }
        m_handles.push_back(h);
        return static_cast<int>(m_handles.size()) - 1 + kFirstFd;
    }

    static constexpr int kFirstFd = 3;  // never 0-2, so a descriptor never reads as stdio
    // The port layer runs on the window's thread alone.
    HANDLE handle(int fd) noexcept {
        const std::size_t i = static_cast<std::size_t>(fd - kFirstFd);
        return fd >= kFirstFd && i < m_handles.size() ? m_handles[i] : INVALID_HANDLE_VALUE;
    }
    std::vector<HANDLE> m_handles;
};

}  // namespace

Os& systemOs() {
    static WindowsOs windows;
    // No device calls and no direct port I/O: the port library does the port's I/O.
    static Os os{windows, windows, windows, windows,  windows,      nullptr,
                 nullptr, nullptr, nullptr, &windows, &hidapiHid(), &windows};
    return os;
}

}  // namespace port
