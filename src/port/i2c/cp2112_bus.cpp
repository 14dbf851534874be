// The CP2112 (Silicon Labs, USB 10C4:EA90) over its HID reports, as application note
// AN495 gives them:
//  - Reports are numbered; each output report is 64 bytes with its ID.
//  - Data Write Request (0x14): address << 1, length 1-61, the bytes: one transaction.
//  - Data Read Request (0x10): address << 1, length (2 bytes, big-endian). Once the
//    transfer status says complete, Data Read Force Send (0x12: length, 2 bytes) has the
//    bytes come back as Data Read Response (0x13): status, length, up to 61 bytes.
//  - Transfer Status Request (0x15, byte 1 = 0x01) is answered by Transfer Status
//    Response (0x16): status 0 is 0 idle, 1 busy, 2 complete, 3 complete with an error;
//    after an error, status 1 is 0 for a timeout with the address not acknowledged,
//    1 for the bus not free (SCL held low).
//  - Cancel Transfer (0x17, byte 1 = 0x01) ends the transfer under way.
//  - SMBus Configuration (feature report 0x06): clock in Hz (4 bytes, big-endian), the
//    bridge's own address, auto send read, write and read timeouts in ms (2 bytes each,
//    0 = none), SCL low timeout on/off, retry count (2 bytes, 0 = no limit). With no
//    timeout and no limit a NACK would be retried for ever.
#include <algorithm>
#include <array>
#include <cerrno>

#include "port/i2c/hid_bridges.h"

namespace port::i2c {
namespace {

constexpr std::size_t kReport = 64;
constexpr std::size_t kMaxWrite = 61;

enum Report : std::uint8_t {
    kSmbusConfig = 0x06,
    kReadRequest = 0x10,
    kForceSend = 0x12,
    kReadResponse = 0x13,
    kWriteRequest = 0x14,
    kStatusRequest = 0x15,
    kStatusResponse = 0x16,
    kCancelTransfer = 0x17,
};
enum Status0 : std::uint8_t { kIdle = 0, kBusy = 1, kComplete = 2, kError = 3 };
enum Status1 : std::uint8_t { kNacked = 0, kBusNotFree = 1 };

// 100 kHz (the expanders' standard mode), the bridge's default address 0x02, no auto
// send, 25 ms timeouts (a 61-byte write takes 6 ms at 100 kHz), SCL low timeout on, one
// retry.
constexpr std::array<std::uint8_t, 14> kConfig{kSmbusConfig, 0x00, 0x01, 0x86, 0xA0, 0x02, 0x00,
                                               0x00,         25,   0x00, 25,   0x01, 0x00, 0x01};

class Cp2112Bus final : public I2cBus {
public:
    explicit Cp2112Bus(std::unique_ptr<HidDevice> device) noexcept : m_device(std::move(device)) {}

    int setUp() noexcept {
        const int n = m_device->setFeature(kConfig);
        return n < 0 ? -n : 0;
    }

    int claim(std::uint8_t) noexcept override { return 0; }

    int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (bytes.size() > kMaxWrite) return EINVAL;
        std::array<std::uint8_t, kReport> out{kWriteRequest,
                                              static_cast<std::uint8_t>(address << 1),
                                              static_cast<std::uint8_t>(bytes.size())};
        std::copy(bytes.begin(), bytes.end(), out.begin() + 3);
        if (const int sent = m_device->write(out); sent < 0) return -sent;
        return outcome();
    }

    int probe(std::uint8_t address) noexcept override {
        // A one-byte read: an expander's read changes nothing on its pins.
        const int err = startRead(address, 1);
        if (err == 0) cancel();  // the byte read is not wanted
        return err;
    }

    int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (bytes.empty()) return 0;
        if (bytes.size() > kMaxWrite) return EINVAL;  // one answer's worth
        if (const int err = startRead(address, bytes.size()); err != 0) return err;
        const std::array<std::uint8_t, kReport> force{kForceSend, 0,
                                                      static_cast<std::uint8_t>(bytes.size())};
        if (const int sent = m_device->write(force); sent < 0) return -sent;
        std::array<std::uint8_t, kReport> in{};
        if (const int err = awaitReport(*m_device, in, kReadResponse, m_timeoutMs); err != 0)
            return err;
        if (in[1] == kError || in[2] < bytes.size()) return EIO;
        std::copy_n(in.begin() + 3, bytes.size(), bytes.begin());
        return 0;
    }

    std::size_t maxWrite() const noexcept override { return kMaxWrite; }
    void setTimeoutMs(int milliseconds) noexcept override { m_timeoutMs = milliseconds; }

private:
    int startRead(std::uint8_t address, std::size_t n) noexcept {
        const std::array<std::uint8_t, kReport> out{
            kReadRequest, static_cast<std::uint8_t>(address << 1), 0, static_cast<std::uint8_t>(n)};
        if (const int sent = m_device->write(out); sent < 0) return -sent;
        return outcome();
    }

    int outcome() noexcept {
        const std::array<std::uint8_t, kReport> request{kStatusRequest, 0x01};
        std::array<std::uint8_t, kReport> in{};
        for (int attempt = 0; attempt < kBusyAnswers; ++attempt) {
            if (const int sent = m_device->write(request); sent < 0) return -sent;
            if (const int err = awaitReport(*m_device, in, kStatusResponse, m_timeoutMs); err != 0)
                return err;
            switch (in[1]) {
                case kComplete:
                    return 0;
                case kError: {
                    cancel();
                    return in[2] == kNacked ? ENXIO : in[2] == kBusNotFree ? EBUSY : EIO;
                }
                case kIdle:
                case kBusy:
                default:
                    continue;
            }
        }
        cancel();
        return EBUSY;
    }

    void cancel() noexcept {
        const std::array<std::uint8_t, kReport> out{kCancelTransfer, 0x01};
        (void)m_device->write(out);
    }

    std::unique_ptr<HidDevice> m_device;
    int m_timeoutMs = kAnswerMs;
};

}  // namespace

std::unique_ptr<I2cBus> cp2112Bus(std::unique_ptr<HidDevice> device, int& error) {
    return setUpBus<Cp2112Bus>(std::move(device), error);
}

}  // namespace port::i2c
