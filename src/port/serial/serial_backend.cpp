// Serial backpacks. Facts it honours:
//  - The board keeps its own link to its LCD and drives it itself: nothing of the bus's
//    own start-up travels (the seam keeps it back), and each protocol's coder says what
//    the rest becomes.
//  - A board busy after a command (a clear) is waited for, counted from when the command's
//    last byte has left at the line's rate (10 bits a byte, 8N1).
//  - Opening an Arduino's port resets the board (DTR), and its bootloader listens for
//    about 1.6 s before the sketch starts: bytes sent then are lost.
#include "port/serial/serial_backend.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "port/instruction_backend.h"
#include "port/parse.h"

namespace port::serial {
namespace {

constexpr std::uint32_t kBootMs = 2000;  // an Arduino's bootloader, after the reset
constexpr unsigned kBitsPerByte = 10;    // start, 8 data, stop

constexpr EscapeProtocol kLcdSerializer{0xFE, false, 0, 0, 0, 8};
constexpr EscapeProtocol kPicanlcd{0x11, true, 0x12, 0x00, 0x20, 8};
constexpr EscapeProtocol kVdrLcd{0xFE, false, 0, 0, 0, 4};

// The escape family's figures are those other LCD servers give for these boards.
constexpr Protocol kProtocols[] = {
    {"lcdserializer", 9600, [] { return escapeCoder(kLcdSerializer); }},
    {"picanlcd", 9600, [] { return escapeCoder(kPicanlcd); }},
    {"vdr-lcd", 9600, [] { return escapeCoder(kVdrLcd); }},
    {"matrix-orbital", 9600, matrixOrbitalCoder},
};

const Protocol* protocolNamed(const std::string& name) noexcept {
    for (const Protocol& p : kProtocols)
        if (lower(name) == p.name) return &p;
    return nullptr;
}

// COM1, com12: Windows' serial ports, which have no file to look at.
bool isComPort(const std::string& path) {
    const std::string l = lower(path);
    if (!l.starts_with("com") || l.size() < 4) return false;
    for (std::size_t i = 3; i < l.size(); ++i)
        if (l[i] < '0' || l[i] > '9') return false;
    return true;
}

bool isSerialPath(const std::string& path) {
    const std::string l = lower(path);
    return l.starts_with("/dev/tty") || l.starts_with("/dev/serial/") ||
           l.starts_with("/dev/rfcomm") || l.starts_with("/dev/pts/") || isComPort(path);
}

Claim claims(const DeviceText& text) {
    if (isSerialPath(text.path)) return Claim::ByPath;
    const std::string first = text.options.substr(0, text.options.find(','));
    return protocolNamed(first) ? Claim::ByOptions : Claim::No;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    auto options = std::make_shared<Options>();
    std::size_t at = 0;
    bool first = true, baudGiven = false;
    while (at <= text.options.size()) {
        std::size_t comma = text.options.find(',', at);
        if (comma == std::string::npos) comma = text.options.size();
        const std::string part = text.options.substr(at, comma - at);
        at = comma + 1;
        if (first) {
            first = false;
            if (part.empty()) {
                Error e = backendProblem(Problem::ProtocolMissing);
                e.choices = protocolNames();
                return e;
            }
            if (!(options->protocol = protocolNamed(part))) {
                Error e = backendProblem(Problem::UnknownProtocol, part);
                e.choices = protocolNames();
                return e;
            }
            options->baud = options->protocol->defaultBaud;
            continue;
        }
        if (lower(part).starts_with("baud=")) {
            if (std::exchange(baudGiven, true)) return backendProblem(Problem::OptionTwice, part);
            const std::string rate = part.substr(5);
            char* end = nullptr;
            const unsigned long baud = std::strtoul(rate.c_str(), &end, 10);
            if (rate.empty() || *end != '\0' || baud < 300 || baud > 4'000'000)
                return backendProblem(Problem::BadBaud, rate);
            options->baud = static_cast<unsigned>(baud);
            continue;
        }
        return backendProblem(Problem::BadOption, part);
    }
    device.path = text.path;
    device.options = std::move(options);
    return std::nullopt;
}

std::optional<Error> check(const PortDevice& device, Os& os) {
    if (isComPort(device.path)) return std::nullopt;  // opening it says what is wrong
    const PathInfo info = os.files.stat(device.path);
    if (info.error != 0) {
        Error e = problem(port::Problem::DeviceUnusable);
        e.device = device.path;
        e.err = info.error;
        e.hint = codeOf(Hint::ListSerialPorts);
        return e;
    }
    // Linux's terminals that are no serial line: the virtual consoles (major 4, minors
    // 0-63; the UARTs are 64 and up), /dev/tty and /dev/console (5, 0 and 1), and the pty
    // master (5, 2). A pty's slave (136-143) is a line, as simulators and tests use it.
    const bool console =
        (info.major == 4 && info.minor < 64) || (info.major == 5 && info.minor < 2);
    const bool ptmx = info.major == 5 && info.minor == 2;
    if (!info.characterDevice || console || ptmx) {
        Error e = backendProblem(console ? Problem::Console
                                 : ptmx  ? Problem::PtyMaster
                                         : Problem::NotSerialPort);
        e.device = device.path;
        if (console) e.hint = codeOf(Hint::ListSerialPorts);  // where the board's port is
        return e;
    }
    return std::nullopt;
}

class SerialBackend final : public InstructionBackend, Line {
public:
    SerialBackend(Os& os, std::unique_ptr<SerialPort> port, std::string path,
                  const Options& options)
        : m_os(os),
          m_port(std::move(port)),
          m_path(std::move(path)),
          m_options(options),
          m_coder(options.protocol->coder()) {
        m_queue.reserve(kQueueBytes);
    }
    int instruction(std::uint8_t byte) noexcept override {
        m_coder->instruction(byte, *this);
        return failure();
    }
    int data(std::uint8_t byte) noexcept override {
        m_coder->data(byte, *this);
        return failure();
    }
    void setModule(hd44780::Geometry module) noexcept override {
        m_coder->setModule(module, *this);  // a failure is the next flush's
    }

    int flush() noexcept override {
        m_coder->pause(*this);
        if (const int err = failure(); err != 0) return err;
        return send();
    }

    Description description() const override {
        Description d;
        d.backend = "serial";
        d.device = m_path;
        d.detail = m_options.protocol->name;
        d.options = std::to_string(m_options.baud);
        d.replaced = m_coder->said().replaced > 0;  // an escape byte in the data went as a space
        d.unsaid = m_coder->said().unsaid;
        return d;
    }

    std::uint8_t failureHint(int err) const noexcept override {
        return codeOf(err == EIO || err == ENODEV || err == ENXIO ? Hint::CablePulled : Hint::None);
    }

private:
    void put(std::span<const std::uint8_t> bytes) noexcept override {
        if (m_failed != 0) return;
        // The board is still busy: these bytes go after the wait.
        if (m_busyNs != 0 && (m_failed = send()) != 0) return;
        // Between two pauses the driver sends one transmission at most; a longer run
        // goes out in pieces rather than growing the queue inside a noexcept write.
        if (m_queue.size() + bytes.size() > m_queue.capacity() && (m_failed = send()) != 0) return;
        m_queue.insert(m_queue.end(), bytes.begin(), bytes.end());
    }
    void busyFor(std::int64_t ns) noexcept override { m_busyNs = ns; }

    int failure() noexcept { return std::exchange(m_failed, 0); }

    // The queue, once the board is ready for it.
    int send() noexcept {
        if (m_queue.empty()) return 0;
        const std::int64_t now = m_os.time.nowNs();
        if (now < m_readyAt)
            m_os.time.sleepMs(static_cast<std::uint32_t>((m_readyAt - now + 999'999) / 1'000'000));
        const long sent = m_port->write(m_queue);
        const std::size_t n = m_queue.size();
        m_queue.clear();
        if (sent != static_cast<long>(n)) return sent < 0 ? static_cast<int>(-sent) : EIO;
        const std::int64_t onTheLine =
            static_cast<std::int64_t>(n) * kBitsPerByte * 1'000'000'000 / m_options.baud;
        m_readyAt = m_busyNs != 0 ? m_os.time.nowNs() + onTheLine + m_busyNs : 0;
        m_busyNs = 0;
        return 0;
    }

    // A re-initialisation and 32 characters are 48 bytes on the line.
    static constexpr std::size_t kQueueBytes = 4096;
    Os& m_os;
    std::unique_ptr<SerialPort> m_port;
    std::string m_path;
    Options m_options;
    std::unique_ptr<LineCoder> m_coder;
    std::vector<std::uint8_t> m_queue;
    std::int64_t m_busyNs = 0;  // how long the board is busy after the queue
    std::int64_t m_readyAt = 0;
    int m_failed = 0;  // a send that failed inside a put, for the write that made it
};

// Why a port did not open, as its error.
Error openFailure(int err, const Options& options) {
    if (err == ENOTTY) return backendProblem(Problem::NotSerialPort);
    if (err == EINVAL) return backendProblem(Problem::BadBaud, std::to_string(options.baud));
    Error e = problem(port::Problem::OpenFailed);
    e.err = err;
    e.hint = codeOf(err == EBUSY                    ? Hint::PortBusy
                    : err == EACCES || err == EPERM ? Hint::JoinGroupDialout
                    : err == ENOENT                 ? Hint::ListSerialPorts
                                                    : Hint::None);
    return e;
}

OpenResult openNamed(const PortDevice& device, Os& os) {
    OpenResult r;
    const Options& options = device.as<Options>();
    int err = ENOSYS;
    std::unique_ptr<SerialPort> port =
        os.serial ? os.serial->openSerial(device.path, options.baud, err) : nullptr;
    if (!port) {
        r.error = openFailure(err, options);
        r.error->device = device.path;
        return r;
    }
    // The board may have reset on the open: let its bootloader hand over to the sketch.
    os.time.sleepMs(kBootMs);
    r.backend = takingInstructions(
        std::make_unique<SerialBackend>(os, std::move(port), device.path, options));
    return r;
}

}  // namespace

std::span<const Protocol> protocols() noexcept {
    return kProtocols;
}

namespace {

std::vector<Candidate> candidates(Os& os) {
    std::vector<Candidate> list;
    if (os.serial == nullptr) return list;
    for (const SerialPortInfo& p : os.serial->listSerial()) list.push_back({p.path, p.name});
    return list;
}

}  // namespace

std::string protocolNames() {
    std::string list;
    for (const Protocol& p : kProtocols) list += (list.empty() ? "" : ", ") + std::string(p.name);
    return list;
}

namespace {

// The window's one field: the protocol the board speaks.
std::vector<std::string> protocols() {
    std::vector<std::string> names;
    for (const Protocol& p : kProtocols) names.emplace_back(p.name);
    return names;
}

constexpr OptionField kFields[] = {{"protocol", OptionField::Kind::Choice, protocols}};

std::string format(const Candidate& picked, std::span<const std::string> values, bool) {
    return picked.device + "@" + values[0];
}

std::vector<std::string> values(const Candidate&, const std::string& options) {
    if (options.empty()) return {protocols().front()};
    return {options.substr(0, options.find(','))};
}

const OptionSchema kOptions{kFields, format, values};

}  // namespace

const BackendRow kSerial{
    "serial",  nullptr, "PORT@lcdserializer", false,    false, claims, parse, check,
    openNamed, nullptr, candidates,           &kOptions};

}  // namespace port::serial
