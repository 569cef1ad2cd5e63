// Editing through the window: Set by button and by Enter with the bytes it
// writes, the values the editors form by type, Quick Config presets, and
// the library's exceptions shown in a message box.

#include "EditorTestSupport.h"

#include "edid/core/ECException.h"
#include "edid/core/ECHelper.h"
#include "edid/editor/TxtField.h"
#include "edid/vesa/TimingPresets.h"

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"

#include <QAction>
#include <QImage>
#include <QTest>

#include <cstring>

using namespace editor_test;

namespace {

class EditorEditing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ed.Form(), nullptr);
        form = ed.Form();
        form->show();
        ASSERT_EQ(ed.Add(BaseBlock()), 0);
    }
    const uint8_t* Bytes(int block) const { return ed.Collection()->GetBlock(block)->Bytes(); }
    ECEntry* Find(const char* path) const {
        ECEntry* e = ed.Find(QString::fromLatin1(path));
        EXPECT_NE(e, nullptr) << path;
        return e;
    }

    EditorInstance ed;
    TECForm* form = nullptr;
};

// A field that records the value its Set closure receives.
struct Recorder {
    ECVariant last;
    int sets = 0;
};

ECEntry* RecordingField(EditorInstance& ed, Recorder& r, uint32_t flags, const char* format) {
    EntryInfo* info = ECHelper::NewEntryInfo(
        flags, "Recorded", [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfIndex(0); },
        [&r](int32_t, uint8_t*, EntryInfo*, ECVariant v) {
            r.last = v;
            ++r.sets;
        },
        {}, "", format);
    return new ECEntry(ed.Collection()->TreeView(), ed.Collection()->Root(), info, nullptr, 0);
}

}  // namespace

TEST_F(EditorEditing, SetByButtonWritesTheBlock) {
    Select(form, Find(":/0/Version/Vendor & Product ID/Week of manufacture"));
    form->ED_Numeric->setText(QStringLiteral("12"));
    QTest::mouseClick(form->BTN_SetValue, Qt::LeftButton);
    EXPECT_EQ(Bytes(0)[16], 12);
    EXPECT_EQ(form->LB_CurrentVal->text(), QStringLiteral("Current Value = Week 12"));

    Select(form, Find(":/0/Version/Vendor & Product ID/ID Product Code"));
    form->ED_Numeric->setText(QStringLiteral("0x1234"));
    QTest::mouseClick(form->BTN_SetValue, Qt::LeftButton);
    EXPECT_EQ(Bytes(0)[10], 0x34);
    EXPECT_EQ(Bytes(0)[11], 0x12);
    // The checksum follows every write.
    EXPECT_TRUE(ChecksumGood(Bytes(0)));
}

TEST_F(EditorEditing, EnterSetsAndSelectsTheTextForTheNextEntry) {
    Select(form, Find(":/0/Version/Vendor & Product ID/Week of manufacture"));
    form->ED_Numeric->setText(QStringLiteral("$14"));
    form->ED_Numeric->setFocus();
    QTest::keyClick(form->ED_Numeric, Qt::Key_Return);
    EXPECT_EQ(Bytes(0)[16], 0x14);
    EXPECT_EQ(form->focusWidget(), form->ED_Numeric);
    EXPECT_EQ(form->ED_Numeric->selectedText(), form->ED_Numeric->text());
    EXPECT_FALSE(form->ED_Numeric->text().isEmpty());

    Select(form, Find(":/0/Version/Vendor & Product ID/ID Manufacturer Name"));
    form->ED_General->setText(QStringLiteral("ABC"));
    QTest::keyClick(form->ED_General, Qt::Key_Enter);
    EXPECT_EQ(Bytes(0)[8], 0x04);  // "ABC" in compressed ASCII: 0 00001 00010 00011
    EXPECT_EQ(Bytes(0)[9], 0x43);
    EXPECT_EQ(form->ED_General->selectedText(), QStringLiteral("ABC"));

    // The drop-down list: Enter sets the chosen item (standard timing 0's
    // aspect ratio, bits 7-6 of byte 39).
    Select(form, Find(":/0/Version/Standard Timings/Timing 0/Aspect ratio"));
    const int item = form->CB_Selection->findText(QStringLiteral("4:3"));
    ASSERT_GE(item, 0);
    form->CB_Selection->setCurrentIndex(item);
    QTest::keyClick(form->CB_Selection, Qt::Key_Return);
    EXPECT_EQ(Bytes(0)[39] & 0xC0, 0x40);
    EXPECT_EQ(form->LB_CurrentVal->text(), QStringLiteral("Current Value = 4:3"));
    EXPECT_EQ(form->focusWidget(), form->CB_Selection);
}

TEST_F(EditorEditing, EditorsFormTheValueByType) {
    struct Case {
        const char* name;
        uint32_t flags;
        const char* format;
        std::function<void(TECForm*)> edit;
        int32_t integer;
        const char* text;
    };
    const Case cases[] = {
        {"decimal", ECT_INT, "", [](TECForm* f) { f->ED_Numeric->setText("255"); }, 255, "255"},
        {"dollar hex", ECT_HEX, "%x", [](TECForm* f) { f->ED_Numeric->setText("$1f"); }, 31, "31"},
        // A negative number is not a number to the parser: -1, judged by the field.
        {"negative", ECT_INT, "", [](TECForm* f) { f->ED_Numeric->setText("-5"); }, -1, "-1"},
        {"float", ECT_FLOAT, "%g", [](TECForm* f) { f->ED_General->setText("2.5"); }, 2, "2.5"},
        {"text", ECT_STRING, "", [](TECForm* f) { f->ED_General->setText("12a"); }, 12, "12a"},
        {"bool on", ECT_BOOL, "", [](TECForm* f) { f->CH_Bit->setChecked(true); }, 1, "1"},
        {"bool off", ECT_BOOL, "", [](TECForm* f) { f->CH_Bit->setChecked(false); }, 0, "0"},
        {"list index", ECT_LIST, "A\r\nB\r\nC", [](TECForm* f) { f->CB_Selection->setCurrentIndex(2); }, 2, "2"},
        {"list, none chosen", ECT_LIST, "A\r\nB", [](TECForm* f) { f->CB_Selection->setCurrentIndex(-1); }, -1, "-1"},
        {"list text", ECT_LIST_TEXT, "A\r\nB", [](TECForm* f) { f->CB_Selection->setCurrentIndex(1); }, 0, "B"},
        {"action", ECT_ACTION, "", [](TECForm*) {}, 0, "0"},
        {"button", ECT_BUTTON, "", [](TECForm*) {}, 0, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder r;
        ECEntry* entry = RecordingField(ed, r, c.flags, c.format);
        Select(form, entry);
        c.edit(form);
        form->BTN_SetValueClick();
        ASSERT_EQ(r.sets, 1);
        EXPECT_EQ(r.last.Integer, c.integer);
        EXPECT_EQ(r.last.Text, QString::fromLatin1(c.text));
        delete entry;
    }
}

TEST_F(EditorEditing, ReadOnlyAndUnselectedEntriesWriteNothing) {
    Recorder r;
    ECEntry* entry = RecordingField(ed, r, ECT_INT, "");
    entry->GetInfo()->Flags |= ECT_READ_ONLY;
    Select(form, entry);
    form->BTN_SetValueClick();
    form->LV_EDID_tree->setCurrentItem(nullptr);
    form->BTN_SetValueClick();
    EXPECT_EQ(r.sets, 0);
}

TEST_F(EditorEditing, RecalculateRewritesTheChecksumAndTheHexViewMarksIt) {
    ed.Collection()->GetBlock(0)->MutableBytes()[127] ^= 0x5A;
    ECEntry* checksum = Find(":/0/Checksum");
    Select(form, checksum);
    EXPECT_TRUE(form->LB_CurrentVal->text().startsWith(QStringLiteral("Current Value = Bad (Expected")));
    QTest::mouseClick(form->BTN_SetValue, Qt::LeftButton);
    EXPECT_TRUE(ChecksumGood(Bytes(0)));
    EXPECT_TRUE(form->LB_CurrentVal->text().startsWith(QStringLiteral("Current Value = Good (")));
    // The reference copy is the block before the write: only byte 127 differs.
    const uint8_t* ref = ed.Collection()->GetBlock(0)->Reference();
    ASSERT_NE(ref, nullptr);
    for (int i = 0; i < 127; ++i) EXPECT_EQ(ref[i], Bytes(0)[i]) << i;
    EXPECT_NE(ref[127], Bytes(0)[127]);
}

TEST_F(EditorEditing, QuickConfigWritesAPresetIntoTheDescriptor) {
    ECEntry* descriptor = Find(":/0/Version/18-Byte data blocks/Descriptor 2");
    Select(form, descriptor);
    EXPECT_TRUE(Shows(form->BTN_QuickSetup, form));
    // The popup is also the tree's context menu while the descriptor is shown.
    emit form->LV_EDID_tree->customContextMenuRequested(QPoint(4, 4));
    EXPECT_TRUE(form->QuickSetupMenu()->isVisible());
    form->QuickSetupMenu()->close();

    QMenu* menu = form->QuickSetupMenu();
    const QList<QAction*> top = menu->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("VESA Timings"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("CEA Timings"));
    ASSERT_NE(top[0]->menu(), nullptr);
    ASSERT_NE(top[1]->menu(), nullptr);
    EXPECT_EQ(top[0]->menu()->actions().size(), kVesaTimingPresetCount);
    EXPECT_EQ(top[1]->menu()->actions().size(), kCeaTimingPresetCount);
    EXPECT_EQ(kVesaTimingPresetCount, edid_build::kSinkPresets ? 86 : 87);
    EXPECT_EQ(kCeaTimingPresetCount, edid_build::kSinkPresets ? 63 : 49);

    // Opening the popup takes the snapshot; picking the last CEA preset
    // copies its 18 bytes into descriptor 2 (bytes 72 to 89).
    const int row = kCeaTimingPresetCount - 1;
    QAction* item = top[1]->menu()->actions().at(row);
    EXPECT_EQ(item->text(), QString::fromLatin1(CeaTimingPresets[row].name));
    form->BTN_QuickSetupClick();
    EXPECT_TRUE(menu->isVisible());
    item->trigger();
    menu->close();
    EXPECT_EQ(std::memcmp(Bytes(0) + 72, CeaTimingPresets[row].bytes, 18), 0);

    // The descriptor was rebuilt and is shown again; its menu is offered anew.
    EXPECT_EQ(form->ShownEntry(), descriptor);
    EXPECT_EQ(menu->actions().size(), 2);
    ECEntry* width = Find(":/0/Version/18-Byte data blocks/Descriptor 2/Horizontal addressable video");
    const int expectedWidth = CeaTimingPresets[row].bytes[2] | ((CeaTimingPresets[row].bytes[4] & 0xF0) << 4);
    EXPECT_EQ(width->GetValue().Integer, expectedWidth);

    // The hex view marks what the preset changed, and nothing else.
    TxtField* hex = form->HexView();
    ASSERT_EQ(hex->BlockCount(), 1);
    const uint8_t* ref = ed.Collection()->GetBlock(0)->Reference();
    ASSERT_NE(ref, nullptr);
    int changed = 0;
    for (int i = 0; i < 128; ++i) changed += ref[i] != Bytes(0)[i] ? 1 : 0;
    EXPECT_GT(changed, 0);
    for (int i = 0; i < 128; ++i) {
        if (ref[i] != Bytes(0)[i]) {
            EXPECT_TRUE((i >= 72 && i < 90) || i == 127) << i;
        }
    }
    // What the view draws: exactly those bytes on the changed background.
    QImage image(hex->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    hex->render(&image);
    const QRgb mark = hex->ChangedBackgroundColor().rgb();
    for (int i = 0; i < 128; ++i) {
        const QRect cell = hex->ByteRect(0, i);
        int marked = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) marked += image.pixel(x, y) == mark ? 1 : 0;
        }
        EXPECT_EQ(marked * 3 > cell.width() * cell.height(), ref[i] != Bytes(0)[i]) << i;
    }
}

TEST_F(EditorEditing, QuickConfigIsOfferedOnlyWhereTheEntryHasIt) {
    Select(form, Find(":/0/Version/18-Byte data blocks/Descriptor 1/Pixel Clock"));
    EXPECT_FALSE(Shows(form->BTN_QuickSetup, form));
    EXPECT_TRUE(form->QuickSetupMenu()->actions().isEmpty());
    emit form->LV_EDID_tree->customContextMenuRequested(QPoint(4, 4));
    form->BTN_QuickSetupClick();
    EXPECT_FALSE(form->QuickSetupMenu()->isVisible());
}

TEST_F(EditorEditing, LibraryExceptionsAreShownAndTheWindowGoesOn) {
    platform::MessageBoxInterceptor boxes;
    EntryInfo* info = ECHelper::NewEntryInfo(
        ECT_INT, "Faulty", [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfInt(1); },
        [](int32_t, uint8_t*, EntryInfo*, ECVariant) { throw ECException(QStringLiteral("Broken tree")); }, {}, "", "");
    ECEntry* entry = new ECEntry(ed.Collection()->TreeView(), ed.Collection()->Root(), info, nullptr, 0);
    Select(form, entry);
    form->BTN_SetValueClick();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Broken tree");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    // The tree draws again and the entry is still shown.
    EXPECT_TRUE(form->LV_EDID_tree->updatesEnabled());
    EXPECT_EQ(form->ShownEntry(), entry);
}

TEST_F(EditorEditing, ErrorsOfTheCodecsReachTheLog) {
    Select(form, Find(":/0/Version/Vendor & Product ID/Week of manufacture"));
    form->ED_Numeric->setText(QStringLiteral("99"));
    form->BTN_SetValueClick();
    EXPECT_EQ(Bytes(0)[16], BaseBlock()[16]);  // refused, unchanged
    ASSERT_GT(form->LB_Log->count(), 0);
    bool error = false;
    for (int i = 0; i < form->LB_Log->count(); ++i) {
        error = error || form->LB_Log->item(i)->text().startsWith(QStringLiteral("Error: "));
    }
    EXPECT_TRUE(error);
}
