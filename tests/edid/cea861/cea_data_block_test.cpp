// Data block kinds of the CEA-861 codec: the type entry and its templates,
// audio, video, speaker allocation, VESA DTC, the extended-tag blocks and the
// VESA video display device information block.

#include "edid/cea861/CeaTestSupport.h"

using namespace cea_test;

namespace {

class CeaBlocks : public CeaFixture {
protected:
    // Loads a block holding the given data blocks (after a base block).
    void LoadBlocks(const std::vector<ByteList>& blocks) { Load(MakeCea(blocks)); }
    ByteList Block0() const { return FirstBlock(); }
    void ExpectRefused(const QString& error, const Block& before) {
        EXPECT_EQ(Errors(), QStringList{error});
        EXPECT_EQ(Copy(), before);
        log.Clear();
    }
};

TEST_F(CeaBlocks, TypeNamesByHeaderAndExtendedTag) {
    struct Case {
        ByteList block;
        const char* name;
    } cases[] = {
        {{0x3C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28},
         "Audio"},
        {{0x41, 0x10}, "Video"},
        {{0x63, 0x00, 0x00, 0x00}, "Vendor specific"},
        {{0x83, 0x01, 0x00, 0x00}, "Speaker allocation"},
        {{0xA1, 0x00}, "VESA DTC"},
        {{0x01, 0x00}, "RESERVED (0)"},
        {{0xC4, 1, 2, 3, 4}, "RESERVED (6)"},
        {{0xE2, 0x00, 0x00}, "Video capability"},
        {{0xE1, 0x01}, "Vendor specific video"},
        {{0xE1, 0x02}, "RESERVED (VESA Video Display Device Information data block)"},
        {{0xE1, 0x03}, "RESERVED (VESA Video Data Block)"},
        {{0xE1, 0x04}, "RESERVED (HDMI Video Data Block)"},
        {{0xE3, 0x05, 0x00, 0x00}, "Colorimetry"},
        {{0xE2, 0x07, 0x00}, "Reserved for video related blocks"},
        {{0xE1, 0x10}, "CEA Misc. audio"},
        {{0xE1, 0x11}, "Vendor specific audio"},
        {{0xE2, 0x12, 0x00}, "RESERVED (HDMI Audio data block)"},
        {{0xE2, 0x15, 0x00}, "Reserved for audio related blocks"},
        {{0xE2, 0x40, 0x00}, "Reserved for general use"},
    };
    std::vector<ByteList> blocks;
    for (const Case& c : cases) blocks.push_back(c.block);
    LoadBlocks(blocks);
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(Text(D(static_cast<int>(i))), cases[i].name) << i;
    EXPECT_EQ(D(6)->ChildCount(), 0);  // tag 6 has no fields
    EXPECT_EQ(D(5)->ChildCount(), 0);
}

TEST_F(CeaBlocks, ChoosingATypeWritesItsTemplate) {
    struct Case {
        int index;
        ByteList bytes;
        const char* firstChild;
    } cases[] = {
        {0, {0x23, 0x00, 0x00, 0x00}, "Audio Data Block count"},
        {1, {0x41, 0x00}, "Short video descriptor count"},
        {2, {0x63, 0x00, 0x00, 0x00}, "Vendor specific data block"},
        {3, {0x83, 0x00, 0x00, 0x00}, "FLW/FRW"},
        {4, {0xA0}, "[Not supported] VESA DTC"},
        {5, {0xE2, 0x00, 0x00}, "Quantization range"},
        {6, {0xE4, 0x01, 0x00, 0x00, 0x00}, "IEEE Registration Identifier"},
        {7, {0xE3, 0x05, 0x00, 0x00}, "SD Colorimetry [IEC 61966-2-4]"},
        {8, {0xE1, 0x10}, "[Not supported] CEA Misc audio"},
        {9, {0xE4, 0x11, 0x00, 0x00, 0x00}, "IEEE Registration Identifier"},
        {10,
         {0xFF, 0x02, 0x92, 0x11, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x40, 0x06, 0x3C, 0x11, 0x0A, 0x18, 0x18,
          0xD0, 0x80, 0x83, 0x8F, 0x3C, 0x88, 0x41, 0x02, 0x25, 0x4A, 0x7E, 0x77, 0x00, 0x00, 0x8C, 0x57},
         "Interface Type"},
    };
    for (const Case& c : cases) {
        ECCollection col(log.Closure());
        const Block b = MakeCea({{0x23, 0x09, 0x07, 0x07}, {0x42, 0x90, 0x04}});
        ASSERT_EQ(col.AddBlock(b.data(), 128), 0);
        ECEntry* type = col.Root()->FindEntry(":/0/CEA Extensions Version/CEA Data block count/Data block 0 Type");
        type->SetValue(ECVariant::OfInt(c.index));
        type->CallRethinkFunction();
        const uint8_t* bytes = col.GetBlock(0)->Bytes();
        const int end = 4 + static_cast<int>(c.bytes.size());
        EXPECT_EQ(Slice(bytes, 4, end), c.bytes) << c.index;
        EXPECT_EQ(Slice(bytes, end, end + 3), (ByteList{0x42, 0x90, 0x04})) << c.index;
        EXPECT_EQ(bytes[2], end + 3) << c.index;
        EXPECT_TRUE(edid_test::ChecksumGood(bytes)) << c.index;
        ASSERT_GT(type->ChildCount(), 0) << c.index;
        EXPECT_EQ(type->GetChild(0)->GetName(), c.firstChild) << c.index;
    }
}

TEST_F(CeaBlocks, TypeWithoutSelectionIsRefused) {
    LoadBlocks({{0x23, 0x09, 0x07, 0x07}});
    const Block before = Copy();
    ECEntry* child = D(0)->GetChild(0);
    SetInt(D(0), -1);
    ExpectRefused("Please, select an option", before);
    EXPECT_EQ(D(0)->GetChild(0), child);
}

TEST_F(CeaBlocks, TypeThatNoLongerFitsIsRefused) {
    // 100 bytes of data blocks: the 32-byte display device block replacing the
    // 4-byte audio block would end at byte 131.
    ByteList big(32, 0);
    big[0] = 0x5F;
    LoadBlocks({{0x23, 0x09, 0x07, 0x07}, big, big, big});
    const Block before = Copy();
    SetInt(D(0), 10);
    ExpectRefused(
        "CEA-861 codec internal error triggered with message:\r\n'SaveCEABlock() Failed - Target space overrun'.",
        before);
    EXPECT_EQ(Text(D(0)), "Audio");
    // A smaller block still fits.
    SetInt(D(0), 7);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Block0(), (ByteList{0xE3, 0x05, 0x00, 0x00}));
}

// ---------------------------------------------------------------------------
// Audio

TEST_F(CeaBlocks, PcmShortAudioDescriptor) {
    LoadBlocks({{0x23, 0x09, 0x07, 0x07}});
    ECEntry* count = D(0, "Audio Data Block count");
    EXPECT_EQ(Text(count), "1");
    ECEntry* format = D(0, "Audio Data Block count/Audio Format");
    EXPECT_EQ(Text(format), "PCM");
    const QString sad = "Audio Data Block count/Audio Format/";
    EXPECT_EQ(Text(D(0, sad + "Maximum number of channels")), "2");
    for (const char* rate : {"48 kHz samplerate", "44.1 kHz samplerate", "32 kHz samplerate"})
        EXPECT_EQ(Text(D(0, sad + rate)), "Yes") << rate;
    EXPECT_EQ(Text(D(0, sad + "96 kHz samplerate")), "No");
    for (const char* bits : {"24 bits per sample", "20 bits per sample", "16 bits per sample"})
        EXPECT_EQ(Text(D(0, sad + bits)), "Yes") << bits;
    EXPECT_EQ(Text(D(0, sad + "Reserved bits")), "Good");

    SetInt(D(0, sad + "Maximum number of channels"), 8);
    EXPECT_EQ(Block0(), (ByteList{0x23, 0x0F, 0x07, 0x07}));
    Block before = Copy();
    SetInt(D(0, sad + "Maximum number of channels"), 9);
    ExpectRefused("Out of range - Possible range 1-8", before);

    SetInt(count, 2);
    EXPECT_EQ(Bytes()[4], 0x26);
    EXPECT_EQ(count->ChildCount(), 2);
    before = Copy();
    SetInt(count, 11);
    ExpectRefused("Out of range - Possible range 0-10", before);
    EXPECT_EQ(count->ChildCount(), 2);
}

TEST_F(CeaBlocks, AudioFormatSwitchRebuildsTheDescriptor) {
    LoadBlocks({{0x26, 0x15, 0x07, 80, 0x7F, 0x07, 0x08}});  // AC-3 at 640 kHz, Extended HE-AAC
    const QString first = "Audio Data Block count/Audio Format";
    ECEntry* ac3 = D(0, "Audio Data Block count")->GetChild(0);
    ECEntry* ext = D(0, "Audio Data Block count")->GetChild(1);
    EXPECT_EQ(Text(ac3), "AC-3");
    EXPECT_EQ(Text(ext), "Extended");
    EXPECT_EQ(Text(D(0, first + "/Max. Bitrate")), "640");
    SetInt(D(0, first + "/Max. Bitrate"), 645);
    EXPECT_EQ(Bytes()[7], 80);
    Block before = Copy();
    SetInt(D(0, first + "/Max. Bitrate"), 2041);
    ExpectRefused("Out of range - Possible range 0-2040 kHz", before);

    auto child = [](ECEntry* e, const char* name) -> ECEntry* {
        for (int i = 0; i < e->ChildCount(); ++i)
            if (e->GetChild(i)->GetName() == name) return e->GetChild(i);
        return nullptr;
    };
    EXPECT_EQ(Text(child(ext, "Extended audio format")), "HE-AAC");
    SetInt(child(ext, "Extended audio format"), 2);
    EXPECT_EQ(Bytes()[10], 0x18);
    EXPECT_EQ(Text(child(ext, "Reserved bits")), "Good");

    // WMA Pro keeps s2's upper bits; its reserved kind covers them.
    SetInt(ac3, 13);
    EXPECT_EQ(Bytes()[5], 0x75);
    ASSERT_NE(child(ac3, "WMPA Pro profile"), nullptr);
    EXPECT_EQ(Text(child(ac3, "WMPA Pro profile")), "0");  // 80 = 50h: profile bits 0
    SetInt(child(ac3, "WMPA Pro profile"), 5);
    EXPECT_EQ(Bytes()[7], 0x55);
    EXPECT_EQ(Text(child(ac3, "Reserved bits")), "Bad");
    SetInt(child(ac3, "Reserved bits"), 0);
    EXPECT_EQ(Bytes()[7], 0x05);
    EXPECT_EQ(Bytes()[5], 0x75);
    before = Copy();
    SetInt(child(ac3, "WMPA Pro profile"), 8);
    ExpectRefused("Out of range - Possible range 0-7", before);

    SetInt(ac3, 9);  // DST: format dependent value
    EXPECT_EQ(Text(child(ac3, "Audio format dependent value")), "5");
    SetInt(child(ac3, "Audio format dependent value"), 255);
    EXPECT_EQ(Bytes()[7], 255);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaBlocks, ReservedBitsOfACompressedFormatKeepItsBitrate) {
    LoadBlocks({{0x23, 0x95, 0x07, 80}});  // s0 bit 7 set
    ECEntry* reserved = D(0, "Audio Data Block count/Audio Format/Reserved bits");
    EXPECT_EQ(Text(reserved), "Bad");
    SetInt(reserved, 0);
    EXPECT_EQ(Block0(), (ByteList{0x23, 0x15, 0x07, 80}));
    EXPECT_EQ(Text(reserved), "Good");
}

// ---------------------------------------------------------------------------
// Video, speaker allocation, VESA DTC

TEST_F(CeaBlocks, ShortVideoDescriptors) {
    LoadBlocks({{0x42, 0x90, 0x04}});
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 0/Native mode")), "Yes");
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 0/Video mode")), "1920x1080p 59.94Hz/60Hz 16:9");
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 1/Native mode")), "No");
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 1/Video mode")), "1280x720p 59.94Hz/60Hz 16:9");
    SetInt(D(0, "Short video descriptor count/Short video desc 0/Video mode"), 0);
    EXPECT_EQ(Bytes()[5], 0x81);
    SetInt(D(0, "Short video descriptor count/Short video desc 1/Video mode"), 63);
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 1/Video mode")), "1920x1080p 100Hz 16:9");
    const Block before = Copy();
    SetInt(D(0, "Short video descriptor count"), 32);
    ExpectRefused("Out of range - Possible range 0-31", before);
    SetInt(D(0, "Short video descriptor count"), 3);
    EXPECT_EQ(Block0(), (ByteList{0x43, 0x81, 0x40, 0x00}));
    EXPECT_EQ(Text(D(0, "Short video descriptor count/Short video desc 2/Video mode")), "Index reference out of range");
}

TEST_F(CeaBlocks, SpeakerAllocation) {
    LoadBlocks({{0x83, 0x4F, 0x07, 0x00}});
    for (const char* set : {"FL/FR", "LFE", "FC", "RL/RR", "RLC/RRC", "FCH", "TC", "FLH/FRH"})
        EXPECT_EQ(Text(D(0, set)), "Yes") << set;
    for (const char* clear : {"FLW/FRW", "FLC/FRC", "RC"}) EXPECT_EQ(Text(D(0, clear)), "No") << clear;
    EXPECT_EQ(Text(D(0, "Reserved bits")), "Good");
    Set(D(0, "RC"), ECVariant::OfBool(1));
    EXPECT_EQ(Bytes()[5], 0x5F);

    Load(MakeCea({{0x83, 0x4F, 0xFF, 0x01}}));
    EXPECT_EQ(Text(D(0, "Reserved bits")), "Bad");
    SetInt(D(0, "Reserved bits"), 0);
    EXPECT_EQ(Block0(), (ByteList{0x83, 0x4F, 0x07, 0x00}));
}

TEST_F(CeaBlocks, VesaDtcShowsItsPayloadBytes) {
    LoadBlocks({{0xA3, 0x11, 0x22, 0x33}});
    ECEntry* size = D(0, "[Not supported] VESA DTC");
    EXPECT_EQ(Text(size), "3");
    EXPECT_EQ(ChildNames(size), (QStringList{"Data Byte 0", "Data Byte 1", "Data Byte 2"}));
    EXPECT_EQ(Text(D(0, "[Not supported] VESA DTC/Data Byte 2")), "51");
    SetInt(D(0, "[Not supported] VESA DTC/Data Byte 0"), 0xAA);
    EXPECT_EQ(Bytes()[5], 0xAA);
    Block before = Copy();
    SetInt(D(0, "[Not supported] VESA DTC/Data Byte 0"), 256);
    ExpectRefused("Out of range - Possible range 0-255", before);
    SetInt(size, 1);
    EXPECT_EQ(Block0(), (ByteList{0xA1, 0xAA}));
    EXPECT_EQ(size->ChildCount(), 1);
    before = Copy();
    SetInt(size, 32);
    ExpectRefused("Out of range - Possible range 0-31", before);
}

// ---------------------------------------------------------------------------
// Extended-tag blocks

TEST_F(CeaBlocks, VideoCapability) {
    LoadBlocks({{0xE2, 0x00, 0xC0}});
    ECEntry* type = D(0);
    ASSERT_EQ(type->ChildCount(), 5);
    EXPECT_EQ(type->GetChild(0)->GetRangeHint(), "QY");
    EXPECT_EQ(Text(type->GetChild(0)), "Selectable");
    EXPECT_EQ(type->GetChild(1)->GetRangeHint(), "QS");
    EXPECT_EQ(Text(type->GetChild(1)), "Selectable");
    for (int i = 2; i < 5; ++i) EXPECT_EQ(Text(type->GetChild(i)), "No Data");
    SetInt(D(0, "PT Overscan / Underscan behaviour"), 3);
    EXPECT_EQ(Bytes()[6], 0xF0);
    SetInt(D(0, "CE Overscan / Underscan behaviour"), 2);
    EXPECT_EQ(Text(D(0, "CE Overscan / Underscan behaviour")), "Always Underscanned");
    SetInt(type->GetChild(1), 0);
    EXPECT_EQ(Bytes()[6], 0xB2);
    const Block before = Copy();
    SetInt(D(0, "IT Overscan / Underscan behaviour"), -1);
    ExpectRefused("Please, select an option", before);
}

TEST_F(CeaBlocks, FieldOutsideTheLoadedLengthIsNotWritten) {
    LoadBlocks({{0xE1, 0x00}, {0xE2, 0x05, 0x01}});  // video capability and colorimetry, both too short
    Block before = Copy();
    SetInt(D(0, "PT Overscan / Underscan behaviour"), 1);
    ExpectRefused("Error writing PT Overscan / Underscan behaviour", before);
    Set(D(1, "Metadata profile (2)"), ECVariant::OfBool(1));
    ExpectRefused("Error writing Metadata profile (2)", before);
    SetInt(D(1, "Reserved bits"), 0);
    ExpectRefused("Error writing Reserved bits", before);
    Set(D(1, "HD Colorimetry [IEC 61966-2-4]"), ECVariant::OfBool(1));  // byte 2 lies inside
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Slice(Bytes(), 6, 9), (ByteList{0xE2, 0x05, 0x03}));
}

TEST_F(CeaBlocks, Colorimetry) {
    LoadBlocks({{0xE3, 0x05, 0x01, 0x01}});
    EXPECT_EQ(Text(D(0, "SD Colorimetry [IEC 61966-2-4]")), "Yes");
    EXPECT_EQ(Text(D(0, "HD Colorimetry [IEC 61966-2-4]")), "No");
    EXPECT_EQ(Text(D(0, "Metadata profile (0)")), "Yes");
    EXPECT_EQ(Text(D(0, "Metadata profile (3)")), "No");
    EXPECT_EQ(Text(D(0, "Reserved bits")), "Good");
    Set(D(0, "Colorimetry based on IEC 61966-2-5 [33]"), ECVariant::OfBool(1));
    EXPECT_EQ(Bytes()[6], 0x11);

    Load(MakeCea({{0xE3, 0x05, 0x21, 0x81}}));
    EXPECT_EQ(Text(D(0, "Reserved bits")), "Bad");
    SetInt(D(0, "Reserved bits"), 0);
    EXPECT_EQ(Block0(), (ByteList{0xE3, 0x05, 0x01, 0x01}));
}

TEST_F(CeaBlocks, UnsupportedExtendedBlocksShowDataBytes) {
    LoadBlocks({{0xE4, 0x03, 0x11, 0x22, 0x33}, {0xE2, 0x40, 0x99}, {0xE1, 0x12}, {0xE3, 0x10, 1, 2}});
    ECEntry* size = D(0, "[Not supported] VESA Video Data Block size");
    EXPECT_EQ(Text(size), "2");
    EXPECT_EQ(Text(D(0, "[Not supported] VESA Video Data Block size/Data Byte 0")), "17");
    EXPECT_EQ(Text(D(0, "[Not supported] VESA Video Data Block size/Data Byte 1")), "34");
    EXPECT_NE(D(1, "[Not supported] HDMI Audio data block"), nullptr);
    EXPECT_EQ(Text(D(2, "[Not supported] HDMI Audio data block")), "-1");
    EXPECT_EQ(D(2, "[Not supported] HDMI Audio data block")->ChildCount(), 0);
    EXPECT_NE(D(3, "[Not supported] CEA Misc audio"), nullptr);
    SetInt(size, 0);
    EXPECT_EQ(Block0(), (ByteList{0xE2, 0x03, 0x11}));
    EXPECT_EQ(size->ChildCount(), 0);
    const Block before = Copy();
    SetInt(size, 30);
    ExpectRefused("Out of range - Possible range 0-29", before);
}

TEST_F(CeaBlocks, VendorSpecificAudioAndVideo) {
    LoadBlocks({{0xE4, 0x11, 0x03, 0x0C, 0x00}, {0xE6, 0x01, 0x00, 0x00, 0x00, 0xAB, 0xCD}});
    EXPECT_EQ(Text(D(0, "IEEE Registration Identifier")), "0x000c03");
    EXPECT_EQ(Text(D(0, "Payload size")), "4");
    EXPECT_EQ(D(0, "Payload size")->ChildCount(), 0);
    EXPECT_EQ(ChildNames(D(1, "Payload size")), (QStringList{"Payload Byte 0", "Payload Byte 1"}));
    EXPECT_EQ(Text(D(1, "Payload size/Payload Byte 1")), "205");
    SetInt(D(1, "IEEE Registration Identifier"), 0x00D046);
    EXPECT_EQ(Slice(Bytes(), 11, 14), (ByteList{0x46, 0xD0, 0x00}));
    Block before = Copy();
    SetInt(D(1, "IEEE Registration Identifier"), 0x1000000);
    ExpectRefused("Out of range - Possible range 0-16777215", before);
    for (int bad : {3, 32}) {
        SetInt(D(1, "Payload size"), bad);
        ExpectRefused("Out of range - Possible range 4-31", before);
    }
    SetInt(D(1, "Payload size"), 8);
    EXPECT_EQ(Bytes()[9], 0xE8);
    EXPECT_EQ(D(1, "Payload size")->ChildCount(), 4);
}

// ---------------------------------------------------------------------------
// VESA video display device information

class CeaVddi : public CeaBlocks {
protected:
    void SetUp() override {
        LoadBlocks({{0x23, 0x09, 0x07, 0x07}});
        SetInt(D(0), 10);  // the display device template
        ASSERT_EQ(Bytes()[4], 0xFF);
        log.Clear();
    }
    ECEntry* F(const QString& name) const { return Must(D(0, name), "field"); }
    uint8_t At(int i) const { return Bytes()[4 + i]; }  // byte i of the data block
};

TEST_F(CeaVddi, TemplateDecodes) {
    const std::pair<const char*, const char*> expected[] = {
        {"Interface Type", "Display Port"},
        {"Interface Type/Lanes / Channels", "2"},
        {"Version", "1.1"},
        {"Content protection support", "DPCP (DisplayPort)"},
        {"Minimum lane/channel clock frequency", "0"},
        {"Maximum lane/channel clock frequency", "0"},
        {"Native horizontal resolution", "2560"},
        {"Native Vertical resolution", "1600"},
        {"Aspect Ratio", "1.60:1"},
        {"Horizontal pixel pitch", "0.24"},
        {"Vertical pixel pitch", "0.24"},
        {"Audio delay", "6"},
        {"Native framerate", "60"},
        {"Number of additional primary colors", "2"},
        {"Subpixel information (Layout/Configuration)", "(10) Five subpixels (Order as with chromasity)"},
        {"Misc. display caps./Temporal dithering", "Yes"},
    };
    for (const auto& [name, text] : expected) EXPECT_EQ(Text(D(0, name)), text) << name;
    EXPECT_EQ(ChildNames(F("Number of additional primary colors")),
              (QStringList{"Primary color 5, X coordinate", "Primary color 5, Y coordinate",
                           "Primary color 4, X coordinate", "Primary color 4, Y coordinate", "Reserved bits"}));
    EXPECT_EQ(Text(F("Number of additional primary colors/Reserved bits")), "Good");
}

TEST_F(CeaVddi, FieldSets) {
    struct Case {
        const char* field;
        const char* text;  // set through the text view, as the editor does for this type
        int byte;
        int expected;  // -1: refused with error
        const char* error;
    } cases[] = {
        {"Version", "2.16", 3, -1, "Revision out of range - Possible range 0-15"},
        {"Version", "16.0", 3, -1, "Version out of range - Possible range 0-15"},
        {"Version", "3", 3, 0x30, nullptr},
        {"Native horizontal resolution", "65536", 7, -1, "Out of range - Possible range 0-65535"},
        {"Native horizontal resolution", "65535", 8, 0xFF, nullptr},
        {"Aspect Ratio", "16:10", 11, 60, nullptr},
        {"Aspect Ratio", "4:3", 11, 33, nullptr},
        {"Aspect Ratio", "16:9", 11, 78, nullptr},
        {"Aspect Ratio", "3:4", 11, -1, "The left value must be greater than right value"},
        {"Aspect Ratio", "16", 11, -1, "Invalid Aspect ratio - Enter aspect as <value>:<value>"},
        {"Aspect Ratio", "4:1", 11, -1, "Out of range - Aspect must be in range of 1:1 to 3.55:1"},
        {"Aspect Ratio", "nan:1", 11, -1, "Out of range - Aspect must be in range of 1:1 to 3.55:1"},
        {"Aspect Ratio", "inf:inf", 11, -1, "Out of range - Aspect must be in range of 1:1 to 3.55:1"},
        {"Audio delay", "-100", 18, 0x32, nullptr},
        {"Audio delay", "100", 18, 0xB2, nullptr},
        {"Audio delay", "256", 18, -1, "Out of range - Possible range -254-254ms"},
        {"Minimum lane/channel clock frequency", "63", 5, 0xFC, nullptr},
        {"Minimum lane/channel clock frequency", "64", 5, -1, "Out of range - Possible range 0-63MHz"},
        {"Maximum lane/channel clock frequency", "1023", 6, 0xFF, nullptr},
        {"Maximum lane/channel clock frequency", "1024", 6, -1, "Out of range - Possible range 0-1023MHz"},
        {"Horizontal overscan", "5", 31, 0x57, nullptr},
        {"Vertical overscan", "3", 31, 0x53, nullptr},
        {"Vertical overscan", "16", 31, -1, "Out of range - Possible range 0-15%"},
        {"Response time", "128", 30, -1, "Out of range - Possible range 0-127ms"},
        {"Framerate deviation", "64", 19, -1, "Out of range - Possible range 0-63"},
        {"Display colordepth", "16", 21, -1, "Out of range - Possible range 0-15"},
    };
    for (const Case& c : cases) {
        const Block before = Copy();
        SetText(F(c.field), c.text);
        if (c.expected < 0) {
            ExpectRefused(c.error, before);
        } else {
            EXPECT_TRUE(Errors().isEmpty()) << c.field << " " << c.text;
            EXPECT_EQ(At(c.byte), c.expected) << c.field << " " << c.text;
            log.Clear();
        }
    }
    EXPECT_EQ(Text(F("Audio delay")), "100");
    SetText(F("Audio delay"), "-100");
    EXPECT_EQ(Text(F("Audio delay")), "-100");
    SetText(F("Aspect Ratio"), "4:3");
    EXPECT_EQ(Text(F("Aspect Ratio")), "1.33:1");
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaVddi, PitchesAndPrimaries) {
    SetFloat(F("Horizontal pixel pitch"), 0.29);
    EXPECT_EQ(At(14), 28);
    Block before = Copy();
    SetFloat(F("Horizontal pixel pitch"), 2.56);
    ExpectRefused("Out of range - Possible range 0.00-2.55mm", before);
    SetText(F("Horizontal pixel pitch"), "nan");
    ExpectRefused("Out of range - Possible range 0.00-2.55mm", before);

    ECEntry* x4 = F("Number of additional primary colors/Primary color 4, X coordinate");
    SetFloat(x4, 0.5);
    EXPECT_EQ(At(24), 128);
    EXPECT_EQ(Text(x4), "0.5");
    // 1.0 rounds to code 1024, which the 10-bit field cannot hold: 1023.
    SetFloat(x4, 1.0);
    EXPECT_EQ(At(24), 0xFF);
    EXPECT_EQ((At(22) >> 6) & 3, 3);
    before = Copy();
    SetFloat(x4, 1.01);
    ExpectRefused("Out of range - Possible range 0.000 - 1.000", before);

    SetInt(F("Number of additional primary colors"), 3);
    EXPECT_EQ(F("Number of additional primary colors")->ChildCount(), 7);
    SetFloat(F("Number of additional primary colors/Primary color 6, Y coordinate"), 0.25);
    EXPECT_EQ(At(29), 64);
    SetInt(F("Number of additional primary colors"), 1);
    EXPECT_EQ(Slice(Bytes(), 4 + 26, 4 + 30), (ByteList{0, 0, 0, 0}));
    EXPECT_EQ(At(22) & 0x0F, 0);
    EXPECT_EQ(At(23) & 0xF0, 0);
    EXPECT_EQ(ChildNames(F("Number of additional primary colors")),
              (QStringList{"Primary color 4, X coordinate", "Primary color 4, Y coordinate", "Reserved bits"}));
    before = Copy();
    SetInt(F("Number of additional primary colors"), 4);
    ExpectRefused("Out of range - Possible range 0-3", before);
}

TEST_F(CeaVddi, InterfaceTypeRebuildsItsSubField) {
    SetInt(F("Interface Type"), 4);
    EXPECT_EQ(At(2), 0x40);
    EXPECT_EQ(F("Interface Type")->ChildCount(), 0);
    SetInt(F("Interface Type"), 1);
    EXPECT_EQ(At(2), 0x11);
    ECEntry* lanes = F("Interface Type/Lanes / Channels");
    EXPECT_EQ(lanes->GetFormat().split("\r\n").size(), 15);
    SetText(lanes, "15");
    EXPECT_EQ(At(2), 0x1F);
    const Block before = Copy();
    SetText(lanes, "16");
    ExpectRefused("Out of range - Possible range 0-15", before);
    SetInt(F("Interface Type"), 0);
    EXPECT_EQ(Text(F("Interface Type/Analog interface type")), "15HD/VGA (VESA EDDC std. pinout)");
    SetInt(F("Interface Type"), 12);
    EXPECT_EQ(Text(F("Interface Type")), "nM1 (Digital)");
}

TEST_F(CeaBlocks, ShortDisplayDeviceBlockRefusesFieldsOutsideIt) {
    // The first 20 bytes of the display device block (L 19).
    LoadBlocks({{0xF3, 0x02, 0x92, 0x11, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x40,
                 0x06, 0x3C, 0x11, 0x0A, 0x18, 0x18, 0xD0, 0x80, 0x83, 0x8F}});
    EXPECT_EQ(Text(D(0, "Aspect Ratio")), "1.60:1");
    const Block before = Copy();
    SetText(D(0, "Vertical overscan"), "3");
    ExpectRefused("Error writing Vertical overscan", before);
    SetText(D(0, "Native framerate"), "50");
    ExpectRefused("Error writing Native framerate", before);
    SetInt(D(0, "Number of additional primary colors"), 1);
    ExpectRefused("Error writing Number of additional primary colors", before);
    SetText(D(0, "Audio delay"), "-10");  // byte 18 lies inside
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Bytes()[4 + 18], 5);
}

}  // namespace
