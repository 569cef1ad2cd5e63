// Basic display parameters of the base block (bytes 20 to 24): video input,
// screen size or aspect ratio, gamma, feature bits and colour type.

#include "edid/CodecTestSupport.h"

#include <limits>

namespace {

using codec_test::Block;
using codec_test::CodecFixture;
using codec_test::Put;

const QString kGroup = QStringLiteral("Basic Display Parameters and Features/");
const QString kInput = kGroup + QStringLiteral("Video Signal Interface");

Block BaseWith(uint8_t minor, std::initializer_list<uint8_t> bytes20to24) {
    Block b = codec_test::EmptyBase(1, minor);
    Put(b, 20, bytes20to24);
    edid_test::FixChecksum(b);
    return b;
}

TEST_F(CodecFixture, VideoInputSwitchesIn14) {
    ASSERT_EQ(Add(BaseWith(4, {0x00, 0, 0, 0, 0})), 0);
    EXPECT_TRUE(Exists(kInput + QStringLiteral("/Signal Level Standard")));
    SetIndex(kInput, 1);
    EXPECT_EQ(Byte(20), 0xA0);
    EXPECT_EQ(Text(kInput + QStringLiteral("/Color Bit Depth")), QStringLiteral("8 Bits per Primary color"));
    EXPECT_EQ(Text(kInput + QStringLiteral("/Digital video interface")), QStringLiteral("Undefined"));
    EXPECT_FALSE(Exists(kInput + QStringLiteral("/Signal Level Standard")));
    // The colour entry (the group's last child) follows the input type on its next read.
    ECEntry* group = At(QStringLiteral("Basic Display Parameters and Features"));
    ECEntry* color = group->GetChild(group->ChildCount() - 1);
    EXPECT_EQ(color->GetName(), QStringLiteral("Display Color Type"));
    color->GetValue();
    EXPECT_EQ(color->GetName(), QStringLiteral("Supported Color encoding formats"));

    SetIndex(kInput, -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Please, select an option")});
    EXPECT_EQ(Byte(20), 0xA0);

    SetIndex(kInput, 0);
    EXPECT_EQ(Byte(20), 0x00);
    EXPECT_TRUE(Exists(kInput + QStringLiteral("/Video Setup")));
    EXPECT_EQ(color->GetValueText(), QStringLiteral("Monochrome"));
    EXPECT_EQ(color->GetName(), QStringLiteral("Display Color Type"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CodecFixture, DigitalInputIn13WritesOnlyBit7) {
    ASSERT_EQ(Add(BaseWith(3, {0x00, 0, 0, 0, 0})), 0);
    SetIndex(kInput, 1);
    EXPECT_EQ(Byte(20), 0x80);
    EXPECT_EQ(Text(kInput + QStringLiteral("/VESA DFP 1.x")), QStringLiteral("No"));
    EXPECT_EQ(Text(kInput + QStringLiteral("/Reserved bits")), QStringLiteral("Good"));
    EXPECT_FALSE(Exists(kInput + QStringLiteral("/Color Bit Depth")));
}

TEST_F(CodecFixture, ReservedBitsOfA13DigitalInput) {
    ASSERT_EQ(Add(BaseWith(3, {0x83, 0, 0, 0, 0})), 0);
    EXPECT_EQ(Text(kInput + QStringLiteral("/VESA DFP 1.x")), QStringLiteral("Yes"));
    EXPECT_EQ(Text(kInput + QStringLiteral("/Reserved bits")), QStringLiteral("Bad"));
    SetInt(kInput + QStringLiteral("/Reserved bits"), 0);
    EXPECT_EQ(Byte(20), 0x81);
    EXPECT_EQ(Text(kInput + QStringLiteral("/Reserved bits")), QStringLiteral("Good"));
}

TEST_F(CodecFixture, ColorDepthAndInterfaceOf14) {
    ASSERT_EQ(Add(BaseWith(4, {0xF6, 0, 0, 0, 0})), 0);
    const QString depth = kInput + QStringLiteral("/Color Bit Depth");
    const QString kind = kInput + QStringLiteral("/Digital video interface");
    EXPECT_EQ(Text(depth), QStringLiteral("Reserved [Invalid value]"));
    EXPECT_EQ(Text(kind), QStringLiteral("Reserved [Invalid value]"));
    SetIndex(depth, 6);
    EXPECT_EQ(Byte(20), 0xE6);
    EXPECT_EQ(Text(depth), QStringLiteral("16 Bits per Primary color"));
    SetIndex(kind, 5);
    EXPECT_EQ(Byte(20), 0xE5);
    EXPECT_EQ(Text(kind), QStringLiteral("DisplayPort Supported"));
    SetIndex(depth, -1);
    SetIndex(kind, -1);
    EXPECT_EQ(Errors(),
              (QStringList{QStringLiteral("Please, select an option"), QStringLiteral("Please, select an option")}));
    EXPECT_EQ(Byte(20), 0xE5);
}

TEST_F(CodecFixture, AnalogInputFieldsKeepTheOtherBits) {
    ASSERT_EQ(Add(BaseWith(4, {0x0F, 0, 0, 0, 0})), 0);
    SetIndex(kInput + QStringLiteral("/Signal Level Standard"), 3);
    EXPECT_EQ(Byte(20), 0x6F);
    EXPECT_EQ(Text(kInput + QStringLiteral("/Signal Level Standard")), QStringLiteral("0.700 : 0.000 : 0.700 V p-p"));
    SetIndex(kInput + QStringLiteral("/Video Setup"), 1);
    EXPECT_EQ(Byte(20), 0x7F);
    EXPECT_EQ(Text(kInput + QStringLiteral("/Video Setup")), QStringLiteral("Blank-to-Black setup or pedestal"));
    Apply(At(kInput + QStringLiteral("/Serration on the Vertical Sync")), ECVariant::OfBool(0));
    EXPECT_EQ(Byte(20), 0x7E);
    // No selection changes nothing outside (or inside) the field.
    SetIndex(kInput + QStringLiteral("/Signal Level Standard"), -1);
    SetIndex(kInput + QStringLiteral("/Video Setup"), -1);
    EXPECT_EQ(Byte(20), 0x7E);
    EXPECT_EQ(Errors().size(), 2);
}

TEST_F(CodecFixture, ScreenSizeChoices) {
    ASSERT_EQ(Add(BaseWith(4, {0x00, 0, 0, 0, 0})), 0);
    const QString size = kGroup + QStringLiteral("Screen size or Aspect ratio");
    EXPECT_EQ(Text(size), QStringLiteral("Undefined"));
    EXPECT_FALSE(At(size)->HasChildren());
    SetIndex(size, 1);
    EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{46, 37}));
    EXPECT_EQ(Text(size + QStringLiteral("/Horizontal screen size")), QStringLiteral("46 cm"));
    EXPECT_EQ(Text(size + QStringLiteral("/Vertical screen size")), QStringLiteral("37 cm"));
    for (int refused : {0, 256}) {
        ClearLog();
        SetInt(size + QStringLiteral("/Vertical screen size"), refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range is 1 - 255 cm")});
    }
    SetInt(size + QStringLiteral("/Vertical screen size"), 255);
    EXPECT_EQ(Byte(22), 255);
    SetIndex(size, 2);
    EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{0x4F, 0x00}));
    EXPECT_EQ(Text(size), QStringLiteral("Aspect ratio"));
    EXPECT_EQ(Text(size + QStringLiteral("/Aspect Ratio")), QStringLiteral("Landscape 16:9"));
    SetIndex(size, -1);  // ignored
    EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{0x4F, 0x00}));
    SetIndex(size, 0);
    EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{0, 0}));
    EXPECT_FALSE(At(size)->HasChildren());
}

TEST_F(CodecFixture, AspectRatioIn13IsUndefinedButShown) {
    ASSERT_EQ(Add(BaseWith(3, {0x00, 79, 0, 0, 0})), 0);
    EXPECT_EQ(Text(kGroup + QStringLiteral("Screen size")), QStringLiteral("Undefined"));
    EXPECT_EQ(Text(kGroup + QStringLiteral("Screen size/Aspect Ratio")), QStringLiteral("Landscape 16:9"));
}

struct AspectCase {
    const char* text;
    const char* error;  // nullptr: accepted
    uint8_t b21;
    uint8_t b22;
    const char* shown;
};

TEST_F(CodecFixture, AspectRatioTexts) {
    ASSERT_EQ(Add(BaseWith(4, {0x00, 79, 0, 0, 0})), 0);
    const QString aspect = kGroup + QStringLiteral("Screen size or Aspect ratio/Aspect Ratio");
    const char* invalid = "Invalid Aspect ratio - Enter aspect as <value>:<value>";
    const AspectCase cases[] = {
        {"16:9", nullptr, 79, 0, "Landscape 16:9"},
        {"9:16", nullptr, 0, 79, "Portrait 9:16"},
        {"4:3", nullptr, 34, 0, "Landscape 4:3"},
        {"10:16", nullptr, 0, 61, "Portrait 10:16"},
        {"3:2", nullptr, 51, 0, "Landscape 1.50:1"},
        {"1:1", nullptr, 1, 0, "Landscape 1.00:1"},
        {"3.54:1", nullptr, 255, 0, "Landscape 3.54:1"},
        {"1:3.54", nullptr, 0, 255, "Portrait 1:3.54"},
        {"4:0", invalid, 0, 0, nullptr},
        {"abc", invalid, 0, 0, nullptr},
        {"16", invalid, 0, 0, nullptr},
        {"nan:1", invalid, 0, 0, nullptr},
        {"inf:1", invalid, 0, 0, nullptr},
        {"4:1", "Out of range - Aspect must be in range of 1:1 to 3.54:1", 0, 0, nullptr},
        {"1:4", "Out of range - Aspect must be in range of 1:1 to 1:3.54", 0, 0, nullptr},
        {"99:100", nullptr, 0, 2, "Portrait 1:1.01"},
        {"995:1000", "Out of range - Aspect must be in range of 1:1 to 1:3.54", 0, 0, nullptr},
        {"-16:9", "Out of range - Aspect must be in range of 1:1 to 1:3.54", 0, 0, nullptr},
    };
    for (const AspectCase& c : cases) {
        // Start every case from a landscape 16:9 value, so the entry exists.
        collection_.GetBlock(0)->MutableBytes()[21] = 79;
        collection_.GetBlock(0)->MutableBytes()[22] = 0;
        ClearLog();
        SetText(aspect, QString::fromLatin1(c.text));
        if (c.error) {
            EXPECT_EQ(Errors(), QStringList{QString::fromLatin1(c.error)}) << c.text;
            EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{79, 0})) << c.text;
        } else {
            EXPECT_TRUE(Errors().isEmpty()) << c.text;
            EXPECT_EQ(Range(21, 2), (std::vector<uint8_t>{c.b21, c.b22})) << c.text;
            EXPECT_EQ(Text(aspect).toStdString(), c.shown) << c.text;
        }
    }
}

struct GammaCase {
    double value;
    int code;  // -1: refused
};

TEST_F(CodecFixture, GammaCodes) {
    ASSERT_EQ(Add(BaseWith(4, {0x00, 0, 0, 0xFF, 0})), 0);
    const QString gamma = kGroup + QStringLiteral("Feature Support/Display Transfer characteristics (Gamma)");
    ECEntry* e = At(gamma);
    e->GetValue();
    EXPECT_EQ(e->GetInfo()->Prefix, QStringLiteral("[Undefined]"));
    const GammaCase cases[] = {
        {2.2, 0x78},
        {1.00, 0x00},
        {3.54, 0xFE},
        {3.55, -1},
        {0.5, -1},
        {std::numeric_limits<double>::quiet_NaN(), -1},
        {std::numeric_limits<double>::infinity(), -1},
        {1e300, -1},
    };
    for (const GammaCase& c : cases) {
        const uint8_t before = Byte(23);
        ClearLog();
        SetDouble(gamma, c.value);
        if (c.code < 0) {
            EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 1.00 - 3.54")}) << c.value;
            EXPECT_EQ(Byte(23), before);
        } else {
            EXPECT_EQ(Byte(23), c.code) << c.value;
            EXPECT_TRUE(Errors().isEmpty());
        }
    }
    SetDouble(gamma, 2.2);
    EXPECT_EQ(Text(gamma), QStringLiteral("2.2"));
    EXPECT_TRUE(e->GetInfo()->Prefix.isEmpty());
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CodecFixture, FeatureBitsAndColorType) {
    ASSERT_EQ(Add(BaseWith(3, {0x0E, 0, 0, 0, 0xE7})), 0);
    const QString color = kGroup + QStringLiteral("Display Color Type");
    EXPECT_EQ(Text(color), QStringLiteral("Monochrome"));
    SetIndex(color, 2);
    EXPECT_EQ(Byte(24), 0xF7);  // standby, suspend, active-off and bits 2-0 kept
    EXPECT_EQ(Text(color), QStringLiteral("Non-RGB color display"));
    SetIndex(color, -1);  // writes -1 AND 3
    EXPECT_EQ(Byte(24), 0xFF);
    Apply(At(kGroup + QStringLiteral("Feature Support/Suspend mode")), ECVariant::OfBool(0));
    Apply(At(kGroup + QStringLiteral("Feature Support/Default GTF")), ECVariant::OfBool(0));
    EXPECT_EQ(Byte(24), 0xBE);
}

TEST_F(CodecFixture, ColorEncodingsOfA14DigitalInput) {
    ASSERT_EQ(Add(BaseWith(4, {0xA5, 0, 0, 0, 0x18})), 0);
    const QString encodings = kGroup + QStringLiteral("Supported Color encoding formats");
    EXPECT_EQ(Text(encodings), QStringLiteral("RGB 4:4:4 + yCrCb 4:4:4 + yCrCb 4:2:2"));
    EXPECT_EQ(At(encodings)->GetFormat(),
              QStringLiteral("RGB 4:4:4\r\nRGB 4:4:4 + yCrCb 4:4:4\r\nRGB 4:4:4 + yCrCb 4:2:2\r\n"
                             "RGB 4:4:4 + yCrCb 4:4:4 + yCrCb 4:2:2"));
    SetIndex(encodings, 1);
    EXPECT_EQ(Byte(24), 0x08);
}

}  // namespace
