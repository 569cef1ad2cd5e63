// Field values, descriptors, display texts, the number parser and the
// generic closures.

#include "edid/EdidTestSupport.h"
#include "edid/core/ECFormat.h"
#include "edid/core/ECHelper.h"
#include "edid/core/ECVariant.h"
#include "edid/core/EntryInfo.h"
#include "support/DecimalCommaLocale.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cmath>
#include <limits>

using namespace edid_test;

TEST(ECVariant, SettersKeepTheThreeViewsInStep) {
    struct Case {
        const char* what;
        ECVariant value;
        int32_t integer;
        double flt;
        const char* text;
    };
    const Case cases[] = {
        {"int", ECVariant::OfInt(-42), -42, -42.0, "-42"},
        {"unsigned max", ECVariant::OfUnsigned(0xFFFFFFFFu), -1, 4294967295.0, "4294967295"},
        {"double 2.9", ECVariant::OfDouble(2.9), 2, 2.9, "2.9"},
        {"double -2.9", ECVariant::OfDouble(-2.9), -2, -2.9, "-2.9"},
        {"double 0.5", ECVariant::OfDouble(0.5), 0, 0.5, "0.5"},
        {"double huge", ECVariant::OfDouble(1e300), std::numeric_limits<int32_t>::max(), 1e300, "1e+300"},
        {"text number", ECVariant::OfText(QStringLiteral("  17abc")), 17, 17.0, "  17abc"},
        {"text float", ECVariant::OfText(QStringLiteral("2.25")), 2, 2.25, "2.25"},
        {"text none", ECVariant::OfText(QStringLiteral("Good")), 0, 0.0, "Good"},
        {"text overflow", ECVariant::OfText(QStringLiteral("99999999999")), std::numeric_limits<int32_t>::max(),
         99999999999.0, "99999999999"},
        {"bool 1", ECVariant::OfBool(1), 1, 1.0, "1"},
        {"bool 2", ECVariant::OfBool(2), 0, 0.0, "0"},
        {"index", ECVariant::OfIndex(3), 3, 0.0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.Integer, c.integer);
        EXPECT_DOUBLE_EQ(c.value.Float, c.flt);
        EXPECT_EQ(c.value.Text, QString::fromLatin1(c.text));
    }
    EXPECT_TRUE(ECVariant::OfBool(1).IsTrue());
    EXPECT_FALSE(ECVariant::OfInt(2).IsTrue());
}

TEST(ECVariant, EqualityComparesAllViewsCaseSensitively) {
    EXPECT_EQ(ECVariant::OfInt(5), ECVariant::OfInt(5));
    EXPECT_NE(ECVariant::OfInt(5), ECVariant::OfIndex(5));  // Text and Float differ
    EXPECT_NE(ECVariant::OfText(QStringLiteral("Good")), ECVariant::OfText(QStringLiteral("good")));
    EXPECT_EQ(ECVariant(), ECVariant::OfIndex(0));
}

TEST(ECParseNumber, Table) {
    const std::pair<const char*, int32_t> cases[] = {
        {"", 0},
        {"$", 0},
        {"0x", 0},
        {"$1f", 31},
        {"0X1F", 31},
        {"0x1f", 31},
        {"$FF", 255},
        {"255", 255},
        {"12a", -1},
        {"-5", -1},
        {" 5", -1},
        {"5 ", -1},
        {"$g", -1},
        {"0", 0},
        {"ffffffff", -1},
        {"0xffffffff", -1 /* the pattern 0xFFFFFFFF */},
        {"4294967295", -1 /* same pattern */},
        {"4294967296", -1},
        {"0x100000000", -1},
        {"$123456789", -1},
        {"99999999999999999999", -1},
        {"2147483648", std::numeric_limits<int32_t>::min()},
    };
    for (auto [text, expected] : cases) {
        EXPECT_EQ(ECParseNumber(QString::fromLatin1(text)), expected) << text;
    }
    // Values up to 0xFFFFFFFF keep their 32-bit pattern; one more is no number.
    EXPECT_EQ(static_cast<uint32_t>(ECParseNumber(QStringLiteral("0xFFFFFFFF"))), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(ECParseNumber(QStringLiteral("4294967295"))), 0xFFFFFFFFu);
    EXPECT_EQ(ECParseNumber(QStringLiteral("4294967296")), -1);
    EXPECT_EQ(ECCollection::ParseNumber(QStringLiteral("$10")), 16);
}

TEST(NewEntryInfo, DefaultsAndFormatRule) {
    struct Case {
        uint32_t flags;
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {0x0003, "", "%g"},  // bit 0x2 of the whole word, not the type
        {0x0002, "", "%g"}, {0x0009, "", "%x"}, {0x0008, "", "%x"},       {0x000A, "", "%g"},
        {0x0001, "", ""},   {0x0005, "", ""},   {0x0008, "%.2X", "%.2X"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<EntryInfo> info(ECHelper::NewEntryInfo(c.flags, "Name", {}, {}, {}, "hint", c.format));
        EXPECT_EQ(info->Format, QString::fromLatin1(c.expected)) << std::hex << c.flags;
        EXPECT_EQ(info->Flags, c.flags);
        EXPECT_EQ(info->Name, QStringLiteral("Name"));
        EXPECT_EQ(info->RangeHint, QStringLiteral("hint"));
        EXPECT_EQ(info->TrueText, QStringLiteral("Yes"));
        EXPECT_EQ(info->FalseText, QStringLiteral("No"));
        EXPECT_TRUE(info->Prefix.isEmpty());
        EXPECT_TRUE(info->Suffix.isEmpty());
        EXPECT_EQ(info->Cached, ECVariant());
    }
}

namespace {

// A root entry showing one value through a descriptor of the given type.
struct ValueFixture {
    ECVariant value;
    std::unique_ptr<ECEntry> root;
    ValueFixture(uint32_t flags, const char* format, ECVariant v, const char* prefix = "", const char* suffix = "")
        : value(std::move(v)) {
        EntryInfo* info = ECHelper::NewEntryInfo(
            flags, "Field", [this](int32_t, uint8_t*, EntryInfo*) { return value; },
            [](int32_t, uint8_t*, EntryInfo*, ECVariant) {}, {}, "", format);
        info->Prefix = QString::fromLatin1(prefix);
        info->Suffix = QString::fromLatin1(suffix);
        root = std::make_unique<ECEntry>(nullptr, nullptr, info, nullptr, 0, ECRethinkClosure());
    }
    QString Text() { return root->GetValueText(); }
};

}  // namespace

TEST(DisplayText, RulesPerType) {
    struct Case {
        const char* what;
        uint32_t flags;
        const char* format;
        ECVariant value;
        const char* prefix;
        const char* suffix;
        const char* expected;
    };
    const Case cases[] = {
        {"hex %.2X", ECT_HEX, "%.2X", ECVariant::OfInt(10), "", "", "0x0A"},
        {"hex default", ECT_HEX, "", ECVariant::OfInt(0xABC), "<", ">", "<0xabc>"},
        {"hex negative", ECT_HEX, "%x", ECVariant::OfInt(-1), "", "", "0xffffffff"},
        {"int", ECT_INT, "", ECVariant::OfInt(-7), "[", " Hz]", "[-7 Hz]"},
        {"float default", ECT_FLOAT, "", ECVariant::OfDouble(2.2), "", "", "2.2"},
        {"float %.3f", ECT_FLOAT, "%.3f", ECVariant::OfDouble(0.6405), "x=", "", "x=0.640"},
        {"float bad format", ECT_FLOAT, "%s%n", ECVariant::OfDouble(1.0), "", "", "%s%n"},
        {"bool true", ECT_BOOL, "", ECVariant::OfBool(1), "(", ")", "(Yes)"},
        {"bool false", ECT_BOOL, "", ECVariant::OfInt(2), "", "", "No"},
        {"list by index", ECT_LIST, "V1.0\r\nV1.1\nV1.2\rV1.3", ECVariant::OfIndex(3), "", "", "V1.3"},
        {"list out of range", ECT_LIST, "a\r\nb\r\nc", ECVariant::OfIndex(3), "P", "S", "Index reference out of range"},
        {"list negative", ECT_LIST, "a\r\nb\r\nc\r\n", ECVariant::OfIndex(-1), "", "", "Index reference out of range"},
        {"list trailing break", ECT_LIST, "a\r\nb\r\n", ECVariant::OfIndex(2), "", "", "Index reference out of range"},
        {"list named", ECT_LIST, "a\r\nb\r\nc", ECVariant::OfText("Reserved"), "P", "S", "PReservedS"},
        {"string empty", ECT_STRING, "", ECVariant::OfIndex(0), "P", "S", "PS"},
        {"group text", ECT_GROUP, "", ECVariant::OfText("a=1\n"), "P", "S", "a=1\n"},
        {"action text", ECT_ACTION, "", ECVariant::OfText("Good (00h)"), "P", "S", "Good (00h)"},
        {"none", ECT_NONE, "", ECVariant::OfInt(5), "P", "S", ""},
        {"type 12", 12, "", ECVariant::OfInt(5), "P", "S", ""},
    };
    for (const Case& c : cases) {
        ValueFixture f(c.flags, c.format, c.value, c.prefix, c.suffix);
        EXPECT_EQ(f.Text(), QString::fromLatin1(c.expected)) << c.what;
    }
}

TEST(GenericClosures, BitsAndChecksum) {
    uint8_t byte = 0x00;
    ECSetBit(7, &byte, nullptr, ECVariant::OfBool(1));
    EXPECT_EQ(byte, 0x80);
    byte = 0xFF;
    ECSetBit(7, &byte, nullptr, ECVariant::OfBool(0));
    EXPECT_EQ(byte, 0x7F);
    EXPECT_EQ(ECGetBit(0, &byte, nullptr).Integer, 1);
    EXPECT_EQ(ECGetBit(7, &byte, nullptr).Integer, 0);
    byte = 0x06;
    EXPECT_EQ(ECBitsGoodBad(0x04, &byte, nullptr).Text, QStringLiteral("Bad"));
    EXPECT_EQ(ECBitsGoodBad(0x08, &byte, nullptr).Text, QStringLiteral("Good"));
    ECClearBits(0x04, &byte, nullptr, ECVariant());
    EXPECT_EQ(byte, 0x02);
    EXPECT_EQ(ECGetZero(0, nullptr, nullptr), ECVariant::OfInt(0));

    Block b{};
    b[0] = 0x10;
    b[1] = 0xF0;  // bytes 0..126 sum to 0 modulo 256
    b[127] = 0x05;
    EXPECT_EQ(ECChecksumText(0, b.data(), nullptr).Text, QStringLiteral("Bad (Expected 00h, Got 05h)"));
    ECSetChecksum(0, b.data(), nullptr, ECVariant());
    EXPECT_EQ(b[127], 0x00);
    EXPECT_EQ(ECChecksumText(0, b.data(), nullptr).Text, QStringLiteral("Good (00h)"));
    b[5] = 0x01;
    EXPECT_EQ(ECChecksumText(0, b.data(), nullptr).Text, QStringLiteral("Bad (Expected FFh, Got 00h)"));
    ECSetChecksum(0, b.data(), nullptr, ECVariant());
    EXPECT_EQ(ECChecksumText(0, b.data(), nullptr).Text, QStringLiteral("Good (FFh)"));
}

// Numbers never follow the user's locale: a German desktop still shows "2.2".
TEST(Locale, FormattingAndParsingIgnoreADecimalCommaLocale) {
    DecimalCommaLocale locale;
    ASSERT_EQ(locale.Failure(), "");

    EXPECT_EQ(ECVariant::OfDouble(2.2).Text, QStringLiteral("2.2"));
    EXPECT_DOUBLE_EQ(ECVariant::OfText(QStringLiteral("2.5")).Float, 2.5);
    EXPECT_DOUBLE_EQ(ECTextToDouble(QStringLiteral("0.640")), 0.64);
    EXPECT_EQ(ECFormat("%.3f", 0.5), "0.500");
    ValueFixture f(ECT_FLOAT, "%.3f", ECVariant::OfDouble(1.25));
    EXPECT_EQ(f.Text(), QStringLiteral("1.250"));
}
