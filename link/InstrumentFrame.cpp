#include "link/InstrumentFrame.h"

#include <cstring>

namespace frame {

uint8_t Checksum(const uint8_t* bytes, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

size_t Build(const uint8_t* payload, size_t n, uint8_t* out) {
    if (n > kMaxPayload) return 0;
    out[0] = static_cast<uint8_t>(n + 2);
    if (n) std::memmove(out + 1, payload, n);
    out[n + 1] = Checksum(out, n + 1);
    return n + 2;
}

size_t Unpack(uint8_t* buf, size_t length) {
    if (length < 2) {
        if (length) std::memset(buf, 0, length);
        return 0;
    }
    const size_t n = buf[0] - 2u;
    std::memmove(buf, buf + 1, n);
    buf[n] = 0;
    buf[n + 1] = 0;
    return n;
}

}  // namespace frame
