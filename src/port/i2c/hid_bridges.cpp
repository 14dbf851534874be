// What the bridges' HID protocols share.
#include "port/i2c/hid_bridges.h"

#include <cerrno>

namespace port::i2c {

int awaitReport(HidDevice& device, std::span<std::uint8_t> in, std::uint8_t first,
                int timeoutMs) noexcept {
    // A report left over from a transfer another program cancelled is not this answer.
    for (int stale = 0; stale < kBusyAnswers; ++stale) {
        const int n = device.read(in, timeoutMs);
        if (n < 0) return -n;
        if (n == 0) return EPROTO;
        if (in[0] == first) return 0;
    }
    return EPROTO;
}

}  // namespace port::i2c
