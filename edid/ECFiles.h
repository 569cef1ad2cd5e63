#pragma once
// The two E-EDID file formats: .BIN (raw blocks) and .ECD (hex-dump text).
// Pure helpers; ECPrimary::LoadFile and ECPrimary::SaveFile use them.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

class ECCollection;

namespace ec_files {

// The most bytes a file holds: 256 blocks of 128 bytes.
inline constexpr int64_t kMaxImageBytes = 32768;
// Text files above this size are refused ("Unable to allocate loader resources").
inline constexpr int64_t kMaxTextFileBytes = 16 * 1024 * 1024;

struct HexDump {
    std::vector<uint8_t> bytes;  // kMaxImageBytes + 2, zero-filled; the nibbles collected
    int64_t nibbles = 0;
    bool tooLong = false;  // more than 65536 nibbles: reading stopped
};

// Reads 8-bit text with the hex-dump grammar: hexadecimal digits are nibbles
// (high half first); the "0" of "0x"/"0X" is no nibble; "$" skips the next
// two digits; ";" and "//" skip digits to the end of the line; CR and LF end
// any skipping; every other character is ignored.
HexDump ReadHexDump(const char* text, int64_t size);

// The .ECD text of a collection (8-bit, CR LF line ends).
QByteArray WriteEcdText(const ECCollection& collection);

// The file name's extension in lower case, with its dot (".ecd"), or empty.
QString LowerExtension(const QString& fileName);

}  // namespace ec_files
