// What the editor shows for the selected entry, by value type: the panels,
// editors, "Current Value = ..." texts, the set button's caption, the path
// labels and the details list.

#include "EditorTestSupport.h"

#include "edid/core/ECHelper.h"

#include <QFontMetrics>

using namespace editor_test;

namespace {

// An entry of its own below the collection root, for one value type.
struct FieldSpec {
    const char* name;
    uint32_t flags;
    ECVariant value;  // what Get returns
    bool settable;    // with a Set closure
    const char* hint;
    const char* format;
    const char* suffix;  // Suffix text of the descriptor
};

struct Expected {
    bool rw;        // PNL_RW_Access
    bool editors;   // PNL_Editors
    int editor;     // the one editor shown (kNone for none)
    bool setPanel;  // PNL_SetPanel
    const char* caption;
    const char* current;  // LB_CurrentVal
    bool rAccess;         // PNL_R_Access
};

struct DisplayCase {
    FieldSpec field;
    Expected shows;
};

ECVariant Int(int32_t n) { return ECVariant::OfInt(n); }
ECVariant Dbl(double x) { return ECVariant::OfDouble(x); }
ECVariant Txt(const char* s) { return ECVariant::OfText(s); }
ECVariant Idx(int32_t n) { return ECVariant::OfIndex(n); }

// The four editors, in this order.
enum { kNumeric, kGeneral, kBit, kSelection, kEditorCount, kNone = -1 };
QWidget* EditorWidget(TECForm* form, int editor) {
    switch (editor) {
        case kNumeric:
            return form->PNL_NumericValue;
        case kGeneral:
            return form->ED_General;
        case kBit:
            return form->CH_Bit;
        default:
            return form->CB_Selection;
    }
}

class EditorDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ed.Form(), nullptr);
        form = ed.Form();
        form->show();
    }

    ECEntry* AddField(const FieldSpec& f) {
        ECVariant value = f.value;
        ECSetClosure set;
        if (f.settable) set = [](int32_t, uint8_t*, EntryInfo*, ECVariant) {};
        EntryInfo* info = ECHelper::NewEntryInfo(
            f.flags, f.name, [value](int32_t, uint8_t*, EntryInfo*) { return value; }, set, {}, f.hint, f.format);
        info->Suffix = QString::fromLatin1(f.suffix);
        return new ECEntry(ed.Collection()->TreeView(), ed.Collection()->Root(), info, bytes, 0);
    }

    uint8_t bytes[4] = {};  // the fields' data; outlives the instance
    EditorInstance ed;
    TECForm* form = nullptr;
};

}  // namespace

TEST_F(EditorDisplay, EachValueTypeShowsItsEditor) {
    const DisplayCase cases[] = {
        {{"Int", ECT_INT, Int(42), true, "0 - 255", "", ""},
         {true, true, kNumeric, true, "Set", "Current Value = 42", false}},
        {{"Read-only int", ECT_INT, Int(42), false, "", "", ""},
         {true, false, kNone, false, "Set", "Current Value = 42", false}},
        {{"Float", ECT_FLOAT, Dbl(2.2), true, "", "%.3f", ""},
         {true, true, kGeneral, true, "Set", "Current Value = 2.200", false}},
        {{"Text", ECT_STRING, Txt("ABC"), true, "", "", " [x]"},
         {true, true, kGeneral, true, "Set", "Current Value = ABC [x]", false}},
        {{"Bool", ECT_BOOL, ECVariant::OfBool(1), true, "", " Supported", ""},
         {true, true, kBit, true, "Set", "Current Value = Yes", false}},
        {{"List", ECT_LIST, Idx(1), true, "", "Alpha\r\nBeta\r\nGamma", ""},
         {true, true, kSelection, true, "Set", "Current Value = Beta", false}},
        {{"List by name", ECT_LIST, Txt("gamma"), true, "", "Alpha\r\nBeta\r\nGamma", ""},
         {true, true, kSelection, true, "Set", "Current Value = gamma", false}},
        {{"List, unknown name", ECT_LIST_TEXT, Txt("Reserved"), true, "", "Alpha\r\nBeta", ""},
         {true, true, kSelection, true, "Set", "Current Value = [INVALID] Reserved", false}},
        {{"List, index out of range", ECT_LIST, Idx(5), true, "", "Alpha\r\nBeta", ""},
         {true, true, kSelection, true, "Set", "Current Value = [INVALID] ", false}},
        {{"Group", ECT_GROUP, Txt("A=1\r\nB=2"), false, "", "", ""}, {false, false, kNone, false, "", nullptr, true}},
        {{"Action", ECT_ACTION, Txt("Bad (Expected 00h, Got 05h)"), true, "", "", ""},
         {true, false, kNone, true, "Re-calculate", "Current Value = Bad (Expected 00h, Got 05h)", false}},
        {{"Hex", ECT_HEX, Int(10), true, "", "%.2X", ""},
         {true, true, kNumeric, true, "Set", "Current Value = 0x0A", false}},
        {{"Button", ECT_BUTTON, Int(7), true, "", "", ""},
         {true, false, kNone, true, "Set", "Current Value = 7", false}},
        {{"None", ECT_NONE, Int(1), true, "", "", ""}, {false, false, kNone, false, "", nullptr, false}},
        {{"Unused type", 11, Int(1), true, "", "", ""}, {false, false, kNone, false, "", nullptr, false}},
    };
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE(c.field.name);
        ECEntry* entry = AddField(c.field);
        Select(form, entry);
        EXPECT_EQ(form->ShownEntry(), entry);
        EXPECT_EQ(Shows(form->PNL_RW_Access, form), c.shows.rw);
        EXPECT_EQ(Shows(form->PNL_Editors, form), c.shows.editors);
        for (int editor = 0; editor < kEditorCount; ++editor) {
            QWidget* w = EditorWidget(form, editor);
            EXPECT_EQ(Shows(w, form), editor == c.shows.editor) << w->objectName().toStdString();
        }
        EXPECT_EQ(Shows(form->PNL_SetPanel, form), c.shows.setPanel);
        if (c.shows.setPanel) {
            EXPECT_EQ(form->BTN_SetValue->text(), QString::fromLatin1(c.shows.caption));
        }
        if (c.shows.current) {
            EXPECT_EQ(form->LB_CurrentVal->text(), QString::fromLatin1(c.shows.current));
        }
        EXPECT_EQ(Shows(form->PNL_R_Access, form), c.shows.rAccess);
    }
}

TEST_F(EditorDisplay, EditorContentsFollowTheValue) {
    Select(form, AddField({"Int", ECT_INT, Int(-3), true, "0 - 255", "", ""}));
    EXPECT_EQ(form->ED_Numeric->text(), QStringLiteral("-3"));
    EXPECT_EQ(form->LB_NewValueDetails->text(), QStringLiteral("New Value (0 - 255):"));

    Select(form, AddField({"Hex", ECT_HEX, Int(255), true, "", "%.4x", ""}));
    EXPECT_EQ(form->ED_Numeric->text(), QStringLiteral("0x00ff"));
    EXPECT_EQ(form->LB_NewValueDetails->text(), QStringLiteral("New Value:"));

    Select(form, AddField({"Text", ECT_STRING, Txt("Monitor"), true, "", "", " (13 max)"}));
    EXPECT_EQ(form->ED_General->text(), QStringLiteral("Monitor"));

    Select(form, AddField({"Off", ECT_BOOL, ECVariant::OfBool(0), true, "", " Supported", ""}));
    EXPECT_FALSE(form->CH_Bit->isChecked());
    EXPECT_EQ(form->LB_CurrentVal->text(), QStringLiteral("Current Value = No"));

    Select(form, AddField({"List", ECT_LIST, Txt("BETA"), true, "", "Alpha\r\nBeta\r\nGamma", ""}));
    EXPECT_EQ(form->CB_Selection->count(), 3);
    EXPECT_EQ(form->CB_Selection->currentIndex(), 1);

    Select(form, AddField({"Unknown", ECT_LIST, Txt("Other"), true, "", "Alpha\r\nBeta", ""}));
    EXPECT_EQ(form->CB_Selection->count(), 2);
    EXPECT_EQ(form->CB_Selection->currentIndex(), -1);
}

TEST_F(EditorDisplay, CaptionsFromNamesShowAmpersands) {
    Select(form, AddField({"R&D", ECT_BOOL, ECVariant::OfBool(1), true, "", " & more", ""}));
    // A check box reads "&" as a mnemonic: the caption doubles it.
    EXPECT_EQ(form->CH_Bit->text(), QStringLiteral("R&&D && more"));
    // Labels show plain text.
    EXPECT_EQ(form->LB_ValueName->textFormat(), Qt::PlainText);
    EXPECT_TRUE(form->LB_ValueName->text().contains(QStringLiteral("R&D")));
}

TEST_F(EditorDisplay, GroupsAndDetailsFillTheValueList) {
    Select(form, AddField({"Group", ECT_GROUP, Txt("Codec=V1\r\n = \r\nBlocks=2"), false, "", "", ""}));
    ASSERT_EQ(form->VLE_ValueList->rowCount(), 3);
    EXPECT_EQ(form->VLE_ValueList->item(0, 0)->text(), QStringLiteral("Codec"));
    EXPECT_EQ(form->VLE_ValueList->item(0, 1)->text(), QStringLiteral("V1"));
    EXPECT_EQ(form->VLE_ValueList->item(2, 1)->text(), QStringLiteral("2"));

    // A list entry with ECT_SHOW_DETAILS shows its editor and its children's details.
    ECEntry* parent = AddField({"Kind", ECT_LIST | ECT_SHOW_DETAILS, Idx(0), true, "", "One\r\nTwo", ""});
    EntryInfo* childInfo = ECHelper::NewEntryInfo(
        ECT_INT, "Child", [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfInt(5); }, {}, {}, "", "");
    new ECEntry(ed.Collection()->TreeView(), parent, childInfo, bytes, 0);
    Select(form, parent);
    EXPECT_TRUE(Shows(form->CB_Selection, form));
    EXPECT_TRUE(Shows(form->PNL_R_Access, form));
    ASSERT_EQ(form->VLE_ValueList->rowCount(), 1);
    EXPECT_EQ(form->VLE_ValueList->item(0, 0)->text(), QStringLiteral("Child"));
    EXPECT_EQ(form->VLE_ValueList->item(0, 1)->text(), QStringLiteral("5"));
}

TEST_F(EditorDisplay, RealBlockEntries) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    // "Blocks in collection": the number of blocks and a "Set" button.
    Select(form, ed.Find(QStringLiteral(":/Blocks in collection")));
    EXPECT_EQ(form->LB_CurrentVal->text(), QStringLiteral("Current Value = 1"));
    EXPECT_TRUE(Shows(form->BTN_SetValue, form));
    EXPECT_EQ(form->BTN_SetValue->text(), QStringLiteral("Set"));
    EXPECT_EQ(form->LB_NewValueDetails->text(), QStringLiteral("New Value (Click set to change config):"));

    // The checksum: "Re-calculate".
    Select(form, ed.Find(QStringLiteral(":/0/Checksum")));
    EXPECT_EQ(form->BTN_SetValue->text(), QStringLiteral("Re-calculate"));
    EXPECT_TRUE(form->LB_CurrentVal->text().startsWith(QStringLiteral("Current Value = Good (")));

    // The collection root: its details as name=value rows.
    Select(form, ed.Collection()->Root());
    EXPECT_FALSE(Shows(form->PNL_RW_Access, form));
    ASSERT_GE(form->VLE_ValueList->rowCount(), 2);
    EXPECT_EQ(form->VLE_ValueList->item(0, 0)->text(), QStringLiteral("Merovan E-EDID Codec"));
    EXPECT_EQ(form->VLE_ValueList->item(0, 1)->text(),
              edid_build::kSinkBuild ? QStringLiteral("V1.0.23") : QStringLiteral("V1.0.21"));
}

TEST_F(EditorDisplay, PathLabelsAreShortenedToTheLabelWidth) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ECEntry* entry = ed.Find(QStringLiteral(":/0/Version/18-Byte data blocks/Descriptor 1/Horizontal Front Porch"));
    ASSERT_NE(entry, nullptr);
    // Wide enough: the whole path.
    form->resize(1400, 611);
    Select(form, entry);
    EXPECT_EQ(form->LB_ValueName->text(), QStringLiteral("Details of \"") + entry->GetPath() + QStringLiteral("\""));
    // Narrow: shortened from the left, and the two labels agree.
    form->resize(740, 611);
    form->Splitter1->setSizes({500, 240});
    Select(form, ed.Find(QStringLiteral(":/0/Version")));
    Select(form, entry);
    EXPECT_TRUE(Shows(form->LB_ValueName, form));
    const QString shown = form->LB_ValueName->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Details of \"..."))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("Horizontal Front Porch\""))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(form->LB_ValueName->font()).horizontalAdvance(shown), form->LB_ValueName->width());
    EXPECT_EQ(form->LB_ValueDetails->text(), shown);
}
