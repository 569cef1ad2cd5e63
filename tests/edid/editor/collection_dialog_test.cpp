// The collection dialog: its list, add, delete and reorder, block maps,
// Cancel, the 256-block limit, and the way there from "Blocks in collection".

#include "EditorTestSupport.h"

#include "edid/editor/TChangeCollectionDlg.h"
#include "edid/editor/TxtField.h"

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"

#include <QTest>
#include <QTimer>

#include <cstring>

using namespace editor_test;

namespace {

class CollectionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ed.Form(), nullptr);
        dlg = ed.Form()->CollectionDialog();
        ASSERT_NE(dlg, nullptr);
    }
    // The tags of the collection's blocks, in order.
    std::vector<int> Tags() const {
        std::vector<int> tags;
        for (int i = 0; i < ed.Collection()->Count(); ++i) tags.push_back(ed.Collection()->GetBlock(i)->Bytes()[0]);
        return tags;
    }
    void AddType(int type) {
        dlg->CB_BlockType->setCurrentIndex(type);
        ASSERT_TRUE(dlg->BTN_Add->isEnabled());
        QTest::mouseClick(dlg->BTN_Add, Qt::LeftButton);
    }
    void SelectRows(std::initializer_list<int> rows) {
        dlg->LBOX_Blocks->clearSelection();
        for (int r : rows) dlg->LBOX_Blocks->item(r)->setSelected(true);
    }
    QStringList Names() const {
        QStringList names;
        for (int i = 0; i < dlg->LBOX_Blocks->count(); ++i) names << dlg->LBOX_Blocks->item(i)->text();
        return names;
    }

    EditorInstance ed;
    TChangeCollectionDlg* dlg = nullptr;
};

constexpr int kBase = 0;
constexpr int kCea = 1;

}  // namespace

TEST_F(CollectionDialog, StartsEmptyWithItsButtonsDisabled) {
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Change block collection"));
    dlg->Prepare(ed.Collection());
    EXPECT_EQ(dlg->LBOX_Blocks->count(), 0);
    EXPECT_EQ(dlg->CB_BlockType->count(), 2);
    EXPECT_EQ(dlg->CB_BlockType->itemText(0), QStringLiteral("Base EDID"));
    EXPECT_EQ(dlg->CB_BlockType->itemText(1), QStringLiteral("CEA 861-E"));
    EXPECT_EQ(dlg->CB_UseBME->text(), QStringLiteral("Use VESA Block Map Extension(s)"));
    for (QPushButton* b : {dlg->BTN_MoveDown, dlg->BTN_MoveUp, dlg->BTN_Delete, dlg->BTN_Add}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    }
}

TEST_F(CollectionDialog, ListsTheBlocksAndChecksTheBlockMapBox) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ASSERT_EQ(ed.Add(block_templates::BlockMap()), 1);
    ASSERT_EQ(ed.Add(BaseBlock()), 2);
    dlg->Prepare(ed.Collection());
    // The block map is not listed; the box says it is there.
    EXPECT_EQ(Names(), (QStringList{"Block 0 [VESA EDID]", "Block 2 [VESA EDID]"}));
    EXPECT_TRUE(dlg->CB_UseBME->isChecked());
    // Applied unchanged, the block map comes back at index 1.
    dlg->BTN_ApplyClick();
    EXPECT_EQ(Tags(), (std::vector<int>{0x00, 0xF0, 0x00}));
}

TEST_F(CollectionDialog, AddNamesNewBlocksAndNeedsATypeEachTime) {
    dlg->Prepare(ed.Collection());
    AddType(kBase);
    EXPECT_FALSE(dlg->BTN_Add->isEnabled());
    EXPECT_EQ(dlg->CB_BlockType->currentIndex(), -1);
    AddType(kCea);
    AddType(kCea);
    EXPECT_EQ(Names(), (QStringList{"New [0] Base EDID", "New [1] CEA 861-E", "New [2] CEA 861-E"}));
    EXPECT_EQ(dlg->Items()[0].Bytes, block_templates::BaseEdid());
    EXPECT_EQ(dlg->Items()[1].Bytes[0], 0x02);
    // Reopening starts the numbers again.
    dlg->Prepare(ed.Collection());
    AddType(kCea);
    EXPECT_EQ(Names(), (QStringList{"New [0] CEA 861-E"}));
}

TEST_F(CollectionDialog, DeleteAndReorder) {
    dlg->Prepare(ed.Collection());
    AddType(kBase);
    AddType(kCea);
    AddType(kBase);
    AddType(kCea);
    SelectRows({1});
    dlg->LBOX_Blocks->setCurrentRow(1);
    EXPECT_TRUE(dlg->BTN_Delete->isEnabled());
    EXPECT_TRUE(dlg->BTN_MoveUp->isEnabled());
    EXPECT_TRUE(dlg->BTN_MoveDown->isEnabled());
    QTest::mouseClick(dlg->BTN_MoveUp, Qt::LeftButton);
    EXPECT_EQ(Names(),
              (QStringList{"New [1] CEA 861-E", "New [0] Base EDID", "New [2] Base EDID", "New [3] CEA 861-E"}));
    EXPECT_EQ(dlg->LBOX_Blocks->currentRow(), 0);
    EXPECT_TRUE(dlg->LBOX_Blocks->item(0)->isSelected());
    EXPECT_FALSE(dlg->BTN_MoveUp->isEnabled());  // the first cannot move up
    EXPECT_TRUE(dlg->BTN_MoveDown->isEnabled());
    QTest::mouseClick(dlg->BTN_MoveDown, Qt::LeftButton);
    QTest::mouseClick(dlg->BTN_MoveDown, Qt::LeftButton);
    QTest::mouseClick(dlg->BTN_MoveDown, Qt::LeftButton);
    EXPECT_EQ(dlg->LBOX_Blocks->currentRow(), 3);
    EXPECT_FALSE(dlg->BTN_MoveDown->isEnabled());  // the last cannot move down

    // Two selected: delete yes, move no.
    SelectRows({0, 2});
    EXPECT_TRUE(dlg->BTN_Delete->isEnabled());
    EXPECT_FALSE(dlg->BTN_MoveUp->isEnabled());
    EXPECT_FALSE(dlg->BTN_MoveDown->isEnabled());
    QTest::mouseClick(dlg->BTN_Delete, Qt::LeftButton);
    EXPECT_EQ(Names(), (QStringList{"New [2] Base EDID", "New [1] CEA 861-E"}));
    EXPECT_FALSE(dlg->BTN_Delete->isEnabled());
}

TEST_F(CollectionDialog, ApplyRebuildsTheCollectionInListOrder) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    dlg->Prepare(ed.Collection());
    AddType(kCea);
    AddType(kBase);
    dlg->LBOX_Blocks->setCurrentRow(2);
    SelectRows({2});
    dlg->BTN_MoveUpClick();
    dlg->BTN_ApplyClick();
    EXPECT_EQ(Tags(), (std::vector<int>{0x00, 0x00, 0x02}));
    // The base block's extension count follows the new collection.
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[126], ed.Collection()->Count() - 1);
    EXPECT_EQ(ed.Form()->HexView()->BlockCount(), ed.Collection()->Count());
}

TEST_F(CollectionDialog, BlockMapsGoToBlocks1And128) {
    struct Case {
        int listed;
        bool maps;
        int built;
        std::vector<int> mapAt;
    };
    const Case cases[] = {
        {1, true, 1, {}},                                   // a single block: no map
        {2, true, 3, {1}},          {127, true, 128, {1}},  // block 127 is the last: no second map
        {128, true, 130, {1, 128}}, {200, true, 202, {1, 128}}, {200, false, 200, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listed);
        ASSERT_TRUE(ECClearBlocks(ed.Handle()));
        dlg->Prepare(ed.Collection());
        for (int i = 0; i < c.listed; ++i) {
            // A base block, then extensions.
            dlg->CB_BlockType->setCurrentIndex(i == 0 ? kBase : kCea);
            dlg->BTN_AddClick();
        }
        dlg->CB_UseBME->setChecked(c.maps);
        EXPECT_EQ(dlg->BlocksToBuild(), c.built);
        dlg->BTN_ApplyClick();
        ASSERT_EQ(ed.Collection()->Count(), c.built);
        std::vector<int> maps;
        for (int i = 0; i < ed.Collection()->Count(); ++i) {
            if (ed.Collection()->GetBlock(i)->Bytes()[0] == 0xF0) maps.push_back(i);
        }
        EXPECT_EQ(maps, c.mapAt);
    }
}

TEST_F(CollectionDialog, NeverMoreThan256Blocks) {
    platform::MessageBoxInterceptor boxes;
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    dlg->Prepare(ed.Collection());
    for (int i = 1; i < 256; ++i) {
        dlg->CB_BlockType->setCurrentIndex(kCea);
        dlg->BTN_AddClick();
    }
    ASSERT_EQ(dlg->LBOX_Blocks->count(), 256);
    EXPECT_TRUE(boxes.Texts().empty());
    // A 257th is refused with an error box.
    dlg->CB_BlockType->setCurrentIndex(kBase);
    dlg->BTN_AddClick();
    EXPECT_EQ(dlg->LBOX_Blocks->count(), 256);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);

    // 256 listed plus two block maps would be 258: Apply refuses, changes
    // nothing and keeps the dialog and its list.
    boxes.Clear();
    dlg->CB_UseBME->setChecked(true);
    dlg->show();
    dlg->BTN_ApplyClick();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Too many blocks - E-EDID Can contain a maximum of 255 blocks!");
    EXPECT_EQ(ed.Collection()->Count(), 1);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->LBOX_Blocks->count(), 256);

    // Without the maps all 256 are built.
    dlg->CB_UseBME->setChecked(false);
    dlg->BTN_ApplyClick();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(ed.Collection()->Count(), 256);
}

TEST_F(CollectionDialog, SetOnBlocksInCollectionOpensItAndCancelChangesNothing) {
    TECForm* form = ed.Form();
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ASSERT_EQ(ed.Add(BaseBlock()), 1);
    form->show();
    Select(form, ed.Find(QStringLiteral(":/Blocks in collection")));

    // Cancel after changes: the collection stays as it was.
    int opened = 0;
    QTimer::singleShot(50, [&] {
        if (QApplication::activeModalWidget() != dlg) return;
        ++opened;
        dlg->CB_BlockType->setCurrentIndex(kBase);
        dlg->BTN_AddClick();
        SelectRows({0});
        dlg->BTN_DeleteClick();
        QTest::mouseClick(dlg->BTN_Cancel, Qt::LeftButton);
    });
    QTimer guard;  // never hang on a forgotten dialog
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [this] { static_cast<QDialog*>(dlg)->reject(); });
    guard.start(20000);
    QTest::mouseClick(form->BTN_SetValue, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(ed.Collection()->Count(), 2);

    // Apply with the first block deleted: the tree, the selection and the
    // hex view follow.
    const uint8_t before = ed.Collection()->GetBlock(1)->Bytes()[0];
    QTimer::singleShot(50, [&] {
        if (QApplication::activeModalWidget() != dlg) return;
        ++opened;
        SelectRows({0});
        dlg->BTN_DeleteClick();
        QTest::mouseClick(dlg->BTN_Apply, Qt::LeftButton);
    });
    guard.start(20000);
    QTest::mouseClick(form->BTN_SetValue, Qt::LeftButton);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(ed.Collection()->Count(), 1);
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[0], before);
    EXPECT_EQ(form->ShownEntry(), ed.Collection()->BlocksEntry());
    EXPECT_EQ(form->LB_CurrentVal->text(), QStringLiteral("Current Value = 1"));
    EXPECT_EQ(form->HexView()->BlockCount(), 1);
    EXPECT_TRUE(form->LV_EDID_tree->updatesEnabled());
}
