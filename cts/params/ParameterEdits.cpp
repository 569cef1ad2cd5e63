#include "cts/params/ParameterEdits.h"

#include <algorithm>

namespace {

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

int32_t Clamp(int64_t value, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, low, high));
}

// ((v + half) / unit) x unit with the division truncating toward zero.
int64_t RoundToUnit(int64_t v, int64_t unit) { return ((v + unit / 2) / unit) * unit; }

}  // namespace

const UpDownRange& ParameterEdits::Range(Edit edit) {
    switch (edit) {
        case kAfterHpdLow:
            return kAfterHpdLowRange;
        case kAfterHpdHigh:
            return kAfterHpdHighRange;
        case kMainLinkDisableTimeout:
            break;
    }
    return kMainLinkDisableTimeoutRange;
}

int32_t ParameterEdits::ReadInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = std::min<int64_t>(value * 10 + (text[i].unicode() - '0'), int64_t{1} << 32);
    }
    return Clamp(negative ? -value : value, INT32_MIN, INT32_MAX);
}

int32_t ParameterEdits::Normalise(Edit edit, int32_t value) {
    const UpDownRange& range = Range(edit);
    switch (edit) {
        case kAfterHpdLow:
            return Clamp(value, range.min, range.max);
        case kAfterHpdHigh:
        case kMainLinkDisableTimeout:
            return Clamp(RoundToUnit(value, range.step), range.min, range.max);
    }
    return value;
}
