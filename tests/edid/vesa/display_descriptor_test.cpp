// The 18-byte descriptor codec: type entry and templates, reserved bytes,
// detailed timing fields, sync and stereo, Quick Config presets, and the
// display descriptors (text, range limits with GTF / CVT, colour point,
// standard timing identifications).

#include "edid/BuildOptions.h"
#include "edid/CodecTestSupport.h"
#include "edid/vesa/DisplayDescriptor.h"
#include "edid/vesa/TimingPresets.h"
#include "edid/vesa/VESA_EDID.h"

#include <cstring>
#include <limits>
#include <memory>

namespace {

using codec_test::Block;
using codec_test::CodecFixture;
using codec_test::Put;

constexpr int kAt = 72;  // Descriptor 2 of the base block
const QString kDesc = QStringLiteral("18-Byte data blocks/Descriptor 2");

QString Sub(const char* path) { return kDesc + QLatin1Char('/') + QString::fromLatin1(path); }

class DescriptorFixture : public CodecFixture {
protected:
    // A base block of the given minor version with these 18 bytes at Descriptor 2.
    void Load(const std::vector<uint8_t>& bytes, uint8_t minor = 4) {
        Block b = codec_test::EmptyBase(1, minor);
        std::memset(b.data() + kAt, 0, 18);
        Put(b, kAt, bytes);
        edid_test::FixChecksum(b);
        ASSERT_EQ(Add(b), 0);
    }
    std::vector<uint8_t> D() const { return Range(kAt, 18); }
    uint8_t DB(int i) const { return Byte(kAt + i); }
    uint8_t* Mutable() { return collection_.GetBlock(0)->MutableBytes() + kAt; }
    QStringList ChildNames(const QString& path) {
        QStringList names;
        ECEntry* e = At(path);
        for (int i = 0; e && i < e->ChildCount(); ++i) names << e->GetChild(i)->GetName();
        return names;
    }
};

std::vector<uint8_t> Bytes18(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> v(18, 0);
    std::copy(head.begin(), head.end(), v.begin());
    return v;
}

// ---------------------------------------------------------------------------
// Type entry

struct TypeCase {
    uint8_t tag;
    uint8_t minor;
    const char* type;
    const char* suffix;
};

class DescriptorType : public DescriptorFixture, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(DescriptorType, ShowsTheTypeTextAndSuffix) {
    const TypeCase& c = GetParam();
    Load({0, 0, 0, c.tag}, c.minor);
    ECEntry* root = At(kDesc);
    EXPECT_EQ(root->GetValue().Text.toStdString(), c.type);
    EXPECT_EQ(root->GetInfo()->Suffix.toStdString(), c.suffix);
    EXPECT_EQ(root->GetFlags(), 0xA045u);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, DescriptorType,
    ::testing::Values(TypeCase{0x05, 4, "Manufacturer specific [Not supported]", ""},
                      TypeCase{0x00, 4, "Manufacturer specific [Not supported]", ""}, TypeCase{0x10, 4, "Dummy", ""},
                      TypeCase{0x11, 4, "Undefined [RESERVED]", ""}, TypeCase{0xF6, 4, "Undefined [RESERVED]", ""},
                      TypeCase{0xF7, 3, "Established timings III", " [Not valid in this block]"},
                      TypeCase{0xF8, 3, "CVT 3byte timing codes", " [Not valid in this block]"},
                      TypeCase{0xF9, 3, "Display color management", " [Not valid in this block]"},
                      TypeCase{0xFA, 3, "Standard Timing identifications", " [Not valid in this block]"},
                      TypeCase{0xFA, 4, "Standard Timing identifications", ""},
                      TypeCase{0xFB, 3, "Color Point data", ""}, TypeCase{0xFC, 3, "Display product name", ""},
                      TypeCase{0xFD, 3, "Display range limits", ""}, TypeCase{0xFE, 3, "Alphanumeric data string", ""},
                      TypeCase{0xFF, 3, "Display product serial number", ""}));

TEST_F(DescriptorFixture, UnsupportedTagHasOnlyTheReservedByte) {
    Load({0, 0, 0, 0x05});
    EXPECT_EQ(ChildNames(kDesc), QStringList{QStringLiteral("RESERVED Byte 3")});
    EXPECT_EQ(Text(kDesc), QStringLiteral("Manufacturer specific [Not supported]"));
}

TEST_F(DescriptorFixture, NotSelectedTypeIsRefusedAndChangesNothing) {
    Load({0, 0, 0, 0x05, 0, 1, 2, 3});
    const std::vector<uint8_t> before = D();
    SetIndex(kDesc, -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Please, select an option")});
    EXPECT_EQ(D(), before);
    EXPECT_EQ(Text(kDesc), QStringLiteral("Manufacturer specific [Not supported]"));
}

TEST_F(DescriptorFixture, StandardTimingIdsIn13StillBuildTheTimings) {
    Load({0, 0, 0, 0xFA, 0, 0xD1, 0xC0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x0A}, 3);
    EXPECT_EQ(ChildNames(kDesc).join(QLatin1Char('|')).toStdString(),
              "RESERVED Byte 3|Timing 9|Timing 10|Timing 11|Timing 12|Timing 13|Timing 14|RESERVED Byte 5|"
              "RESERVED Byte 17");
    EXPECT_EQ(Text(Sub("Timing 9/X-Resolution")), QStringLiteral("1920"));
    EXPECT_EQ(Text(Sub("Timing 10")), QStringLiteral("Undefined"));
    EXPECT_EQ(Text(Sub("RESERVED Byte 17")), QStringLiteral("Good"));
    // Changing the type to colour point data drops the suffix.
    SetIndex(kDesc, 5);
    At(kDesc)->GetValue();
    EXPECT_TRUE(At(kDesc)->GetInfo()->Suffix.isEmpty());
    EXPECT_EQ(Text(kDesc), QStringLiteral("Color Point data"));
}

struct TemplateCase {
    int index;
    std::vector<uint8_t> bytes;
    bool warns13;
};

TEST_F(DescriptorFixture, EveryTypeWritesItsTemplate) {
    Load({0, 0, 0, 0xFC, 0, 'X', 'Y', 0x0A, 0x20}, 3);
    const TemplateCase cases[] = {
        {0, edid_fixtures::Dtd1080p(1600, 900), false},
        {1, Bytes18({0, 0, 0, 0xFF}), false},
        {2, Bytes18({0, 0, 0, 0xFE}), false},
        {3, Bytes18({0, 0, 0, 0xFD}), false},
        {4, Bytes18({0, 0, 0, 0xFC}), false},
        {5, {0, 0, 0, 0xFB, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x20, 0x20}, false},
        {6, {0, 0, 0, 0xFA, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x0A}, true},
        {7, Bytes18({0, 0, 0, 0xF9}), true},
        {8, Bytes18({0, 0, 0, 0xF8}), true},
        {9, Bytes18({0, 0, 0, 0xF7}), true},
        {10, Bytes18({0, 0, 0, 0x10}), false},
    };
    for (const TemplateCase& c : cases) {
        // Dirty every byte first: the template replaces all 18.
        std::memset(Mutable(), 0x5A, 18);
        ClearLog();
        SetIndex(kDesc, c.index);
        EXPECT_EQ(D(), c.bytes) << "index " << c.index;
        if (c.warns13) {
            EXPECT_EQ(
                Warnings(),
                QStringList{QStringLiteral("Warning: This type is not valid for current version of parent block")});
        } else {
            EXPECT_TRUE(Warnings().isEmpty()) << c.index;
        }
        EXPECT_TRUE(edid_test::ChecksumGood(Bytes())) << c.index;
    }
    // Established timings III in 1.3: the reserved byte entry only.
    SetIndex(kDesc, 9);
    EXPECT_EQ(ChildNames(kDesc), QStringList{QStringLiteral("RESERVED Byte 3")});
    // Detailed timing template: the timing fields with 148500 kHz.
    SetIndex(kDesc, 0);
    EXPECT_EQ(Text(Sub("Pixel Clock")), QStringLiteral("148500"));
    EXPECT_EQ(Text(Sub("Horizontal Video Size")), QStringLiteral("1600"));
    EXPECT_EQ(Text(Sub("Vertical Video Size")), QStringLiteral("900"));
}

TEST_F(DescriptorFixture, ReservedByteEntry) {
    Load({0, 0, 0x05, 0x10});
    const QString reserved = Sub("RESERVED Byte 3");
    EXPECT_EQ(Text(reserved), QStringLiteral("BAD (5"));
    EXPECT_EQ(At(reserved)->GetValue().Integer, 0);
    SetInt(reserved, 0);
    EXPECT_EQ(DB(2), 0);
    EXPECT_EQ(Text(reserved), QStringLiteral("OK (0)"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Detailed timing fields

const std::vector<uint8_t> k1080p = edid_fixtures::Dtd1080p(600, 340);

TEST_F(DescriptorFixture, DetailedTimingDecode) {
    Load(k1080p);
    const std::pair<const char*, const char*> expected[] = {
        {"Pixel Clock", "148500"},
        {"Horizontal addressable video", "1920"},
        {"Horizontal Blanking", "280"},
        {"Vertical addressable video", "1080"},
        {"Vertical blanking", "45"},
        {"Horizontal Front Porch", "88"},
        {"Horizontal pulse width", "44"},
        {"Vertical Front Porch", "4"},
        {"Vertical pulse width", "5"},
        {"Horizontal Video Size", "600"},
        {"Vertical Video Size", "340"},
        {"Left or Right border", "0"},
        {"Top or Bottom border", "0"},
        {"Interlaced", "No"},
        {"Stereo viewing support", "No Stereo"},
        {"Sync Signal Definition", "Digital"},
        {"Sync Signal Definition/Digital Sync type", "Digital Separate"},
        {"Sync Signal Definition/Digital Sync type/V-Sync polarity", "Positive"},
        {"Sync Signal Definition/H-Sync polarity", "Positive"},
    };
    for (const auto& [path, text] : expected) EXPECT_EQ(Text(Sub(path)).toStdString(), text) << path;
}

TEST_F(DescriptorFixture, PixelClock) {
    Load(k1080p);
    const QString clock = Sub("Pixel Clock");
    SetInt(clock, 25175);
    EXPECT_EQ(Errors(),
              QStringList{QStringLiteral("Precision - Pixel clock may only be set with precision of 10 kHz")});
    EXPECT_EQ(DB(0), 0xD5);
    EXPECT_EQ(DB(1), 0x09);
    EXPECT_EQ(Text(clock), QStringLiteral("25170"));
    for (int refused : {9, 655351, 0, -10}) {
        ClearLog();
        SetInt(clock, refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 10 - 655350")}) << refused;
    }
    EXPECT_EQ(Text(clock), QStringLiteral("25170"));
    SetInt(clock, 655350);
    EXPECT_EQ(DB(0), 0xFF);
    EXPECT_EQ(DB(1), 0xFF);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

struct FieldCase {
    const char* name;
    int max;
    const char* refusal;
};

// Every packed field takes its whole range and leaves every other field as it was.
TEST_F(DescriptorFixture, PackedFieldsChangeOnlyTheirOwnBits) {
    Load({0x01, 0x00, 0x55, 0xAA, 0x5A, 0x55, 0xAA, 0x5A, 0x55, 0xAA, 0x5A, 0x5A, 0x55, 0xAA, 0x5A, 0x12, 0x34, 0x1E});
    const FieldCase fields[] = {
        {"Horizontal addressable video", 4095, "Out of range - Possible range 0 - 4095"},
        {"Horizontal Blanking", 4095, "Out of range - Possible range 0 - 4095"},
        {"Vertical addressable video", 4095, "Out of range - Possible range 0 - 4095"},
        {"Vertical blanking", 4095, "Out of range - Possible range 0 - 4095"},
        {"Horizontal Front Porch", 1023, "Out of range - Possible range 0 - 1023"},
        {"Horizontal pulse width", 1023, "Out of range - Possible range 0 - 1023"},
        {"Vertical Front Porch", 63, "Out of range - Possible range 0 - 63"},
        {"Vertical pulse width", 63, "Out of range - Possible range 0 - 63"},
        {"Horizontal Video Size", 4095, "Out of range - Possible range 0 - 4095"},
        {"Vertical Video Size", 4095, "Out of range - Possible range 0 - 4095"},
        {"Left or Right border", 255, "Out of range - Possible range 0 - 255"},
        {"Top or Bottom border", 255, "Out of range - Possible range 0 - 255"},
    };
    auto values = [&] {
        std::vector<int> v;
        for (const FieldCase& f : fields) v.push_back(At(Sub(f.name))->GetValue().Integer);
        return v;
    };
    for (size_t i = 0; i < std::size(fields); ++i) {
        const FieldCase& f = fields[i];
        for (int value : {f.max, 0, f.max / 3}) {
            std::vector<int> want = values();
            want[i] = value;
            SetInt(Sub(f.name), value);
            EXPECT_EQ(values(), want) << f.name << " = " << value;
        }
        const std::vector<uint8_t> before = D();
        ClearLog();
        SetInt(Sub(f.name), f.max + 1);
        SetInt(Sub(f.name), -1);
        EXPECT_EQ(Errors(), (QStringList{QString::fromLatin1(f.refusal), QString::fromLatin1(f.refusal)})) << f.name;
        EXPECT_EQ(D(), before) << f.name;
    }
    EXPECT_EQ(DB(17), 0x1E);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, PackedFieldBytes) {
    Load(k1080p);
    // Byte 4 is 71h: horizontal addressable 1920 keeps it.
    SetInt(Sub("Horizontal addressable video"), 1920);
    EXPECT_EQ(DB(2), 0x80);
    EXPECT_EQ(DB(4), 0x71);
    SetInt(Sub("Vertical Front Porch"), 63);
    EXPECT_EQ(DB(10) >> 4, 0x0F);
    EXPECT_EQ((DB(11) >> 2) & 3, 3);
    ClearLog();
    SetInt(Sub("Vertical Front Porch"), 64);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0 - 63")});
}

TEST_F(DescriptorFixture, InterlacedDigitalSeparateSync) {
    Load({0x8A, 0x11, 0x00, 0xF0, 0x40, 0x00, 0x31, 0x30, 0x08, 0xB0, 0x0D, 0x01, 0, 0, 0, 0, 0, 0x9E});
    EXPECT_EQ(Text(Sub("Interlaced")), QStringLiteral("Yes"));
    EXPECT_EQ(Text(Sub("Stereo viewing support")), QStringLiteral("No Stereo"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition")), QStringLiteral("Digital"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Digital Sync type")), QStringLiteral("Digital Separate"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Digital Sync type/V-Sync polarity")), QStringLiteral("Positive"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition/H-Sync polarity")), QStringLiteral("Positive"));
    Apply(At(Sub("Interlaced")), ECVariant::OfBool(0));
    EXPECT_EQ(DB(17), 0x1E);
}

TEST_F(DescriptorFixture, SyncDefinitionSwitchKeepsBits3To1) {
    Load(k1080p);
    SetIndex(Sub("Sync Signal Definition"), 0);
    EXPECT_EQ(DB(17), 0x0E);
    EXPECT_EQ(ChildNames(Sub("Sync Signal Definition")).join(QLatin1Char('|')).toStdString(),
              "Analog Sync Type|Serrations|Sync signal");
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Analog Sync Type")), QStringLiteral("Bipolar analog composity sync"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Serrations")), QStringLiteral("With serrations"));
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Sync signal")), QStringLiteral("Sync on all three RGB video signals"));
    SetIndex(Sub("Sync Signal Definition/Sync signal"), 0);
    EXPECT_EQ(DB(17), 0x0C);
    SetIndex(Sub("Sync Signal Definition"), 1);
    EXPECT_EQ(DB(17), 0x1C);
    SetIndex(Sub("Sync Signal Definition/Digital Sync type"), 0);
    EXPECT_EQ(DB(17), 0x14);
    EXPECT_EQ(ChildNames(Sub("Sync Signal Definition/Digital Sync type")), QStringList{QStringLiteral("Serrations")});
    EXPECT_EQ(Text(Sub("Sync Signal Definition/Digital Sync type/Serrations")), QStringLiteral("With serrations"));
    SetIndex(Sub("Sync Signal Definition/H-Sync polarity"), 1);
    EXPECT_EQ(DB(17), 0x16);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, StereoModes) {
    Load(edid_fixtures::Dtd1080p(0, 0, 0x1F));
    const QString stereo = Sub("Stereo viewing support");
    EXPECT_EQ(Text(stereo), QStringLiteral("No Stereo"));  // 01h
    const char* texts[] = {"No Stereo",
                           "Field sequential stereo, Right on sync=1",
                           "Field sequential stereo, Left on sync=1",
                           "2-way interleaved stereo, right on even lines",
                           "2-way interleaved stereo, left on even lines",
                           "4-way interleaved stereo",
                           "Side-by-side interleaved stereo"};
    const uint8_t codes[] = {0x00, 0x20, 0x40, 0x21, 0x41, 0x60, 0x61};
    for (int i = 0; i < 7; ++i) {
        SetIndex(stereo, i);
        EXPECT_EQ(DB(17), 0x1E | codes[i]) << i;
        EXPECT_EQ(Text(stereo).toStdString(), texts[i]);
    }
    SetIndex(stereo, -1);
    EXPECT_EQ(DB(17), 0x1E);
}

// ---------------------------------------------------------------------------
// Quick Config

struct FakeItem {
    QString caption;
    int32_t tag;
    bool newColumn;
    std::function<void(int32_t)> onClick;
};

class FakeSubmenu : public ECPopupSubmenu {
public:
    std::vector<FakeItem> items;
    void AddItem(const QString& caption, int32_t tag, std::function<void(int32_t)> onClick, bool newColumn) override {
        items.push_back({caption, tag, newColumn, std::move(onClick)});
    }
};

class FakeMenu : public ECPopupMenu {
public:
    const void* tag = nullptr;
    int clears = 0;
    std::vector<std::pair<QString, std::unique_ptr<FakeSubmenu>>> submenus;
    const void* Tag() const override { return tag; }
    void SetTag(const void* t) override { tag = t; }
    void Clear() override {
        ++clears;
        submenus.clear();
    }
    ECPopupSubmenu* AddSubmenu(const QString& caption) override {
        submenus.emplace_back(caption, std::make_unique<FakeSubmenu>());
        return submenus.back().second.get();
    }
    FakeSubmenu* Sub(int i) { return submenus.at(static_cast<size_t>(i)).second.get(); }
};

std::vector<int> Columns(const FakeSubmenu* menu) {
    std::vector<int> sizes{0};
    for (const FakeItem& item : menu->items) {
        if (item.newColumn) sizes.push_back(0);
        ++sizes.back();
    }
    return sizes;
}

int RowNamed(const TimingPreset* table, int count, const char* name) {
    for (int i = 0; i < count; ++i)
        if (std::strcmp(table[i].name, name) == 0) return i;
    return -1;
}

TEST_F(DescriptorFixture, QuickConfigMenuHoldsBothTablesInColumnsOf22) {
    Load({0, 0, 0, 0xFC, 0, 'A', 0x0A, 0x20});
    ECEntry* root = At(kDesc);
    ASSERT_TRUE(root->GetFlags() & ECT_QUICK_CONFIG);
    ASSERT_TRUE(static_cast<bool>(root->QuickConfig));
    FakeMenu menu;
    root->QuickConfig(&menu, root, {});
    ASSERT_EQ(menu.submenus.size(), 2u);
    EXPECT_EQ(menu.submenus[0].first, QStringLiteral("VESA Timings"));
    EXPECT_EQ(menu.submenus[1].first, QStringLiteral("CEA Timings"));
    ASSERT_EQ(static_cast<int>(menu.Sub(0)->items.size()), kVesaTimingPresetCount);
    ASSERT_EQ(static_cast<int>(menu.Sub(1)->items.size()), kCeaTimingPresetCount);
    for (int i = 0; i < kVesaTimingPresetCount; ++i) {
        EXPECT_EQ(menu.Sub(0)->items[static_cast<size_t>(i)].caption, QString::fromLatin1(VesaTimingPresets[i].name));
        EXPECT_EQ(menu.Sub(0)->items[static_cast<size_t>(i)].tag, i);
    }
    if (edid_build::kSinkPresets) {
        EXPECT_EQ(Columns(menu.Sub(0)), (std::vector<int>{22, 22, 22, 20}));
        EXPECT_EQ(Columns(menu.Sub(1)), (std::vector<int>{22, 22, 19}));
    } else {
        EXPECT_EQ(Columns(menu.Sub(0)), (std::vector<int>{22, 22, 22, 21}));
        EXPECT_EQ(Columns(menu.Sub(1)), (std::vector<int>{22, 22, 5}));
    }
    // The same descriptor again keeps the menu; another one refills it.
    root->QuickConfig(&menu, root, {});
    EXPECT_EQ(menu.clears, 1);
    ECEntry* other = At(QStringLiteral("18-Byte data blocks/Descriptor 3"));
    other->QuickConfig(&menu, other, {});
    EXPECT_EQ(menu.clears, 2);
}

TEST_F(DescriptorFixture, PickingAPresetTurnsADisplayDescriptorIntoATiming) {
    Load({0, 0, 0, 0xFC, 0, 'A', 0x0A, 0x20});
    ECEntry* root = At(kDesc);
    FakeMenu menu;
    root->QuickConfig(&menu, root, {});
    const char* name = edid_build::kSinkPresets ? "1920x1080p 60 Hz" : "1920X1080P 59.94HZ/60HZ";
    const int row = RowNamed(CeaTimingPresets, kCeaTimingPresetCount, name);
    ASSERT_GE(row, 0);
    FakeItem& item = menu.Sub(1)->items[static_cast<size_t>(row)];
    item.onClick(item.tag);
    EXPECT_EQ(D(), std::vector<uint8_t>(CeaTimingPresets[row].bytes, CeaTimingPresets[row].bytes + 18));
    EXPECT_EQ(Text(kDesc), QStringLiteral("Detailed Timing Descriptor"));
    EXPECT_EQ(Text(Sub("Pixel Clock")), QStringLiteral("148500"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
    EXPECT_TRUE(Errors().isEmpty());

    // A tag outside the table is ignored.
    const std::vector<uint8_t> before = D();
    item.onClick(kCeaTimingPresetCount);
    item.onClick(-1);
    menu.Sub(0)->items[0].onClick(kVesaTimingPresetCount);
    EXPECT_EQ(D(), before);
}

TEST_F(DescriptorFixture, PickingAPresetCallsTheEditorsPickClosure) {
    Load({0, 0, 0, 0x10});
    ECEntry* root = At(kDesc);
    FakeMenu menu;
    std::vector<ECEntry*> picked;
    root->QuickConfig(&menu, root, [&picked](ECEntry* e) {
        picked.push_back(e);
        e->CallRethinkFunction();
        e->ReevaluateTree(e);
    });
    FakeItem& item = menu.Sub(0)->items[5];
    item.onClick(item.tag);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0], root);
    EXPECT_EQ(D(), std::vector<uint8_t>(VesaTimingPresets[5].bytes, VesaTimingPresets[5].bytes + 18));
    EXPECT_TRUE(Exists(Sub("Pixel Clock")));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Text descriptors

TEST_F(DescriptorFixture, TextDescriptorSet) {
    Load({0, 0, 0, 0xFC, 0, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20});
    const QString name = Sub("Display product name");
    EXPECT_EQ(ChildNames(kDesc).join(QLatin1Char('|')).toStdString(),
              "RESERVED Byte 3|RESERVED Byte 5|Display product name");
    EXPECT_EQ(Text(name), QString());
    SetText(name, QStringLiteral("ABC"));
    EXPECT_EQ(Range(kAt + 5, 13),
              (std::vector<uint8_t>{0x41, 0x42, 0x43, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}));
    EXPECT_EQ(Text(name), QStringLiteral("ABC"));
    SetText(name, QStringLiteral("123456789012"));
    EXPECT_EQ(Range(kAt + 5, 13),
              (std::vector<uint8_t>{'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', 0x0A}));
    EXPECT_EQ(Text(name), QStringLiteral("123456789012"));
    SetText(name, QStringLiteral("1234567890123"));
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("String too long - 12 characters MAX")});
    EXPECT_EQ(Text(name), QStringLiteral("123456789012"));
    SetText(name, QString());
    EXPECT_EQ(DB(5), 0x0A);
    EXPECT_EQ(DB(17), 0x20);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

struct TextCase {
    const char* bytes;  // 13 bytes
    const char* text;
};

TEST_F(DescriptorFixture, TextDescriptorRead) {
    Load({0, 0, 0, 0xFE});
    const QString text = Sub("Alphanumeric data string");
    const TextCase cases[] = {
        {"AB\nCD\n       ", "AB\nCD"}, {"ABCDEFGHIJKLM", "ABCDEFGHIJKLM"},  // 13 characters, no line break
        {"\nABCDEFGHIJKL", ""},        {"ABCDEFGHIJKL\n", "ABCDEFGHIJKL"}, {"AB\rCD        ", "AB"},
    };
    for (const TextCase& c : cases) {
        std::memcpy(Mutable() + 5, c.bytes, 13);
        EXPECT_EQ(At(text)->GetValue().Text, QString::fromLatin1(c.text)) << c.bytes;
    }
}

// ---------------------------------------------------------------------------
// Display range limits

const std::initializer_list<uint8_t> kLimits = {0,    0,    0,    0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53,
                                                0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};

struct OffsetCase {
    uint8_t byte4;
    const char* minV;
    const char* maxV;
    const char* minH;
    const char* maxH;
};

TEST_F(DescriptorFixture, RangeLimitOffsets) {
    Load(kLimits);
    EXPECT_EQ(ChildNames(kDesc).join(QLatin1Char('|')).toStdString(),
              "RESERVED Byte 3|Vertical range limit offsets|Horizontal range limit offsets|Minimum vertical rate|"
              "Maximum vertical rate|Minimum horizontal rate|Maximum horizontal rate|Maximum pixel clock|"
              "Video Timing support");
    const OffsetCase cases[] = {
        {0x00, "56", "76", "30", "83"},   {0x03, "311", "331", "30", "83"}, {0x02, "56", "331", "30", "83"},
        {0x0C, "56", "76", "285", "338"}, {0x08, "56", "76", "30", "338"},
    };
    for (const OffsetCase& c : cases) {
        Mutable()[4] = c.byte4;
        EXPECT_EQ(Text(Sub("Minimum vertical rate")).toStdString(), c.minV) << int(c.byte4);
        EXPECT_EQ(Text(Sub("Maximum vertical rate")).toStdString(), c.maxV) << int(c.byte4);
        EXPECT_EQ(Text(Sub("Minimum horizontal rate")).toStdString(), c.minH) << int(c.byte4);
        EXPECT_EQ(Text(Sub("Maximum horizontal rate")).toStdString(), c.maxH) << int(c.byte4);
    }
    Mutable()[4] = 0x03;
    At(Sub("Minimum vertical rate"))->GetValue();
    At(Sub("Minimum horizontal rate"))->GetValue();
    EXPECT_EQ(At(Sub("Minimum vertical rate"))->GetRangeHint(), QStringLiteral("256 - 510Hz"));
    EXPECT_EQ(At(Sub("Minimum horizontal rate"))->GetRangeHint(), QStringLiteral("1 - 255Hz"));
    EXPECT_EQ(Text(Sub("Vertical range limit offsets")), QStringLiteral("Max Rate +255Hz, Min Rate + 255Hz"));
    Mutable()[4] = 0x01;
    EXPECT_EQ(Text(Sub("Vertical range limit offsets")), QStringLiteral("No Offsets [Invalid]"));
}

TEST_F(DescriptorFixture, SettingOffsetsRereadsTheRates) {
    Load(kLimits);
    Mutable()[4] = 0xF4;
    ECEntry* maxV = At(Sub("Maximum vertical rate"));
    maxV->GetValue();
    EXPECT_EQ(maxV->GetInfo()->Cached.Integer, 76);
    SetIndex(Sub("Vertical range limit offsets"), 2);
    EXPECT_EQ(DB(4), 0x07);
    // The dependency re-read the rate: its cached value follows the offset.
    EXPECT_EQ(maxV->GetInfo()->Cached.Integer, 331);
    SetIndex(Sub("Horizontal range limit offsets"), 1);
    EXPECT_EQ(DB(4), 0x0B);
    SetIndex(Sub("Horizontal range limit offsets"), 7);  // not an item: no offset
    EXPECT_EQ(DB(4), 0x03);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, RateSetRules) {
    Load(kLimits);
    SetInt(Sub("Minimum vertical rate"), 1);
    EXPECT_EQ(DB(5), 1);
    SetInt(Sub("Minimum vertical rate"), 256);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 1 - 255Hz")});
    SetIndex(Sub("Vertical range limit offsets"), 2);  // max rate + 255
    ClearLog();
    SetInt(Sub("Maximum vertical rate"), 255);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 256 - 510Hz")});
    SetInt(Sub("Maximum vertical rate"), 510);
    EXPECT_EQ(DB(6), 255);
    Mutable()[7] = 0;
    ECEntry* minH = At(Sub("Minimum horizontal rate"));
    minH->GetValue();
    EXPECT_EQ(minH->GetInfo()->Prefix, QStringLiteral("[RESERVED VALUE USED] "));
}

TEST_F(DescriptorFixture, MaximumPixelClock) {
    Load(kLimits);
    SetInt(Sub("Maximum pixel clock"), 165);
    EXPECT_EQ(Warnings(), QStringList{QStringLiteral("Warning - Resolution is 10 MHz; Entered value is rounded up.")});
    EXPECT_EQ(DB(9), 17);
    EXPECT_EQ(Text(Sub("Maximum pixel clock")), QStringLiteral("170"));
    for (int refused : {2551, 9}) {
        ClearLog();
        SetInt(Sub("Maximum pixel clock"), refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 10 - 2550 MHz")});
    }
    EXPECT_EQ(DB(9), 17);
}

TEST_F(DescriptorFixture, TimingSupportKinds) {
    Load(kLimits);
    const QString support = Sub("Video Timing support");
    EXPECT_EQ(ChildNames(support), QStringList{QStringLiteral("RESERVED range")});
    EXPECT_EQ(Text(support + QStringLiteral("/RESERVED range")), QStringLiteral("OK"));
    Mutable()[13] = 0x00;
    EXPECT_EQ(Text(support + QStringLiteral("/RESERVED range")), QStringLiteral("BAD"));
    SetInt(support + QStringLiteral("/RESERVED range"), 0);
    EXPECT_EQ(Range(kAt + 11, 7), (std::vector<uint8_t>{0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20}));

    SetIndex(support, 2);
    EXPECT_EQ(DB(10), 0x02);
    EXPECT_EQ(ChildNames(support).join(QLatin1Char('|')).toStdString(),
              "RESERVED Byte 11|Start break frequency|Curve var. C|Curve var. M|Curve var. K|Curve var. J");
    SetIndex(support, 3);
    EXPECT_EQ(DB(10), 0x04);
    EXPECT_EQ(ChildNames(support).size(), 16);
    SetIndex(support, 1);
    EXPECT_EQ(DB(10), 0x01);
    EXPECT_EQ(Text(support), QStringLiteral("Range limits only"));
    SetIndex(support, -1);  // writes nothing
    EXPECT_EQ(DB(10), 0x01);
    Mutable()[10] = 0x03;
    At(support)->CallRethinkFunction();
    EXPECT_EQ(Text(support), QStringLiteral("[RESERVED]"));
    EXPECT_FALSE(At(support)->HasChildren());
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, SecondaryGtfCurve) {
    Load({0, 0, 0, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x51, 0x0E, 0x02, 0x07, 0x50, 0x51, 0x58, 0x02, 0x80, 0x3C});
    const QString gtf = Sub("Video Timing support/");
    EXPECT_EQ(Text(gtf + QStringLiteral("RESERVED Byte 11")), QStringLiteral("BAD (7"));
    EXPECT_EQ(Text(gtf + QStringLiteral("Start break frequency")), QStringLiteral("160"));
    EXPECT_EQ(Text(gtf + QStringLiteral("Curve var. C")), QStringLiteral("40.5"));
    EXPECT_EQ(Text(gtf + QStringLiteral("Curve var. M")), QStringLiteral("600"));
    EXPECT_EQ(Text(gtf + QStringLiteral("Curve var. K")), QStringLiteral("128"));
    EXPECT_EQ(Text(gtf + QStringLiteral("Curve var. J")), QStringLiteral("30.0"));

    SetInt(gtf + QStringLiteral("Start break frequency"), 31);
    EXPECT_EQ(Warnings(), QStringList{QStringLiteral("Warning - Resolution is 2 kHz, Rounding.")});
    EXPECT_EQ(DB(12), 16);
    SetInt(gtf + QStringLiteral("Start break frequency"), 511);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0 - 510kHz")});

    ClearLog();
    SetDouble(gtf + QStringLiteral("Curve var. C"), 40.3);
    EXPECT_EQ(DB(13), 81);
    SetDouble(gtf + QStringLiteral("Curve var. J"), 127.5);
    EXPECT_EQ(DB(17), 255);
    for (double refused :
         {127.6, -0.1, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        ClearLog();
        SetDouble(gtf + QStringLiteral("Curve var. C"), refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0.0 - 127.5")}) << refused;
    }
    EXPECT_EQ(DB(13), 81);

    ClearLog();
    SetInt(gtf + QStringLiteral("Curve var. M"), 65535);
    EXPECT_EQ(Range(kAt + 14, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    SetInt(gtf + QStringLiteral("Curve var. M"), 65536);
    SetInt(gtf + QStringLiteral("Curve var. K"), 256);
    EXPECT_EQ(Errors(), (QStringList{QStringLiteral("Out of range - Possible range 0 - 65535"),
                                     QStringLiteral("Out of range - Possible range 0 - 255")}));
    SetInt(gtf + QStringLiteral("RESERVED Byte 11"), 0);
    EXPECT_EQ(DB(11), 0);
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, CvtSupport) {
    Load({0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x04, 0x11, 0x00, 0xF0, 0xC8, 0x38, 0xF0, 0x00});
    const QString cvt = Sub("Video Timing support/");
    const std::pair<const char*, const char*> expected[] = {
        {"CVT Version", "1.1"},
        {"Max pixel clock, HI-res", "170.00"},
        {"Maximum active pixels, horizontal", "1920"},
        {"4:3 AR", "Yes"},
        {"16:9 AR", "Yes"},
        {"16:10 AR", "No"},
        {"15:9 AR", "Yes"},
        {"Preferred Aspect", "16:9 AR"},
        {"Reduced CVT Blanking", "Yes"},
        {"Standard CVT Blanking", "Yes"},
        {"H-Shrink", "Yes"},
        {"V-Stretch", "Yes"},
        {"Preferred refresh rate", "[Invalid value]0"},
    };
    for (const auto& [path, text] : expected)
        EXPECT_EQ(Text(cvt + QString::fromLatin1(path)).toStdString(), text) << path;

    const QString active = cvt + QStringLiteral("Maximum active pixels, horizontal");
    SetInt(active, 8184);
    EXPECT_EQ(DB(13), 0xFF);
    EXPECT_EQ(DB(12) & 3, 3);
    for (int refused : {8185, 8192, -1}) {
        ClearLog();
        SetInt(active, refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0 - 8184")}) << refused;
    }
    SetInt(active, 0);
    EXPECT_EQ(Text(active), QStringLiteral("0 (Unlimited)"));
    ClearLog();
    SetInt(active, 1921);
    EXPECT_EQ(Warnings(),
              QStringList{QStringLiteral("Warning - Resolution is 8 Pixels; rounded to nearest division of 8.")});
    EXPECT_EQ(DB(13), 240);
    EXPECT_EQ(DB(12) & 3, 0);

    const QString hires = cvt + QStringLiteral("Max pixel clock, HI-res");
    SetDouble(hires, 154.1);
    EXPECT_EQ(DB(9), 16);
    EXPECT_EQ(DB(12) >> 2, 23);
    EXPECT_EQ(DB(13), 240);  // the active pixel bits stay
    EXPECT_EQ(Text(hires), QStringLiteral("154.25"));
    EXPECT_EQ(Text(Sub("Maximum pixel clock")), QStringLiteral("160"));
    for (double refused : {9.99, 2550.01, std::numeric_limits<double>::quiet_NaN()}) {
        ClearLog();
        SetDouble(hires, refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 10 - 2550 MHz")}) << refused;
    }
    EXPECT_EQ(DB(9), 16);

    const QString version = cvt + QStringLiteral("CVT Version");
    const uint8_t byte12 = DB(12);
    SetText(version, QStringLiteral("2.3"));
    EXPECT_EQ(DB(11), 0x23);
    SetText(version, QStringLiteral("15"));
    EXPECT_EQ(DB(11), 0xF0);
    SetText(version, QStringLiteral("1.1"));
    EXPECT_EQ(DB(11), 0x11);
    EXPECT_EQ(DB(12), byte12);
    ClearLog();
    SetText(version, QStringLiteral("16.0"));
    SetText(version, QStringLiteral("1.16"));
    EXPECT_EQ(Errors(), (QStringList{QStringLiteral("Major version number out of range - Possible range 0 - 15"),
                                     QStringLiteral("Minor version number out of range - Possible range 0 - 15")}));
    EXPECT_EQ(DB(11), 0x11);

    SetIndex(cvt + QStringLiteral("Preferred Aspect"), 4);
    EXPECT_EQ(DB(15), 0x98);
    ClearLog();
    SetInt(cvt + QStringLiteral("Preferred refresh rate"), 0);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 1 - 255Hz")});
    SetInt(cvt + QStringLiteral("Preferred refresh rate"), 60);
    EXPECT_EQ(Text(cvt + QStringLiteral("Preferred refresh rate")), QStringLiteral("60"));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Colour point data

const std::initializer_list<uint8_t> kColorPoint = {0,    0,    0, 0xFB, 0, 0x01, 0x0C, 0x00, 0x00,
                                                    0xFF, 0x00, 0, 0,    0, 0,    0x0A, 0x20, 0x20};

TEST_F(DescriptorFixture, ColorPointWhitePoint) {
    Load(kColorPoint);
    EXPECT_EQ(ChildNames(kDesc).join(QLatin1Char('|')).toStdString(),
              "RESERVED Byte 3|RESERVED Byte 5|White Point Index Number|White point x-coord|White point y-coord|Gamma|"
              "RESERVED range|Second White point definition");
    SetDouble(Sub("White point x-coord"), 0.3127);
    EXPECT_EQ(DB(7), 0x50);
    EXPECT_EQ((DB(6) >> 2) & 3, 0);
    EXPECT_EQ(Text(Sub("White point x-coord")), QStringLiteral("0.313"));
    SetDouble(Sub("White point y-coord"), 1.0);  // codes as 1023, not 0
    EXPECT_EQ(DB(8), 0xFF);
    EXPECT_EQ(DB(6) & 3, 3);
    for (double refused :
         {1.5, -0.5, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
        ClearLog();
        SetDouble(Sub("White point y-coord"), refused);
        EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 0.000 - 1.000")}) << refused;
    }
    EXPECT_EQ(DB(8), 0xFF);

    ECEntry* gamma = At(Sub("Gamma"));
    gamma->GetValue();
    EXPECT_EQ(gamma->GetInfo()->Prefix, QStringLiteral("[Undefined]"));
    SetDouble(Sub("Gamma"), 2.2);
    EXPECT_EQ(DB(9), 120);
    gamma->GetValue();
    EXPECT_TRUE(gamma->GetInfo()->Prefix.isEmpty());
    ClearLog();
    SetDouble(Sub("Gamma"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 1.00 - 3.54")});
    EXPECT_EQ(DB(9), 120);

    ClearLog();
    SetInt(Sub("White Point Index Number"), 0);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 1 - 255")});
    SetInt(Sub("White Point Index Number"), 255);
    EXPECT_EQ(DB(5), 255);
    EXPECT_EQ(Text(Sub("RESERVED range")), QStringLiteral("Good"));
    Mutable()[16] = 0;
    EXPECT_EQ(Text(Sub("RESERVED range")), QStringLiteral("Bad"));
    SetInt(Sub("RESERVED range"), 0);
    EXPECT_EQ(Range(kAt + 15, 3), (std::vector<uint8_t>{0x0A, 0x20, 0x20}));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

TEST_F(DescriptorFixture, SecondWhitePoint) {
    Load(kColorPoint);
    const QString second = Sub("Second White point definition");
    EXPECT_EQ(Text(second), QStringLiteral("Undefined"));
    EXPECT_EQ(ChildNames(second), QStringList{QStringLiteral("Pt2 RESERVED")});
    EXPECT_EQ(Text(second + QStringLiteral("/Pt2 RESERVED")), QStringLiteral("Good"));
    Mutable()[13] = 7;
    EXPECT_EQ(Text(second + QStringLiteral("/Pt2 RESERVED")), QStringLiteral("Bad"));
    SetInt(second + QStringLiteral("/Pt2 RESERVED"), 0);
    EXPECT_EQ(DB(13), 0);

    SetIndex(second, 0);
    EXPECT_EQ(DB(10), 0x02);
    EXPECT_EQ(ChildNames(second).join(QLatin1Char('|')).toStdString(),
              "White Point Index Number|White point x-coord|White point y-coord|Gamma");
    EXPECT_EQ(At(second + QStringLiteral("/White Point Index Number"))->GetRangeHint(), QStringLiteral("2 - 255"));
    ClearLog();
    SetInt(second + QStringLiteral("/White Point Index Number"), 1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Out of range - Possible range 2 - 255")});
    SetDouble(second + QStringLiteral("/White point y-coord"), 0.329);
    EXPECT_EQ(DB(13), 0x54);
    EXPECT_EQ(DB(11) & 3, 1);
    SetDouble(second + QStringLiteral("/Gamma"), 1.0);
    EXPECT_EQ(DB(14), 0);
    // The first white point is untouched.
    EXPECT_EQ(Range(kAt + 5, 5), (std::vector<uint8_t>{0x01, 0x0C, 0x00, 0x00, 0xFF}));

    ClearLog();
    SetIndex(second, -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Please, select an option")});
    EXPECT_EQ(DB(10), 0x02);
    Mutable()[10] = 0x01;
    ECEntry* e = At(second);
    e->GetValue();
    EXPECT_EQ(e->GetInfo()->Prefix, QStringLiteral("[Invalid white point index]"));
    SetIndex(second, 1);
    EXPECT_EQ(DB(10), 0x00);
    EXPECT_EQ(ChildNames(second), QStringList{QStringLiteral("Pt2 RESERVED")});
    e->GetValue();
    EXPECT_TRUE(e->GetInfo()->Prefix.isEmpty());
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// ---------------------------------------------------------------------------
// Standard timing identifications

TEST_F(DescriptorFixture, StandardTimingIdentifications) {
    Load({0, 0, 0, 0xFA, 0, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x0B});
    EXPECT_EQ(Text(Sub("RESERVED Byte 17")), QStringLiteral("Bad"));
    SetInt(Sub("RESERVED Byte 17"), 0);
    EXPECT_EQ(DB(17), 0x0A);
    SetIndex(Sub("Timing 14"), 0);
    EXPECT_EQ(Range(kAt + 15, 2), (std::vector<uint8_t>{0xA9, 0x40}));
    SetInt(Sub("Timing 14/X-Resolution"), 1920);
    SetIndex(Sub("Timing 14/Aspect ratio"), 3);
    EXPECT_EQ(Range(kAt + 15, 2), (std::vector<uint8_t>{0xD1, 0xC0}));
    ClearLog();
    SetIndex(Sub("Timing 9"), -1);
    EXPECT_EQ(Errors(), QStringList{QStringLiteral("Please, select an option")});
    EXPECT_EQ(Range(kAt + 5, 2), (std::vector<uint8_t>{0x01, 0x01}));
    EXPECT_TRUE(edid_test::ChecksumGood(Bytes()));
}

// A descriptor codec made directly, as the CEA-861 codec makes them.
TEST(DisplayDescriptorStandalone, UnlimitedVersionAndOwnBytes) {
    edid_test::MessageLog log;
    uint8_t block[128] = {};
    auto* root =
        new ECEntry(nullptr, nullptr, ECHelper::NewEntryInfo(ECT_GROUP, "root", nullptr, nullptr, nullptr, "", ""),
                    block, 0, [](ECEntry*) {});
    root->SetOnMessage(log.Closure());
    uint8_t* d = block + 18;
    d[3] = 0xF7;
    {
        DisplayDescriptor descriptor(nullptr, root, 0, d);
        EXPECT_EQ(descriptor.Version(), DisplayDescriptor::kUnlimitedVersion);
        EXPECT_EQ(descriptor.Root()->GetName(), QStringLiteral("Descriptor 0"));
        descriptor.Root()->GetValue();
        EXPECT_TRUE(descriptor.Root()->GetInfo()->Suffix.isEmpty());
        descriptor.Root()->SetValue(ECVariant::OfInt(6));
        descriptor.Root()->CallRethinkFunction();
        EXPECT_TRUE(log.Texts(EC_LEVEL_WARNING).isEmpty());
        EXPECT_EQ(d[3], 0xFA);
        EXPECT_EQ(descriptor.Root()->ChildCount(), 9);
        descriptor.Report("Out of range - Possible range 0 - 255", EC_LEVEL_ERROR);
        EXPECT_EQ(log.Texts(EC_LEVEL_ERROR), QStringList{QStringLiteral("Out of range - Possible range 0 - 255")});
        char name[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        descriptor.GetName(name, 8);
        for (char c : name) EXPECT_EQ(c, 0);
    }
    EXPECT_FALSE(root->HasChildren());
    delete root;
}

}  // namespace
