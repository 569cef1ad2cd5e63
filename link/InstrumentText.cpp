#include "link/InstrumentText.h"

#include <cstdio>
#include <cstring>

namespace instrument_text {
namespace {

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses a number of at most three digits; false when it exceeds 255.
bool ReadSmallNumber(std::string_view f, size_t& i) {
    unsigned v = 0;
    size_t digits = 0;
    while (i < f.size() && IsDigit(f[i])) {
        v = v * 10 + static_cast<unsigned>(f[i] - '0');
        ++i;
        if (++digits > 3 || v > 255) return false;
    }
    return true;
}

// Tries to read one conversion at f[start] == '%'. On success sets `end`
// (one past the conversion letter) and returns the formatted value.
bool FormatOne(std::string_view f, size_t start, uint16_t arg, size_t& end, std::string& out) {
    size_t i = start + 1;
    while (i < f.size() && IsFlag(f[i])) ++i;
    const std::string_view flags = f.substr(start + 1, i - start - 1);
    const size_t widthAt = i;
    if (!ReadSmallNumber(f, i)) return false;
    const std::string_view width = f.substr(widthAt, i - widthAt);
    const size_t precisionAt = i;
    if (i < f.size() && f[i] == '.') {
        ++i;
        if (!ReadSmallNumber(f, i)) return false;
    }
    const std::string_view precision = f.substr(precisionAt, i - precisionAt);
    const size_t lengthAt = i;
    enum { kInt, kShort, kChar, kLong, kLongLong } len = kInt;
    if (i < f.size() && f[i] == 'h') {
        ++i;
        len = kShort;
        if (i < f.size() && f[i] == 'h') ++i, len = kChar;
    } else if (i < f.size() && f[i] == 'l') {
        ++i;
        len = kLong;
        if (i < f.size() && f[i] == 'l') ++i, len = kLongLong;
    }
    const std::string_view length = f.substr(lengthAt, i - lengthAt);
    // A format that ends before its conversion letter is incomplete.
    if (i >= f.size() || std::string_view("diuxXoc").find(f[i]) == std::string_view::npos) return false;
    const char conv = f[i];
    end = i + 1;
    // The conversion handed to snprintf keeps only what C defines for it: a
    // character takes the '-' flag and a width, and no length modifier (the
    // argument is passed as int); '#' is defined only for o, x and X.
    std::string spec = "%";
    for (char c : flags) {
        if (conv == 'c' && c != '-') continue;
        if (c == '#' && conv != 'o' && conv != 'x' && conv != 'X') continue;
        spec += c;
    }
    spec += width;
    if (conv != 'c') {
        spec += precision;
        spec += length;
    }
    spec += conv;
    char buf[600];
    const unsigned value = arg;  // zero-extended
    int n;
    if (conv == 'c') {
        n = std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<int>(value));
    } else if (len == kLong) {
        n = std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<unsigned long>(value));
    } else if (len == kLongLong) {
        n = std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<unsigned long long>(value));
    } else {
        // int, and the h / hh forms, which printf narrows itself.
        n = std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<int>(value));
    }
    if (n < 0) return false;
    // %c of 0 yields a NUL character; keep the text a C string.
    out.append(buf, std::strlen(buf) < static_cast<size_t>(n) ? std::strlen(buf) : static_cast<size_t>(n));
    return true;
}

}  // namespace

std::string Format(std::string_view f, uint16_t arg, size_t maxChars) {
    f = f.substr(0, f.find('\0'));  // a C string: the format ends at its zero byte
    std::string out;
    bool used = false;
    for (size_t i = 0; i < f.size() && out.size() < maxChars;) {
        if (f[i] != '%') {
            out += f[i++];
            continue;
        }
        if (i + 1 < f.size() && f[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        size_t end = 0;
        if (!used && FormatOne(f, i, arg, end, out)) {
            used = true;
            i = end;
        } else {
            out += f[i++];  // printed literally; the rest follows as plain text
        }
    }
    if (out.size() > maxChars) out.resize(maxChars);
    return out;
}

std::string FormatPacket(const uint8_t* payload, size_t n, size_t maxChars) {
    if (n < 1) return {};
    size_t start = 1, zero = start;
    while (zero < n && payload[zero] != 0 && zero - start < kPrintPacketMax) ++zero;
    std::string_view format(reinterpret_cast<const char*>(payload + start), zero - start);
    // The argument follows the zero byte; with the text cut at 255 characters
    // the zero is looked for right after the kept text.
    size_t argAt = zero + 1;
    const uint16_t lo = argAt < n ? payload[argAt] : 0;
    const uint16_t hi = argAt + 1 < n ? payload[argAt + 1] : 0;
    return Format(format, static_cast<uint16_t>(lo | (hi << 8)), maxChars);
}

}  // namespace instrument_text
