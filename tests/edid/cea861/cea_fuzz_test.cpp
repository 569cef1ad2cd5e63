// Fuzz-style robustness of the CEA-861 codec: random and mutated 128-byte
// extension blocks are loaded, every field is read, random values are set,
// and every block must save back with a valid checksum and a collection
// whose lengths walk exactly to byte 2. Run under ASan/UBSan, this also
// checks that nothing reads or writes outside the block or the copies.

#include "edid/cea861/CeaTestSupport.h"

#include <functional>
#include <random>

using namespace cea_test;

namespace {

void Walk(ECEntry* entry, const std::function<void(ECEntry*)>& visit) {
    visit(entry);
    for (int i = 0; i < entry->ChildCount(); ++i) Walk(entry->GetChild(i), visit);
}

// Byte 2 is 0 or 4 to 127; the data blocks walk from byte 4 exactly to byte 2;
// the descriptors after them and the zero fill end before byte 127.
::testing::AssertionResult WellFormed(const uint8_t* b) {
    if (!edid_test::ChecksumGood(b)) return ::testing::AssertionFailure() << "bad checksum";
    if (b[0] != 0x02) return ::testing::AssertionFailure() << "tag changed";
    const int d = b[2];
    if (d == 0) {
        for (int i = 4; i < 127; ++i)
            if (b[i]) return ::testing::AssertionFailure() << "byte " << i << " set without data";
        return ::testing::AssertionSuccess();
    }
    if (d < 4 || d > 127) return ::testing::AssertionFailure() << "byte 2 = " << d;
    int p = 4;
    while (p < d) p += (b[p] & 0x1F) + 1;
    if (p != d) return ::testing::AssertionFailure() << "data blocks end at " << p << ", byte 2 is " << d;
    return ::testing::AssertionSuccess();
}

class CeaFuzz : public ::testing::Test {
protected:
    std::mt19937 rng{0xCEA861u};
    int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    Block RandomBlock() {
        Block b{};
        for (auto& v : b) v = static_cast<uint8_t>(Rand(0, 255));
        b[0] = 0x02;
        return b;
    }

    // A block of plausible data blocks with random payload (all tags, extended
    // tags near the decoded ones, vendor identifiers of HDMI and HDMI Forum).
    Block StructuredBlock() {
        Block b{};
        b[0] = 0x02;
        b[1] = static_cast<uint8_t>(Rand(0, 4));
        b[3] = static_cast<uint8_t>(Rand(0, 255));
        int p = 4;
        const int blocks = Rand(0, 8);
        for (int n = 0; n < blocks; ++n) {
            const int length = Rand(0, 31);
            if (p + length + 1 > 127) break;
            b[p] = static_cast<uint8_t>((Rand(0, 7) << 5) | length);
            for (int i = 1; i <= length; ++i) b[p + i] = static_cast<uint8_t>(Rand(0, 255));
            if (length >= 1 && (b[p] >> 5) == 7)
                b[p + 1] = static_cast<uint8_t>(Rand(0, 6) == 0 ? Rand(0, 255) : Rand(0, 5));
            if (length >= 3 && (b[p] >> 5) == 3 && Rand(0, 2) != 0) {
                const bool forum = Rand(0, 1) == 1;
                b[p + 1] = forum ? 0xD8 : 0x03;
                b[p + 2] = forum ? 0x5D : 0x0C;
                b[p + 3] = forum ? 0xC4 : 0x00;
            }
            p += length + 1;
        }
        b[2] = static_cast<uint8_t>(Rand(0, 9) == 0 ? Rand(0, 255) : p);
        for (int j = p; j + 18 <= 127 && Rand(0, 2) == 0; j += 18)
            for (int i = 0; i < 18; ++i) b[j + i] = static_cast<uint8_t>(Rand(0, 255));
        edid_test::FixChecksum(b);
        return b;
    }

    Block Mutate(Block b) {
        const int flips = Rand(1, 8);
        for (int i = 0; i < flips; ++i) b[Rand(1, 126)] ^= static_cast<uint8_t>(1 << Rand(0, 7));
        return b;
    }

    ECVariant RandomValue(uint32_t type) {
        static const char* const kTexts[] = {"",  "1.2.3.4", "16:9", "4:3", "2.1", "15.15.15.15",
                                             "x", "0",       "31",   "-1",  "nan", "inf:inf"};
        switch (type) {
            case ECT_BOOL:
                return ECVariant::OfBool(Rand(0, 1));
            case ECT_FLOAT:
                return Rand(0, 9) == 0 ? ECVariant::OfText("nan") : ECVariant::OfDouble(Rand(-10, 300) / 100.0);
            case ECT_STRING:
            case ECT_LIST_TEXT:
                return ECVariant::OfText(kTexts[Rand(0, 11)]);
            case ECT_LIST:
                return ECVariant::OfInt(Rand(-1, 16));
            case ECT_ACTION:
            case ECT_BUTTON:
                return ECVariant::OfInt(0);
            default:
                return ECVariant::OfInt(Rand(0, 3) == 0 ? Rand(-300, 70000) : Rand(-1, 40));
        }
    }

    // Loads the block, reads every field, saves it and loads the saved bytes
    // again: the second encoding is the same.
    void LoadAndCheck(const Block& block, ECCollection& c, int* index) {
        *index = c.AddBlock(block.data(), 128);
        ASSERT_GE(*index, 0);
        Walk(c.Root(), [](ECEntry* e) { (void)e->GetValueText(); });
        uint8_t saved[128];
        ASSERT_EQ(c.GetBlock(*index)->GetBytes(saved, 128), 128);
        ASSERT_TRUE(WellFormed(saved));
        ECCollection again([](int32_t, const QString&) {});
        ASSERT_EQ(again.AddBlock(saved, 128), 0);
        ASSERT_TRUE(std::equal(saved, saved + 128, again.GetBlock(0)->Bytes()));
    }

    // Random Sets on the data block fields and the header, like an operator
    // would make them, each followed by the editor's rethink.
    void RandomSets(ECCollection& c, int index, int count) {
        for (int n = 0; n < count; ++n) {
            std::vector<ECEntry*> fields;
            ECEntry* version = c.Root()->FindEntry(QStringLiteral(":/%1/CEA Extensions Version").arg(index));
            ASSERT_NE(version, nullptr);
            Walk(version, [&](ECEntry* e) {
                if (e->GetFlags() & ECT_READ_ONLY) return;
                if (e->GetPath().contains("18-Byte Descriptors in this block/"))
                    return;  // the descriptor codec's own fields
                fields.push_back(e);
            });
            if (fields.empty()) return;
            ECEntry* e = fields[static_cast<size_t>(Rand(0, static_cast<int>(fields.size()) - 1))];
            const uint32_t flags = e->GetFlags();
            e->SetValue(RandomValue(flags & ECT_TYPE_MASK));
            if (flags & ECT_RETHINK_ON_SET) e->CallRethinkFunction();
            ASSERT_TRUE(WellFormed(c.GetBlock(index)->Bytes())) << e->GetPath().toStdString();
        }
        Walk(c.Root(), [](ECEntry* e) { (void)e->GetValueText(); });
    }
};

TEST_F(CeaFuzz, RandomBlocks) {
    for (int i = 0; i < 400; ++i) {
        ECCollection c([](int32_t, const QString&) {});
        int index = -1;
        const Block b = RandomBlock();
        LoadAndCheck(b, c, &index);
        if (HasFatalFailure()) return;
    }
}

TEST_F(CeaFuzz, StructuredAndMutatedBlocksTakeRandomSets) {
    const std::vector<Block> seeds = {
        MakeCea({{0x23, 0x09, 0x07, 0x07}, {0x42, 0x90, 0x04}, {0x83, 0x4F, 0x07, 0x00}}, {kDtd1080p}),
        MakeCea({{0x6E, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x44, 0xE0, 0x05, 0x06, 0x20, 0x28, 0x42, 0x01, 0x03, 0x18,
                  0x10, 0x26}}),
        MakeCea({{0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07}, {0xE3, 0x05, 0x21, 0x01}, {0xE2, 0x00, 0xC0}}),
        MakeCea({{0xFF, 0x02, 0x92, 0x11, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x40, 0x06, 0x3C, 0x11, 0x0A, 0x18, 0x18,
                  0xD0, 0x80, 0x83, 0x8F, 0x3C, 0x88, 0x41, 0x03, 0x25, 0x4A, 0x7E, 0x77, 0x00, 0x00, 0x8C, 0x57}}),
    };
    for (int i = 0; i < 240; ++i) {
        ECCollection c([](int32_t, const QString&) {});
        int index = -1;
        const Block b = (i % 2) ? StructuredBlock() : Mutate(seeds[static_cast<size_t>(i / 2) % seeds.size()]);
        LoadAndCheck(b, c, &index);
        if (HasFatalFailure()) return;
        RandomSets(c, index, 25);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
