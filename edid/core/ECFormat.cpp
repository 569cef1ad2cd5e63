#include "edid/core/ECFormat.h"

#include <locale.h>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// The "C" locale, created once; uselocale() switches only the calling thread.
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }

private:
    locale_t previous_;
};

std::string VFormat(const char* format, va_list args) {
    CLocaleScope scope;
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace

std::string ECFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = VFormat(format, args);
    va_end(args);
    return out;
}

QString ECFormatW(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = VFormat(format, args);
    va_end(args);
    return ECWiden(out);
}

double ECStrToDouble(const char* text, char** end) { return strtod_l(text, end, CLocale()); }

int32_t ECTextToInt(const QString& text) {
    const std::string s = ECNarrow(text);
    errno = 0;
    long long v = strtoll_l(s.c_str(), nullptr, 10, CLocale());
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

double ECTextToDouble(const QString& text) {
    const std::string s = ECNarrow(text);
    return ECStrToDouble(s.c_str(), nullptr);
}
