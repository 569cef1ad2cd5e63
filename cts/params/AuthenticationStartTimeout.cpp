#include "cts/params/AuthenticationStartTimeout.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int64_t kSaturated = int64_t{1} << 32;

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

std::optional<int32_t> AuthenticationStartTimeout::ReadTenths(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool anyDigit = false;
    int64_t whole = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        whole = std::min(whole * 10 + (text[i].unicode() - '0'), kSaturated);
        anyDigit = true;
    }
    int64_t tenth = 0;
    if (i < text.size() && text[i] == QLatin1Char('.') && i + 1 < text.size() && IsDigit(text[i + 1])) {
        tenth = text[i + 1].unicode() - '0';
        anyDigit = true;
    }
    if (!anyDigit) return std::nullopt;
    return static_cast<int32_t>(std::min(whole * 10 + tenth, int64_t{INT32_MAX}));
}

int32_t AuthenticationStartTimeout::PositionForText(const QString& text, int32_t position) {
    const std::optional<int32_t> tenths = ReadTenths(text);
    return tenths ? std::clamp(*tenths, kMinTenths, kMaxTenths) : position;
}

QString AuthenticationStartTimeout::Text(int32_t tenths) {
    const int64_t magnitude = std::llabs(int64_t{tenths});
    return QStringLiteral("%1%2.%3")
        .arg(tenths < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10)
        .arg(magnitude % 10);
}
