#include "link/Crc16.h"

uint16_t Crc16(const uint8_t* data, size_t n, uint16_t crc) {
    for (size_t i = 0; i < n; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool dataBit = (data[i] >> bit) & 1;
            const bool topBit = (crc & 0x8000) != 0;
            crc = static_cast<uint16_t>(crc << 1);
            if (topBit != dataBit) crc ^= kCrc16Polynomial;
        }
    }
    return crc;
}
