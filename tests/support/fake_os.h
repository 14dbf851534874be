// A fake operating system for the port layer: kernel tables and device nodes held in
// memory, every call recorded, failures injected by errno.
#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port/os.h"
#ifndef _WIN32
#include "port/linux/backends.h"
#endif
#include "port/settings/settings.h"
#include "ui/messages.h"

namespace testsupport {

struct FakeOs : port::Files,
                port::TraceFiles,
                port::FileReplacing,
                port::TextFiles,
                port::ParportControl,
                port::I2cControl,
                port::GpioControl,
                port::Time,
                port::PortIo,
                port::Libraries,
                port::SerialPorts {
    std::map<std::string, std::vector<std::string>> files;  // /proc and /sys
    std::map<std::string, port::PathInfo> nodes;            // what stat() finds
    std::map<std::string, int> openErrno;                   // path -> errno to fail open with
    std::vector<std::string> calls;                         // "open parport1", "close" ...
    // What a GPIO chip says of itself; the typed device calls all succeed unless a test
    // overrides them.
    port::GpioChipInfo gpioChip;
    std::function<long(int fd, const void* data, std::size_t size)> onWrite;
    bool portIo = true;
    port::Hid* hid = nullptr;  // USB HID devices: none unless a test gives some
    int portAccessErrno = 0;
    int portAccessCalls = 0;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> outbs;
    std::int64_t now = 1'000'000'000;
    int nextFd = 100;

    FakeOs(const FakeOs&) = delete;
    FakeOs& operator=(const FakeOs&) = delete;
    // Every part of a system, direct port I/O included (portIo = false takes it away).
    operator port::Os&() {
        m_os.portIo = portIo ? this : nullptr;
        m_os.hid = hid;
        return m_os;
    }

    FakeOs() {
        files["/proc/devices"] = {"Character devices:", "  1 mem", " 89 i2c", " 99 ppdev",
                                  "254 gpiochip"};
    }

    // /dev/parportN at a base address ("888\t1912"), held by a driver or "none".
    std::string addParport(int n, const std::string& baseAddr, const std::string& active = "none") {
        const std::string name = "parport" + std::to_string(n);
        files["/proc/sys/dev/parport/" + name + "/base-addr"] = {baseAddr};
        files["/proc/sys/dev/parport/" + name + "/devices/active"] = {active};
        return node(name, 99);
    }
    static std::string dev(int n) { return "/dev/parport" + std::to_string(n); }
    // A character device under /dev with that major.
    std::string node(const std::string& name, unsigned major) {
        port::PathInfo i;
        i.characterDevice = true;
        i.major = major;
        nodes["/dev/" + name] = i;
        return "/dev/" + name;
    }

    port::PathInfo stat(const std::string& path) override {
        if (auto it = nodes.find(path); it != nodes.end()) return it->second;
        port::PathInfo i;
        if (files.count(path) || texts.count(path)) {
            i.regularFile = true;
            i.mode = modes.count(path) ? modes[path] : 0644;
        } else {
            i.error = ENOENT;
        }
        return i;
    }
    port::PathInfo fstat(int) override {
        port::PathInfo i;
        i.regularFile = regularFiles;
        return i;
    }
    int open(const std::string& path, port::OpenFor how) override {
        const std::size_t slash = path.find_last_of('/');
        calls.push_back("open " + path.substr(slash + 1));
        if (auto it = openErrno.find(path); it != openErrno.end()) return -it->second;
        (void)how;
        if (!nodes.count(path)) return -ENOENT;
        return nextFd++;
    }
    int claim(int) noexcept override { return 0; }
    int release(int) noexcept override { return 0; }
    int writeData(int, std::uint8_t) noexcept override { return 0; }
    // An I2C bus's adapter and what is on it: unless a test says otherwise, an adapter
    // offering nothing (I2C_FUNCS 0) where every address acknowledges and reads 0.
    unsigned long i2cFuncs = 0;
    std::uint8_t i2cAddress = 0;  // the last I2C_SLAVE
    std::function<int(std::uint8_t address, port::SmbusTransfer&)> onSmbus;
    std::function<int(std::uint8_t address, std::span<std::uint8_t>)> onI2cRead;
    int functions(int, unsigned long& funcs) noexcept override {
        funcs = i2cFuncs;
        return 0;
    }
    int setAddress(int, std::uint8_t address) noexcept override {
        i2cAddress = address;
        return 0;
    }
    int setTimeout(int, int) noexcept override { return 0; }
    int read(int, std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        return onI2cRead ? onI2cRead(address, bytes) : 0;
    }
    int smbus(int, port::SmbusTransfer& t) noexcept override {
        return onSmbus ? onSmbus(i2cAddress, t) : 0;
    }
    int chipInfo(int, port::GpioChipInfo& info) noexcept override {
        info = gpioChip;
        return 0;
    }
    int requestOutputs(int, std::span<const std::uint32_t>, std::uint64_t) noexcept override {
        return nextFd++;
    }
    int setValues(int, std::uint64_t, std::uint64_t) noexcept override { return 0; }
    long write(int fd, const void* data, std::size_t size) noexcept override {
        if (auto it = wholeFiles.find(fd); it != wholeFiles.end()) {
            texts[it->second].append(static_cast<const char*>(data), size);
            return static_cast<long>(size);
        }
        return onWrite ? onWrite(fd, data, size) : static_cast<long>(size);
    }
    // Files written whole, by descriptor; a test's hook called before each rename (a kill
    // there throws).
    std::map<int, std::string> wholeFiles;
    std::function<void(const std::string& from, const std::string& to)> onRename;
    // Symbolic links, to where they point; files' permission bits (0644 unless given).
    std::map<std::string, std::string> links;
    std::map<std::string, std::uint32_t> modes;
    int resolveLinks(const std::string& path, std::string& target) override {
        target = path;
        for (auto it = links.find(target); it != links.end(); it = links.find(target))
            target = it->second;
        return 0;
    }
    int mayWrite(const std::string& path) override {
        return modes.count(path) && !(modes[path] & 0200) ? -EACCES : 0;
    }
    int createBeside(const std::string& path, std::string& created) override {
        if (auto it = openErrno.find(path + ".new"); it != openErrno.end()) return -it->second;
        created = path + ".new" + std::to_string(nextFd);  // each its own name
        calls.push_back("create " + created.substr(created.find_last_of('/') + 1));
        texts[created].clear();
        modes[created] = 0600;
        wholeFiles[nextFd] = created;
        return nextFd++;
    }
    int keepMode(int fd, const port::PathInfo& of) noexcept override {
        modes[wholeFiles[fd]] = of.mode;
        return 0;
    }
    int sync(int) noexcept override { return 0; }
    int rename(const std::string& from, const std::string& to) override {
        if (onRename) onRename(from, to);
        texts[to] = texts[from];
        texts.erase(from);
        modes[to] = modes[from];
        modes.erase(from);
        return 0;
    }
    int makeDirectory(const std::string& path) override {
        calls.push_back("mkdir " + path);
        return 0;
    }
    int remove(const std::string& path) override { return texts.erase(path) ? 0 : -ENOENT; }
    void close(int) noexcept override { calls.push_back("close"); }
    int lockExclusive(int) override { return 0; }
    std::vector<std::int64_t> truncatedTo;
    int truncate(int, std::int64_t size) override {
        truncatedTo.push_back(size);
        return 0;
    }
    // A pipe's reader that reads nothing: each wait passes its whole timeout.
    int waitWritable(int, int timeoutMs) noexcept override {
        now += std::int64_t{timeoutMs} * 1'000'000;
        return -ETIMEDOUT;
    }
    bool regularFiles = false;  // what fstat() says of every descriptor
    // Files as their text, byte for byte (a settings file with a BOM, a huge one).
    std::map<std::string, std::string> texts;
    int readText(const std::string& path, std::size_t maxBytes, std::string& text) override {
        text.clear();
        if (auto it = openErrno.find(path); it != openErrno.end()) return -it->second;
        if (auto node = nodes.find(path); node != nodes.end())
            return node->second.directory ? -EISDIR : node->second.regularFile ? 0 : -EINVAL;
        if (auto it = texts.find(path); it != texts.end()) {
            text = it->second;
        } else if (auto lines = files.find(path); lines != files.end()) {
            for (const std::string& l : lines->second) text += l + "\n";
        } else {
            return -ENOENT;
        }
        if (text.size() <= maxBytes) return 0;
        text.clear();
        return -EFBIG;
    }
    std::vector<std::string> listDirectory(const std::string& path) override {
        std::vector<std::string> names;
        const std::string prefix = path + "/";
        for (const auto& [file, lines] : files) {
            if (file.rfind(prefix, 0) != 0) continue;
            const std::string name =
                file.substr(prefix.size(), file.find('/', prefix.size()) - prefix.size());
            if (names.empty() || names.back() != name) names.push_back(name);
        }
        return names;
    }
    // Libraries by name: their symbols, or the error loading them gives.
    std::map<std::string, std::map<std::string, void*>> libraries;
    std::map<std::string, unsigned long> libraryErrors;
    std::vector<std::string> folders{"C:\\velmorin", "C:\\windows\\system32"};
    struct FakeLibrary final : port::Library {
        explicit FakeLibrary(const std::map<std::string, void*>& exports) : symbols(exports) {}
        void* symbol(const char* name) override {
            auto it = symbols.find(name);
            return it == symbols.end() ? nullptr : it->second;
        }
        const std::map<std::string, void*>& symbols;
    };
    std::unique_ptr<port::Library> loadLibrary(const std::string& name,
                                               unsigned long& error) override {
        calls.push_back("load " + name);
        if (auto it = libraryErrors.find(name); it != libraryErrors.end()) {
            error = it->second;
            return nullptr;
        }
        auto it = libraries.find(name);
        error = it == libraries.end() ? 126 : 0;  // ERROR_MOD_NOT_FOUND
        return it == libraries.end() ? nullptr : std::make_unique<FakeLibrary>(it->second);
    }
    std::vector<std::string> libraryFolders() override { return folders; }
    // Serial ports: what opening one answers, by path (an errno), else a descriptor.
    std::map<std::string, int> serialErrno;
    std::unique_ptr<port::SerialPort> openSerial(const std::string& path, unsigned baud,
                                                 int& error) override {
        calls.push_back("serial " + path + " " + std::to_string(baud));
        auto it = serialErrno.find(path);
        return port::serialPortOn(*this, it != serialErrno.end() ? -it->second : nextFd++, error);
    }
    // The serial ports there are: sysfs's, as Linux reads it, unless a test names some.
    std::optional<std::vector<port::SerialPortInfo>> serialPorts;
    std::vector<port::SerialPortInfo> listSerial() override {
#ifndef _WIN32
        if (!serialPorts) return port::linux_backends::serialPorts(*this);
#endif
        return serialPorts.value_or(std::vector<port::SerialPortInfo>{});
    }
    int portAccess(std::uint16_t) override {
        ++portAccessCalls;
        return -portAccessErrno;
    }
    void outb(std::uint16_t port, std::uint8_t value) noexcept override {
        outbs.emplace_back(value, port);
    }
    std::int64_t nowNs() const noexcept override {
        return now;
    }
    void sleepMs(std::uint32_t ms) noexcept override {
        now += std::int64_t{ms} * 1'000'000;
    }
    bool reduceTimerSlack() noexcept override {
        return true;
    }

private:
    port::Os m_os{*this, *this, *this, *this, *this, this, this, this, this, this, nullptr, this};
};

// The config a VELMORIN_LPT value gives.
inline port::PortConfig withBackend(const char* name) {
    port::PortConfig c;
    const std::string value = name;
    if (value == "emulator") {
        c.mode = port::Mode::Emulator;
    } else if (value != "auto") {
        c.mode = port::Mode::Backend;
        c.backend = port::backendNamed(value);
    }
    return c;
}

}  // namespace testsupport
