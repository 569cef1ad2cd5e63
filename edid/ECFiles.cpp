#include "edid/ECFiles.h"

#include "edid/core/ECCollection.h"
#include "edid/core/ECFormat.h"

namespace ec_files {

namespace {
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
uint8_t NibbleValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return static_cast<uint8_t>(c - 'A' + 10);
}
constexpr int64_t kMaxNibbles = 2 * kMaxImageBytes;
}  // namespace

HexDump ReadHexDump(const char* text, int64_t size) {
    HexDump out;
    out.bytes.assign(static_cast<size_t>(kMaxImageBytes) + 2, 0);
    bool comment = false;
    int skipDigits = 0;
    for (int64_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            comment = false;
            skipDigits = 0;
            continue;
        }
        if (comment) continue;
        if (c == ';') {
            comment = true;
            continue;
        }
        if (c == '/' && i + 1 < size && text[i + 1] == '/') {
            comment = true;
            continue;
        }
        if (c == '$') {
            skipDigits = 2;
            continue;
        }
        if (!IsHexDigit(c)) continue;
        // "0x" and "0X" prefixes vanish: their "0" is no digit.
        if (c == '0' && i + 1 < size && (text[i + 1] == 'x' || text[i + 1] == 'X')) continue;
        if (skipDigits > 0) {
            --skipDigits;
            continue;
        }
        const size_t at = static_cast<size_t>(out.nibbles / 2);
        if (out.nibbles % 2 == 0) out.bytes[at] = static_cast<uint8_t>(NibbleValue(c) << 4);
        else out.bytes[at] = static_cast<uint8_t>(out.bytes[at] | NibbleValue(c));
        ++out.nibbles;
        if (out.nibbles > kMaxNibbles) {
            out.tooLong = true;
            break;
        }
    }
    return out;
}

QByteArray WriteEcdText(const ECCollection& collection) {
    QByteArray text(";Created with Merovan EDID Editor library\r\n");
    for (int32_t i = 0; i < collection.Count(); ++i) {
        ECRootParser* block = collection.GetBlock(i);
        text += ECFormat("\r\n;%d - %s:\r\n", i, block->GetBlockName().c_str()).c_str();
        uint8_t b[128];
        if (block->GetBytes(b, 128) != 128) continue;
        for (int line = 0; line < 16; ++line) {
            const uint8_t* d = b + line * 8;
            text += ECFormat("$%.2x - %.2x %.2x %.2x %.2x  %.2x %.2x %.2x %.2x\r\n", line * 8, d[0], d[1], d[2], d[3],
                             d[4], d[5], d[6], d[7])
                        .c_str();
        }
    }
    text += "\r\n;End of file\r\n";
    return text;
}

QString LowerExtension(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return QString();
    return fileName.mid(dot).toLower();
}

}  // namespace ec_files
