#include "platform/Windows1252.h"

#include "platform/Windows1252Bytes.h"

namespace platform {
namespace {

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

// Every code point of the code page lies in the Basic Multilingual Plane.
char16_t Windows1252ToUtf16(unsigned char byte) { return static_cast<char16_t>(Windows1252ToCodePoint(byte)); }

QString FromWindows1252(std::string_view bytes) {
    QString text;
    text.resize(static_cast<qsizetype>(bytes.size()));
    QChar* out = text.data();
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = QChar(Windows1252ToUtf16(static_cast<unsigned char>(bytes[i])));
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
        const int byte = CodePointToWindows1252(c);
        if (byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            AppendUnmappable(out, c, unmappable);
        }
    }
    return out;
}

}  // namespace platform
