// The seams between the port layer and the operating system, one small interface each:
// files and device nodes, a trace's file, replacing a file whole, small text files and
// folders, typed device calls (a parallel port's, an I2C adapter's, a GPIO chip's), time, direct
// port I/O, library loading, USB HID devices and serial ports. Nothing else in the port layer calls
// the system; a platform implements the parts it has (linux/, windows/), and tests give each part a
// fake.
//
// Errno values are positive wherever one is kept: Error::err, PathInfo::error, an I2cBus
// result, an out-parameter. The calls here return one negated (-ENOENT ...), and never set
// errno: most return a descriptor or a count on success, so a failure is rc < 0 and its
// errno is -rc, the same test for every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace port {

// What looking at a path (without opening it) tells.
struct PathInfo {
    int error = 0;  // errno when the path cannot be looked at; the rest is then unset
    bool characterDevice = false;
    bool regularFile = false;
    bool directory = false;
    unsigned major = 0;  // character devices: the driver's major number, and its minor
    unsigned minor = 0;
    // Who may do what: the permission bits (0644), the owner and group, where the system
    // has them.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    // Which file it is, where the system says: two paths with the same non-zero pair are
    // one file.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

enum class OpenFor : std::uint8_t {
    Device,  // read-write, as device drivers expect
    // A trace: write-only, created 0644 if missing, never blocking on a FIFO without a
    // reader (fails with ENXIO instead); not truncated, so that a second writer's open
    // cannot wipe a trace that is still being written.
    Trace,
    // A device looked at, not driven: read-only, never blocking (a chip's info ioctl).
    Query,
};

// Files and device nodes, opened and written: what every platform has.
class Files {
public:
    virtual ~Files() = default;
    virtual PathInfo stat(const std::string& path) = 0;
    virtual PathInfo fstat(int fd) = 0;
    virtual int open(const std::string& path, OpenFor how) = 0;  // fd, or -errno
    virtual long write(int fd, const void* data,
                       std::size_t size) noexcept = 0;  // count, or -errno
    virtual void close(int fd) noexcept = 0;
    // An exclusive lock of every kind other programs take (flock and POSIX record locks),
    // refused at once (-EWOULDBLOCK) when another holds one.
    virtual int lockExclusive(int fd) = 0;
};

// What a trace needs beyond writing: cutting a file back, and waiting on a pipe.
class TraceFiles {
public:
    virtual ~TraceFiles() = default;
    virtual int truncate(int fd, std::int64_t size) = 0;
    // Waits until a descriptor opened without blocking (a pipe) takes more: 0, -ETIMEDOUT,
    // or -errno.
    virtual int waitWritable(int fd, int timeoutMs) noexcept = 0;
};

// What a file written whole needs to replace another whole, as the user keeps it: the file
// a link stands for, the new text made beside it under a name nobody else has, with the old
// file's mode and owner, on the disk before it is renamed over the old one (atomic: a
// crash leaves one or the other), the folder made where it is missing, a leftover removed.
// 0, or -errno.
class FileReplacing {
public:
    virtual ~FileReplacing() = default;
    // The file a chain of symbolic links ends at (the path itself where it is none), which
    // need not exist yet.
    virtual int resolveLinks(const std::string& path, std::string& target) = 0;
    // Whether this program may write the file (-EACCES where its mode says no).
    virtual int mayWrite(const std::string& path) = 0;
    // A new empty file in path's folder, created for this program alone (never through a
    // link or over another file): its descriptor, write-only, with its name in created.
    virtual int createBeside(const std::string& path, std::string& created) = 0;
    // Gives an open file the mode, and where the program may, the owner of another.
    virtual int keepMode(int fd, const PathInfo& of) noexcept = 0;
    virtual int sync(int fd) noexcept = 0;
    virtual int rename(const std::string& from, const std::string& to) = 0;
    virtual int makeDirectory(const std::string& path) = 0;  // -EEXIST where it is there
    virtual int remove(const std::string& path) = 0;
};

// Small text files read whole (a kernel table, a settings file) and folders listed.
class TextFiles {
public:
    virtual ~TextFiles() = default;
    // The text of a file, opened without blocking and read only where it is a regular file
    // of at most maxBytes: 0, or -errno (-ENOENT for a file that is not there, -EISDIR for a
    // folder, -EINVAL for anything else that is not a regular file, -EFBIG for a longer one).
    virtual int readText(const std::string& path, std::size_t maxBytes, std::string& text) = 0;
    // The names in a directory, in no particular order; empty when it cannot be read.
    virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
};

// The device calls the backends make on an open descriptor, typed (Linux's ioctls: the
// platform's seam turns them into the kernel's structures). 0, or -errno.

// A parallel port through ppdev: claimed, its data register written, released.
class ParportControl {
public:
    virtual ~ParportControl() = default;
    virtual int claim(int fd) noexcept = 0;
    virtual int release(int fd) noexcept = 0;
    virtual int writeData(int fd, std::uint8_t value) noexcept = 0;
};

// One SMBus transaction as i2c-dev takes it.
struct SmbusTransfer {
    enum class Kind : std::uint8_t {
        Quick,     // the address alone: a probe
        Byte,      // send byte (command) or receive byte (into byte)
        ByteData,  // command, then byte
        I2cBlock,  // command, then block (at most 32 bytes)
    };
    Kind kind = Kind::Quick;
    bool read = false;
    std::uint8_t command = 0;
    std::uint8_t byte = 0;
    std::span<const std::uint8_t> block;
};

// An I2C adapter through i2c-dev.
class I2cControl {
public:
    virtual ~I2cControl() = default;
    // What the adapter can do: the kernel's I2C_FUNC_* bits.
    virtual int functions(int fd, unsigned long& funcs) noexcept = 0;
    // The address later transfers go to; -EBUSY where a kernel driver has bound it.
    virtual int setAddress(int fd, std::uint8_t address) noexcept = 0;
    virtual int setTimeout(int fd, int tensOfMilliseconds) noexcept = 0;
    // One plain I2C read of bytes.size() bytes.
    virtual int read(int fd, std::uint8_t address, std::span<std::uint8_t> bytes) noexcept = 0;
    virtual int smbus(int fd, SmbusTransfer& transfer) noexcept = 0;
};

struct GpioChipInfo {
    std::string label;  // "pinctrl-bcm2711"
    std::uint32_t lines = 0;
};

// A GPIO chip through the character device (uAPI v2).
class GpioControl {
public:
    virtual ~GpioControl() = default;
    virtual int chipInfo(int fd, GpioChipInfo& info) noexcept = 0;
    // Takes the lines as outputs for this program, starting at initial (bit i: lines[i]):
    // the lines' own descriptor, or -errno (-EBUSY where another program holds one).
    virtual int requestOutputs(int fd, std::span<const std::uint32_t> lines,
                               std::uint64_t initial) noexcept = 0;
    // Sets the masked lines of a line descriptor at once.
    virtual int setValues(int linesFd, std::uint64_t mask, std::uint64_t bits) noexcept = 0;
};

class Time {
public:
    virtual ~Time() = default;
    // Monotonic, in nanoseconds; only differences mean anything.
    virtual std::int64_t nowNs() const noexcept = 0;
    // Suspends the calling thread for at least that long, whatever signals arrive.
    virtual void sleepMs(std::uint32_t milliseconds) noexcept = 0;
    // Asks that sleeps overrun by as little as the system allows. False where refused.
    virtual bool reduceTimerSlack() noexcept = 0;
};

// Direct port I/O, where the processor has an I/O space and the system lets a program in.
class PortIo {
public:
    virtual ~PortIo() = default;
    // Grants the calling thread access to one I/O port: 0, or -errno.
    virtual int portAccess(std::uint16_t port) = 0;
    virtual void outb(std::uint16_t port, std::uint8_t value) noexcept = 0;
};

// A library loaded, until it is destroyed.
class Library {
public:
    virtual ~Library() = default;
    // What the library exports by that name, or null.
    virtual void* symbol(const char* name) = 0;
};

// Loading a library by name (the port library on Windows).
class Libraries {
public:
    virtual ~Libraries() = default;
    // From the program's folder or the system's, never from the current folder: the
    // library, or null with the system's own code in error (not an errno: the sentences
    // name Windows' error 193 as Windows does).
    virtual std::unique_ptr<Library> loadLibrary(const std::string& name, unsigned long& error) = 0;
    // Where loadLibrary looks, in order: the program's folder, the system's.
    virtual std::vector<std::string> libraryFolders() = 0;
};

// One open USB HID device, spoken to in reports. A report starts with its report ID, 0
// for a device that numbers none (the ID is then not sent, and reads do not return it).
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // One output report: its size, or -errno (-ENODEV once the device is unplugged).
    virtual int write(std::span<const std::uint8_t> report) noexcept = 0;
    // One input report, waiting at most timeoutMs: its size, 0 when none came, or -errno.
    virtual int read(std::span<std::uint8_t> report, int timeoutMs) noexcept = 0;
    virtual int setFeature(std::span<const std::uint8_t> report) noexcept = 0;
    // report[0] names the feature report asked for: its size, or -errno.
    virtual int getFeature(std::span<std::uint8_t> report) noexcept = 0;
};

struct HidInfo {
    std::string path;  // what open() takes: /dev/hidraw0, \\?\HID#VID_04D8...
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string serial;  // the USB serial number, UTF-8
};

// The system's USB HID devices (hidapi on both systems).
class Hid {
public:
    virtual ~Hid() = default;
    // Starts the system's HID layer, once: 0, or -errno with what failed in why.
    virtual int start(std::string& why) = 0;
    virtual std::vector<HidInfo> devices(std::uint16_t vendor, std::uint16_t product) = 0;
    // Read-write, shared: the device, or null with the errno in error.
    virtual std::unique_ptr<HidDevice> open(const std::string& path, int& error) = 0;
};

struct SerialPortInfo {
    std::string path;  // what openSerial() takes: /dev/ttyACM0, COM3
    std::string name;  // what the system calls the device ("Arduino Uno"); may be empty
};

// One open serial port, closed when it is destroyed.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // The bytes, once the driver has taken them all: their count, or -errno.
    virtual long write(std::span<const std::uint8_t> bytes) noexcept = 0;
};

// Serial ports (a USB serial adapter, an Arduino's): 8 data bits, no parity, one stop bit,
// raw, no flow control.
class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Opens a port for this program alone, at that rate: the port, or null with the errno in
    // error (ENOENT no such port, EBUSY another program has it, ENOTTY not a serial port,
    // EINVAL a rate the port refuses).
    virtual std::unique_ptr<SerialPort> openSerial(const std::string& path, unsigned baud,
                                                   int& error) = 0;
    // The ports there are, without opening any: those of USB adapters and boards, and the
    // others the system knows to be real.
    virtual std::vector<SerialPortInfo> listSerial() = 0;
};

// What a platform offers; the parts it lacks are null.
struct Os {
    Files& files;
    TraceFiles& trace;
    FileReplacing& replacing;
    TextFiles& texts;
    Time& time;
    ParportControl* parport = nullptr;
    I2cControl* i2c = nullptr;
    GpioControl* gpio = nullptr;
    PortIo* portIo = nullptr;
    Libraries* libraries = nullptr;
    Hid* hid = nullptr;
    SerialPorts* serial = nullptr;
};

// The machine's own.
Os& systemOs();

// A serial port that a platform opened as one of its descriptors (fd), written and closed
// through files; null with the errno in error where fd is -errno.
std::unique_ptr<SerialPort> serialPortOn(Files& files, int fd, int& error);

// Every line of a kernel table (/proc, /sys): 0, or -errno.
int readLines(Os& os, const std::string& path, std::vector<std::string>& lines);
// The first line of a text file; empty when it has none or cannot be read.
std::string firstLine(Os& os, const std::string& path);
// Whether two paths name one file: the same device and inode where the system gives them,
// else the same path, letter case and slashes aside.
bool sameFile(Os& os, const std::string& a, const std::string& b);
// A file's text cut at its line ends.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace port
