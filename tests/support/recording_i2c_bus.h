// An I2C bus that records each transaction and answers where it is told to.
#pragma once

#include <cerrno>
#include <cstdint>
#include <set>
#include <vector>

#include "port/i2c/i2c_bus.h"

namespace testsupport {

struct RecordingI2cBus final : port::I2cBus {
    struct Transaction {
        std::uint8_t address;
        std::vector<std::uint8_t> bytes;
        friend bool operator==(const Transaction&, const Transaction&) = default;
    };
    // What the test looks at after the bus is handed over: the bus lives as long as the
    // backend that owns it.
    struct Log {
        std::vector<Transaction> transactions;
        std::vector<std::uint8_t> probed;
    };

    explicit RecordingI2cBus(Log& log, std::size_t max = 4096) : m_log(log), m_max(max) {}

    std::set<std::uint8_t> present{0x27};  // what acknowledges
    int claimErrno = 0;
    int writeErrno = 0;  // every write fails with this
    int failAfter = -1;  // writes that succeed before writeErrno applies; -1: from the first
    std::size_t refuseOver = 0;  // longer writes fail with EINVAL, as hid-cp2112's; 0: none
    int refused = 0;

    int claim(std::uint8_t) noexcept override { return claimErrno; }
    int write(std::uint8_t address, std::span<const std::uint8_t> bytes) noexcept override {
        if (writeErrno && (failAfter < 0 || m_writes >= failAfter)) return writeErrno;
        if (refuseOver && bytes.size() > refuseOver) {
            ++refused;
            return EINVAL;
        }
        ++m_writes;
        if (!present.count(address)) return ENXIO;
        m_log.transactions.push_back({address, {bytes.begin(), bytes.end()}});
        return 0;
    }
    int probe(std::uint8_t address) noexcept override {
        m_log.probed.push_back(address);
        return present.count(address) ? 0 : ENXIO;
    }
    std::size_t maxWrite() const noexcept override { return m_max; }
    // Reads answer with `answer`, byte after byte, then 0xFF (the pull-ups).
    std::vector<std::uint8_t> answer;
    int read(std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (!present.count(address)) return ENXIO;
        for (std::uint8_t& b : bytes) b = m_read < answer.size() ? answer[m_read++] : 0xFF;
        return 0;
    }
    int timeoutMs = 0;
    void setTimeoutMs(int milliseconds) noexcept override { timeoutMs = milliseconds; }

private:
    Log& m_log;
    std::size_t m_max;
    int m_writes = 0;
    std::size_t m_read = 0;
};

}  // namespace testsupport
