#include "platform/Windows1252Bytes.h"

#include <array>
#include <cstddef>

namespace platform {
namespace {

// The characters of the bytes 0x80 to 0x9F: mostly printable (the euro sign,
// typographic quotes and dashes), the five unassigned bytes as the C1 controls
// of the same value. Every other byte is the character of the same value.
constexpr std::array<char16_t, 32> kCharacters80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one UTF-8 character at `s[i]`; sets `length` to the bytes it takes.
// Returns -1 for an invalid sequence, whose `length` is its maximal prefix
// that could have begun a valid character (at least one byte), so that the
// byte after it starts afresh.
long DecodeUtf8(std::string_view s, size_t i, size_t& length) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    length = 1;
    if (b0 < 0x80) return b0;
    size_t need = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;  // the valid range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        c = b0 & 0x0F;
        if (b0 == 0xE0) low = 0xA0;   // no overlong form
        if (b0 == 0xED) high = 0x9F;  // no surrogate
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        c = b0 & 0x07;
        if (b0 == 0xF0) low = 0x90;   // no overlong form
        if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return -1;  // a stray continuation byte, an overlong lead or no lead at all
    }
    for (size_t k = 1; k <= need; ++k) {
        if (i + k >= s.size()) return -1;
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (k == 1 ? (b < low || b > high) : !IsContinuation(b)) return -1;
        c = (c << 6) | (b & 0x3F);
        length = k + 1;
    }
    return static_cast<long>(c);
}

}  // namespace

char32_t Windows1252ToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kCharacters80To9F[byte - 0x80];
    return byte;
}

int CodePointToWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i) {
        if (kCharacters80To9F[i] == c) return 0x80 + i;
    }
    return -1;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t length = 1;
        const long c = DecodeUtf8(text, i, length);
        const int byte = c < 0 ? -1 : CodePointToWindows1252(static_cast<char32_t>(c));
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += length;
    }
    return out;
}

}  // namespace platform
