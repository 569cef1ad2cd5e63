// Every settable entry of every tree the base-block codecs build (both
// structure versions, analog and digital input, every descriptor type in
// every slot), and of the block maps beside them (at index 1 and at an index
// that maps nothing), is written once the way the editor writes it: no write
// may raise the self-dependency exception, run into the engine's iteration
// limit or leave a checksum, the extension count or the block map wrong.
// Written with the value the editor shows for it (Set pressed on an
// unchanged value), an entry still shows that value and no byte changes
// (the few exceptions by design are named at the check).

#include "edid/CodecTestSupport.h"
#include "edid/core/ECFormat.h"
#include "edid/core/ECHelper.h"

#include <QRegularExpression>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using codec_test::Block;
using codec_test::Put;

const char* const kIterationLimit =
    "Dependency iteration count has exceeded 1000 iterations! Probable cause is looped dependency.";

std::vector<std::vector<uint8_t>> DescriptorKinds() {
    std::vector<uint8_t> bordered = edid_fixtures::Dtd1080p(0, 0, 0x6E);
    bordered[15] = bordered[16] = 8;
    return {
        edid_fixtures::Dtd1080p(600, 340),
        edid_fixtures::Dtd1080p(0, 0, 0x12),
        bordered,
        {0, 0, 0, 0xFF, 0, 'S', 'N', '1', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
        {0, 0, 0, 0xFE, 0, 'D', 'A', 'T', 'A', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
        {0, 0, 0, 0xFC, 0, 'N', 'A', 'M', 'E', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
        {0, 0, 0, 0xFD, 0x0F, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
        {0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x01, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
        {0, 0, 0, 0xFD, 0x02, 0x38, 0x4B, 0x1E, 0x51, 0x0E, 0x02, 0x00, 0x50, 0x51, 0x58, 0x02, 0x80, 0x3C},
        {0, 0, 0, 0xFD, 0x0A, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x04, 0x11, 0x00, 0xF0, 0xC8, 0x38, 0xF0, 0x3C},
        {0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
        {0, 0, 0, 0xFB, 0, 0x01, 0x01, 0x50, 0x54, 0x78, 0x00, 0, 0, 0, 0, 0x0A, 0x20, 0x20},
        {0, 0, 0, 0xFB, 0, 0x01, 0x01, 0x50, 0x54, 0x78, 0x02, 0x05, 0x50, 0x54, 0x78, 0x0A, 0x20, 0x20},
        {0, 0, 0, 0xFA, 0, 0xD1, 0xC0, 0x81, 0x80, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x0A},
        {0, 0, 0, 0xF9},
        {0, 0, 0, 0xF8},
        {0, 0, 0, 0xF7},
        {0, 0, 0, 0x10},
        {0, 0, 0, 0x05},
        {0, 0, 0, 0x80},
    };
}

Block WithDescriptors(Block base, const std::vector<uint8_t>& descriptor) {
    for (int at : {54, 72, 90, 108}) std::memcpy(base.data() + at, descriptor.data(), descriptor.size());
    edid_test::FixChecksum(base);
    return base;
}

Block Patched(Block b, std::initializer_list<std::pair<int, uint8_t>> bytes) {
    for (auto [at, v] : bytes) b[static_cast<size_t>(at)] = v;
    edid_test::FixChecksum(b);
    return b;
}

std::vector<std::pair<std::string, Block>> Trees() {
    std::vector<std::pair<std::string, Block>> out;
    const Block digital14 = codec_test::DigitalBase14();
    const Block analog13 = codec_test::AnalogBase13();
    out.emplace_back("digital 1.4", digital14);
    out.emplace_back("analog 1.3", analog13);
    out.emplace_back("digital 1.3", Patched(analog13, {{20, 0x81}}));
    out.emplace_back("analog 1.4 model year aspect", Patched(digital14, {{20, 0x0F}, {16, 0xFF}, {21, 0}, {22, 79}}));
    out.emplace_back("1.3 aspect", Patched(analog13, {{21, 79}, {22, 0}, {23, 0xFF}}));
    out.emplace_back("major 2", codec_test::EmptyBase(2, 0));
    out.emplace_back("1.2", codec_test::EmptyBase(1, 2));
    out.emplace_back("1.7", codec_test::EmptyBase(1, 7));
    const auto kinds = DescriptorKinds();
    for (size_t k = 0; k < kinds.size(); ++k) {
        out.emplace_back("1.4 descriptors " + std::to_string(k), WithDescriptors(digital14, kinds[k]));
        out.emplace_back("1.3 descriptors " + std::to_string(k), WithDescriptors(analog13, kinds[k]));
    }
    return out;
}

void CollectPaths(ECEntry* e, QStringList& out) {
    out << e->GetPath();
    for (int i = 0; i < e->ChildCount(); ++i) CollectPaths(e->GetChild(i), out);
}

// The items of a list entry as the editor's selection box holds them.
QStringList Items(const QString& format) {
    QStringList items = format.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
    return items;
}

// The value the editor writes when Set is pressed on the entry as it shows
// it: the numeric or text field filled from the value, the check box, or the
// list item whose text the value names.
ECVariant ShownValue(ECEntry* e) {
    const ECVariant value = e->GetValue();
    ECVariant out;
    switch (e->GetFlags() & ECT_TYPE_MASK) {
        case ECT_INT:
            out.SetInt(ECParseNumber(value.Text));
            break;
        case ECT_HEX:
            out.SetInt(ECParseNumber(e->GetValueText()));
            break;
        case ECT_FLOAT:
            out.SetDouble(ECTextToDouble(e->GetValueText()));
            break;
        case ECT_STRING:
            out.SetText(value.Text);
            break;
        case ECT_BOOL:
            out.SetBool(value.IsTrue() ? 1 : 0);
            break;
        case ECT_LIST:
        case ECT_LIST_TEXT: {
            const QStringList items = Items(e->GetFormat());
            int selected = -1;
            if (!value.Text.isEmpty()) {
                for (int i = 0; i < items.size() && selected < 0; ++i)
                    if (items.at(i).compare(value.Text, Qt::CaseInsensitive) == 0) selected = i;
            } else if (value.Integer >= 0 && value.Integer < items.size()) {
                selected = value.Integer;
            }
            if ((e->GetFlags() & ECT_TYPE_MASK) == ECT_LIST) {
                out.SetInt(selected);
            } else {
                out.SetText(selected < 0 ? QString() : items.at(selected));
            }
            break;
        }
        default:
            out.SetInt(0);
            break;  // actions and buttons
    }
    return out;
}

// The bytes that differ, as "offset: old -> new" items.
std::string Changes(const Block& before, const Block& after) {
    std::string out;
    char item[32];
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        std::snprintf(item, sizeof item, "%s%zu: %02X -> %02X", out.empty() ? "" : ", ", i, before[i], after[i]);
        out += item;
    }
    return out;
}

// The shown values that differ, as "old -> new" items.
std::string Changes(const QStringList& before, const QStringList& after) {
    std::string out;
    for (qsizetype i = 0; i < std::max(before.size(), after.size()); ++i) {
        const QString was = i < before.size() ? before.at(i) : QString();
        const QString is = i < after.size() ? after.at(i) : QString();
        if (was != is) out += (out.empty() ? "" : ", ") + was.toStdString() + " -> " + is.toStdString();
    }
    return out;
}

class CodecCycles : public codec_test::CodecFixture {
protected:
    enum class Value { Own, Shown };

    // Writes every settable entry below the block root once, with the value
    // its Get returns or the value the editor shows; returns how many.
    int WriteEverything(const std::string& label, Value value) {
        QStringList paths;
        for (const char* root : {":/0", ":/1", ":/3"}) {
            CollectPaths(collection_.Root()->FindEntry(QString::fromLatin1(root)), paths);
        }
        paths << QStringLiteral(":/Blocks in collection");
        int written = 0;
        for (const QString& path : paths) {
            ECEntry* e = collection_.Root()->FindEntry(path);
            if (!e) continue;  // rebuilt away by an earlier write
            const uint32_t flags = e->GetFlags();
            const uint32_t type = flags & ECT_TYPE_MASK;
            if ((flags & ECT_READ_ONLY) || type == ECT_NONE || type == ECT_GROUP) continue;
            const std::vector<Block> before = AllBlocks();
            const QString shown = e->GetValueText();
            const QString blockPath = path.section(QLatin1Char('/'), 0, 1);  // ":/<block>"
            const QStringList shownBefore =
                value == Value::Shown && type == ECT_FLOAT ? Shown(blockPath) : QStringList();
            try {
                Apply(e, value == Value::Own ? e->GetValue() : ShownValue(e));
                ++written;
            } catch (const ECException& ex) {
                ADD_FAILURE() << label << ": " << path.toStdString() << ": " << ex.what();
            }
            // The shown value written back is still shown and changes no byte. An
            // action (checksum, reserved bits) acts, and is left out. A list that
            // rebuilds the entries below it writes the defaults of the chosen item:
            // a second write changes no byte. A number shown with fewer digits than
            // its code holds may move to a code shown the same: every entry of its
            // block shows what it showed.
            if (value == Value::Shown && type != ECT_ACTION && type != ECT_BUTTON) {
                const std::string where = label + ": " + path.toStdString() + " = " + shown.toStdString();
                ECEntry* again = collection_.Root()->FindEntry(path);
                EXPECT_NE(again, nullptr) << where;
                EXPECT_EQ(again ? again->GetValueText() : QStringLiteral("<gone>"), shown) << where;
                std::vector<Block> reference = before;
                if (again && type == ECT_LIST && (flags & ECT_RETHINK_ON_SET)) {
                    reference = AllBlocks();
                    Apply(again, ShownValue(again));
                }
                if (type == ECT_FLOAT) {
                    EXPECT_EQ(Changes(shownBefore, Shown(blockPath)), "") << where;
                } else {
                    const std::vector<Block> after = AllBlocks();
                    for (size_t block = 0; block < after.size(); ++block) {
                        EXPECT_EQ(Changes(reference[block], after[block]), "") << where << ", block " << block;
                    }
                }
            }
            EXPECT_FALSE(log_.Texts(EC_LEVEL_ERROR).contains(QString::fromLatin1(kIterationLimit)))
                << label << ": " << path.toStdString();
            for (int block = 0; block < kBlocks; ++block) {
                EXPECT_TRUE(edid_test::ChecksumGood(Bytes(block)))
                    << label << ": " << path.toStdString() << ", block " << block;
            }
            if (collection_.Root()->FindEntry(QStringLiteral(":/0/Version/Extension flag"))) {
                EXPECT_EQ(Byte(126), kBlocks - 1) << label << ": " << path.toStdString();
            }
            // The map at index 1 names blocks 2 and 3; the one at index 3 keeps its bytes.
            EXPECT_EQ(Range(1, 3, 1), (std::vector<uint8_t>{0x00, 0xF0, 0x00})) << label << ": " << path.toStdString();
            EXPECT_EQ(Range(1, 2, 3), (std::vector<uint8_t>{0x02, 0x40})) << label << ": " << path.toStdString();
        }
        return written;
    }

    // "path = value text" of every entry of a block but its checksum, which
    // follows any byte.
    QStringList Shown(const QString& blockPath) {
        QStringList out;
        const std::function<void(ECEntry*)> collect = [&](ECEntry* e) {
            if (e->GetName() != QStringLiteral("Checksum"))
                out << e->GetPath() + QStringLiteral(" = ") + e->GetValueText();
            for (int i = 0; i < e->ChildCount(); ++i) collect(e->GetChild(i));
        };
        if (ECEntry* block = collection_.Root()->FindEntry(blockPath)) collect(block);
        return out;
    }

    std::vector<Block> AllBlocks() const {
        std::vector<Block> out(kBlocks);
        for (int block = 0; block < kBlocks; ++block) {
            std::memcpy(out[static_cast<size_t>(block)].data(), Bytes(block), 128);
        }
        return out;
    }

    // Loads the tree's block, two block maps and a second base block.
    void Load(const std::string& label, const Block& block) {
        collection_.Clear();
        ClearLog();
        ASSERT_EQ(Add(block), 0) << label;
        ASSERT_EQ(Add(edid_test::TaggedBlock(0xF0)), 1) << label;
        ASSERT_EQ(Add(codec_test::EmptyBase()), 2) << label;
        ASSERT_EQ(Add(edid_test::TaggedBlock(0xF0, {{1, 0x02}, {2, 0x40}})), 3) << label;
    }

    static constexpr int kBlocks = 4;
};

TEST_F(CodecCycles, NoWriteOfAnyTreeLoopsOrBreaksTheChecksum) {
    int total = 0;
    for (const auto& [label, block] : Trees()) {
        ASSERT_NO_FATAL_FAILURE(Load(label, block));
        total += WriteEverything(label, Value::Own);
    }
    // Each tree has tens of settable entries; the walk must really have written them.
    EXPECT_GT(total, 1000);
}

TEST_F(CodecCycles, WritingTheShownValueBackChangesNoByte) {
    int total = 0;
    for (const auto& [label, block] : Trees()) {
        ASSERT_NO_FATAL_FAILURE(Load(label, block));
        total += WriteEverything(label, Value::Shown);
    }
    EXPECT_GT(total, 1000);
}

}  // namespace
