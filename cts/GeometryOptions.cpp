#include "cts/GeometryOptions.h"

namespace {

QString LowerAscii(const QString& text) {
    QString lower = text;
    for (QChar& c : lower) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() - 'A' + 'a');
    }
    return lower;
}

// The value of a hexadecimal digit character, or -1.
int DigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

}  // namespace

int32_t ParseIntOption(const QString& text, int32_t defaultValue) {
    const QString lower = LowerAscii(text);
    if (lower.isEmpty()) return defaultValue;
    uint32_t value = 0;
    uint32_t base = 10;
    for (qsizetype i = 0; i < lower.size(); ++i) {
        const QChar c = lower[i];
        if (c == QLatin1Char('$')) {
            if (i != 0) return defaultValue;
            base = 16;
        } else if (c == QLatin1Char('x')) {
            if (i != 1 || value != 0) return defaultValue;
            base = 16;
        } else if (const int digit = DigitValue(c); digit >= 0) {
            if (static_cast<uint32_t>(digit) >= base) return defaultValue;
            value = value * base + static_cast<uint32_t>(digit);
        }
    }
    return static_cast<int32_t>(value);
}

void ParseGeometrySwitch(const QString& argument, WindowGeometry& geometry) {
    const QString lower = LowerAscii(argument);
    if (lower.size() < 2 || lower[0] != QLatin1Char('-')) return;
    const QString number = lower.mid(2);
    switch (lower[1].unicode()) {
        case 'x':
            geometry.left = ParseIntOption(number, geometry.left);
            break;
        case 'y':
            geometry.top = ParseIntOption(number, geometry.top);
            break;
        case 'w':
            geometry.width = ParseIntOption(number, geometry.width);
            break;
        case 'h':
            geometry.height = ParseIntOption(number, geometry.height);
            break;
        default:
            break;
    }
}

WindowGeometry ApplyGeometryArguments(const QStringList& arguments, WindowGeometry stored) {
    for (const QString& argument : arguments) ParseGeometrySwitch(argument, stored);
    if (stored.height < kMinGeometryHeight) stored.height = kMinGeometryHeight;
    if (stored.width < kMinGeometryWidth) stored.width = kMinGeometryWidth;
    return stored;
}
