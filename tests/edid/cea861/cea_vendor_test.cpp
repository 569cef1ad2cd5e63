// Vendor-specific data blocks: the kind entry, the HDMI VSDB with its
// latencies and HDMI video section, other vendors, and the HDMI Forum VSDB of
// the sink monitor's build (the same bytes decode as "Other" in the
// compliance-test build).

#include "edid/cea861/CeaTestSupport.h"

using namespace cea_test;

namespace {

constexpr bool kForum = edid_build::kHasHdmiForumVsdb;
const int kOtherIndex = kForum ? 2 : 1;

class CeaVendor : public CeaFixture {
protected:
    void LoadVsdb(const ByteList& block) { Load(MakeCea({block, {0x41, 0x10}})); }
    ECEntry* V(const QString& below = QString()) const {
        return D(0, below.isEmpty() ? QStringLiteral("Vendor specific data block")
                                    : QStringLiteral("Vendor specific data block/") + below);
    }
    ECEntry* X(const QString& below) const { return V("Extension fields/" + below); }
    ECEntry* Video(const QString& below = QString()) const {
        return X(below.isEmpty() ? QStringLiteral("HDMI Video present") : "HDMI Video present/" + below);
    }
    ByteList Vsdb() const { return FirstBlock(); }
    void ExpectRefused(const QString& error, const Block& before) {
        EXPECT_EQ(Errors(), QStringList{error});
        EXPECT_EQ(Copy(), before);
        log.Clear();
    }
    // The video block after the VSDB moves with it.
    void ExpectVideoBlockFollows() {
        const int end = 4 + (Bytes()[4] & 0x1F) + 1;
        EXPECT_EQ(Slice(Bytes(), end, end + 2), (ByteList{0x41, 0x10}));
        EXPECT_EQ(Bytes()[2], end + 2);
        EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    }
};

TEST_F(CeaVendor, KindListDependsOnTheBuild) {
    LoadVsdb({0x63, 0x00, 0x00, 0x00});
    EXPECT_EQ(V()->GetFormat(), kForum ? "HDMI VSDB\r\nHDMI HF-VSDB\r\nOther" : "HDMI VSDB\r\nOther");
    EXPECT_EQ(Text(V()), "Other");
    const Block before = Copy();
    SetInt(V(), -1);
    ExpectRefused("Please, select an option", before);
}

TEST_F(CeaVendor, HdmiVsdbBasics) {
    LoadVsdb({0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
    EXPECT_EQ(Text(V()), "HDMI VSDB");
    EXPECT_EQ(Text(V("Component physical address")), "1.0.0.0");
    EXPECT_EQ(Text(V("Extension fields")), "No");
    EXPECT_EQ(V("Extension fields")->ChildCount(), 0);
    Set(V("Extension fields"), ECVariant::OfBool(1));
    EXPECT_EQ(Vsdb(), (ByteList{0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Text(V("Extension fields")), "Yes");
    EXPECT_NE(X("Latency fields"), nullptr);
    EXPECT_NE(X("HDMI Video present"), nullptr);
    EXPECT_NE(X("Content type 'Game'"), nullptr);
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, PartialExtensionFieldsAndThePrefix) {
    LoadVsdb({0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x44});
    EXPECT_EQ(Text(V("Extension fields")), "[Partial]Yes");
    EXPECT_EQ(Text(X("_AI")), "Yes");
    EXPECT_EQ(Text(X("Max TMDS Clock rate")), "340");
    EXPECT_EQ(X("Content type 'Game'"), nullptr);
    Set(V("Extension fields"), ECVariant::OfBool(0));
    EXPECT_EQ(Bytes()[4], 0x65);
    EXPECT_EQ(Text(V("Extension fields")), "No");  // the prefix went with its condition
    EXPECT_EQ(V("Extension fields")->ChildCount(), 0);
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, PhysicalAddress) {
    LoadVsdb({0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
    struct Case {
        const char* text;
        uint8_t b4, b5;
        const char* error;
    } cases[] = {
        {"1.2.3.4", 0x12, 0x34, nullptr},
        {"7", 0x77, 0x77, nullptr},
        {"1.2.3", 0x11, 0x23, nullptr},
        {"15.15.15.15", 0xFF, 0xFF, nullptr},
        {"1.2.3.16", 0, 0, "Address value out of range - Each address value must be in range 0-15"},
        {"1.-2.3.4", 0, 0, "Address value out of range - Each address value must be in range 0-15"},
        {"", 0, 0, "Invalid address - Format must be A.B.C.D"},
        {"1.2.", 0, 0, nullptr},  // the empty last part reads as 0: 1.1.2.0
    };
    for (const Case& c : cases) {
        const Block before = Copy();
        SetText(V("Component physical address"), c.text);
        if (c.error) {
            ExpectRefused(c.error, before);
        } else if (c.b4 || c.b5) {
            EXPECT_TRUE(Errors().isEmpty()) << c.text;
            EXPECT_EQ(Bytes()[8], c.b4) << c.text;
            EXPECT_EQ(Bytes()[9], c.b5) << c.text;
        }
    }
    EXPECT_EQ(Text(V("Component physical address")), "1.1.2.0");
}

TEST_F(CeaVendor, MaxTmdsClockAndLatencies) {
    LoadVsdb({0x6A, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x80, 0x00, 0x15});
    EXPECT_EQ(Text(X("Max TMDS Clock rate")), "0 (Undefined)");
    SetInt(X("Max TMDS Clock rate"), 342);
    EXPECT_EQ(Warnings(), QStringList{"Precision - Max TMDS clock must be divisble by 5"});
    EXPECT_EQ(Bytes()[11], 68);
    EXPECT_EQ(Text(X("Max TMDS Clock rate")), "340");
    log.Clear();
    for (int bad : {1276, 1280, -5}) {
        const Block before = Copy();
        SetInt(X("Max TMDS Clock rate"), bad);
        ExpectRefused("Out of range - Possible range 0 - 1275MHz", before);
    }
    SetInt(X("Max TMDS Clock rate"), 1275);
    EXPECT_EQ(Bytes()[11], 255);

    EXPECT_EQ(Text(X("Latency fields")), "2 Latency fields present");
    EXPECT_EQ(ChildNames(X("Latency fields")), (QStringList{"Any Video Latency", "Any Audio Latency"}));
    EXPECT_EQ(Text(X("Latency fields/Any Video Latency")), "0 (Undefined)");
    EXPECT_EQ(Text(X("Latency fields/Any Audio Latency")), "40");
    SetInt(X("Latency fields/Any Video Latency"), 101);
    EXPECT_EQ(Warnings(), QStringList{"Precision - Latency must be divisble by 2ms"});
    EXPECT_EQ(Bytes()[13], 51);
    log.Clear();
    const Block before = Copy();
    SetInt(X("Latency fields/Any Video Latency"), 502);
    ExpectRefused("Out of range - Allowed range is 0-500ms", before);
}

TEST_F(CeaVendor, LatencyFieldsMoveTheVideoSection) {
    // HDMI video present at byte 9: two VICs.
    const ByteList original = {0x6C, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x40, 0x01, 0x02};
    LoadVsdb(original);
    EXPECT_EQ(Text(Video("HDMI_VIC_LEN/VIC_1")), "720x480p 59.94Hz/60Hz 16:9");  // the byte is the item index
    SetInt(X("Latency fields"), 1);
    EXPECT_EQ(Vsdb(),
              (ByteList{0x6E, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x02}));
    EXPECT_EQ(Text(Video("HDMI_VIC_LEN/VIC_1")), "720x480p 59.94Hz/60Hz 16:9");
    SetInt(X("Latency fields"), 2);
    EXPECT_EQ(Bytes()[4], 0x70);
    EXPECT_EQ(Text(Video("HDMI_VIC_LEN")), "2");
    SetInt(X("Latency fields"), 0);
    EXPECT_EQ(Vsdb(), original);
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, GrowthPast31BytesIsRefused) {
    ByteList block = {0x7D, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00};
    block.resize(30, 0x00);  // L 29
    LoadVsdb(block);
    Block before = Copy();
    SetInt(X("Latency fields"), 2);
    ExpectRefused("Insufficient space - VSDB max. length (31 bytes) Exceeded by 2 bytes", before);
    EXPECT_EQ(Text(X("Latency fields")), "No latency fields");
    SetInt(X("Latency fields"), 1);
    EXPECT_EQ(Bytes()[4], 0x7F);
    before = Copy();
    Set(X("HDMI Video present"), ECVariant::OfBool(1));
    ExpectRefused("Insufficient space - VSDB max. length (31 bytes) Exceeded by 2 bytes", before);
}

TEST_F(CeaVendor, FlagBitsReservedActionsAndFourLatencies) {
    // Reserved bits set in bytes 6, 8 and p; four latencies; the section at 13.
    LoadVsdb({0x6E, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x86, 0x44, 0xF0, 0x10, 0x20, 0x30, 0x40, 0x87, 0x00});
    EXPECT_EQ(ChildNames(X("Latency fields")),
              (QStringList{"Video Latency", "Audio Latency", "Interlaced Video Latency", "Interlaced Audio Latency"}));
    EXPECT_EQ(Text(X("Latency fields/Interlaced Audio Latency")), "126");
    struct Step {
        const char* entry;  // below "Extension fields"
        int value;
        int byte;  // in the VSDB
        const char* before;
        uint8_t after;
    } steps[] = {
        {"Reserved bits, offset 6", 0, 6, "Bad", 0x80},
        {"Reserved bits, offset 8", 0, 8, "Bad", 0xE0},
        {"DVI_Dual", 1, 6, "No", 0x81},
        {"Content type 'Game'", 1, 8, "No", 0xE8},
        {"HDMI Video present/3D_present", 0, 13, "Yes", 0x07},
        {"HDMI Video present/Reserved bits, (HDMI_video_present)", 0, 13, "Bad", 0x00},
    };
    for (const Step& s : steps) {
        ECEntry* e = Must(X(s.entry), s.entry);
        EXPECT_EQ(Text(e), s.before) << s.entry;
        Set(e, (e->GetFlags() & ECT_TYPE_MASK) == ECT_BOOL ? ECVariant::OfBool(s.value) : ECVariant::OfInt(s.value));
        EXPECT_TRUE(Errors().isEmpty()) << s.entry;
        EXPECT_EQ(Bytes()[4 + s.byte], s.after) << s.entry;
    }
    EXPECT_EQ(Text(X("Reserved bits, offset 6")), "Good");
    // Down to two latencies: the first two stay, the section moves to byte 11.
    SetInt(X("Latency fields"), 1);
    EXPECT_EQ(Vsdb(), (ByteList{0x6C, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x81, 0x44, 0xA8, 0x10, 0x20, 0x00, 0x00}));
    EXPECT_EQ(ChildNames(X("Latency fields")), (QStringList{"Any Video Latency", "Any Audio Latency"}));
    EXPECT_EQ(Text(X("Latency fields/Any Audio Latency")), "62");
    EXPECT_EQ(Text(Video("Reserved bits, (HDMI_video_present)")), "Good");
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, InvalidLatencySettingPutsTheSectionAtByte11) {
    LoadVsdb({0x6C, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x60, 0x05, 0x06, 0x18, 0x00});
    EXPECT_EQ(Text(X("Latency fields")), "Invalid setting");
    EXPECT_EQ(X("Latency fields")->ChildCount(), 0);
    EXPECT_EQ(Text(Video("Image_size")), "Correct size divided by 5 cm, rounded to nearest 5cm");
    SetInt(Video("Image_size"), 1);
    EXPECT_EQ(Bytes()[15], 0x08);
}

TEST_F(CeaVendor, HdmiVideoPresentAddsAndDropsTheSection) {
    LoadVsdb({0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(Video()->ChildCount(), 0);
    Set(Video(), ECVariant::OfBool(1));
    EXPECT_EQ(Vsdb(), (ByteList{0x6A, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}));
    EXPECT_EQ(ChildNames(Video()), (QStringList{"3D_present", "3D_Multi_preset", "Image_size", "HDMI_VIC_LEN",
                                                "Additional 3D format info", "Reserved bits, (HDMI_video_present)"}));
    SetInt(Video("HDMI_VIC_LEN"), 3);
    EXPECT_EQ(Bytes()[4], 0x6D);
    Set(Video(), ECVariant::OfBool(0));
    EXPECT_EQ(Vsdb(), (ByteList{0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00}));
    ExpectVideoBlockFollows();
}

// A VSDB with HDMI video at byte 9, two VICs and the given 3D entries.
ByteList With3DEntries(uint8_t multi, const ByteList& entries) {
    ByteList b = {0x60, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, static_cast<uint8_t>(0x80 | multi),
                  0x40, 0x01, 0x03};
    for (uint8_t e : entries) b.push_back(e);
    b[0] = static_cast<uint8_t>(0x60 | (b.size() - 1));
    b[10] = static_cast<uint8_t>(0x40 | entries.size());
    return b;
}

TEST_F(CeaVendor, VicLengthMovesTheFollowingBytes) {
    LoadVsdb(With3DEntries(0x00, {0x10, 0x26}));
    SetInt(Video("HDMI_VIC_LEN"), 1);
    EXPECT_EQ(Vsdb(), (ByteList{0x6D, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x80, 0x22, 0x01, 0x10, 0x26}));
    EXPECT_EQ(ChildNames(Video("HDMI_VIC_LEN")), QStringList{"VIC_0"});
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_2")), "Top-and-Bottom");
    const Block before = Copy();
    SetInt(Video("HDMI_VIC_LEN"), 8);
    ExpectRefused("Out of range - Possible range 0-7", before);
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, StructureChangesAddAndRemoveTheDetailByte) {
    LoadVsdb(With3DEntries(0x00, {0x18, 0x10, 0x26}));
    ECEntry* info = Video("Additional 3D format info");
    EXPECT_EQ(Text(info), "3");
    EXPECT_EQ(ChildNames(info), (QStringList{"2D_VIC_Order_1", "3D_Structure_1", "2D_VIC_Order_2", "3D_Structure_2"}));
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_1")), "Side-by-Side (Half)");
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_1/3D_Detail_X")), "1");
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_1/3D detail reserved bits")), "1");

    SetInt(Video("Additional 3D format info/3D_Structure_1"), 0);
    EXPECT_EQ(Slice(Bytes(), 14, 18), (ByteList{0x40 | 2, 0x01, 0x03, 0x10}));
    EXPECT_EQ(Bytes()[18], 0x26);
    EXPECT_EQ(Bytes()[4], 0x6E);
    EXPECT_EQ(Video("Additional 3D format info/3D_Structure_1")->ChildCount(), 0);

    SetInt(Video("Additional 3D format info/3D_Structure_1"), 2);
    EXPECT_EQ(Slice(Bytes(), 17, 20), (ByteList{0x18, 0x00, 0x26}));
    EXPECT_EQ(Bytes()[14], 0x43);
    ECEntry* detail = Video("Additional 3D format info/3D_Structure_1/3D_Detail_X");
    SetInt(detail, 5);
    EXPECT_EQ(Bytes()[18], 0x50);
    Block before = Copy();
    SetInt(detail, 16);
    ExpectRefused("Out of range - Possible range 0-15", before);
    SetInt(Video("Additional 3D format info/2D_VIC_Order_2"), 16);
    ExpectRefused("Out of range - Possible range 0-15", before);
    SetInt(Video("Additional 3D format info/2D_VIC_Order_2"), 15);
    EXPECT_EQ(Bytes()[19], 0xF6);
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, InvalidStructureWithDetailByteLosesItWhenChanged) {
    // Structure 0Fh (reserved) has bit 3 set: a detail byte follows it.
    LoadVsdb(With3DEntries(0x00, {0x1F, 0x30, 0x26}));
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_1")), "Invalid");
    EXPECT_EQ(ChildNames(Video("Additional 3D format info")).size(), 4);
    SetInt(Video("Additional 3D format info/3D_Structure_1"), 1);
    EXPECT_EQ(Slice(Bytes(), 17, 19), (ByteList{0x16, 0x26}));
    EXPECT_EQ(Bytes()[4], 0x6E);
    EXPECT_EQ(Bytes()[14], 0x42);
    EXPECT_EQ(Text(Video("Additional 3D format info/3D_Structure_2")), "Top-and-Bottom");
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, Additional3DFormatInfoLength) {
    LoadVsdb(With3DEntries(0x00, {0x10, 0x26}));
    ECEntry* info = Video("Additional 3D format info");
    SetInt(info, 3);
    EXPECT_EQ(Bytes()[4], 0x6F);
    EXPECT_EQ(Bytes()[14], 0x43);
    EXPECT_EQ(Bytes()[19], 0x00);
    EXPECT_EQ(info->ChildCount(), 6);
    SetInt(info, 0);
    EXPECT_EQ(Vsdb(), (ByteList{0x6C, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x80, 0x40, 0x01, 0x03}));
    EXPECT_EQ(info->ChildCount(), 0);
    ExpectVideoBlockFollows();

    Load(MakeCea({With3DEntries(0x00, {0x18, 0x10}), {0x41, 0x10}}));
    const Block before = Copy();
    SetInt(Video("Additional 3D format info"), 1);  // would cut the detail byte off
    ExpectRefused("Structural sanity test: Length 1 is invalid for this structure.", before);
    SetInt(Video("Additional 3D format info"), -1);
    ExpectRefused("Structural sanity test: Length -1 is invalid for this structure.", before);
}

TEST_F(CeaVendor, ThreeDMultiPresentInsertsStructureAndMask) {
    LoadVsdb(With3DEntries(0x00, {0x10}));
    ECEntry* multi = Video("3D_Multi_preset");
    EXPECT_EQ(Text(multi), "No fields");
    SetInt(multi, 1);
    EXPECT_EQ(Slice(Bytes(), 13, 19), (ByteList{0xA0, 0x43, 0x01, 0x03, 0x00, 0x00}));
    EXPECT_EQ(Bytes()[19], 0x10);
    EXPECT_EQ(ChildNames(multi), (QStringList{"Frame Packing 3D format", "Top and Bottom 3D format",
                                              "Side-by-Side (half) 3D format", "Reserved (3D format)"}));
    Set(Video("3D_Multi_preset/Top and Bottom 3D format"), ECVariant::OfBool(1));
    Set(Video("3D_Multi_preset/Side-by-Side (half) 3D format"), ECVariant::OfBool(1));
    EXPECT_EQ(Slice(Bytes(), 17, 19), (ByteList{0x01, 0x40}));
    EXPECT_EQ(Text(Video("3D_Multi_preset/Reserved (3D format)")), "Good");
    EXPECT_EQ(Text(Video("Additional 3D format info")), "1");

    SetInt(multi, 2);
    EXPECT_EQ(Bytes()[14], 0x45);
    EXPECT_EQ(multi->ChildCount(), 20);
    Set(Video("3D_Multi_preset/3D Mask bit, VIC Index 9"), ECVariant::OfBool(1));
    EXPECT_EQ(Slice(Bytes(), 17, 22), (ByteList{0x01, 0x40, 0x02, 0x00, 0x10}));

    SetInt(multi, 0);
    EXPECT_EQ(Vsdb(), With3DEntries(0x00, {0x10}));
    ExpectVideoBlockFollows();
}

// Inner lengths that claim more than the block holds: a Set moves only the
// bytes that are there and never touches the fields in front of the section.
TEST_F(CeaVendor, InnerLengthsBeyondTheBlockNeverCutIntoEarlierFields) {
    struct Case {
        const char* what;
        ByteList loaded;
        const char* entry;
        int value;
        ByteList expected;
    } cases[] = {
        // HDMI_VIC_LEN 7 at byte 10, but the block ends there.
        {"VICs",
         {0x6A, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x00, 0xE0},
         "HDMI_VIC_LEN",
         0,
         {0x6A, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x00, 0x00}},
        {"VICs grow",
         {0x6B, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x00, 0x60, 0x10},
         "HDMI_VIC_LEN",
         4,
         {0x6E, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x00, 0x80, 0x10, 0x00, 0x00, 0x00}},
        // 3D_Structure_ALL and 3D_MASK announced, none of their bytes present.
        {"3D_Multi_present",
         {0x6A, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x40, 0x04},
         "3D_Multi_preset",
         0,
         {0x6A, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x00, 0x00}},
        // Three of the four bytes present: one is dropped.
        {"3D_Multi_present partly",
         {0x6D, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x40, 0x04, 0x01, 0x40, 0x02},
         "3D_Multi_preset",
         1,
         {0x6C, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x44, 0x20, 0x20, 0x02, 0x01, 0x40}},
    };
    for (const Case& c : cases) {
        LoadVsdb(c.loaded);
        SetInt(Must(Video(c.entry), c.what), c.value);
        EXPECT_TRUE(Errors().isEmpty()) << c.what;
        EXPECT_EQ(Vsdb(), c.expected) << c.what;
        ExpectVideoBlockFollows();
        collection.Clear();
    }
}

TEST_F(CeaVendor, CompletingPartialExtensionFieldsKeepsTheirBytes) {
    LoadVsdb({0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x44});
    Set(V("Extension fields"), ECVariant::OfBool(1));
    EXPECT_EQ(Vsdb(), (ByteList{0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x44, 0x00}));
    EXPECT_EQ(Text(V("Extension fields")), "Yes");
    EXPECT_EQ(Text(X("_AI")), "Yes");
    EXPECT_EQ(Text(X("Max TMDS Clock rate")), "340");
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, ReservedThreeDMultiValue) {
    LoadVsdb(With3DEntries(0x60, {0x00, 0x00, 0x00, 0x00, 0x10}));
    EXPECT_EQ(Text(Video("3D_Multi_preset")), "Reserved for future use");
    EXPECT_EQ(Text(Video("Additional 3D format info")), "1");
    EXPECT_EQ(Video("Additional 3D format info")->ChildCount(), 0);
    const Block before = Copy();
    SetInt(Video("3D_Multi_preset"), 0);
    ExpectRefused("Invalid encoding - Please re-build HDMI VSDB from scratch", before);
    SetInt(Video("Additional 3D format info"), 3);
    ExpectRefused("Invalid encoding - Please re-build HDMI VSDB from scratch", before);
}

TEST_F(CeaVendor, OtherVendors) {
    LoadVsdb({0x66, 0x46, 0xD0, 0x00, 0x11, 0x22, 0x33});
    EXPECT_EQ(Text(V()), "Other");
    EXPECT_EQ(Text(V("IEEE registration Identification")), "0x00d046");
    EXPECT_EQ(ChildNames(V("Payload size")), (QStringList{"Payload Byte 0", "Payload Byte 1", "Payload Byte 2"}));
    EXPECT_EQ(Text(V("Payload size/Payload Byte 2")), "51");
    SetInt(V(), kOtherIndex);
    EXPECT_EQ(Slice(Bytes(), 4, 8), (ByteList{0x63, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Text(V("IEEE registration Identification")), "0x000000");
    EXPECT_EQ(V("Payload size")->ChildCount(), 0);
    SetInt(V(), 0);
    EXPECT_EQ(Slice(Bytes(), 4, 10), (ByteList{0x65, 0x03, 0x0C, 0x00, 0x11, 0x22}));
    EXPECT_EQ(Text(V("Component physical address")), "1.1.2.2");
    ExpectVideoBlockFollows();
}

// ---------------------------------------------------------------------------
// HDMI Forum VSDB

TEST_F(CeaVendor, HdmiForumVsdbDecodesInTheSinkBuildOnly) {
    LoadVsdb({0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07});
    if (!kForum) {
        EXPECT_EQ(Text(V()), "Other");
        EXPECT_EQ(Text(V("IEEE registration Identification")), "0xc45dd8");
        EXPECT_EQ(V("Payload size")->ChildCount(), 4);
        EXPECT_EQ(V("SCDC present"), nullptr);
        return;
    }
    EXPECT_EQ(Text(V()), "HDMI HF-VSDB");
    EXPECT_EQ(Text(V("Version")), "1");
    EXPECT_EQ(Text(V("Max. TMDS Character Rate")), "600");
    EXPECT_EQ(Text(V("SCDC present")), "Yes");
    EXPECT_EQ(Text(V("Read Request capable")), "No");
    for (const char* dc : {"DC 48bit 4:2:0", "DC 36bit 4:2:0", "DC 30bit 4:2:0"}) EXPECT_EQ(Text(V(dc)), "Yes") << dc;
    EXPECT_EQ(Text(V("Reserved bits")), "Good");
    Set(V("Independet view"), ECVariant::OfBool(1));
    EXPECT_EQ(Bytes()[10], 0x84);

    Block before = Copy();
    SetInt(V("Version"), 2);
    ExpectRefused("Out of range - Value must be 1", before);
    SetInt(V("Max. TMDS Character Rate"), 1276);
    ExpectRefused("Out of range. Available range is 0 to 1275 MHz", before);
    SetInt(V("Max. TMDS Character Rate"), 1274);
    EXPECT_TRUE(Warnings().isEmpty());
    EXPECT_EQ(Bytes()[9], 254);

    Load(MakeCea({{0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x0F}}));
    EXPECT_EQ(Text(V("Reserved bits")), "Bad");
    SetInt(V("Reserved bits"), 0);
    EXPECT_EQ(Bytes()[11], 0x07);
    EXPECT_EQ(Text(V("Reserved bits")), "Good");
}

TEST_F(CeaVendor, ChoosingHdmiForumKeepsTheCopiedBytes) {
    LoadVsdb({0x67, 0x00, 0x00, 0x00, 0x01, 0x78, 0x80, 0x07});
    SetInt(V(), kOtherIndex);  // L 3: bytes 4 to 7 stay in the copy
    EXPECT_EQ(Slice(Bytes(), 4, 8), (ByteList{0x63, 0x00, 0x00, 0x00}));
    SetInt(V(), 1);
    if (kForum) {
        EXPECT_EQ(Vsdb(), (ByteList{0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07}));
        EXPECT_EQ(Text(V("Max. TMDS Character Rate")), "600");
    } else {
        // Item 1 is "Other" in the compliance-test build.
        EXPECT_EQ(Vsdb(), (ByteList{0x63, 0x00, 0x00, 0x00}));
        EXPECT_EQ(Text(V()), "Other");
    }
    ExpectVideoBlockFollows();
}

TEST_F(CeaVendor, ShortHdmiForumBlockRefusesFieldsOutsideIt) {
    LoadVsdb({0x65, 0xD8, 0x5D, 0xC4, 0x01, 0x78});
    if (!kForum) {
        EXPECT_EQ(ChildNames(V()), (QStringList{"IEEE registration Identification", "Payload size"}));
        EXPECT_EQ(ChildNames(V("Payload size")), (QStringList{"Payload Byte 0", "Payload Byte 1"}));
        return;
    }
    EXPECT_EQ(Text(V("SCDC present")), "No");
    const Block before = Copy();
    Set(V("SCDC present"), ECVariant::OfBool(1));
    ExpectRefused("Error writing SCDC present", before);
    SetInt(V("Reserved bits"), 0);
    ExpectRefused("Error writing Reserved bits", before);
    SetInt(V("Max. TMDS Character Rate"), 300);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Bytes()[9], 60);
}

}  // namespace
