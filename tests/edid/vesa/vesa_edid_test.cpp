// The base EDID block codec: detection, decoding of hand-made 1.3 and 1.4
// blocks, the version rules, every field's Set with its refusals, and the
// upkeep of the checksum and the extension count.

#include "edid/vesa/VESA_EDID.h"
#include "edid/CodecTestSupport.h"
#include "edid/core/ECFormat.h"
#include "edid/core/ECHelper.h"

#include <cmath>
#include <limits>

namespace {

using codec_test::Block;
using codec_test::CodecFixture;
using codec_test::Put;

TEST(VesaEdidDetect, AcceptsOnlyA128ByteBlockWithTheHeader) {
    Block b = codec_test::EmptyBase();
    EXPECT_NE(VESA_EDID::Detect(b.data(), 128), nullptr);
    EXPECT_EQ(VESA_EDID::Detect(b.data(), 127), nullptr);
    EXPECT_EQ(VESA_EDID::Detect(b.data(), 256), nullptr);
    EXPECT_EQ(VESA_EDID::Detect(nullptr, 128), nullptr);
    for (int i = 0; i < 8; ++i) {
        Block changed = b;
        changed[static_cast<size_t>(i)] ^= 0x01;
        EXPECT_EQ(VESA_EDID::Detect(changed.data(), 128), nullptr) << "header byte " << i;
    }
}

struct Expect {
    const char* path;
    const char* text;
};

class VesaEdidDecode : public CodecFixture {
protected:
    void ExpectAll(const std::vector<Expect>& table) {
        for (const Expect& e : table) EXPECT_EQ(Text(QString::fromLatin1(e.path)).toStdString(), e.text) << e.path;
    }
};

TEST_F(VesaEdidDecode, DigitalBlock14) {
    ASSERT_EQ(Add(codec_test::DigitalBase14()), 0);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(Warnings().isEmpty()) << Warnings().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(collection_.Root()->FindEntry(QStringLiteral(":/0"))->GetName(), QStringLiteral("Block 0 [VESA EDID]"));
    EXPECT_TRUE(Text(QStringLiteral("/Checksum")).startsWith(QStringLiteral("Good (")));
    ExpectAll({
        {"/Version", "V1.4"},
        {"Extension flag", "0"},
        {"Vendor & Product ID/ID Manufacturer Name", "ABC"},
        {"Vendor & Product ID/ID Product Code", "0x1234"},
        {"Vendor & Product ID/ID Serial Number", "0x1020304"},
        {"Vendor & Product ID/Manufacture or Model year", "Manufacture Year and Week"},
        {"Vendor & Product ID/Manufacture or Model year/Week of manufacture", "Week 10"},
        {"Vendor & Product ID/Manufacture or Model year/Year of manufacture", "Year 2020"},
        {"Basic Display Parameters and Features/Video Signal Interface", "Digital video signal interface"},
        {"Basic Display Parameters and Features/Video Signal Interface/Color Bit Depth", "8 Bits per Primary color"},
        {"Basic Display Parameters and Features/Video Signal Interface/Digital video interface",
         "DisplayPort Supported"},
        {"Basic Display Parameters and Features/Screen size or Aspect ratio", "Screen Size"},
        {"Basic Display Parameters and Features/Screen size or Aspect ratio/Horizontal screen size", "60 cm"},
        {"Basic Display Parameters and Features/Screen size or Aspect ratio/Vertical screen size", "34 cm"},
        {"Basic Display Parameters and Features/Feature Support/Display Transfer characteristics (Gamma)", "2.2"},
        {"Basic Display Parameters and Features/Feature Support/Standby mode", "No"},
        {"Basic Display Parameters and Features/Feature Support/Preferred timing includes native pixel format and "
         "refresh rates",
         "Yes"},
        {"Basic Display Parameters and Features/Feature Support/Display is continuous frequency", "No"},
        {"Basic Display Parameters and Features/Supported Color encoding formats", "RGB 4:4:4 + yCrCb 4:4:4"},
        {"Display x,y Chromacity coordinates/Red X", "0.640"},
        {"Display x,y Chromacity coordinates/Red Y", "0.330"},
        {"Display x,y Chromacity coordinates/Green X", "0.300"},
        {"Display x,y Chromacity coordinates/Green Y", "0.600"},
        {"Display x,y Chromacity coordinates/Blue X", "0.150"},
        {"Display x,y Chromacity coordinates/Blue Y", "0.060"},
        {"Display x,y Chromacity coordinates/White X", "0.313"},
        {"Display x,y Chromacity coordinates/White Y", "0.329"},
        {"Established timings I and II/640 x 480 @ 60Hz", "Yes"},
        {"Established timings I and II/720 x 400 @ 70Hz", "No"},
        {"Established timings I and II/800 x 600 @ 60Hz", "Yes"},
        {"Established timings I and II/1024 x 768 @ 60Hz", "Yes"},
        {"Established timings I and II/1280 x 1024 @ 75Hz", "No"},
        {"Manufacturer's Timings/1152 x 870 @ 75Hz", "No"},
        {"Standard Timings/Timing 0", "Defined"},
        {"Standard Timings/Timing 0/X-Resolution", "1920"},
        {"Standard Timings/Timing 0/Y-Resolution", "1080"},
        {"Standard Timings/Timing 0/Aspect ratio", "16:9"},
        {"Standard Timings/Timing 0/Refresh rate", "60"},
        {"Standard Timings/Timing 3", "Undefined"},
        {"18-Byte data blocks/Descriptor 1", "Detailed Timing Descriptor"},
        {"18-Byte data blocks/Descriptor 1/Pixel Clock", "148500"},
        {"18-Byte data blocks/Descriptor 1/Horizontal Video Size", "600"},
        {"18-Byte data blocks/Descriptor 2", "Display range limits"},
        {"18-Byte data blocks/Descriptor 2/Maximum pixel clock", "170"},
        {"18-Byte data blocks/Descriptor 3", "Display product name"},
        {"18-Byte data blocks/Descriptor 3/Display product name", "TEST MONITOR"},
        {"18-Byte data blocks/Descriptor 4", "Display product serial number"},
        {"18-Byte data blocks/Descriptor 4/Display product serial number", "SN123"},
    });
    EXPECT_FALSE(At(QStringLiteral("Standard Timings/Timing 3"))->HasChildren());
    // The group order of the base block.
    ECEntry* version = At(QStringLiteral("/Version"));
    QStringList names;
    for (int i = 0; i < version->ChildCount(); ++i) names << version->GetChild(i)->GetName();
    EXPECT_EQ(names.join(QLatin1Char('|')).toStdString(),
              "Extension flag|Vendor & Product ID|Basic Display Parameters and Features|Display x,y Chromacity "
              "coordinates|Established timings I and II|Manufacturer's Timings|Standard Timings|18-Byte data blocks");
}

TEST_F(VesaEdidDecode, AnalogBlock13) {
    ASSERT_EQ(Add(codec_test::AnalogBase13()), 0);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_TRUE(Warnings().isEmpty());
    ExpectAll({
        {"/Version", "V1.3"},
        {"Vendor & Product ID/ID Manufacturer Name", "SAM"},
        {"Vendor & Product ID/Week of manufacture", "Week 0 [Week of manufacture unspecified]"},
        {"Vendor & Product ID/Year of manufacture", "Year 2005"},
        {"Basic Display Parameters and Features/Video Signal Interface", "Analog video signal interface"},
        {"Basic Display Parameters and Features/Video Signal Interface/Signal Level Standard",
         "0.700 : 0.300 : 1.000 V p-p"},
        {"Basic Display Parameters and Features/Video Signal Interface/Video Setup", "Blank Level = Black Level"},
        {"Basic Display Parameters and Features/Video Signal Interface/Separate sync H & V", "Yes"},
        {"Basic Display Parameters and Features/Video Signal Interface/Composite Sync Signal on Horizontal", "Yes"},
        {"Basic Display Parameters and Features/Video Signal Interface/Composite Sync Signal on Green video", "Yes"},
        {"Basic Display Parameters and Features/Video Signal Interface/Serration on the Vertical Sync", "No"},
        {"Basic Display Parameters and Features/Screen size", "Screen Size"},
        {"Basic Display Parameters and Features/Feature Support/Standby mode", "Yes"},
        {"Basic Display Parameters and Features/Feature Support/Default GTF", "No"},
        {"Basic Display Parameters and Features/Display Color Type", "RGB Color display"},
        {"Manufacturer's Timings/1152 x 870 @ 75Hz", "Yes"},
        {"Manufacturer's Timings/RESERVED 6", "No"},
        {"Standard Timings/Timing 1/X-Resolution", "1152"},
        {"Standard Timings/Timing 1/Y-Resolution", "864"},
        {"Standard Timings/Timing 1/Refresh rate", "75"},
        {"18-Byte data blocks/Descriptor 1/Pixel Clock", "108000"},
        {"18-Byte data blocks/Descriptor 2/Video Timing support", "Secondary GTF supported"},
        {"18-Byte data blocks/Descriptor 2/Video Timing support/Curve var. C", "40.5"},
        {"18-Byte data blocks/Descriptor 3/Display product name", "SYNCMASTER"},
        {"18-Byte data blocks/Descriptor 4", "Color Point data"},
        {"18-Byte data blocks/Descriptor 4/White point x-coord", "0.313"},
        {"18-Byte data blocks/Descriptor 4/Gamma", "2.2"},
    });
    EXPECT_FALSE(Exists(QStringLiteral("Vendor & Product ID/Manufacture or Model year")));
}

// ---------------------------------------------------------------------------
// Version rules

struct VersionCase {
    uint8_t major;
    uint8_t minor;
    int level;                // 0: no message
    const char* message;      // the expected text at that level
    const char* screenEntry;  // nullptr: no field tree
};

class VesaEdidVersion : public CodecFixture, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VesaEdidVersion, DecodesWithTheRightVersionAndMessage) {
    const VersionCase& c = GetParam();
    ASSERT_EQ(Add(codec_test::EmptyBase(c.major, c.minor)), 0);
    const QStringList texts = log_.Texts(c.level == 0 ? EC_LEVEL_ERROR : c.level);
    if (c.level == 0) {
        EXPECT_TRUE(Errors().isEmpty());
        EXPECT_TRUE(Warnings().isEmpty());
    } else {
        ASSERT_EQ(texts.size(), 1);
        EXPECT_EQ(texts.at(0).toStdString(), c.message);
    }
    if (c.screenEntry) {
        EXPECT_TRUE(
            Exists(QStringLiteral("Basic Display Parameters and Features/") + QString::fromLatin1(c.screenEntry)));
    } else {
        EXPECT_EQ(At(QStringLiteral("/Version"))->ChildCount(), 0);
        EXPECT_TRUE(Exists(QStringLiteral("/Checksum")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VesaEdidVersion,
    ::testing::Values(
        VersionCase{1, 3, 0, "", "Screen size"}, VersionCase{1, 4, 0, "", "Screen size or Aspect ratio"},
        VersionCase{2, 0, 16,
                    "Error: Unsupported version\r\nThe major version (2.0) of this EDID block is not supported",
                    nullptr},
        VersionCase{1, 2, 32,
                    "Warning\r\nThe minor version (1.2) is not supported, and a later version (1.3) will be used to "
                    "decode",
                    "Screen size"},
        VersionCase{1, 7, 32,
                    "Warning\r\nThe minor version (1.7) is not supported, and an older version (1.4) will be used to "
                    "decode",
                    "Screen size or Aspect ratio"}));

TEST_F(CodecFixture, SettingVersionRewritesTheBytesAndRebuilds) {
    ASSERT_EQ(Add(codec_test::EmptyBase(1, 4)), 0);
    SetIndex(QStringLiteral("/Version"), 2);
    EXPECT_EQ(Range(18, 2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(Text(QStringLiteral("/Version")), QStringLiteral("V1.2"));
    EXPECT_EQ(Warnings().size(), 1);
    EXPECT_TRUE(Exists(QStringLiteral("Basic Display Parameters and Features/Screen size")));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));

    ClearLog();
    SetIndex(QStringLiteral("/Version"), -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Cannot set, version is invalid")});
    EXPECT_EQ(Range(18, 2), (std::vector<uint8_t>{1, 2}));
    SetIndex(QStringLiteral("/Version"), 5);  // not an item: nothing changes
    EXPECT_EQ(Range(18, 2), (std::vector<uint8_t>{1, 2}));
}

TEST_F(CodecFixture, UnsupportedMajorVersionBecomesEditableThroughVersion) {
    ASSERT_EQ(Add(codec_test::EmptyBase(2, 0)), 0);
    ASSERT_EQ(Add(codec_test::EmptyBase()), 1);
    EXPECT_FALSE(Exists(QStringLiteral("Extension flag")));
    EXPECT_EQ(Byte(126), 0);  // nothing keeps it while the version is unsupported
    SetIndex(QStringLiteral("/Version"), 4);
    EXPECT_EQ(Range(18, 2), (std::vector<uint8_t>{1, 4}));
    EXPECT_TRUE(Exists(QStringLiteral("Extension flag")));
    EXPECT_EQ(Byte(126), 1);  // back in step with the collection
    EXPECT_TRUE(Exists(QStringLiteral("18-Byte data blocks/Descriptor 4")));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CodecFixture, BaseBlockAtAnotherIndexWarnsOnceAndDecodes) {
    ASSERT_EQ(Add(codec_test::EmptyBase()), 0);
    ASSERT_EQ(Add(codec_test::EmptyBase()), 1);
    ClearLog();
    ASSERT_EQ(Add(codec_test::DigitalBase14()), 2);
    EXPECT_EQ(Warnings(), QStringList{QStringLiteral("VESA E-EDID block 0 is not at index 0")});
    EXPECT_EQ(collection_.Root()->FindEntry(QStringLiteral(":/2"))->GetName(), QStringLiteral("Block 2 [VESA EDID]"));
    EXPECT_EQ(Text(QStringLiteral("Vendor & Product ID/ID Manufacturer Name"), 2), QStringLiteral("ABC"));
    char name[256] = {};
    collection_.GetBlock(2)->Codec()->GetName(name, 255);
    EXPECT_STREQ(name, "Block 2 [VESA EDID]");
    char shortName[6] = {};
    collection_.GetBlock(2)->Codec()->GetName(shortName, 6);
    EXPECT_STREQ(shortName, "Block");
}

// ---------------------------------------------------------------------------
// Checksum and extension count

TEST_F(CodecFixture, ExtensionCountFollowsTheCollectionAndTheChecksumStaysRight) {
    Block base = codec_test::DigitalBase14();
    base[126] = 7;  // wrong on purpose
    edid_test::FixChecksum(base);
    ASSERT_EQ(Add(base), 0);
    EXPECT_EQ(Byte(126), 0);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    ASSERT_EQ(Add(codec_test::EmptyBase()), 1);
    ASSERT_EQ(Add(codec_test::EmptyBase()), 2);
    EXPECT_EQ(Byte(126), 2);
    EXPECT_EQ(Text(QStringLiteral("Extension flag")), QStringLiteral("2"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    ASSERT_EQ(Add(codec_test::EmptyBase()), 3);
    EXPECT_EQ(Byte(126), 3);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    EXPECT_TRUE(At(QStringLiteral("Extension flag"))->GetFlags() & ECT_READ_ONLY);

    collection_.Clear();
    EXPECT_EQ(collection_.Count(), 0);
}

TEST_F(CodecFixture, ChecksumTextAndRecalculation) {
    Block b = codec_test::DigitalBase14();
    b[127] ^= 0x05;
    ASSERT_EQ(Add(b), 0);
    // Adding re-evaluates the tree, which re-encodes the checksum.
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    ECEntry* checksum = At(QStringLiteral("/Checksum"));
    EXPECT_EQ(checksum->GetFlags(), 0x4207u);
    EXPECT_EQ(checksum->GetValueText(), ECFormatW("Good (%.2Xh)", Byte(127)));
    // Every field write keeps the checksum right.
    SetInt(QStringLiteral("Vendor & Product ID/ID Product Code"), 0xBEEF);
    EXPECT_EQ(Range(10, 2), (std::vector<uint8_t>{0xEF, 0xBE}));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Vendor and product fields

struct NameCase {
    const char* text;
    bool accepted;
    uint8_t b8;
    uint8_t b9;
};

TEST_F(CodecFixture, ManufacturerNameSet) {
    ASSERT_EQ(Add(codec_test::DigitalBase14()), 0);
    const QString path = QStringLiteral("Vendor & Product ID/ID Manufacturer Name");
    const NameCase cases[] = {
        {"ABC", true, 0x04, 0x43}, {"@@@", true, 0x00, 0x00}, {"_^]", true, 0x7F, 0xDD},
        {"ZZZ", true, 0x6B, 0x5A}, {"AB", false, 0, 0},       {"ABCD", false, 0, 0},
        {"abc", false, 0, 0},      {"A`C", false, 0, 0},      {"", false, 0, 0},
    };
    for (const NameCase& c : cases) {
        const std::vector<uint8_t> before = Range(8, 2);
        ClearLog();
        SetText(path, QString::fromLatin1(c.text));
        if (c.accepted) {
            EXPECT_EQ(Range(8, 2), (std::vector<uint8_t>{c.b8, c.b9})) << c.text;
            EXPECT_EQ(Text(path), QString::fromLatin1(c.text));
            EXPECT_TRUE(Errors().isEmpty());
        } else {
            EXPECT_EQ(Range(8, 2), before) << c.text;
            EXPECT_EQ(Errors(),
                      QStringList{QStringLiteral(
                          "Manufacturer name - Max 3 chars, allowed chars A-Z, '@', '[', ']', '\\', '^', '_'.")})
                << c.text;
        }
    }
}

TEST_F(CodecFixture, ManufacturerNameWithTheReservedBitSet) {
    Block b = codec_test::DigitalBase14();
    Put(b, 8, {0x84, 0x43});
    edid_test::FixChecksum(b);
    ASSERT_EQ(Add(b), 0);
    EXPECT_EQ(Text(QStringLiteral("Vendor & Product ID/ID Manufacturer Name")),
              QStringLiteral("ABC [RESERVED BIT SET]"));
    SetText(QStringLiteral("Vendor & Product ID/ID Manufacturer Name"), QStringLiteral("ABC"));
    EXPECT_EQ(Byte(8), 0x04);
}

TEST_F(CodecFixture, ProductCodeAndSerialNumber) {
    ASSERT_EQ(Add(codec_test::DigitalBase14()), 0);
    const QString product = QStringLiteral("Vendor & Product ID/ID Product Code");
    SetInt(product, 0x10000);
    EXPECT_EQ(Errors(),
              QStringList{QStringLiteral("ID Product Code - Value out of range. Possible range is 0x0 - 0xffff")});
    EXPECT_EQ(Range(10, 2), (std::vector<uint8_t>{0x34, 0x12}));
    SetInt(product, -1);
    EXPECT_EQ(Errors().size(), 2);
    SetInt(product, 0xFFFF);
    EXPECT_EQ(Range(10, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(Text(product), QStringLiteral("0xffff"));

    const QString serial = QStringLiteral("Vendor & Product ID/ID Serial Number");
    SetInt(serial, ECParseNumber(QStringLiteral("ffffffff")));  // the bit pattern FFFFFFFFh
    EXPECT_EQ(Range(12, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Text(serial), QStringLiteral("0xffffffff"));
    EXPECT_EQ(At(serial)->GetValue().Text, QStringLiteral("4294967295"));
    SetInt(serial, 0x12345678);
    EXPECT_EQ(Range(12, 4), (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(Errors().size(), 2);
}

// ---------------------------------------------------------------------------
// Dates

TEST_F(CodecFixture, WeekAndYearOf13) {
    ASSERT_EQ(Add(codec_test::AnalogBase13()), 0);
    const QString week = QStringLiteral("Vendor & Product ID/Week of manufacture");
    const QString year = QStringLiteral("Vendor & Product ID/Year of manufacture");
    SetInt(week, 55);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Week - Value out of range. Possible range is 0 - 54")});
    EXPECT_EQ(Byte(16), 0);
    SetInt(week, 54);
    EXPECT_EQ(Text(week), QStringLiteral("Week 54"));
    SetInt(year, 1989);
    SetInt(year, 2246);
    EXPECT_EQ(Errors().size(), 3);
    EXPECT_EQ(Errors().last(), QStringLiteral("Year - Value out of range. Possible range is 1990 - 2245"));
    EXPECT_EQ(Byte(17), 15);
    SetInt(year, 1990);
    EXPECT_EQ(Byte(17), 0);
    EXPECT_EQ(Text(year), QStringLiteral("Year 1990"));
    SetInt(year, 2245);
    EXPECT_EQ(Byte(17), 255);
}

TEST_F(CodecFixture, WeekSuffixes) {
    Block b = codec_test::DigitalBase14();
    b[16] = 60;
    edid_test::FixChecksum(b);
    ASSERT_EQ(Add(b), 0);
    const QString week = QStringLiteral("Vendor & Product ID/Manufacture or Model year/Week of manufacture");
    EXPECT_EQ(Text(week), QStringLiteral("Week 60 [Invalid value]"));
    SetInt(week, 10);
    EXPECT_EQ(Text(week), QStringLiteral("Week 10"));
    SetInt(week, 0);
    EXPECT_EQ(Text(week), QStringLiteral("Week 0 [Week of manufacture unspecified]"));
}

TEST_F(CodecFixture, ModelYearOf14) {
    Block b = codec_test::DigitalBase14();
    b[17] = 15;
    edid_test::FixChecksum(b);
    ASSERT_EQ(Add(b), 0);
    const QString kind = QStringLiteral("Vendor & Product ID/Manufacture or Model year");
    EXPECT_EQ(Text(kind + QStringLiteral("/Year of manufacture")), QStringLiteral("Year 0 [Invalid value]"));
    SetIndex(kind, 1);
    EXPECT_EQ(Byte(16), 0xFF);
    EXPECT_EQ(Text(kind), QStringLiteral("Model Year"));
    EXPECT_FALSE(Exists(kind + QStringLiteral("/Week of manufacture")));
    const QString model = kind + QStringLiteral("/Model Year");
    EXPECT_EQ(Text(model), QStringLiteral("Year 0 [Invalid value]"));
    SetInt(model, 2005);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Year - Value out of range. Possible range is 2006 - 2245")});
    SetInt(model, 2024);
    EXPECT_EQ(Byte(17), 34);
    EXPECT_EQ(Text(model), QStringLiteral("Year 2024"));
    SetIndex(kind, 0);
    EXPECT_EQ(Byte(16), 0x00);
    EXPECT_TRUE(Exists(kind + QStringLiteral("/Week of manufacture")));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Chromaticity

TEST_F(CodecFixture, ChromaticityCodes) {
    Block b = codec_test::EmptyBase();
    Put(b, 25, {0x00, 0xFF});
    edid_test::FixChecksum(b);
    ASSERT_EQ(Add(b), 0);
    const QString group = QStringLiteral("Display x,y Chromacity coordinates/");
    SetDouble(group + QStringLiteral("Red X"), 0.640);
    EXPECT_EQ(Byte(27), 0xA3);
    EXPECT_EQ(Byte(25), 0xC0);  // bits 7-6 = 11b, the other pairs unchanged
    EXPECT_EQ(Text(group + QStringLiteral("Red X")), QStringLiteral("0.640"));

    SetDouble(group + QStringLiteral("White Y"), 0.0);
    EXPECT_EQ(Byte(34), 0x00);
    EXPECT_EQ(Byte(26), 0xFC);

    // Values that would code as 1024 are stored as 1023.
    SetDouble(group + QStringLiteral("Green Y"), 1.0);
    EXPECT_EQ(Byte(30), 0xFF);
    EXPECT_EQ(Byte(25) & 0x03, 0x03);
    EXPECT_EQ(Byte(27), 0xA3);
    EXPECT_TRUE(Errors().isEmpty());

    const double refused[] = {-0.001, 1.001, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    const std::vector<uint8_t> before = Range(25, 10);
    for (double x : refused) {
        ClearLog();
        SetDouble(group + QStringLiteral("Blue X"), x);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0.000 - 1.000")}) << x;
    }
    EXPECT_EQ(Range(25, 10), before);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CodecFixture, EstablishedAndManufacturerTimingBits) {
    ASSERT_EQ(Add(codec_test::EmptyBase()), 0);
    Apply(At(QStringLiteral("Established timings I and II/720 x 400 @ 70Hz")), ECVariant::OfBool(1));
    Apply(At(QStringLiteral("Established timings I and II/1280 x 1024 @ 75Hz")), ECVariant::OfBool(1));
    Apply(At(QStringLiteral("Established timings I and II/1024 x 768 @ 87Hz (Interlaced)")), ECVariant::OfBool(1));
    Apply(At(QStringLiteral("Manufacturer's Timings/RESERVED 0")), ECVariant::OfBool(1));
    EXPECT_EQ(Range(35, 3), (std::vector<uint8_t>{0x80, 0x11, 0x01}));
    Apply(At(QStringLiteral("Established timings I and II/720 x 400 @ 70Hz")), ECVariant::OfBool(0));
    EXPECT_EQ(Byte(35), 0x00);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

}  // namespace

namespace {

// In an editor instance every entry has a tree node; rebuilds remove the
// nodes of the entries they delete (descriptor codecs first, then the rest).
TEST(VesaEdidEditorTree, NodesFollowRebuildsAndDestruction) {
    edid_test::FakeTree tree;
    edid_test::FakeLog logList;
    edid_test::FakeDialog dialog;
    edid_test::MessageLog router;
    {
        ECCollection collection(&tree, &dialog, router.Closure(), &logList);
        const size_t empty = tree.nodes.size();
        const Block b = codec_test::DigitalBase14();
        ASSERT_EQ(collection.AddBlock(b.data(), 128), 0);
        const size_t full = tree.nodes.size();
        EXPECT_GT(full, empty + 100);
        bool captioned = false;
        for (const edid_test::FakeNode* n : tree.nodes) {
            captioned = captioned || n->caption == QStringLiteral("Supported Color encoding formats");
        }
        EXPECT_TRUE(captioned) << "the colour entry's node takes the name of its first read";

        ECEntry* version = collection.Root()->FindEntry(QStringLiteral(":/0/Version"));
        version->SetValue(ECVariant::OfInt(4));
        version->CallRethinkFunction();
        EXPECT_EQ(tree.nodes.size(), full);
        version->SetValue(ECVariant::OfInt(3));
        version->CallRethinkFunction();
        EXPECT_LT(tree.nodes.size(), full);  // 1.3 has no model-year list
        EXPECT_GT(tree.nodes.size(), empty + 100);
        for (const edid_test::FakeNode* n : tree.nodes) {
            if (n->entry) {
                EXPECT_EQ(n->entry->GetTreeNode(), reinterpret_cast<const ECTreeNode*>(n));
            }
        }
        collection.Clear();
        EXPECT_EQ(tree.nodes.size(), empty);
    }
    EXPECT_TRUE(tree.nodes.empty());
}

}  // namespace
