// Replacing and destroying a large collection in the editor window: the old
// blocks' nodes leave the view in one step whatever is expanded (the view
// hears of one removal, not of one per node), and the window then shows the
// new tree, expanded state, selection, log and hex view as a load into an
// untouched editor does.

#include "EditorTestSupport.h"

#include "edid/editor/TxtField.h"

#include "support/DesktopHooks.h"
#include "support/TextFile.h"

#include <QAbstractItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <string>

using namespace editor_test;

namespace {

// A base block and 23 CEA-861 blocks: several thousand nodes when expanded.
constexpr int kLargeBlocks = 24;

std::vector<Block> LargeImage() {
    std::vector<Block> blocks{BaseBlock()};
    for (int i = 1; i < kLargeBlocks; ++i) blocks.push_back(CeaBlock());
    return blocks;
}

// The image that replaces it: another base block (week 7) and a CEA-861 block.
std::vector<Block> SmallImage() {
    Block base = BaseBlock();
    base[16] = 7;
    FixChecksum(base);
    return {base, CeaBlock()};
}

std::string Bytes(const std::vector<Block>& blocks) {
    std::string bytes;
    for (const Block& b : blocks) bytes.append(reinterpret_cast<const char*>(b.data()), 128);
    return bytes;
}

// Counts the removal notifications of the tree's model.
class RemovalCounter {
public:
    explicit RemovalCounter(QTreeWidget* tree) {
        connection_ = QObject::connect(tree->model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                                       [this](const QModelIndex&, int, int) { ++count_; });
    }
    ~RemovalCounter() { QObject::disconnect(connection_); }
    RemovalCounter(const RemovalCounter&) = delete;
    RemovalCounter& operator=(const RemovalCounter&) = delete;
    int Count() const { return count_; }

private:
    QMetaObject::Connection connection_;
    int count_ = 0;
};

std::string PathOf(ECEntry* entry) { return entry ? entry->GetPath().toStdString() : "(none)"; }

int ItemCount(QTreeWidget* tree) {
    int n = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) ++n;
    return n;
}

QStringList LogLines(TECForm* form, int from = 0) {
    QStringList lines;
    for (int i = from; i < form->LB_Log->count(); ++i) lines << form->LB_Log->item(i)->text();
    return lines;
}

// The captions of the tree below the collection root (whose caption carries
// the collection's number), indented by depth.
QStringList Captions(QTreeWidget* tree) {
    QStringList captions;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
        if (depth > 0) captions << QString(depth, QLatin1Char(' ')) + (*it)->text(0);
    }
    return captions;
}

// The tree widget shows exactly the collection's entries: one item for each
// entry that has a node, pointing back to it, below its parent entry's item,
// in the entries' order, and nothing else.
void ExpectTreeMirrorsEntries(QTreeWidget* tree, ECCollection* collection) {
    int nodes = 0;
    ForEachEntry(collection->Root(), [&](ECEntry* e) {
        QTreeWidgetItem* item = ItemOf(e);
        if (!item) return;
        ++nodes;
        EXPECT_EQ(item->treeWidget(), tree) << e->GetPath().toStdString();
        EXPECT_EQ(ECTreeWidgetView::EntryOf(item), e) << e->GetPath().toStdString();
        std::vector<QTreeWidgetItem*> expected, shown;
        for (int i = 0; i < e->ChildCount(); ++i) {
            if (QTreeWidgetItem* child = ItemOf(e->GetChild(i))) expected.push_back(child);
        }
        for (int i = 0; i < item->childCount(); ++i) shown.push_back(item->child(i));
        EXPECT_EQ(shown, expected) << e->GetPath().toStdString();
    });
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0), ItemOf(collection->Root()));
    EXPECT_EQ(ItemCount(tree), nodes);
}

// How the new blocks arrive: through "Load", or from the host as an E-EDID
// read brings them (ECClearBlocks, then ECAddBlock for each block).
enum class Arrival { LoadButton, HostRead };

// What is current in the tree before the replacement.
enum class Pick { Nothing, CollectionRoot, BlocksEntry, FieldOfABlock };

struct ReplaceCase {
    const char* name;
    Arrival arrival;
    bool expandAll;
    Pick pick;
    // What is current afterwards: a node that survives stays current; one
    // that goes hands over to the row above it (the widget's own rule), which
    // for a block's node ends at "Blocks in collection".
    Pick after;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

const ReplaceCase kReplaceCases[] = {
    {"LoadOverTheExpandedTreeWithAFieldSelected", Arrival::LoadButton, true, Pick::FieldOfABlock, Pick::BlocksEntry},
    {"LoadOverTheExpandedTreeWithBlocksInCollectionSelected", Arrival::LoadButton, true, Pick::BlocksEntry,
     Pick::BlocksEntry},
    {"HostReadOverTheExpandedTreeWithTheRootSelected", Arrival::HostRead, true, Pick::CollectionRoot,
     Pick::CollectionRoot},
    {"HostReadOverTheExpandedTreeWithNothingSelected", Arrival::HostRead, true, Pick::Nothing, Pick::Nothing},
    {"LoadOverTheCollapsedTreeWithAFieldSelected", Arrival::LoadButton, false, Pick::FieldOfABlock, Pick::BlocksEntry},
};

class ReplaceCollection : public test_support::DesktopHookFixture<::testing::TestWithParam<ReplaceCase>> {
protected:
    void SetUp() override {
        DesktopHookFixture::SetUp();
        ASSERT_TRUE(dir_.isValid());
        large_ = dir_.filePath(QStringLiteral("large.bin"));
        small_ = dir_.filePath(QStringLiteral("small.bin"));
        ASSERT_TRUE(test_support::WriteFile(large_.toStdString(), Bytes(LargeImage())));
        ASSERT_TRUE(test_support::WriteFile(small_.toStdString(), Bytes(SmallImage())));
    }

    void Bring(EditorInstance& ed, const QString& file, const std::vector<Block>& blocks, Arrival arrival) {
        if (arrival == Arrival::LoadButton) {
            AnswerFileDialogs(file);
            QTest::mouseClick(ed.Form()->BTN_LoadBlocks, Qt::LeftButton);
        } else {
            ECClearBlocks(ed.Handle());
            for (const Block& b : blocks) ASSERT_GE(ed.Add(b), 0);
        }
    }

    ECEntry* Entry(EditorInstance& ed, Pick pick) {
        switch (pick) {
            case Pick::CollectionRoot:
                return ed.Collection()->Root();
            case Pick::BlocksEntry:
                return ed.Collection()->BlocksEntry();
            case Pick::FieldOfABlock:
                return ed.Find(QStringLiteral(":/1/CEA Extensions Version/*/*/Pixel Clock"));
            default:
                return nullptr;
        }
    }

    QTemporaryDir dir_;
    QString large_;
    QString small_;
};

}  // namespace

TEST_P(ReplaceCollection, TheOldTreeLeavesTheViewInOneStepAndTheNewOneShowsAsAfterAFreshLoad) {
    const ReplaceCase& c = GetParam();

    // What the small image shows when it comes into an untouched editor.
    EditorInstance fresh;
    ASSERT_NE(fresh.Form(), nullptr);
    int freshRemovals = 0;
    {
        RemovalCounter removals(fresh.Form()->LV_EDID_tree);
        Bring(fresh, small_, SmallImage(), c.arrival);
        freshRemovals = removals.Count();
    }
    ASSERT_EQ(fresh.Collection()->Count(), 2);
    const QStringList freshLog = LogLines(fresh.Form());

    EditorInstance ed;
    TECForm* form = ed.Form();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x20000003u));
    Bring(ed, large_, LargeImage(), Arrival::LoadButton);
    ASSERT_EQ(ed.Collection()->Count(), kLargeBlocks);
    if (c.expandAll) form->LV_EDID_tree->expandAll();
    if (ECEntry* picked = Entry(ed, c.pick)) {
        Select(form, picked);  // which opens the nodes above it
    } else {
        form->LV_EDID_tree->setCurrentItem(nullptr);
    }
    ASSERT_EQ(form->SelectedEntry(), Entry(ed, c.pick));
    const bool rootExpanded = ItemOf(ed.Collection()->Root())->isExpanded();
    const int itemsBefore = ItemCount(form->LV_EDID_tree);
    ASSERT_GT(itemsBefore, 1000);
    const int topLevelBefore = form->LV_EDID_tree->topLevelItemCount();
    const int logBefore = form->LB_Log->count();

    RemovalCounter removals(form->LV_EDID_tree);
    Bring(ed, small_, SmallImage(), c.arrival);
    ASSERT_EQ(ed.Collection()->Count(), 2);
    // The old blocks' nodes went in one step per top-level node, not one per node.
    EXPECT_LE(removals.Count(), freshRemovals + topLevelBefore) << "of " << itemsBefore << " nodes";

    QTreeWidget* tree = form->LV_EDID_tree;
    ExpectTreeMirrorsEntries(tree, ed.Collection());
    EXPECT_EQ(Captions(tree), Captions(fresh.Form()->LV_EDID_tree));
    // The collection root keeps its state; the new blocks' nodes start
    // collapsed (a leaf's state shows nothing).
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->childCount() == 0) continue;
        const bool isRoot = *it == ItemOf(ed.Collection()->Root());
        EXPECT_EQ((*it)->isExpanded(), isRoot && rootExpanded) << (*it)->text(0).toStdString();
    }
    EXPECT_EQ(PathOf(form->SelectedEntry()), PathOf(Entry(ed, c.after)));
    EXPECT_EQ(form->SelectedEntry(), Entry(ed, c.after));
    EXPECT_EQ(form->ShownEntry(), form->SelectedEntry());
    if (c.after != Pick::Nothing) {
        EXPECT_TRUE(tree->currentItem()->isSelected());
    }
    EXPECT_TRUE(tree->selectedItems().size() <= 1);
    EXPECT_EQ(LogLines(form, logBefore), freshLog);
    EXPECT_EQ(form->HexView()->BlockCount(), 2);
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 7);
    EXPECT_TRUE(tree->updatesEnabled());

    // The window goes on working on the new tree.
    ECEntry* week = ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture"));
    Select(form, week);
    form->ED_Numeric->setText(QStringLiteral("9"));
    form->BTN_SetValueClick();
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 9);
    EXPECT_EQ(form->ShownEntry(), week);
}

INSTANTIATE_TEST_SUITE_P(Editor, ReplaceCollection, ::testing::ValuesIn(kReplaceCases),
                         [](const ::testing::TestParamInfo<ReplaceCase>& info) { return info.param.name; });

// An instance destroyed with its tree expanded (Vardeko's window closing)
// takes the tree out of the view in one step too.
TEST(ReplaceCollectionOnDestroy, DestroyingAnExpandedInstanceTakesTheTreeOutInOneStep) {
    auto ed = std::make_unique<EditorInstance>();
    TECForm* form = ed->Form();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(ECSetOptions(ed->Handle(), 0x20000003u));
    for (const Block& b : LargeImage()) ASSERT_GE(ed->Add(b), 0);
    form->LV_EDID_tree->expandAll();
    const int itemsBefore = ItemCount(form->LV_EDID_tree);
    int removals = 0;
    // The window goes after the collection; its tree's model then resets
    // and notifies no removals of its own.
    QObject::connect(form->LV_EDID_tree->model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                     [&removals](const QModelIndex&, int, int) { ++removals; });
    ed.reset();
    EXPECT_EQ(removals, 1) << "of " << itemsBefore << " nodes";
}
