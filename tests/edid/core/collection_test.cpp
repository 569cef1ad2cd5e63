// The block collection, root parser, message routing and the block map and
// DisplayID codecs, in both builds.

#include "edid/BuildOptions.h"
#include "edid/EdidTestSupport.h"
#include "edid/core/ECCollection.h"
#include "edid/core/ECException.h"
#include "edid/vesa/VESA_BME.h"

#include <gtest/gtest.h>

using namespace edid_test;

namespace {

constexpr uint8_t kMapTag = 0xF0;
constexpr uint8_t kDisplayIdTag = 0x70;

// A block this build takes at any index without touching its map: a DisplayID
// block where the build has the codec, else a block map (which then warns).
Block Filler() { return edid_build::kHasDisplayID ? TaggedBlock(kDisplayIdTag, {{1, 0x12}}) : TaggedBlock(kMapTag); }
uint8_t FillerTag() { return edid_build::kHasDisplayID ? kDisplayIdTag : kMapTag; }

struct Headless {
    MessageLog log;
    ECCollection c{log.Closure()};
    int32_t Add(const Block& b) { return c.AddBlock(b.data(), 128); }
    const uint8_t* Bytes(int i) { return c.GetBlock(i)->Bytes(); }
};

}  // namespace

TEST(Collection, RefusesZeroUnknownNullAndExcessBlocks) {
    Headless h;
    Block zero{};
    EXPECT_EQ(h.Add(zero), -1);
    EXPECT_EQ(h.c.AddBlock(zero.data(), 0), -1);
    EXPECT_EQ(h.Add(TaggedBlock(0x10)), -1);
    EXPECT_EQ(h.c.AddBlock(nullptr, 128), -1);
    EXPECT_EQ(h.c.Count(), 0);
    EXPECT_TRUE(h.log.messages.empty());  // refusals are silent

    h.log.Clear();
    for (int i = 0; i < ECCollection::kMaxBlocks; ++i) ASSERT_EQ(h.Add(Filler()), i);
    EXPECT_EQ(h.Add(Filler()), -1);  // a 257th block is refused
    EXPECT_EQ(h.c.Count(), 256);
    EXPECT_EQ(h.c.GetBlock(256), nullptr);
    EXPECT_EQ(h.c.GetBlock(-1), nullptr);
}

TEST(Collection, RootAndBlocksEntry) {
    MessageLog log;
    auto first = std::make_unique<ECCollection>(log.Closure());
    ECCollection second(log.Closure());
    const int n1 = first->Root()->GetName().mid(11).toInt();
    EXPECT_TRUE(first->Root()->GetName().startsWith(QStringLiteral("Collection ")));
    EXPECT_EQ(second.Root()->GetName(), QStringLiteral("Collection %1").arg(n1 + 1));
    EXPECT_EQ(second.Root()->GetPath(), QStringLiteral(":"));
    EXPECT_EQ(second.Root()->GetFlags(), 0x5016u);
    ECEntry* blocks = second.Root()->FindEntry(QStringLiteral(":/Blocks in collection"));
    ASSERT_EQ(blocks, second.BlocksEntry());
    EXPECT_EQ(blocks->GetFlags(), 0x400Au);
    EXPECT_EQ(blocks->GetRangeHint(), QStringLiteral("Click set to change config"));

    const QString version = edid_build::kSinkBuild ? QStringLiteral("V1.0.23") : QStringLiteral("V1.0.21");
    EXPECT_EQ(second.Root()->GetValue().Text,
              QStringLiteral("Merovan E-EDID Codec=%1\r\nBlocks in collection=0").arg(version));
    second.AddBlock(Filler().data(), 128);
    EXPECT_EQ(second.Root()->GetValue().Text,
              QStringLiteral("Merovan E-EDID Codec=%1\r\nBlocks in collection=1").arg(version));
    EXPECT_EQ(blocks->GetValue().Integer, 1);
}

TEST(Collection, ClearOfAnEmptyCollectionSendsNoList) {
    Headless h;
    h.c.Clear();
    EXPECT_EQ(h.c.Count(), 0);
    EXPECT_TRUE(h.log.messages.empty());
}

TEST(Collection, GetBytesAndSnapshot) {
    Headless h;
    Block b = Filler();
    ASSERT_EQ(h.Add(b), 0);
    ECRootParser* p = h.c.GetBlock(0);
    uint8_t small[64] = {};
    uint8_t full[128] = {};
    EXPECT_EQ(p->GetBytes(small, 64), 0);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(p->GetBytes(nullptr, 0), 128);
    EXPECT_EQ(p->GetBytes(full, 0), 128);
    EXPECT_EQ(full[0], 0);
    EXPECT_EQ(p->GetBytes(full, 128), 128);
    EXPECT_EQ(full[0], FillerTag());
    ASSERT_NE(p->Reference(), nullptr);
    EXPECT_EQ(std::memcmp(p->Reference(), p->Bytes(), 128), 0);
    p->MutableBytes()[5] = 0x55;
    EXPECT_NE(p->Reference()[5], 0x55);
    h.c.SnapshotAll();
    EXPECT_EQ(p->Reference()[5], 0x55);
}

TEST(BlockMap, MapFollowsTheCollection) {
    Headless h;
    ASSERT_EQ(h.Add(Filler()), 0);
    Block map = TaggedBlock(kMapTag, {{1, 0x02}, {2, 0x02}, {3, 0x40}});  // stale map bytes
    ASSERT_EQ(h.Add(map), 1);
    const uint8_t* m = h.Bytes(1);
    EXPECT_EQ(m[1], 0x00);  // rebuilt at construction: no block 2 yet
    EXPECT_EQ(m[3], 0x00);
    ASSERT_EQ(h.Add(Filler()), 2);
    ASSERT_EQ(h.Add(Filler()), 3);
    EXPECT_EQ(m[1], FillerTag());
    EXPECT_EQ(m[2], FillerTag());
    for (int k = 3; k <= 126; ++k) ASSERT_EQ(m[k], 0x00) << k;
    EXPECT_TRUE(ChecksumGood(m));

    ECEntry* e2 = EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 2"));
    ECEntry* e4 = EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 4"));
    ASSERT_NE(e2, nullptr);
    ASSERT_NE(e4, nullptr);
    EXPECT_EQ(e2->GetValue().Text, QString::fromLatin1(VESA_BME::TagText(FillerTag())));
    EXPECT_EQ(e4->GetValue().Text, QStringLiteral("Un-used"));
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 127"))->GetValue().Text,
              QStringLiteral("Un-used"));
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 128")), nullptr);
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Checksum"))->GetValue().Text, QString::asprintf("Good (%.2Xh)", m[127]));

    ECEntry* root = EntryAt(h.c, QStringLiteral(":/1"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), QStringLiteral("Block 1 [VESA BME]"));
    EXPECT_EQ(root->GetFlags(), 0x1016u);
    EXPECT_EQ(root->GetValue().Text, QStringLiteral("VESA Block Map Extension Decoder=V1.0.0\nValid Header=True\n"));
    EXPECT_EQ(h.c.GetBlock(1)->GetBlockName(), "Block 1 [VESA BME]");
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Checksum"))->GetFlags(), 0x4207u);
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Block map"))->GetFlags(), 0x9100u);
    EXPECT_EQ(e2->GetFlags(), 0x5007u);

    // A rebuilt collection with one block fewer clears that map byte.
    h.c.Clear();
    h.Add(Filler());
    h.Add(map);
    h.Add(Filler());
    EXPECT_EQ(h.Bytes(1)[1], FillerTag());
    EXPECT_EQ(h.Bytes(1)[2], 0x00);
    EXPECT_TRUE(ChecksumGood(h.Bytes(1)));
}

TEST(BlockMap, TagTexts) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x00, "Un-used"},
        {0x02, "CEA-EXT: CEA 861 Series Extension"},
        {0x10, "VTB-EXT: Video Timing Block Extension"},
        {0x40, "DI-EXT: Display Information Extension"},
        {0x50, "LS-EXT: Localized String Extension"},
        {0x60, "DPVL-EXT: Digital Packet Video Link Extension"},
        {0xF0, "Extension Block Map"},
        {0xFF, "Extension defined by the display manufacturer"},
        {0x70, "Unkonw"},
        {0x01, "Unkonw"},
    };
    for (auto [tag, text] : cases) EXPECT_STREQ(VESA_BME::TagText(tag), text) << int(tag);
}

TEST(BlockMap, TwoMapsCoverTheirOwnRanges) {
    Headless h;
    std::vector<int> maps = {1, 128};
    for (int i = 0; i < 130; ++i) {
        const bool isMap = std::find(maps.begin(), maps.end(), i) != maps.end();
        ASSERT_EQ(h.Add(isMap ? TaggedBlock(kMapTag) : Filler()), i);
    }
    const uint8_t* first = h.Bytes(1);
    const uint8_t* second = h.Bytes(128);
    for (int k = 1; k <= 126; ++k) ASSERT_EQ(first[k], FillerTag()) << k;  // blocks 2 .. 127
    EXPECT_EQ(second[1], FillerTag());                                     // block 129
    EXPECT_EQ(second[2], 0x00);
    EXPECT_TRUE(ChecksumGood(first));
    EXPECT_TRUE(ChecksumGood(second));
    EXPECT_NE(EntryAt(h.c, QStringLiteral(":/128/Block map/Extension Block 129")), nullptr);
    EXPECT_NE(EntryAt(h.c, QStringLiteral(":/128/Block map/Extension Block 254")), nullptr);
}

TEST(BlockMap, MapAtAnotherIndexWarnsAndKeepsItsBytes) {
    Headless h;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(h.Add(Filler()), i);
    h.log.Clear();
    Block map = TaggedBlock(kMapTag, {{1, 0x02}, {2, 0x40}});
    map[127] ^= 0x5A;  // wrong checksum as loaded
    ASSERT_EQ(h.Add(map), 3);
    EXPECT_EQ(h.log.Texts(EC_LEVEL_WARNING),
              QStringList{QStringLiteral("VESA Block Map Extension block index should be either 1 or 128")});
    ECEntry* root = EntryAt(h.c, QStringLiteral(":/3"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->ChildCount(), 2);
    EXPECT_FALSE(EntryAt(h.c, QStringLiteral(":/3/Block map"))->HasChildren());
    const uint8_t* m = h.Bytes(3);
    EXPECT_EQ(m[1], 0x02);  // map bytes as loaded
    EXPECT_EQ(m[2], 0x40);
    EXPECT_TRUE(ChecksumGood(m));  // the checksum is kept right like every block's
    h.Add(Filler());
    EXPECT_EQ(m[1], 0x02);
    EXPECT_TRUE(ChecksumGood(m));
}

TEST(DisplayID, KeptUnchangedOrRefusedByBuild) {
    Headless h;
    ASSERT_EQ(h.Add(TaggedBlock(kMapTag)), 0);
    ASSERT_EQ(h.Add(TaggedBlock(kMapTag)), 1);
    Block id = TaggedBlock(kDisplayIdTag, {{1, 0x20}, {2, 0x79}});
    id[127] = 0x33;  // not its checksum: the codec never touches the block
    const int32_t index = h.Add(id);
    if (!edid_build::kHasDisplayID) {
        EXPECT_EQ(index, -1);  // "Unrecognized block type": refused without a message
        EXPECT_EQ(h.c.Count(), 2);
        EXPECT_EQ(h.log.Count(EC_LEVEL_ERROR), 0);
        return;
    }
    ASSERT_EQ(index, 2);
    ECEntry* root = EntryAt(h.c, QStringLiteral(":/2"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), QStringLiteral("Block 2 [VESA DisplayID]"));
    EXPECT_EQ(root->GetFlags(), 0x1016u);
    EXPECT_FALSE(root->HasChildren());
    EXPECT_EQ(root->GetValue().Text, QStringLiteral("Valid Header=True\n"));
    EXPECT_EQ(h.c.GetBlock(2)->GetBlockName(), "Block 2 [VESA DisplayID]");
    h.Add(TaggedBlock(kMapTag));
    EXPECT_EQ(std::memcmp(h.Bytes(2), id.data(), 128), 0);
    EXPECT_EQ(h.Bytes(1)[1], kDisplayIdTag);  // the map names it
}

TEST(EditorLog, LinesPrefixesLimitAndForwarding) {
    FakeLog logList;
    FakeDialog dialog;
    MessageLog forwarded;
    ECCollection c(nullptr, &dialog, forwarded.Closure(), &logList);
    ECEntry* root = c.Root();
    root->OnMessage(EC_LEVEL_ERROR, QStringLiteral("Error: Unsupported version\r\nsecond line"));
    root->OnMessage(EC_LEVEL_WARNING, QStringLiteral("w"));
    root->OnMessage(EC_LEVEL_INFORMATION, QStringLiteral("i"));
    root->OnMessage(EC_LEVEL_CHANGED_VALUES, QStringLiteral("Changed value: :/a\r\nChanged value: :/b\r\n"));
    root->OnMessage(17, QStringLiteral("not logged"));
    EXPECT_EQ(logList.lines, (QStringList{"Error: Error: Unsupported version", "second line", "Warning: w",
                                          "Information: i", "Changed value: :/a", "Changed value: :/b"}));
    EXPECT_EQ(forwarded.messages.size(), 5u);  // the router decides what reaches the host
    EXPECT_EQ(forwarded.messages[0].second, QStringLiteral("Error: Unsupported version\r\nsecond line"));
    EXPECT_EQ(logList.selected, 5);

    logList.lines.clear();
    for (int i = 0; i < 1030; ++i) root->OnMessage(EC_LEVEL_INFORMATION, QString::number(i));
    ASSERT_EQ(logList.lines.size(), 1024);
    EXPECT_EQ(logList.lines.first(), QStringLiteral("Information: 6"));
    EXPECT_EQ(logList.lines.last(), QStringLiteral("Information: 1029"));
    EXPECT_EQ(logList.selected, 1023);

    // "Blocks in collection": Set with -1 opens nothing, anything else the dialog.
    c.BlocksEntry()->SetValue(IntValue(-1));
    EXPECT_EQ(dialog.opened, 0);
    c.BlocksEntry()->SetValue(IntValue(0));
    EXPECT_EQ(dialog.opened, 1);

    ECCollection noLog(nullptr, nullptr, forwarded.Closure(), nullptr);
    try {
        noLog.Root()->OnMessage(EC_LEVEL_ERROR, QStringLiteral("x"));
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Message without log component"));
    }
}

TEST(EditorLog, TreeNodesFollowTheBlocks) {
    FakeTree tree;
    FakeLog logList;
    {
        ECCollection c(&tree, nullptr, {}, &logList);
        EXPECT_EQ(tree.nodes.size(), 2u);
        c.AddBlock(TaggedBlock(kMapTag).data(), 128);
        c.AddBlock(TaggedBlock(kMapTag).data(), 128);
        EXPECT_EQ(tree.nodes.size(), 2u + 3u + 3u + 126u);
        EXPECT_EQ(logList.lines.first(),
                  QStringLiteral("Warning: VESA Block Map Extension block index should be either 1 or 128"));
        c.Clear();
        EXPECT_EQ(tree.nodes.size(), 2u);
    }
    EXPECT_TRUE(tree.nodes.empty());
}

// A whole image as a sink presents it: base block, block map, two CEA-861
// extensions. Every add re-encodes the derived bytes of earlier blocks.
TEST(Collection, DerivedBytesFollowEveryAdd) {
    Headless h;
    Block base = BaseBlock();
    base[126] = 7;  // a stale extension count
    FixChecksum(base);
    const Block cea = TaggedBlock(0x02, {{1, 0x03}, {2, 0x04}});
    ASSERT_EQ(h.Add(base), 0);
    EXPECT_EQ(h.Bytes(0)[126], 0);
    ASSERT_EQ(h.Add(TaggedBlock(kMapTag)), 1);
    EXPECT_EQ(h.Bytes(0)[126], 1);
    ASSERT_EQ(h.Add(cea), 2);
    ASSERT_EQ(h.Add(cea), 3);
    EXPECT_EQ(h.c.BlocksEntry()->GetValue().Integer, 4);
    EXPECT_EQ(h.Bytes(0)[126], 3);
    const uint8_t* m = h.Bytes(1);
    EXPECT_EQ(m[1], 0x02);
    EXPECT_EQ(m[2], 0x02);
    for (int k = 3; k <= 126; ++k) ASSERT_EQ(m[k], 0x00) << k;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(ChecksumGood(h.Bytes(i))) << "block " << i;
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 3"))->GetValue().Text,
              QStringLiteral("CEA-EXT: CEA 861 Series Extension"));
    EXPECT_EQ(EntryAt(h.c, QStringLiteral(":/1/Block map/Extension Block 4"))->GetValue().Text,
              QStringLiteral("Un-used"));
    EXPECT_EQ(h.log.Count(EC_LEVEL_ERROR), 0);

    // Clearing propagates the new count, and the next image starts afresh.
    h.c.Clear();
    EXPECT_EQ(h.c.Count(), 0);
    ASSERT_EQ(h.Add(base), 0);
    EXPECT_EQ(h.Bytes(0)[126], 0);
    EXPECT_TRUE(ChecksumGood(h.Bytes(0)));
}
