#include "edid/core/ECVariant.h"

#include "edid/core/ECFormat.h"

#include <cmath>
#include <limits>

namespace {

// Truncation toward zero that stays defined for values outside int32_t
// (NaN gives 0, out-of-range values saturate).
int32_t TruncateToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

}  // namespace

void ECVariant::SetInt(int32_t n) {
    Integer = n;
    Float = n;
    Text = QString::number(n);
}

void ECVariant::SetUnsigned(uint32_t n) {
    Integer = static_cast<int32_t>(n);
    Float = n;
    Text = QString::number(n);
}

void ECVariant::SetDouble(double x) {
    Integer = TruncateToInt(x);
    Float = x;
    Text = ECFormatW("%g", x);
}

void ECVariant::SetText(const QString& s) {
    Integer = ECTextToInt(s);
    Float = ECTextToDouble(s);
    Text = s;
}

void ECVariant::SetBool(int32_t b) {
    Integer = b == 1 ? 1 : 0;
    Float = Integer;
    Text = Integer ? QStringLiteral("1") : QStringLiteral("0");
}

void ECVariant::SetIndex(int32_t n) {
    Integer = n;
    Float = 0;
    Text.clear();
}

ECVariant ECVariant::OfText(const char* s) { return OfText(ECWiden(s)); }
