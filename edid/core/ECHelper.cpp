#include "edid/core/ECHelper.h"

#include "edid/core/ECFormat.h"

#include <cstring>

void ECHelper::GetName(char* buffer, int32_t length) {
    if (buffer && length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
}

EntryInfo* ECHelper::NewEntryInfo(uint32_t flags, const char* name, ECGetClosure get, ECSetClosure set,
                                  ECFilterClosure filter, const char* rangeHint, const char* format) {
    auto* info = new EntryInfo;
    info->GetFunction = std::move(get);
    info->SetFunction = std::move(set);
    info->Filter = std::move(filter);
    info->Flags = flags;
    info->Name = ECWiden(name ? name : "");
    info->RangeHint = ECWiden(rangeHint ? rangeHint : "");
    if (format && *format) {
        info->Format = ECWiden(format);
    } else if (flags & 0x2) {
        // The default tests single bits of the whole word, not the value type.
        info->Format = QStringLiteral("%g");
    } else if (flags & 0x8) {
        info->Format = QStringLiteral("%x");
    }
    return info;
}

ECVariant ECGetBit(int32_t param, uint8_t* data, EntryInfo*) { return ECVariant::OfBool((data[0] >> (param & 7)) & 1); }

void ECSetBit(int32_t param, uint8_t* data, EntryInfo*, ECVariant value) {
    const int bit = param & 7;
    data[0] = static_cast<uint8_t>((data[0] & ~(1u << bit)) | ((static_cast<uint32_t>(value.Integer) & 1u) << bit));
}

ECVariant ECBitsGoodBad(int32_t param, uint8_t* data, EntryInfo*) {
    return ECVariant::OfText((data[0] & param) ? "Bad" : "Good");
}

void ECClearBits(int32_t param, uint8_t* data, EntryInfo*, ECVariant) {
    data[0] = static_cast<uint8_t>(data[0] & ~param);
}

ECVariant ECGetZero(int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfInt(0); }

namespace {
uint8_t Sum(const uint8_t* data, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i) sum += data[i];
    return static_cast<uint8_t>(sum);
}
}  // namespace

ECVariant ECChecksumText(int32_t, uint8_t* data, EntryInfo*) {
    if (Sum(data, 128) == 0) return ECVariant::OfText(ECFormatW("Good (%.2Xh)", data[127]));
    const unsigned expected = (256u - Sum(data, 127)) % 256u;
    return ECVariant::OfText(ECFormatW("Bad (Expected %.2Xh, Got %.2Xh)", expected, data[127]));
}

void ECSetChecksum(int32_t, uint8_t* data, EntryInfo*, ECVariant) {
    data[127] = static_cast<uint8_t>(0u - Sum(data, 127));
}

int32_t ECParseNumber(const QString& input) {
    const QString text = input.toLower();
    if (text.isEmpty()) return 0;
    uint32_t base = 10;
    qsizetype start = 0;
    if (text.at(0) == QLatin1Char('$')) {
        base = 16;
        start = 1;
    } else if (text.size() >= 2 && text.startsWith(QLatin1String("0x"))) {
        base = 16;
        start = 2;
    }
    static const QString digits = QStringLiteral("0123456789abcdef");
    uint64_t result = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        const qsizetype value = digits.indexOf(text.at(i));
        if (value < 0 || static_cast<uint32_t>(value) >= base) return -1;
        result = result * base + static_cast<uint64_t>(value);
        // A value beyond 32 bits is not a number (instead of wrapping).
        if (result > 0xFFFFFFFFull) return -1;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(result));
}
