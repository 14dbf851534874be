// The parallel ports the program is built to drive, and what belongs to each.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace port {

// The parallel-port data registers the program is built to drive.
inline constexpr std::int16_t kLpt1 = 0x378;  // 888
inline constexpr std::int16_t kLpt2 = 0x278;  // 632

struct SupportedPort {
    std::int16_t address;
    const char* label;          // "LPT1 (0x378)"
    const char* deviceSetting;  // the variable that maps it to a device
};

inline constexpr std::array<SupportedPort, 2> kSupportedPorts{{
    {kLpt1, "LPT1 (0x378)", "VELMORIN_LPT1"},
    {kLpt2, "LPT2 (0x278)", "VELMORIN_LPT2"},
}};

// The entry for an address, or null when the program does not drive it.
constexpr const SupportedPort* supportedPort(std::int16_t address) noexcept {
    for (const SupportedPort& p : kSupportedPorts)
        if (p.address == address) return &p;
    return nullptr;
}

constexpr std::size_t portIndex(const SupportedPort& p) noexcept {
    return static_cast<std::size_t>(&p - kSupportedPorts.data());
}

// "0x378".
std::string hexAddress(std::int16_t port);
// "LPT1 (0x378)", or the bare address of a port the program does not drive.
std::string portLabel(std::int16_t port);
// "0x378, 0x278": the supported ports' addresses.
std::string supportedAddressList();

}  // namespace port
