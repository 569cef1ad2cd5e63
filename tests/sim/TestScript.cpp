#include "sim/TestScript.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {
constexpr size_t kRecordBytes = 84;
constexpr size_t kTextOffset = 4;
constexpr size_t kMaxText = 79;  // the last byte stays NUL
constexpr uint8_t kEsc = 0x1B;
}  // namespace

Bytes ResultRecord(int8_t code, const std::string& text, int8_t step, int8_t substep) {
    Bytes r(kRecordBytes, 0);
    r[0] = static_cast<uint8_t>(code);
    r[2] = static_cast<uint8_t>(step);
    r[3] = static_cast<uint8_t>(substep);
    std::memcpy(r.data() + kTextOffset, text.data(), std::min(text.size(), kMaxText));
    return r;
}

Bytes LogLine(const std::string& text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

Bytes TrainingPacket(uint8_t kind, uint8_t lanes, const std::vector<uint8_t>& values) {
    Bytes b{kEsc, static_cast<uint8_t>((kind & 0x1F) | (lanes << 5))};
    for (uint8_t v : values) {
        b.push_back(static_cast<uint8_t>('0' + (v >> 4)));
        b.push_back(static_cast<uint8_t>('0' + (v & 0x0F)));
    }
    b.push_back(0);
    return b;
}

Bytes Concat(const std::vector<Bytes>& pieces) {
    Bytes all;
    for (const auto& p : pieces) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace sim
