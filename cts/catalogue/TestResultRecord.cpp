#include "cts/catalogue/TestResultRecord.h"

#include <algorithm>

TestResultRecord::TestResultRecord(std::span<const uint8_t, kSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

std::string TestResultRecord::Text() const {
    const auto begin = bytes_.begin() + kTextOffset;
    const auto end = std::find(begin, bytes_.end(), uint8_t{0});
    return std::string(begin, end);
}
