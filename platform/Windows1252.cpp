#include "platform/Windows1252.h"

#include <array>

namespace platform {
namespace {

// 0x80 to 0x9F; every other byte is the character of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr std::array<char16_t, 256> MakeTable() {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = static_cast<char16_t>(b);
    for (int i = 0; i < 32; ++i) table[0x80 + i] = kHighControls[i];
    return table;
}

constexpr std::array<char16_t, 256> kTable = MakeTable();

// The byte of a character, or -1.
int ByteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) return 0x80 + i;
    }
    return -1;
}

void AppendUnmappable(std::string& out, char32_t c, Unmappable unmappable) {
    if (unmappable == Unmappable::Question) {
        out += '?';
        return;
    }
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

}  // namespace

char16_t Windows1252ToUtf16(unsigned char byte) { return kTable[byte]; }

QString FromWindows1252(std::string_view bytes) {
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = QChar(kTable[static_cast<unsigned char>(bytes[i])]);
    return text;
}

std::string ToWindows1252(const QString& text, Unmappable unmappable) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = text.at(i).unicode();
        char32_t c = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            c = QChar::surrogateToUcs4(unit, text.at(i + 1).unicode());
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            c = 0xFFFD;  // a lone half of a pair is no character
        }
        const int byte = ByteOf(c);
        if (byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            AppendUnmappable(out, c, unmappable);
        }
    }
    return out;
}

}  // namespace platform
