// hidapi facts:
//  - hid_init() must succeed before anything else; on Windows it looks up functions in
//    hid.dll and cfgmgr32.dll, and fails when one is missing (wine 8's cfgmgr32 lacks
//    CM_Get_Device_Interface_PropertyW). hid_error(nullptr) then says what it missed.
//  - A report starts with its report ID; for a device that numbers none, a 0 that is not
//    sent. Reads return the ID only where the device numbers its reports.
//  - On Linux each call is the hidraw node's open/read/write/ioctl, so errno says why it
//    failed (EACCES without a udev rule; ENODEV once the bridge is unplugged, though a
//    poll that sees the node hang up leaves errno untouched). On Windows the calls leave
//    the system's error code.
#include "port/hid/hidapi_hid.h"

#include <hidapi.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace port {
namespace {

// Why the last call failed, as an errno; fallback where the system said nothing.
int lastError(int fallback) noexcept {
#ifdef _WIN32
    switch (GetLastError()) {
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
            return EBUSY;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_BAD_COMMAND:
            return ENODEV;
        default:
            return fallback;
    }
#else
    return errno != 0 ? errno : fallback;
#endif
}

void clearError() noexcept {
#ifdef _WIN32
    SetLastError(0);
#else
    errno = 0;
#endif
}

// hidapi's wide strings as UTF-8: serial numbers and messages are ASCII in practice, and
// anything else is kept as its code point.
std::string utf8(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        const auto c = static_cast<std::uint32_t>(*text);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            // Surrogates (UTF-16 halves) and the rest of the BMP as three bytes; a lone
            // half is not worth more care in a serial number.
            out += static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class HidapiDevice final : public HidDevice {
public:
    explicit HidapiDevice(hid_device* device) noexcept : m_device(device) {}
    ~HidapiDevice() override { hid_close(m_device); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    int write(std::span<const std::uint8_t> report) noexcept override {
        clearError();
        const int n = hid_write(m_device, report.data(), report.size());
        return n >= 0 ? n : -lastError(ENODEV);
    }
    int read(std::span<std::uint8_t> report, int timeoutMs) noexcept override {
        clearError();
        const int n = hid_read_timeout(m_device, report.data(), report.size(), timeoutMs);
        return n >= 0 ? n : -lastError(ENODEV);
    }
    int setFeature(std::span<const std::uint8_t> report) noexcept override {
        clearError();
        const int n = hid_send_feature_report(m_device, report.data(), report.size());
        return n >= 0 ? n : -lastError(EIO);
    }
    int getFeature(std::span<std::uint8_t> report) noexcept override {
        clearError();
        const int n = hid_get_feature_report(m_device, report.data(), report.size());
        return n >= 0 ? n : -lastError(EIO);
    }

private:
    hid_device* m_device;
};

class HidapiHid final : public Hid {
public:
    ~HidapiHid() override {
        if (m_started == 0) hid_exit();
    }

    int start(std::string& why) override {
        if (m_started == 1) {
            m_started = hid_init() == 0 ? 0 : -EIO;
            if (m_started != 0) m_why = utf8(hid_error(nullptr));
        }
        why = m_why;
        return m_started;
    }

    std::vector<HidInfo> devices(std::uint16_t vendor, std::uint16_t product) override {
        std::vector<HidInfo> found;
        std::string why;
        if (start(why) != 0) return found;
        hid_device_info* list = hid_enumerate(vendor, product);
        for (const hid_device_info* d = list; d != nullptr; d = d->next)
            found.push_back({d->path, d->vendor_id, d->product_id, utf8(d->serial_number)});
        hid_free_enumeration(list);
        return found;
    }

    std::unique_ptr<HidDevice> open(const std::string& path, int& error) override {
        std::string why;
        if ((error = -start(why)) != 0) return nullptr;
        clearError();
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) {
            error = lastError(EIO);
            return nullptr;
        }
        return std::make_unique<HidapiDevice>(device);
    }

private:
    int m_started = 1;  // 1: not tried yet; then 0 or -errno
    std::string m_why;
};

}  // namespace

Hid& hidapiHid() {
    static HidapiHid hid;
    return hid;
}

}  // namespace port
