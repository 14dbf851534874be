// USB HID devices for the bridge tests: each attached device a model that records the
// reports it is sent and queues its answers.
#pragma once

#include <cerrno>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "port/os.h"

namespace testsupport {

using Report = std::vector<std::uint8_t>;

// What a device does with a report: the input reports it answers with.
struct HidModel {
    std::vector<Report> sent;      // output reports, their ID first, cut after the last non-zero
    std::vector<Report> features;  // feature reports set
    std::deque<Report> answers;
    int writeErrno = 0;  // set once unplugged
    std::function<std::vector<Report>(const Report&)> answer;

    static Report trimmed(std::span<const std::uint8_t> r) {
        std::size_t n = r.size();
        while (n > 1 && r[n - 1] == 0) --n;
        return {r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n)};
    }
};

struct FakeHidDevice final : port::HidDevice {
    explicit FakeHidDevice(HidModel& model) : m(model) {}
    int write(std::span<const std::uint8_t> report) noexcept override {
        if (m.writeErrno) return -m.writeErrno;
        m.sent.push_back(HidModel::trimmed(report));
        if (m.answer)
            for (Report& r : m.answer(m.sent.back())) m.answers.push_back(std::move(r));
        return static_cast<int>(report.size());
    }
    int read(std::span<std::uint8_t> report, int) noexcept override {
        if (m.writeErrno) return -m.writeErrno;
        if (m.answers.empty()) return 0;
        const Report r = m.answers.front();
        m.answers.pop_front();
        std::fill(report.begin(), report.end(), 0);
        std::copy_n(r.begin(), std::min(r.size(), report.size()), report.begin());
        return static_cast<int>(report.size());
    }
    int setFeature(std::span<const std::uint8_t> report) noexcept override {
        m.features.push_back({report.begin(), report.end()});
        return static_cast<int>(report.size());
    }
    int getFeature(std::span<std::uint8_t> report) noexcept override {
        return static_cast<int>(report.size());
    }
    HidModel& m;
};

struct FakeHid final : port::Hid {
    struct Attached {
        port::HidInfo info;
        HidModel* model;
    };
    std::vector<Attached> attached;
    std::string startFailure;  // what hid_init() would say, if it fails
    std::map<std::string, int> openErrno;

    int start(std::string& why) override {
        why = startFailure;
        return startFailure.empty() ? 0 : -EIO;
    }
    std::vector<port::HidInfo> devices(std::uint16_t vendor, std::uint16_t product) override {
        std::vector<port::HidInfo> found;
        for (const Attached& a : attached)
            if (a.info.vendor == vendor && a.info.product == product) found.push_back(a.info);
        return found;
    }
    std::unique_ptr<port::HidDevice> open(const std::string& path, int& error) override {
        error = openErrno.count(path) ? openErrno[path] : 0;
        for (const Attached& a : attached)
            if (!error && a.info.path == path) return std::make_unique<FakeHidDevice>(*a.model);
        if (!error) error = ENOENT;
        return nullptr;
    }
};

}  // namespace testsupport
