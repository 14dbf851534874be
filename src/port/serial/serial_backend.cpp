// Serial backpacks. Facts it honours:
//  - The board keeps its own link to its LCD, usually 4 bits wide, and drives it itself.
//    An 8-bit function set sent to a board that drives its LCD in 4-bit mode leaves it
//    out of step, so nothing of the bus's own start-up travels: what is latched while the
//    bus is still 8 bits wide (the wake-up writes), and any function set that switches the
//    width. A function set's N and F bits (lines, font) do travel, with DL as the
//    protocol's board has it.
//  - Datasheet: clear display and return home take 1.52 ms at 270 kHz. The board executes
//    them on its LCD, so the next byte waits that long after the write that carried one,
//    counted from when its last byte has left at the line's rate (10 bits a byte, 8N1).
//  - Opening an Arduino's port resets the board (DTR), and its bootloader listens for
//    about 1.6 s before the sketch starts: bytes sent then are lost.
#include "port/serial/serial_backend.h"

#include <cerrno>
#include <cstdlib>

#include "hd44780/instruction_decoder.h"
#include "hd44780/instructions.h"
#include "port/instruction_backend.h"
#include "port/parse.h"

namespace port::serial {
namespace {

constexpr std::int64_t kClearNs = 1'520'000;  // datasheet: clear display, return home
constexpr std::uint32_t kBootMs = 2000;       // an Arduino's bootloader, after the reset
constexpr unsigned kBitsPerByte = 10;         // start, 8 data, stop

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
           l.starts_with("/dev/rfcomm") || isComPort(path);
}

Claim claims(const DeviceText& text) {
    if (isSerialPath(text.path)) return Claim::ByPath;
    const std::string first = text.options.substr(0, text.options.find(','));
    return protocolNamed(first) ? Claim::ByOptions : Claim::No;
}

std::optional<Error> parse(const DeviceText& text, PortDevice& device) {
    auto options = std::make_shared<Options>();
    std::size_t at = 0;
    bool first = true;
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
    if (!info.characterDevice) {
        Error e = backendProblem(Problem::NotSerialPort);
        e.device = device.path;
        return e;
    }
    return std::nullopt;
}

class SerialBackend final : public InstructionBackend {
public:
    SerialBackend(Os& os, int fd, std::string path, const Options& options)
        : m_os(os),
          m_fd(fd),
          m_path(std::move(path)),
          m_options(options),
          m_encoder(*options.protocol) {
        m_queue.reserve(kQueueBytes);
    }
    ~SerialBackend() override { m_os.files.close(m_fd); }

    int instruction(std::uint8_t byte) noexcept override {
        return send(m_encoder.instruction(byte));
    }
    int data(std::uint8_t byte) noexcept override { return send(m_encoder.data(byte)); }

    int flush() noexcept override {
        if (m_queue.empty()) return 0;
        // The last clear's 1.52 ms, from when its byte left.
        const std::int64_t now = m_os.time.nowNs();
        if (now < m_readyAt)
            m_os.time.sleepMs(static_cast<std::uint32_t>((m_readyAt - now + 999'999) / 1'000'000));
        const long sent = m_os.files.write(m_fd, m_queue.data(), m_queue.size());
        const std::size_t n = m_queue.size();
        m_queue.clear();
        if (sent != static_cast<long>(n)) return sent < 0 ? static_cast<int>(-sent) : EIO;
        const std::int64_t onTheLine =
            static_cast<std::int64_t>(n) * kBitsPerByte * 1'000'000'000 / m_options.baud;
        m_readyAt = m_waitPending ? m_os.time.nowNs() + onTheLine + kClearNs : 0;
        m_waitPending = false;
        return 0;
    }

    Description description() const override {
        Description d;
        d.backend = "serial";
        d.device = m_path;
        d.detail = m_options.protocol->name;
        d.options = std::to_string(m_options.baud);
        d.replaced = m_encoder.replaced() > 0;  // an escape byte in the data went as a space
        return d;
    }

    std::uint8_t failureHint(int err) const noexcept override {
        return codeOf(err == EIO || err == ENODEV || err == ENXIO ? Hint::CablePulled : Hint::None);
    }

private:
    int send(const LineEncoder::Encoded& out) noexcept {
        if (m_waitPending) {  // the board is still clearing: this byte goes after the wait
            if (const int err = flush(); err != 0) return err;
        }
        // Between two pauses the driver sends one transmission at most; a longer run
        // goes out in pieces rather than growing the queue inside a noexcept write.
        if (m_queue.size() + out.size > m_queue.capacity()) {
            if (const int err = flush(); err != 0) return err;
        }
        m_queue.insert(m_queue.end(), out.bytes.begin(), out.bytes.begin() + out.size);
        m_waitPending = out.waitAfter;
        return 0;
    }

    // A re-initialisation and 32 characters are 48 bytes on the line.
    static constexpr std::size_t kQueueBytes = 4096;
    Os& m_os;
    int m_fd;
    std::string m_path;
    Options m_options;
    LineEncoder m_encoder;
    std::vector<std::uint8_t> m_queue;
    bool m_waitPending = false;
    std::int64_t m_readyAt = 0;
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
    const int fd = os.serial ? os.serial->openSerial(device.path, options.baud) : -ENOSYS;
    if (fd < 0) {
        r.error = openFailure(-fd, options);
        r.error->device = device.path;
        return r;
    }
    // The board may have reset on the open: let its bootloader hand over to the sketch.
    os.time.sleepMs(kBootMs);
    r.backend = takingInstructions(std::make_unique<SerialBackend>(os, fd, device.path, options));
    return r;
}

}  // namespace

LineEncoder::Encoded LineEncoder::instruction(std::uint8_t byte) const noexcept {
    namespace in = hd44780::instr;
    Encoded out;
    // The board's own link to its LCD keeps its width: a function set says the lines and
    // the font in it.
    if (hd44780::InstructionDecoder::isFunctionSet(false, byte))
        byte = static_cast<std::uint8_t>((byte & ~in::kFunction8Bit) |
                                         (m_protocol.interfaceBits == 8 ? in::kFunction8Bit : 0));
    out.bytes = {m_protocol.instructionEscape, byte};
    out.size = 2;
    out.waitAfter = (byte & 0xFE) == in::kReturnHome || byte == in::kClearDisplay;
    return out;
}

LineEncoder::Encoded LineEncoder::data(std::uint8_t byte) noexcept {
    Encoded out;
    if (m_protocol.dataEscape && byte >= m_protocol.dataEscapeFirst &&
        byte <= m_protocol.dataEscapeLast) {
        out.bytes = {*m_protocol.dataEscape, byte};
        out.size = 2;
    } else if (!m_protocol.dataEscape && byte == m_protocol.instructionEscape) {
        ++m_replaced;
        out.bytes = {' '};
        out.size = 1;
    } else {
        out.bytes = {byte};
        out.size = 1;
    }
    return out;
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
