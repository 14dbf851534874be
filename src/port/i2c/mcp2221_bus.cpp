// The MCP2221A (Microchip, USB 04D8:00DD) over its HID reports. Datasheet DS20005565:
//  - Every command is one 64-byte output report, its first byte the command code, and
//    every one is answered by a 64-byte input report echoing that code. The device numbers
//    no reports: hidapi's report ID byte is 0.
//  - I2C Write Data (0x90): length low, length high, address << 1, then up to 60 data
//    bytes. A write of up to 65,535 bytes is one transaction: each further report repeats
//    the header and carries the next 60 bytes. Answer byte 1: 0x00 taken, else the I2C
//    engine is still busy with the previous report, which is sent again.
//  - Status/Set Parameters (0x10): byte 2 = 0x10 cancels the current transfer, byte 3 =
//    0x20 sets the clock divider in byte 4 (12 MHz / clock - 3). The answer's byte 3 is
//    0x20 where the clock was set; byte 8 is the I2C engine's state, byte 20 has bit 6 set
//    where the address was not acknowledged.
//  - I2C Read Data (0x91): length low, length high, address << 1 | 1. The bridge reads the
//    bytes into its own buffer; Get I2C Data (0x40) hands them over, up to 60 an answer:
//    byte 1 0x00, byte 2 the engine's state (0x55 read complete, 0x54 partial, 0x25 the
//    address not acknowledged), byte 3 the count (127: the read failed), then the bytes.
#include <algorithm>
#include <array>
#include <cerrno>

#include "port/i2c/expander.h"
#include "port/i2c/hid_bridges.h"

namespace port::i2c {
namespace {

constexpr std::size_t kReport = 64;
constexpr std::size_t kChunk = 60;  // datasheet: data bytes in one I2C Write Data report

enum Command : std::uint8_t { kStatus = 0x10, kGetData = 0x40, kWrite = 0x90, kRead = 0x91 };
constexpr std::uint8_t kCancel = 0x10;       // Status/Set Parameters byte 2
constexpr std::uint8_t kSetSpeed = 0x20;     // byte 3, and the answer's where it was set
constexpr std::uint8_t kAddressNack = 0x40;  // answer byte 20
// 100 kHz: the PCF8574's and MCP23008's standard mode (the MCP23008 takes 400 kHz too).
constexpr std::uint8_t kDivider100kHz = 12'000'000 / 100'000 - 3;

// The I2C engine's states (answer byte 8) that end a transfer.
enum State : std::uint8_t {
    kIdle = 0x00,
    kStartTimeout = 0x12,
    kAddressTimeout = 0x23,
    kAddressNacked = 0x25,
    kReadPartial = 0x54,
    kReadComplete = 0x55,
    kDataTimeout = 0x44,
    kStopTimeout = 0x62,
};

class Mcp2221Bus final : public I2cBus {
public:
    explicit Mcp2221Bus(std::unique_ptr<HidDevice> device) noexcept : m_device(std::move(device)) {}

    int setUp() noexcept {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (const int err = command({kStatus, 0, 0, kSetSpeed, kDivider100kHz}); err != 0)
                return err;
            if (m_in[3] == kSetSpeed) return 0;
            // Not set while a transfer is under way: another program's, or one left
            // behind by a program that stopped mid-way. Cancel it and try once more.
            if (const int err = command({kStatus, 0, kCancel}); err != 0) return err;
        }
        return EBUSY;
    }

    int claim(std::uint8_t) noexcept override { return 0; }

    int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (bytes.size() > 0xFFFF) return EINVAL;
        const auto total = static_cast<std::uint16_t>(bytes.size());
        for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, bytes.size() - at);
            std::array<std::uint8_t, kReport> out{kWrite, static_cast<std::uint8_t>(total & 0xFF),
                                                  static_cast<std::uint8_t>(total >> 8),
                                                  static_cast<std::uint8_t>(address << 1)};
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, out.begin() + 4);
            if (const int err = sendUntilTaken(out); err != 0) return err;
        }
        return outcome();
    }

    int probe(std::uint8_t address) noexcept override {
        // A one-byte read: an expander's read changes nothing on its pins.
        if (const int err = startRead(address, 1); err != 0) return err;
        const int err = outcome();
        // The byte read waits in the bridge; drop it with the transfer.
        if (err == 0) (void)command({kStatus, 0, kCancel});
        return err;
    }

    int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (bytes.size() > 0xFFFF) return EINVAL;
        if (const int err = startRead(address, bytes.size()); err != 0) return err;
        std::size_t got = 0;
        for (int attempt = 0; got < bytes.size() && attempt < kBusyAnswers; ++attempt) {
            if (const int err = command({kGetData}); err != 0) return err;
            if (m_in[2] == kAddressNacked) return fail(ENXIO);
            if (m_in[1] != 0 || (m_in[2] != kReadComplete && m_in[2] != kReadPartial))
                continue;  // not read yet
            if (m_in[3] == 127) return fail(EIO);
            const std::size_t n = std::min<std::size_t>({m_in[3], kChunk, bytes.size() - got});
            std::copy_n(m_in.begin() + 4, n, bytes.begin() + static_cast<std::ptrdiff_t>(got));
            got += n;
            attempt = -1;  // a full answer: the next may again take a while
        }
        return got == bytes.size() ? outcome() : fail(EBUSY);
    }

    std::size_t maxWrite() const noexcept override { return Batch::kPage; }
    void setTimeoutMs(int milliseconds) noexcept override { m_timeoutMs = milliseconds; }

private:
    int command(std::array<std::uint8_t, kReport> out) noexcept {
        std::array<std::uint8_t, kReport + 1> report{};  // report ID 0: none
        std::copy(out.begin(), out.end(), report.begin() + 1);
        const int sent = m_device->write(report);
        if (sent < 0) return -sent;
        return awaitReport(*m_device, m_in, out[0], m_timeoutMs);
    }

    // A report the engine may refuse while it still sends the previous one.
    int sendUntilTaken(const std::array<std::uint8_t, kReport>& out) noexcept {
        for (int attempt = 0; attempt < kBusyAnswers; ++attempt) {
            if (const int err = command(out); err != 0) return err;
            if (m_in[1] == 0) return 0;
        }
        return fail(EBUSY);
    }

    int startRead(std::uint8_t address, std::size_t n) noexcept {
        return sendUntilTaken({kRead, static_cast<std::uint8_t>(n & 0xFF),
                               static_cast<std::uint8_t>(n >> 8),
                               static_cast<std::uint8_t>(address << 1 | 1)});
    }

    // A failed transfer holds the bus until it is cancelled.
    int fail(int err) noexcept {
        (void)command({kStatus, 0, kCancel});
        return err;
    }

    // The transaction's outcome, once its last report is in: the engine's state after it.
    int outcome() noexcept {
        for (int attempt = 0; attempt < kBusyAnswers; ++attempt) {
            if (const int err = command({kStatus}); err != 0) return err;
            int err = 0;
            if (m_in[20] & kAddressNack || m_in[8] == kAddressNacked) {
                err = ENXIO;
            } else {
                switch (m_in[8]) {
                    case kIdle:
                        return 0;
                    case kStartTimeout:
                    case kAddressTimeout:
                    case kDataTimeout:
                    case kStopTimeout:
                        err = ETIMEDOUT;
                        break;
                    default:
                        continue;  // still sending
                }
            }
            return fail(err);
        }
        return fail(EBUSY);
    }

    std::unique_ptr<HidDevice> m_device;
    int m_timeoutMs = kAnswerMs;
    std::array<std::uint8_t, kReport> m_in{};
};

}  // namespace

std::unique_ptr<I2cBus> mcp2221Bus(std::unique_ptr<HidDevice> device, int& error) {
    return setUpBus<Mcp2221Bus>(std::move(device), error);
}

}  // namespace port::i2c
