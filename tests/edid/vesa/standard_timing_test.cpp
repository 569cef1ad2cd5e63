// Standard timing entries ("Timing n"): decoding of the 2-byte codes, the
// Defined / Undefined switch and the Set rules of the four children.

#include "edid/CodecTestSupport.h"

namespace {

using codec_test::Block;
using codec_test::CodecFixture;
using codec_test::Put;

struct CodeCase {
    uint8_t first;
    uint8_t second;
    const char* x;
    const char* y;
    const char* aspect;
    const char* refresh;
};

class StandardTimingDecode : public CodecFixture, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(StandardTimingDecode, ShowsTheFourFields) {
    const CodeCase& c = GetParam();
    Block b = codec_test::EmptyBase();
    Put(b, 42, {c.first, c.second});  // Timing 2
    edid_test::FixChecksum(b);
    ASSERT_EQ(Add(b), 0);
    const QString t = QStringLiteral("Standard Timings/Timing 2");
    EXPECT_EQ(Text(t), QStringLiteral("Defined"));
    EXPECT_EQ(Text(t + QStringLiteral("/X-Resolution")).toStdString(), c.x);
    EXPECT_EQ(Text(t + QStringLiteral("/Y-Resolution")).toStdString(), c.y);
    EXPECT_EQ(Text(t + QStringLiteral("/Aspect ratio")).toStdString(), c.aspect);
    EXPECT_EQ(Text(t + QStringLiteral("/Refresh rate")).toStdString(), c.refresh);
    EXPECT_TRUE(At(t + QStringLiteral("/Y-Resolution"))->GetFlags() & ECT_READ_ONLY);
}

INSTANTIATE_TEST_SUITE_P(Codes, StandardTimingDecode,
                         ::testing::Values(CodeCase{0xD1, 0xC0, "1920", "1080", "16:9", "60"},
                                           CodeCase{0x81, 0x80, "1280", "1024", "5:4", "60"},
                                           CodeCase{0x81, 0x00, "1280", "800", "16:10", "60"},
                                           CodeCase{0xA9, 0x40, "1600", "1200", "4:3", "60"},
                                           CodeCase{0x61, 0x7F, "1024", "768", "4:3", "123"},
                                           CodeCase{0x00, 0x40, "248 [RESERVED]", "186", "4:3", "60"},
                                           CodeCase{0xFF, 0xC5, "2288", "1287", "16:9", "65"}));

class StandardTimingSet : public CodecFixture {
protected:
    void SetUp() override { ASSERT_EQ(Add(codec_test::EmptyBase()), 0); }
    const QString t = QStringLiteral("Standard Timings/Timing 5");
    static constexpr int kFirst = 38 + 2 * 5;
};

TEST_F(StandardTimingSet, DefinedAndUndefined) {
    EXPECT_EQ(Text(t), QStringLiteral("Undefined"));
    EXPECT_FALSE(At(t)->HasChildren());
    SetIndex(t, 0);
    EXPECT_EQ(Range(kFirst, 2), (std::vector<uint8_t>{0xA9, 0x40}));
    EXPECT_EQ(Text(t + QStringLiteral("/X-Resolution")), QStringLiteral("1600"));
    EXPECT_EQ(Text(t + QStringLiteral("/Y-Resolution")), QStringLiteral("1200"));
    EXPECT_EQ(Text(t + QStringLiteral("/Aspect ratio")), QStringLiteral("4:3"));
    EXPECT_EQ(Text(t + QStringLiteral("/Refresh rate")), QStringLiteral("60"));
    EXPECT_EQ(At(t)->ChildCount(), 4);

    // Nothing selected: refused, nothing changes.
    SetIndex(t, -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Please, select an option")});
    EXPECT_EQ(Range(kFirst, 2), (std::vector<uint8_t>{0xA9, 0x40}));
    EXPECT_EQ(At(t)->ChildCount(), 4);

    SetIndex(t, 1);
    EXPECT_EQ(Range(kFirst, 2), (std::vector<uint8_t>{0x01, 0x01}));
    EXPECT_FALSE(At(t)->HasChildren());
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(StandardTimingSet, XResolution) {
    SetIndex(t, 0);
    const QString x = t + QStringLiteral("/X-Resolution");
    SetInt(x, 1366);
    EXPECT_EQ(Warnings(),
              QStringList{QStringLiteral("Precision - X-Resolution may only be set with precision of 8 pixels")});
    EXPECT_EQ(Byte(kFirst), 0x8C);
    EXPECT_EQ(Text(x), QStringLiteral("1368"));
    SetInt(x, 2288);
    EXPECT_EQ(Byte(kFirst), 0xFF);
    SetInt(x, 256);
    EXPECT_EQ(Byte(kFirst), 0x01);
    EXPECT_EQ(Warnings().size(), 1);
    for (int refused : {2289, 255, 0, -8}) {
        ClearLog();
        SetInt(x, refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 256 - 2288")}) << refused;
    }
    EXPECT_EQ(Byte(kFirst), 0x01);
}

TEST_F(StandardTimingSet, RefreshRateAndAspect) {
    SetIndex(t, 0);
    const QString rate = t + QStringLiteral("/Refresh rate");
    SetInt(rate, 123);
    EXPECT_EQ(Byte(kFirst + 1), 0x7F);
    for (int refused : {124, 59}) {
        ClearLog();
        SetInt(rate, refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 60 - 123Hz")}) << refused;
    }
    EXPECT_EQ(Byte(kFirst + 1), 0x7F);
    SetInt(rate, 75);
    EXPECT_EQ(Byte(kFirst + 1), 0x4F);

    // Aspect ratio keeps the refresh bits; Y-Resolution follows.
    SetIndex(t + QStringLiteral("/Aspect ratio"), 3);
    EXPECT_EQ(Byte(kFirst + 1), 0xCF);
    EXPECT_EQ(Text(t + QStringLiteral("/Y-Resolution")), QStringLiteral("900"));
    SetIndex(t + QStringLiteral("/Aspect ratio"), 0);
    EXPECT_EQ(Byte(kFirst + 1), 0x0F);
    EXPECT_EQ(Text(t + QStringLiteral("/Y-Resolution")), QStringLiteral("1000"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

}  // namespace
