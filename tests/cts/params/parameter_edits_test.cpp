#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <optional>

#include "cts/params/AuthenticationStartTimeout.h"
#include "cts/params/ParameterEdits.h"

TEST(ParameterEdits, ReadsLeadingDecimalIntegers) {
    const std::pair<const char*, int32_t> cases[] = {
        {"700", 700},
        {"  42abc", 42},
        {"-20", -20},
        {"+7", 7},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"1.9", 1},
        {"\t15", 15},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"0x10", 0},
        // Only ASCII digits are decimal digits.
        {"\xEF\xBC\x91\xEF\xBC\x92", 0},  // fullwidth 12
        {"\xD9\xA3", 0},                  // Arabic-Indic 3
        {"7\xD9\xA3", 7},
        {"\xDB\xB5", 0},      // extended Arabic-Indic 5
        {"\xE0\xA5\xA7", 0},  // Devanagari 1
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParameterEdits::ReadInteger(text), value) << text;
}

TEST(ParameterEdits, NormalisedOnLeaving) {
    struct Case {
        ParameterEdits::Edit edit;
        const char* text;
        int32_t value;
    };
    using E = ParameterEdits;
    const Case cases[] = {
        {E::kAfterHpdLow, "4", 5},
        {E::kAfterHpdLow, "5", 5},
        {E::kAfterHpdLow, "777", 777},
        {E::kAfterHpdLow, "20001", 20000},
        {E::kAfterHpdLow, "-3", 5},
        {E::kAfterHpdLow, "abc", 5},
        {E::kAfterHpdHigh, "4", 0},
        {E::kAfterHpdHigh, "5", 10},
        {E::kAfterHpdHigh, "14", 10},
        {E::kAfterHpdHigh, "15", 20},
        {E::kAfterHpdHigh, "-6", 0},
        {E::kAfterHpdHigh, "-25", 0},
        {E::kAfterHpdHigh, "19996", 20000},
        {E::kAfterHpdHigh, "20004", 20000},
        {E::kAfterHpdHigh, "30000", 20000},
        {E::kAfterHpdHigh, "99999999999", 20000},
        {E::kMainLinkDisableTimeout, "49", 100},
        {E::kMainLinkDisableTimeout, "149", 100},
        {E::kMainLinkDisableTimeout, "150", 200},
        {E::kMainLinkDisableTimeout, "2049", 2000},
        {E::kMainLinkDisableTimeout, "20049", 20000},
        {E::kMainLinkDisableTimeout, "20050", 20000},
        {E::kMainLinkDisableTimeout, "-500", 100},
        {E::kMainLinkDisableTimeout, "", 100},
        {E::kMainLinkDisableTimeout, "99999999999", 20000},
        {E::kMainLinkDisableTimeout, "-99999999999", 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParameterEdits::NormaliseText(c.edit, c.text), c.value) << c.edit << " \"" << c.text << '"';
    }
}

TEST(ParameterEdits, Ranges) {
    struct Case {
        ParameterEdits::Edit edit;
        UpDownRange range;
    };
    const Case cases[] = {{ParameterEdits::kAfterHpdLow, {5, 20000, 1, 700}},
                          {ParameterEdits::kAfterHpdHigh, {0, 20000, 10, 0}},
                          {ParameterEdits::kMainLinkDisableTimeout, {100, 20000, 100, 2000}}};
    for (const Case& c : cases) {
        const UpDownRange& r = ParameterEdits::Range(c.edit);
        EXPECT_EQ(r.min, c.range.min);
        EXPECT_EQ(r.max, c.range.max);
        EXPECT_EQ(r.step, c.range.step);
        EXPECT_EQ(r.start, c.range.start);
    }
    EXPECT_EQ(ParameterEdits::kIterationCountRange.min, 1);
    EXPECT_EQ(ParameterEdits::kIterationCountRange.max, 32000);
}

TEST(AuthenticationStartTimeout, ReadsTenthsInDecimalWithoutRounding) {
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"32.3", 323},
        {"10.5", 105},
        {"10.59", 105},
        {"10.0", 100},
        {" 7", 70},
        {"7.", 70},
        {".5", 5},
        {"0.05", 0},
        {"64", 640},
        {"1,5", 10},
        {"12.3abc", 123},
        {"\t 3.9", 39},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"-1", std::nullopt},
        {".", std::nullopt},
        {" ", std::nullopt},
        {"99999999999", INT32_MAX},
    };
    for (const auto& [text, tenths] : cases) {
        EXPECT_EQ(AuthenticationStartTimeout::ReadTenths(text), tenths) << '"' << text << '"';
    }
}

TEST(AuthenticationStartTimeout, PositionFollowsTheTextWithinItsRange) {
    const std::pair<const char*, int32_t> cases[] = {
        {"32.3", 323}, {"70", 640}, {"0.5", 10}, {"1", 10}, {"64.0", 640}, {"64.1", 640}, {"abc", 250}, {"", 250},
    };
    for (const auto& [text, position] : cases) {
        EXPECT_EQ(AuthenticationStartTimeout::PositionForText(text, 250), position) << '"' << text << '"';
    }
    EXPECT_TRUE(AuthenticationStartTimeout::AcceptsPosition(10));
    EXPECT_TRUE(AuthenticationStartTimeout::AcceptsPosition(640));
    EXPECT_FALSE(AuthenticationStartTimeout::AcceptsPosition(9));
    EXPECT_FALSE(AuthenticationStartTimeout::AcceptsPosition(641));
    EXPECT_EQ(AuthenticationStartTimeout::Milliseconds(323), 32300);
}

TEST(AuthenticationStartTimeout, TextHasOneDecimalAndAPointInEveryLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // where present; the text must not follow it
    const std::pair<int32_t, const char*> cases[] = {{323, "32.3"}, {100, "10.0"}, {10, "1.0"},  {640, "64.0"},
                                                     {5, "0.5"},    {0, "0.0"},    {-15, "-1.5"}};
    for (const auto& [tenths, text] : cases) EXPECT_EQ(AuthenticationStartTimeout::Text(tenths), text) << tenths;
    // Reading what was written gives the position back.
    for (int32_t tenths = 10; tenths <= 640; ++tenths) {
        ASSERT_EQ(AuthenticationStartTimeout::ReadTenths(AuthenticationStartTimeout::Text(tenths)), tenths);
    }
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(saved);
}
