#include "port/ports.h"

#include <cstdio>

namespace port {

std::string hexAddress(std::int16_t port) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(static_cast<std::uint16_t>(port)));
    return buf;
}

std::string portLabel(std::int16_t port) {
    if (const SupportedPort* p = supportedPort(port)) return p->label;
    return hexAddress(port);
}

std::string supportedAddressList() {
    std::string list;
    for (const SupportedPort& p : kSupportedPorts)
        list += (list.empty() ? "" : ", ") + hexAddress(p.address);
    return list;
}

}  // namespace port
