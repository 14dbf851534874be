// The operating-system seam on Linux.
#include <fcntl.h>
#include <linux/gpio.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/ppdev.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "port/hid/hidapi_hid.h"
#include "port/linux/backends.h"
#include "port/os.h"

#if (defined(__x86_64__) || defined(__i386__)) && __has_include(<sys/io.h>)
#include <sys/io.h>
#define VELMORIN_HAVE_IOPORT 1
#else
#define VELMORIN_HAVE_IOPORT 0
#endif

namespace port {
namespace {

int failed() noexcept {
    return errno != 0 ? -errno : -EIO;
}

PathInfo info(int rc, const struct stat& st) {
    PathInfo i;
    if (rc != 0) {
        i.error = -failed();
        return i;
    }
    i.characterDevice = S_ISCHR(st.st_mode);
    i.regularFile = S_ISREG(st.st_mode);
    i.directory = S_ISDIR(st.st_mode);
    i.major = i.characterDevice ? major(st.st_rdev) : 0;
    i.minor = i.characterDevice ? minor(st.st_rdev) : 0;
    i.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    i.owner = st.st_uid;
    i.group = st.st_gid;
    i.device = static_cast<std::uint64_t>(st.st_dev);
    i.inode = static_cast<std::uint64_t>(st.st_ino);
    return i;
}

// termios' speeds for the rates serial LCD boards and Arduino sketches use.
bool speedOf(unsigned baud, speed_t& speed) noexcept {
    static constexpr struct {
        unsigned baud;
        speed_t speed;
    } kSpeeds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
                   {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
                   {230400, B230400}, {460800, B460800}, {500000, B500000}, {1000000, B1000000}};
    for (const auto& s : kSpeeds)
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    return false;
}

int control(int fd, unsigned long request, void* arg) noexcept {
    const int rc = ::ioctl(fd, request, arg);
    return rc >= 0 ? rc : -errno;
}

class LinuxOs final : public Files,
                      public TraceFiles,
                      public FileReplacing,
                      public TextFiles,
                      public ParportControl,
                      public I2cControl,
                      public GpioControl,
                      public Time,
                      public PortIo,
                      public SerialPorts {
public:
    std::unique_ptr<SerialPort> openSerial(const std::string& path, unsigned baud,
                                           int& error) override {
        return serialPortOn(*this, openPort(path, baud), error);
    }

    // The port as a descriptor, or -errno.
    int openPort(const std::string& path, unsigned baud) {
        speed_t speed{};
        if (!speedOf(baud, speed)) return -EINVAL;
        // Not blocking on a modem's carrier; not becoming the controlling terminal. A port
        // another program holds exclusively (TIOCEXCL) refuses the open with EBUSY.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return failed();
        auto refuse = [fd](int err) {
            ::close(fd);
            return -err;
        };
        termios t{};
        if (tcgetattr(fd, &t) != 0) return refuse(errno == EINVAL ? ENOTTY : errno);
        // The lock serial terminals and the Arduino IDE take, then our own exclusive hold.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(EBUSY);
        if (::ioctl(fd, TIOCEXCL) != 0) return refuse(errno);
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0 ||
            tcsetattr(fd, TCSANOW, &t) != 0)
            return refuse(EINVAL);
        // tcsetattr succeeds when any one change was taken: the rate is read back.
        termios taken{};
        if (tcgetattr(fd, &taken) != 0 || cfgetospeed(&taken) != speed) return refuse(EINVAL);
        // From here writes block until the driver has taken the bytes.
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(errno);
        return fd;
    }

    PathInfo stat(const std::string& path) override {
        struct stat st {};
        return info(::stat(path.c_str(), &st), st);
    }
    PathInfo fstat(int fd) override {
        struct stat st {};
        return info(::fstat(fd, &st), st);
    }
    int open(const std::string& path, OpenFor how) override {
        int fd = -1;
        switch (how) {
            case OpenFor::Device:
                fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
                break;
            case OpenFor::Trace:
                fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
                break;
            case OpenFor::Query:
                fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                break;
        }
        return fd >= 0 ? fd : failed();
    }
    // --- the typed device calls, as the kernel's ioctls
    int claim(int fd) noexcept override { return control(fd, PPCLAIM, nullptr); }
    int release(int fd) noexcept override { return control(fd, PPRELEASE, nullptr); }
    int writeData(int fd, std::uint8_t value) noexcept override {
        return control(fd, PPWDATA, &value);
    }
    int functions(int fd, unsigned long& funcs) noexcept override {
        return control(fd, I2C_FUNCS, &funcs);
    }
    int setAddress(int fd, std::uint8_t address) noexcept override {
        return control(fd, I2C_SLAVE, reinterpret_cast<void*>(static_cast<unsigned long>(address)));
    }
    int setTimeout(int fd, int tensOfMilliseconds) noexcept override {
        return control(fd, I2C_TIMEOUT,
                       reinterpret_cast<void*>(static_cast<unsigned long>(tensOfMilliseconds)));
    }
    int read(int fd, std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (bytes.size() > 0xFFFF) return -EINVAL;
        i2c_msg message{address, I2C_M_RD, static_cast<std::uint16_t>(bytes.size()), bytes.data()};
        i2c_rdwr_ioctl_data transfer{&message, 1};
        return control(fd, I2C_RDWR, &transfer);
    }
    int smbus(int fd, SmbusTransfer& t) noexcept override {
        i2c_smbus_data data{};
        i2c_smbus_ioctl_data args{};
        args.read_write = t.read ? I2C_SMBUS_READ : I2C_SMBUS_WRITE;
        args.command = t.command;
        args.data = &data;
        switch (t.kind) {
            case SmbusTransfer::Kind::Quick:
                args.size = I2C_SMBUS_QUICK;
                args.data = nullptr;
                break;
            case SmbusTransfer::Kind::Byte:
                args.size = I2C_SMBUS_BYTE;
                if (!t.read) args.data = nullptr;
                break;
            case SmbusTransfer::Kind::ByteData:
                args.size = I2C_SMBUS_BYTE_DATA;
                data.byte = t.byte;
                break;
            case SmbusTransfer::Kind::I2cBlock:
                if (t.block.size() > I2C_SMBUS_BLOCK_MAX) return -EINVAL;
                args.size = I2C_SMBUS_I2C_BLOCK_DATA;
                data.block[0] = static_cast<std::uint8_t>(t.block.size());
                std::copy(t.block.begin(), t.block.end(), data.block + 1);
                break;
        }
        const int rc = control(fd, I2C_SMBUS, &args);
        if (rc >= 0 && t.read) t.byte = t.kind == SmbusTransfer::Kind::Byte ? data.byte : t.byte;
        return rc;
    }
    int chipInfo(int fd, GpioChipInfo& info) noexcept override {
        gpiochip_info chip{};
        const int rc = control(fd, GPIO_GET_CHIPINFO_IOCTL, &chip);
        if (rc < 0) return rc;
        chip.label[sizeof chip.label - 1] = '\0';
        try {
            info.label = chip.label;
        } catch (...) {
            return -ENOMEM;
        }
        info.lines = chip.lines;
        return 0;
    }
    int requestOutputs(int fd, std::span<const std::uint32_t> lines,
                       std::uint64_t initial) noexcept override {
        if (lines.size() > GPIO_V2_LINES_MAX) return -EINVAL;
        gpio_v2_line_request req{};
        std::copy(lines.begin(), lines.end(), req.offsets);
        req.num_lines = static_cast<std::uint32_t>(lines.size());
        std::strncpy(req.consumer, "velmorin", sizeof req.consumer - 1);
        req.config.flags = GPIO_V2_LINE_FLAG_OUTPUT;
        req.config.num_attrs = 1;
        req.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
        req.config.attrs[0].attr.values = initial;
        req.config.attrs[0].mask = lines.size() >= 64 ? ~0ull : (1ull << lines.size()) - 1;
        const int rc = control(fd, GPIO_V2_GET_LINE_IOCTL, &req);
        return rc < 0 ? rc : req.fd;
    }
    int setValues(int linesFd, std::uint64_t mask, std::uint64_t bits) noexcept override {
        gpio_v2_line_values values{};
        values.mask = mask;
        values.bits = bits;
        return control(linesFd, GPIO_V2_LINE_SET_VALUES_IOCTL, &values);
    }
    long write(int fd, const void* data, std::size_t size) noexcept override {
        for (;;) {
            const ssize_t n = ::write(fd, data, size);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return failed();
        }
    }
    void close(int fd) noexcept override { ::close(fd); }
    int lockExclusive(int fd) override {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? -EWOULDBLOCK : 0;
        // lockf() and fcntl() users do not see a flock, nor flock users theirs: take both.
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &whole) != 0 && (errno == EACCES || errno == EAGAIN))
            return -EWOULDBLOCK;
        return 0;
    }
    int waitWritable(int fd, int timeoutMs) noexcept override {
        pollfd p{fd, POLLOUT, 0};
        for (;;) {
            const int n = ::poll(&p, 1, timeoutMs);
            if (n > 0) return 0;
            if (n == 0) return -ETIMEDOUT;
            if (errno != EINTR) return failed();
        }
    }
    int truncate(int fd, std::int64_t size) override {
        return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : failed();
    }

    int readText(const std::string& path, std::size_t maxBytes, std::string& text) override {
        text.clear();
        // Without blocking: a FIFO in the file's place must not hold the program in open().
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return failed();
        struct stat st {};
        int rc = ::fstat(fd, &st) != 0  ? failed()
                 : S_ISDIR(st.st_mode)  ? -EISDIR
                 : !S_ISREG(st.st_mode) ? -EINVAL
                                        : 0;
        char buf[4096];
        while (rc == 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) rc = failed();
            if (n <= 0) break;
            if (text.size() + static_cast<std::size_t>(n) > maxBytes)
                rc = -EFBIG;
            else
                text.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        if (rc != 0) text.clear();
        return rc;
    }
    std::vector<std::string> listDirectory(const std::string& path) override {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(path, ec))
            names.push_back(entry.path().filename().string());
        return names;
    }

    std::vector<SerialPortInfo> listSerial() override { return linux_backends::serialPorts(*this); }

    int resolveLinks(const std::string& path, std::string& target) override {
        target = path;
        // The kernel's own limit on a chain of links (ELOOP past it).
        for (int hops = 0; hops < 40; ++hops) {
            struct stat st {};
            if (::lstat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : failed();
            if (!S_ISLNK(st.st_mode)) return 0;
            std::string to(PATH_MAX, '\0');
            const ssize_t n = ::readlink(target.c_str(), to.data(), to.size());
            if (n < 0) return failed();
            to.resize(static_cast<std::size_t>(n));
            // A relative link is relative to the link's own folder.
            const std::size_t slash = target.find_last_of('/');
            target = to.starts_with('/') || slash == std::string::npos
                         ? to
                         : target.substr(0, slash + 1) + to;
        }
        return -ELOOP;
    }
    int mayWrite(const std::string& path) override {
        return ::access(path.c_str(), W_OK) == 0 ? 0 : failed();
    }
    int createBeside(const std::string& path, std::string& created) override {
        std::string name = path + ".XXXXXX";
        // mkostemp: O_CREAT | O_EXCL, mode 0600, a name no other file has.
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return failed();
        created = name;
        return fd;
    }
    int keepMode(int fd, const PathInfo& of) noexcept override {
        if (::fchmod(fd, static_cast<mode_t>(of.mode)) != 0) return failed();
        // Only root may give a file away; a user's own file keeps its owner anyway.
        if (::fchown(fd, of.owner, of.group) != 0 && errno != EPERM) return failed();
        return 0;
    }
    int sync(int fd) noexcept override { return ::fsync(fd) == 0 ? 0 : failed(); }
    int rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : failed();
    }
    int makeDirectory(const std::string& path) override {
        return ::mkdir(path.c_str(), 0755) == 0 ? 0 : failed();
    }
    int remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 ? 0 : failed();
    }

    int portAccess([[maybe_unused]] std::uint16_t port) override {
#if VELMORIN_HAVE_IOPORT
        // The permission belongs to the calling thread: the one that will write.
        return ::ioperm(port, 1, 1) == 0 ? 0 : failed();
#else
        return -ENOSYS;
#endif
    }
    void outb([[maybe_unused]] std::uint16_t port,
              [[maybe_unused]] std::uint8_t value) noexcept override {
#if VELMORIN_HAVE_IOPORT
        ::outb(value, port);
#endif
    }

    std::int64_t nowNs() const noexcept override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
    void sleepMs(std::uint32_t milliseconds) noexcept override {
        timespec left{static_cast<time_t>(milliseconds / 1000),
                      static_cast<long>(milliseconds % 1000) * 1'000'000L};
        // A signal must not shorten the pause the controller relies on.
        while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
        }
    }
    // Linux lengthens every sleep by the thread's timer slack (50 us by default). With
    // eight or more 2 ms sleeps per transmission that is a visible share of the time, so
    // ask for 1 us.
    bool reduceTimerSlack() noexcept override {
        return prctl(PR_SET_TIMERSLACK, 1000UL) == 0;
    }
};

}  // namespace

Os& systemOs() {
    static LinuxOs linux;
    // Linux has no port library: its backends reach the port through the kernel.
    static Os os{linux,   linux,        linux,
                 linux,   linux,        &linux,
                 &linux,  &linux,       VELMORIN_HAVE_IOPORT ? &linux : nullptr,
                 nullptr, &hidapiHid(), &linux};
    return os;
}

}  // namespace port
