#pragma once
// CRC-16 of the flash-write blocks: 16-bit register preset to 0x1021,
// polynomial 0x1021 (x^16 + x^12 + x^5 + 1), bits most significant first,
// no reflection, no final XOR. The preset equals the polynomial; it is not
// the common 0xFFFF or 0x0000. Check value over "123456789": 0x5E86.
#include <cstddef>
#include <cstdint>

constexpr uint16_t kCrc16Polynomial = 0x1021;
constexpr uint16_t kCrc16Initial = 0x1021;

// The CRC-16 of n bytes, continuing from `crc` (the preset by default).
uint16_t Crc16(const uint8_t* data, size_t n, uint16_t crc = kCrc16Initial);
