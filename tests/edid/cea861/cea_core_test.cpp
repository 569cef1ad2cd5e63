// The CEA-861 codec core: detection, the header fields, decoding of the data
// block collection and the descriptors, re-encoding, the counts and the
// refusal of changes that would not fit into the block.

#include "edid/cea861/CeaTestSupport.h"

#include "edid/core/ECViews.h"
#include "edid/vesa/DisplayDescriptor.h"

#include <functional>
#include <memory>

using namespace cea_test;

namespace {

TEST(CeaDetect, AcceptsTag02OfLength128Only) {
    struct Case {
        uint8_t tag;
        int32_t length;
        bool accepted;
    } cases[] = {{0x02, 128, true}, {0x03, 128, false}, {0x02, 127, false}, {0x02, 256, false}, {0x00, 128, false}};
    for (const Case& c : cases) {
        Block b{};
        b[0] = c.tag;
        EXPECT_EQ(CEA861::Detect(b.data(), c.length) != nullptr, c.accepted) << int(c.tag) << " " << c.length;
    }
}

class CeaCore : public CeaFixture {};

TEST_F(CeaCore, BlockAtIndexZeroWarnsAndStillDecodes) {
    const Block b = MakeCea({{0x42, 0x90, 0x04}});
    index = collection.AddBlock(b.data(), 128);
    ASSERT_EQ(index, 0);
    EXPECT_TRUE(log.Texts(EC_LEVEL_WARNING).contains("CEA-861 block at index 0"));
    EXPECT_EQ(Text(E("CEA Data block count")), "1");
    EXPECT_EQ(collection.Root()->FindEntry(":/0")->GetName(), "Block 0 [CEA 861]");
}

TEST_F(CeaCore, Revision3WithDataBlocksAndDescriptorsRoundTrips) {
    const Block b = MakeCea({{0x23, 0x09, 0x07, 0x07}, {0x42, 0x90, 0x04}}, {kDtd1080p, kDtd720p}, 0xF2);
    Load(b);
    EXPECT_EQ(Copy(), b);  // a well-packed block encodes to itself
    EXPECT_EQ(Text(E("CEA Data block count")), "2");
    EXPECT_EQ(Text(E("18-Byte Descriptors in this block")), "2");
    EXPECT_EQ(E("18-Byte Descriptors in this block")->GetRangeHint(), "0 - 6");  // (127 - 11) / 18
    EXPECT_NE(E("18-Byte Descriptors in this block/Descriptor 0"), nullptr);
    EXPECT_NE(E("18-Byte Descriptors in this block/Descriptor 1"), nullptr);
    EXPECT_EQ(Text(E("Native DTD's in entire E-EDID")), "2");
    EXPECT_EQ(Text(E("Sink Underscans IT video")), "Yes");
    EXPECT_EQ(Text(E("YCbCr (4:2:2)")), "Yes");
    EXPECT_EQ(Text(D(0)), "Audio");
    EXPECT_EQ(Text(D(1)), "Video");
    EXPECT_EQ(Text(collection.Root()->FindEntry(":/1/Checksum")), QString::asprintf("Good (%02Xh)", b[127]));
}

TEST_F(CeaCore, Revision1WithoutDataBlocksKeepsAndPacksItsDescriptors) {
    // d = 4, native count 1, descriptors at 4 and 40 with an empty slot at 22.
    Block b{};
    b[0] = 0x02;
    b[1] = 1;
    b[2] = 4;
    b[3] = 0x01;
    std::copy(kDtd1080p.begin(), kDtd1080p.end(), b.begin() + 4);
    std::copy(kDtd720p.begin(), kDtd720p.end(), b.begin() + 40);
    edid_test::FixChecksum(b);
    Load(b);
    EXPECT_EQ(Text(E("")), "1 (NOTE: Codecs are V3 only)");
    EXPECT_EQ(Text(E("CEA Data block count")), "0");
    EXPECT_EQ(Bytes()[2], 4);
    EXPECT_EQ(Slice(Bytes(), 4, 22), kDtd1080p);
    EXPECT_EQ(Slice(Bytes(), 22, 40), kDtd720p);
    EXPECT_EQ(Slice(Bytes(), 40, 58), ByteList(18, 0));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, NoDescriptorOffsetMeansNothingIsRead) {
    for (uint8_t d : {0, 1, 2, 3, 128, 200, 255}) {
        ECCollection c(log.Closure());
        Block b = MakeCea({});
        b[2] = d;
        for (int i = 4; i < 127; ++i) b[i] = 0x41;  // would be video blocks if read
        edid_test::FixChecksum(b);
        ASSERT_EQ(c.AddBlock(b.data(), 128), 0);
        EXPECT_EQ(c.Root()->FindEntry(":/0/CEA Extensions Version/CEA Data block count")->GetValueText(), "0")
            << int(d);
        EXPECT_EQ(c.Root()->FindEntry(":/0/CEA Extensions Version/18-Byte Descriptors in this block")->GetValueText(),
                  "0");
        EXPECT_TRUE(edid_test::ChecksumGood(c.GetBlock(0)->Bytes()));
    }
}

TEST_F(CeaCore, FullBlockEndingAtByte126IsKeptAndGrowthIsRefused) {
    // Data blocks of 32 + 32 + 32 + 27 bytes fill bytes 4 to 126.
    ByteList big(32, 0x00);
    big[0] = 0x5F;  // video, L 31
    for (int i = 1; i < 32; ++i) big[i] = static_cast<uint8_t>(i);
    ByteList last(27, 0x01);
    last[0] = 0x5A;  // video, L 26
    const Block b = MakeCea({big, big, big, last});
    ASSERT_EQ(b[2], 127);
    Load(b);
    EXPECT_EQ(Copy(), b);
    EXPECT_EQ(E("18-Byte Descriptors in this block")->GetRangeHint(), "0 - 0");

    ECEntry* count = D(3, "Short video descriptor count");
    ASSERT_NE(count, nullptr);
    ECEntry* firstChild = count->GetChild(0);
    SetInt(count, 27);
    EXPECT_EQ(Errors(), QStringList{"CEA-861 codec internal error triggered with message:\r\n"
                                    "'SaveCEABlock() Failed - Target space overrun'."});
    EXPECT_EQ(Copy(), b);
    EXPECT_EQ(Text(count), "26");
    EXPECT_EQ(count->GetChild(0), firstChild);  // the children were not rebuilt
    EXPECT_EQ(count->ChildCount(), 26);

    // Another data block does not fit either.
    log.Clear();
    SetInt(E("CEA Data block count"), 5);
    EXPECT_EQ(Errors().size(), 1);
    EXPECT_EQ(Text(E("CEA Data block count")), "4");
    EXPECT_EQ(Copy(), b);
}

TEST_F(CeaCore, GrowthThatPushesDescriptorsPastTheBlockIsRefused) {
    // 87 bytes of data blocks and two descriptors end exactly at byte 126.
    ByteList big(32, 0x01);
    big[0] = 0x5F;
    ByteList rest(23, 0x02);
    rest[0] = 0x56;
    const Block b = MakeCea({big, big, rest}, {kDtd1080p, kDtd720p});
    ASSERT_EQ(b[2], 91);
    Load(b);
    EXPECT_EQ(Copy(), b);
    EXPECT_EQ(E("18-Byte Descriptors in this block")->GetRangeHint(), "0 - 2");  // (127 - 91) / 18
    SetInt(D(2, "Short video descriptor count"), 23);
    EXPECT_EQ(Errors(), QStringList{"CEA-861 codec internal error triggered with message:\r\n"
                                    "'SaveBlock() Failed - Target space overrun'."});
    EXPECT_EQ(Copy(), b);
    EXPECT_EQ(ChildNames(E("18-Byte Descriptors in this block")), (QStringList{"Descriptor 0", "Descriptor 1"}));
    // Shrinking is fine and moves the descriptors down.
    log.Clear();
    SetInt(D(2, "Short video descriptor count"), 21);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Bytes()[2], 90);
    EXPECT_EQ(Slice(Bytes(), 90, 108), kDtd1080p);
    EXPECT_EQ(Slice(Bytes(), 108, 126), kDtd720p);
    EXPECT_EQ(Bytes()[126], 0);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, ZeroLengthDataBlockIsKeptWithAWarning) {
    const Block b = MakeCea({{0x40}, {0x23, 0x09, 0x07, 0x07}, {0xA0}});
    ASSERT_EQ(collection.AddBlock(edid_test::BaseBlock().data(), 128), 0);
    index = collection.AddBlock(b.data(), 128);
    ASSERT_EQ(index, 1);
    EXPECT_EQ(Warnings().count("CEA Datablock length is zero"), 2);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Text(E("CEA Data block count")), "3");
    EXPECT_EQ(Text(D(1)), "Audio");
    EXPECT_EQ(Text(D(2)), "VESA DTC");
    EXPECT_EQ(Copy(), b);  // what the encoder wrote, the decoder reads back
}

TEST_F(CeaCore, DecodingStopsAtBadStructures) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, uint8_t>> bytes;
        int listed;
    } cases[] = {
        // d = 9: the second block (L 5 from byte 7) runs past d.
        {"overflow past d", {{2, 9}, {4, 0x42}, {5, 0x90}, {6, 0x04}, {7, 0x45}}, 1},
        // d = 127: three blocks of 32 bytes, then one whose 32 bytes run past byte 126.
        {"overflow past the block", {{2, 127}, {4, 0x5F}, {36, 0x5F}, {68, 0x5F}, {100, 0x5F}}, 3},
    };
    for (const Case& c : cases) {
        ECCollection col(log.Closure());
        log.Clear();
        Block b = MakeCea({});
        for (auto [at, v] : c.bytes) b[at] = v;
        edid_test::FixChecksum(b);
        ASSERT_EQ(col.AddBlock(b.data(), 128), 0) << c.name;
        EXPECT_TRUE(log.Texts(EC_LEVEL_ERROR).contains("Range error - CEA Datablock overflows over allowed range"))
            << c.name;
        EXPECT_EQ(col.Root()->FindEntry(":/0/CEA Extensions Version/CEA Data block count")->GetValueText(),
                  QString::number(c.listed))
            << c.name;
        EXPECT_TRUE(edid_test::ChecksumGood(col.GetBlock(0)->Bytes())) << c.name;
    }
}

TEST_F(CeaCore, MoreThan64DataBlocksStopTheScan) {
    // 123 bytes of one-byte blocks (empty audio blocks): 64 are kept.
    Block b = MakeCea({});
    for (int i = 4; i < 127; ++i) b[i] = 0x20;
    b[2] = 127;
    edid_test::FixChecksum(b);
    ECCollection col(log.Closure());
    ASSERT_EQ(col.AddBlock(b.data(), 128), 0);
    EXPECT_TRUE(log.Texts(EC_LEVEL_ERROR)
                    .contains("Internal error triggered - Number of CEA data blocks has exceeded theoretical maximum, "
                              "decoder halted"));
    EXPECT_EQ(col.Root()->FindEntry(":/0/CEA Extensions Version/CEA Data block count")->GetValueText(), "64");
    EXPECT_EQ(col.GetBlock(0)->Bytes()[2], 68);
}

TEST_F(CeaCore, HeaderFieldSets) {
    Load(MakeCea({{0x42, 0x90, 0x04}}));
    struct Case {
        const char* entry;
        int value;
        int byte;
        int expected;  // -1: refused
        const char* error;
    } cases[] = {
        {"Native DTD's in entire E-EDID", 15, 3, 0x0F, nullptr},
        {"Native DTD's in entire E-EDID", 16, 3, -1, "Out of range - Possible range 0-15"},
        {"Native DTD's in entire E-EDID", -1, 3, -1, "Out of range - Possible range 0-15"},
        {"", 2, 1, 2, nullptr},
        {"", 0, 1, -1, "Version range error - Possible versios are 1, 2 and 3."},
        {"", 4, 1, -1, "Version range error - Possible versios are 1, 2 and 3."},
    };
    for (const Case& c : cases) {
        log.Clear();
        const Block before = Copy();
        SetInt(Must(E(c.entry), c.entry), c.value);
        if (c.expected < 0) {
            EXPECT_EQ(Errors(), QStringList{c.error}) << c.entry << " " << c.value;
            EXPECT_EQ(Copy(), before);
        } else {
            EXPECT_TRUE(Errors().isEmpty()) << c.entry;
            EXPECT_EQ(Bytes()[c.byte], c.expected) << c.entry;
        }
        EXPECT_TRUE(edid_test::ChecksumGood(Bytes())) << c.entry;
    }
    EXPECT_EQ(Text(E("")), "2 (NOTE: Codecs are V3 only)");
    SetInt(E(""), 3);
    EXPECT_EQ(Text(E("")), "3");
    Set(E("Basic audio"), ECVariant::OfBool(1));
    EXPECT_EQ(Bytes()[3], 0x4F);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, DescriptorCountWritesTemplatesIntoFreeSlots) {
    Load(MakeCea({{0x43, 0x90, 0x04, 0x10}}, {}, 0x01));
    ECEntry* count = E("18-Byte Descriptors in this block");
    EXPECT_EQ(Text(count), "0");
    SetInt(count, 2);
    EXPECT_EQ(Bytes()[2], 8);
    EXPECT_EQ(Slice(Bytes(), 8, 26), kDtd1080p);
    EXPECT_EQ(Slice(Bytes(), 26, 44), kDtd1080p);
    EXPECT_EQ(Text(count), "2");
    EXPECT_EQ(ChildNames(count), (QStringList{"Descriptor 0", "Descriptor 1"}));
    EXPECT_EQ(count->GetRangeHint(), "0 - 6");
    const Block before = Copy();
    SetInt(count, 7);
    EXPECT_EQ(Errors(), QStringList{"Range error - Too many 18 byte descriptors."});
    EXPECT_EQ(Copy(), before);
    SetInt(count, 1);
    EXPECT_EQ(Slice(Bytes(), 26, 44), ByteList(18, 0));
    EXPECT_EQ(ChildNames(count), QStringList{"Descriptor 0"});
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, LastDescriptorMayEndAtByte126) {
    // 105 bytes of data blocks: d = 109, room for exactly one descriptor.
    ByteList big(32, 0x01);
    big[0] = 0x5F;
    ByteList rest(9, 0x02);
    rest[0] = 0x48;
    Load(MakeCea({big, big, big, rest}));
    ASSERT_EQ(Bytes()[2], 109);
    ECEntry* count = E("18-Byte Descriptors in this block");
    EXPECT_EQ(count->GetRangeHint(), "0 - 1");
    SetInt(count, 1);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Slice(Bytes(), 109, 127), kDtd1080p);
    EXPECT_EQ(ChildNames(count), QStringList{"Descriptor 0"});
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    const Block before = Copy();
    SetInt(count, 2);
    EXPECT_EQ(Errors(), QStringList{"Range error - Too many 18 byte descriptors."});
    EXPECT_EQ(Copy(), before);
}

TEST_F(CeaCore, DescriptorsCanBeAddedToAnEmptyBlock) {
    Load(MakeCea({}));
    ECEntry* count = E("18-Byte Descriptors in this block");
    EXPECT_EQ(count->GetRangeHint(), "0 - 6");
    SetInt(count, 1);
    EXPECT_EQ(Bytes()[2], 4);
    EXPECT_EQ(Slice(Bytes(), 4, 22), kDtd1080p);
    EXPECT_EQ(ChildNames(count), QStringList{"Descriptor 0"});
    // Without data blocks the descriptors stay where they are.
    SetInt(E("Native DTD's in entire E-EDID"), 0);
    EXPECT_EQ(Slice(Bytes(), 4, 22), kDtd1080p);
    SetInt(count, 0);
    EXPECT_EQ(Bytes()[2], 0);
    EXPECT_EQ(Area(), cea_test::ByteList(123, 0));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));  // the early exit sets the checksum too
}

TEST_F(CeaCore, DescriptorFieldChangeReencodesTheBlock) {
    Load(MakeCea({{0x42, 0x90, 0x04}}, {kDtd1080p}));
    ECEntry* type = E("18-Byte Descriptors in this block/Descriptor 0");
    ASSERT_NE(type, nullptr);
    SetInt(type, 4);  // display product name
    EXPECT_EQ(Bytes()[7 + 3], 0xFC);
    EXPECT_EQ(Bytes()[7], 0x00);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// A Quick Config popup that records its items and can click them.
class FakeSubmenu : public ECPopupSubmenu {
public:
    std::vector<std::pair<int32_t, std::function<void(int32_t)>>> items;
    void AddItem(const QString&, int32_t tag, std::function<void(int32_t)> onClick, bool) override {
        items.emplace_back(tag, std::move(onClick));
    }
};
class FakeMenu : public ECPopupMenu {
public:
    std::vector<std::pair<QString, std::unique_ptr<FakeSubmenu>>> submenus;
    const void* tag = nullptr;
    const void* Tag() const override { return tag; }
    void SetTag(const void* t) override { tag = t; }
    void Clear() override { submenus.clear(); }
    ECPopupSubmenu* AddSubmenu(const QString& caption) override {
        submenus.emplace_back(caption, std::make_unique<FakeSubmenu>());
        return submenus.back().second.get();
    }
};

TEST_F(CeaCore, QuickConfigPresetReachesTheBlock) {
    Load(MakeCea({{0x42, 0x90, 0x04}}, {kDtd720p}));
    ECEntry* descriptor = E("18-Byte Descriptors in this block/Descriptor 0");
    ASSERT_NE(descriptor, nullptr);
    ASSERT_TRUE(descriptor->QuickConfig);
    FakeMenu menu;
    descriptor->QuickConfig(&menu, descriptor, ECPickClosure());
    ASSERT_EQ(menu.submenus.size(), 2u);
    ASSERT_EQ(menu.submenus[1].first, "CEA Timings");
    auto& first = menu.submenus[1].second->items.at(0);
    first.second(first.first);  // 640x480p, the first CEA preset
    EXPECT_EQ(Slice(Bytes(), 7, 25), (ByteList{0xD5, 0x09, 0x80, 0xA0, 0x20, 0xE0, 0x2D, 0x10, 0x10, 0x60, 0xA2, 0x00,
                                               0x00, 0x00, 0x00, 0x00, 0x00, 0x18}));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, DataBlockCountRangeAndGrowth) {
    Load(MakeCea({{0x42, 0x90, 0x04}}));
    ECEntry* count = E("CEA Data block count");
    for (int bad : {-1, 65, 1000}) {
        log.Clear();
        SetInt(count, bad);
        EXPECT_EQ(Errors(), QStringList{"Out of range - Possible range 0-64"}) << bad;
        EXPECT_EQ(Text(count), "1");
    }
    log.Clear();
    SetInt(count, 3);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(Text(D(1)), "RESERVED (0)");
    EXPECT_EQ(D(2)->ChildCount(), 0);
    EXPECT_EQ(Bytes()[2], 9);
    EXPECT_EQ(Slice(Bytes(), 4, 9), (cea_test::ByteList{0x42, 0x90, 0x04, 0x00, 0x00}));
    SetInt(count, 0);
    EXPECT_EQ(Bytes()[2], 0);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(CeaCore, ChangesAfterLoadingSaveBackWithAValidChecksum) {
    const Block b = MakeCea({{0x42, 0x90, 0x04}, {0x83, 0x4F, 0x07, 0x00}}, {kDtd720p}, 0x01);
    Load(b);
    SetInt(D(0, "Short video descriptor count"), 1);
    uint8_t out[128];
    ASSERT_EQ(collection.GetBlock(index)->GetBytes(out, 128), 128);
    EXPECT_TRUE(edid_test::ChecksumGood(out));
    EXPECT_EQ(Slice(out, 2, 3), cea_test::ByteList{10});
    EXPECT_EQ(Slice(out, 4, 10), (cea_test::ByteList{0x41, 0x90, 0x83, 0x4F, 0x07, 0x00}));
    EXPECT_EQ(Slice(out, 10, 28), kDtd720p);
}

}  // namespace
