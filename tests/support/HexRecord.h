#pragma once
// Builds Intel HEX record lines for test images: ':' + byte count, address,
// type, data and checksum in hexadecimal, then the line end.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace test_hex {

inline std::string Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data,
                          const char* lineEnd = "\n") {
    std::vector<uint8_t> body = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                 static_cast<uint8_t>(address), type};
    body.insert(body.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
    body.push_back(static_cast<uint8_t>(-sum));
    std::string line = ":";
    char hex[3];
    for (uint8_t b : body) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + lineEnd;
}

}  // namespace test_hex
