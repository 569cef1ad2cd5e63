#pragma once
// Hand-made EDID blocks shared by the EDID library, CEA-861 codec and editor
// tests: the checksum, the 1920 x 1080p detailed timing, base blocks and
// CEA-861 extension blocks.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace edid_fixtures {

using Block = std::array<uint8_t, 128>;
using ByteList = std::vector<uint8_t>;

// Makes byte 127 the block's checksum.
inline void FixChecksum(Block& b) {
    unsigned sum = 0;
    for (size_t i = 0; i < 127; ++i) sum += b[i];
    b[127] = static_cast<uint8_t>(0u - sum);
}

// True when the 128 bytes sum to 0 modulo 256.
inline bool ChecksumGood(const uint8_t* b) {
    unsigned sum = 0;
    for (size_t i = 0; i < 128; ++i) sum += b[i];
    return (sum & 0xFF) == 0;
}

// Writes bytes at an offset of a block.
inline void Put(Block& b, int at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t v : bytes) b[static_cast<size_t>(at++)] = v;
}
inline void Put(Block& b, int at, const ByteList& bytes) {
    for (uint8_t v : bytes) b[static_cast<size_t>(at++)] = v;
}

inline void PutText(Block& b, int at, const char* text) {
    while (*text) b[static_cast<size_t>(at++)] = static_cast<uint8_t>(*text++);
}

// The 18-byte detailed timing of 1920 x 1080p 60 Hz at 148.5 MHz (2200 x 1125
// total, sync 88/44 and 4/5), with the given image size in millimetres, no
// border and the given flags byte (1Eh: non-interlaced, no stereo, digital
// separate sync, both polarities positive).
inline ByteList Dtd1080p(int widthMm = 0, int heightMm = 0, uint8_t flags = 0x1E) {
    ByteList d = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0, 0, 0, 0x00, 0x00, flags};
    d[12] = static_cast<uint8_t>(widthMm & 0xFF);
    d[13] = static_cast<uint8_t>(heightMm & 0xFF);
    d[14] = static_cast<uint8_t>(((widthMm >> 4) & 0xF0) | ((heightMm >> 8) & 0x0F));
    return d;
}

// A block whose byte 0 is tag, the rest as given (zeros by default), checksum fixed.
inline Block TaggedBlock(uint8_t tag, std::vector<std::pair<int, uint8_t>> bytes = {}) {
    Block b{};
    b[0] = tag;
    for (auto [at, v] : bytes) b[static_cast<size_t>(at)] = v;
    FixChecksum(b);
    return b;
}

// A base EDID block (version 1.3) with a header, a name and a checksum.
inline Block BaseBlock() {
    Block b{};
    Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0xAC, 0x34, 0x12,
               0x01, 0x00, 0x00, 0x00, 0x0C, 0x1E, 0x01, 0x03, 0x80, 0x34, 0x20, 0x78});
    FixChecksum(b);
    return b;
}

// A base block header with the given version, everything else zero.
inline Block EmptyBase(uint8_t major = 1, uint8_t minor = 4) {
    Block b{};
    Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    b[18] = major;
    b[19] = minor;
    for (int i = 0; i < 8; ++i) Put(b, 38 + 2 * i, {0x01, 0x01});
    // Four dummy descriptors.
    for (int off : {54, 72, 90, 108}) b[static_cast<size_t>(off + 3)] = 0x10;
    FixChecksum(b);
    return b;
}

// A real-looking E-EDID 1.4 base block of a digital DisplayPort monitor.
inline Block DigitalBase14() {
    Block b{};
    Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    Put(b, 8, {0x04, 0x43});               // "ABC"
    Put(b, 10, {0x34, 0x12});              // product 1234h
    Put(b, 12, {0x04, 0x03, 0x02, 0x01});  // serial 01020304h
    Put(b, 16, {10, 30});                  // week 10 of 2020
    Put(b, 18, {1, 4});
    Put(b, 20, {0xA5, 60, 34, 0x78, 0x0A});  // 8 bpc DisplayPort, 60 x 34 cm, gamma 2.2, RGB + YCrCb 4:4:4
    // sRGB primaries: red 0.640/0.330, green 0.300/0.600, blue 0.150/0.060, white 0.3127/0.3290.
    Put(b, 25, {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54});
    Put(b, 35, {0x21, 0x08, 0x00});  // 640x480@60, 800x600@60, 1024x768@60
    Put(b, 38, {0xD1, 0xC0, 0x81, 0x80, 0x81, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01});
    Put(b, 54, Dtd1080p(600, 340));
    // Range limits 56-76 Hz, 30-83 kHz, 170 MHz, default GTF.
    Put(b, 72,
        {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20});
    Put(b, 90, {0x00, 0x00, 0x00, 0xFC, 0x00});
    PutText(b, 95, "TEST MONITOR\n");
    Put(b, 108, {0x00, 0x00, 0x00, 0xFF, 0x00});
    PutText(b, 113, "SN123\n       ");
    FixChecksum(b);
    return b;
}

// A real-looking E-EDID 1.3 base block of an analog monitor.
inline Block AnalogBase13() {
    Block b{};
    Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    Put(b, 8, {0x4C, 0x2D});  // "SAM"
    Put(b, 10, {0x21, 0x03});
    Put(b, 12, {0x00, 0x00, 0x00, 0x00});
    Put(b, 16, {0, 15});  // week unspecified, 2005
    Put(b, 18, {1, 3});
    Put(b, 20, {0x0E, 34, 27, 0x78, 0xEA});  // analog, separate + composite sync, 34 x 27 cm, gamma 2.2
    Put(b, 25, {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54});
    Put(b, 35, {0xBD, 0xEF, 0x80});  // common established timings and 1152x870
    Put(b, 38, {0x81, 0x80, 0x71, 0x4F, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01});
    // 1280 x 1024p 108 MHz (DMT), 338 x 270 mm, digital separate sync positive.
    Put(b, 54,
        {0x30, 0x2A, 0x00, 0x98, 0x51, 0x00, 0x2A, 0x40, 0x30, 0x70, 0x13, 0x00, 0x52, 0x0E, 0x11, 0x00, 0x00, 0x1E});
    // Range limits 56-75 Hz, 30-81 kHz, 140 MHz, secondary GTF.
    Put(b, 72,
        {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x51, 0x0E, 0x02, 0x00, 0x50, 0x51, 0x58, 0x02, 0x80, 0x3C});
    Put(b, 90, {0x00, 0x00, 0x00, 0xFC, 0x00});
    PutText(b, 95, "SYNCMASTER\n  ");
    // Colour point: white point 1 at 0.313 / 0.329, gamma 2.2, no second point.
    Put(b, 108,
        {0x00, 0x00, 0x00, 0xFB, 0x00, 0x01, 0x01, 0x50, 0x54, 0x78, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x20, 0x20});
    FixChecksum(b);
    return b;
}

// A CEA-861 block: revision, byte 3, the data blocks packed from byte 4,
// byte 2 = their end (or 0 when there is nothing), the descriptors after
// them, checksum fixed.
inline Block MakeCea(const std::vector<ByteList>& dataBlocks, const std::vector<ByteList>& descriptors = {},
                     uint8_t byte3 = 0x00, uint8_t revision = 3) {
    Block b{};
    b[0] = 0x02;
    b[1] = revision;
    b[3] = byte3;
    size_t at = 4;
    for (const ByteList& d : dataBlocks)
        for (uint8_t v : d) b.at(at++) = v;
    b[2] = (dataBlocks.empty() && descriptors.empty()) ? 0 : static_cast<uint8_t>(at);
    for (const ByteList& d : descriptors)
        for (uint8_t v : d) b.at(at++) = v;
    FixChecksum(b);
    return b;
}

}  // namespace edid_fixtures
