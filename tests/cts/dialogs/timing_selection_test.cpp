// The most-packed timing dialog: one checked row per list whatever the
// operator does, Accept only with a row in each list, Cancel, Esc and the
// window frame always closing with the rows of the showing.
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "cts/dialogs/TTimingSelection.h"

using namespace dialog_test;

namespace {

std::array<int32_t, 3> Indexes(const TTimingSelection& form) {
    return {form.GetLane1Index(), form.GetLane2Index(), form.GetLane4Index()};
}

// Clicks the list where no row is (below its last row).
void ClickBelowRows(QTreeWidget* list) {
    const QPoint below(list->viewport()->width() / 2, list->viewport()->height() - 1);
    ASSERT_EQ(list->itemAt(below), nullptr) << "no empty part in " << list->objectName().toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
}

TEST(TimingSelectionTest, ListsShowTheTableAndTheStartChoice) {
    TTimingSelection form;
    EXPECT_EQ(form.windowTitle(), "Most Packed timing modes selection");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_Lane1")->text(), "Most packed timing for 1 lane:");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_Lane2")->text(), "Most packed timing for 2 lanes:");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_Lane4")->text(), "Most packed timing for 4 lanes:");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Accept")->text(), "Accept");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Cancel")->text(), "Cancel");

    const char* headers[] = {"Standard",      "H-Res", "V-Res",        "Refresh rate", "Interlace/Progressive",
                             "Blanking mode", "bpp",   "Packing ratio"};
    // One row of each list, and the row counts 4, 7 and 3.
    struct Sample {
        const char* list;
        int rows;
        int row;
        const char* cells[8];
    };
    const Sample samples[] = {
        {"LV_Lane1", 4, 2, {"DMT", "800", "600", "60.317", "Progressive", "Normal", "30", "93%"}},
        {"LV_Lane2", 7, 6, {"CVT", "1600", "1200", "60", "Progressive", "Reduced", "18", "90%"}},
        {"LV_Lane4", 3, 0, {"CVT", "2048", "1536", "60", "Progressive", "Reduced", "24", "97%"}},
    };
    for (const Sample& s : samples) {
        auto* list = Probe<QTreeWidget>(&form, s.list);
        ASSERT_EQ(list->columnCount(), 8);
        for (int c = 0; c < 8; ++c) EXPECT_EQ(list->headerItem()->text(c), headers[c]);
        ASSERT_EQ(list->topLevelItemCount(), s.rows) << s.list;
        for (int c = 0; c < 8; ++c) EXPECT_EQ(list->topLevelItem(s.row)->text(c), s.cells[c]) << s.list << " " << c;
    }
    EXPECT_EQ(Indexes(form), (std::array<int32_t, 3>{2, 4, 12}));
    Open(form);
    EXPECT_EQ(CheckedRows(form.LV_Lane1), (std::vector<int>{2}));
    EXPECT_EQ(CheckedRows(form.LV_Lane2), (std::vector<int>{0}));
    EXPECT_EQ(CheckedRows(form.LV_Lane4), (std::vector<int>{1}));
    EXPECT_TRUE(form.LV_Lane4->topLevelItem(1)->isSelected());
    EXPECT_TRUE(form.BTN_Accept->isEnabled());
    form.reject();
}

TEST(TimingSelectionTest, EachListKeepsExactlyOneCheckedRow) {
    TTimingSelection form;
    Open(form);
    ClickRow(form.LV_Lane2, 6);
    EXPECT_EQ(form.GetLane2Index(), 10);
    EXPECT_EQ(CheckedRows(form.LV_Lane2), (std::vector<int>{6}));
    EXPECT_TRUE(form.LV_Lane2->topLevelItem(6)->isSelected());

    // A second row's check box: it becomes the only checked row.
    ClickCheckBox(form.LV_Lane1, 0);
    EXPECT_EQ(CheckedRows(form.LV_Lane1), (std::vector<int>{0}));
    EXPECT_EQ(form.GetLane1Index(), 0);
    // The chosen row's own check box: it stays checked.
    ClickCheckBox(form.LV_Lane1, 0);
    EXPECT_EQ(CheckedRows(form.LV_Lane1), (std::vector<int>{0}));
    // The keyboard: arrows move the choice, the space bar cannot uncheck it.
    form.LV_Lane4->setFocus();
    QTest::keyClick(form.LV_Lane4, Qt::Key_Down);
    EXPECT_EQ(form.GetLane4Index(), 13);
    QTest::keyClick(form.LV_Lane4, Qt::Key_Space);
    EXPECT_EQ(CheckedRows(form.LV_Lane4), (std::vector<int>{2}));
    // A check mark set from code is taken as the choice too.
    form.LV_Lane4->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(CheckedRows(form.LV_Lane4), (std::vector<int>{0}));
    EXPECT_EQ(form.GetLane4Index(), 11);

    QTest::mouseClick(form.BTN_Accept, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Indexes(form), (std::array<int32_t, 3>{0, 10, 11}));
}

TEST(TimingSelectionTest, AListWithoutAChoiceRefusesAcceptAndEnter) {
    TTimingSelection form;
    Open(form);
    ClickBelowRows(form.LV_Lane2);
    EXPECT_TRUE(CheckedRows(form.LV_Lane2).empty());
    EXPECT_FALSE(form.BTN_Accept->isEnabled());
    form.LV_Lane1->setFocus();
    QTest::keyClick(form.LV_Lane1, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    form.BTN_AcceptClick();
    EXPECT_TRUE(form.isVisible());

    // A row chosen there: Enter accepts.
    ClickRow(form.LV_Lane2, 3);
    EXPECT_TRUE(form.BTN_Accept->isEnabled());
    form.LV_Lane1->setFocus();
    QTest::keyClick(form.LV_Lane1, Qt::Key_Enter);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetLane2Index(), 7);
}

class TimingSelectionCloseTest : public ::testing::TestWithParam<CloseWay> {};

TEST_P(TimingSelectionCloseTest, PutsBackTheRowsOfTheShowingAndCloses) {
    TTimingSelection form;
    ASSERT_TRUE(form.SetLane4Index(13));  // as a loaded settings file does
    Open(form);
    EXPECT_EQ(CheckedRows(form.LV_Lane4), (std::vector<int>{2}));
    ClickRow(form.LV_Lane4, 0);
    ClickRow(form.LV_Lane1, 3);
    ClickBelowRows(form.LV_Lane2);  // even without a choice in a list
    EXPECT_FALSE(form.BTN_Accept->isEnabled());

    CloseWithout(form, GetParam(), "BTN_Cancel");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(Indexes(form), (std::array<int32_t, 3>{2, 4, 13}));
    EXPECT_TRUE(form.BTN_Accept->isEnabled());

    Open(form);
    EXPECT_EQ(CheckedRows(form.LV_Lane1), (std::vector<int>{2}));
    EXPECT_EQ(CheckedRows(form.LV_Lane2), (std::vector<int>{0}));
    EXPECT_EQ(CheckedRows(form.LV_Lane4), (std::vector<int>{2}));
    form.reject();
}

INSTANTIATE_TEST_SUITE_P(Ways, TimingSelectionCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::Escape, CloseWay::WindowFrame),
                         [](const auto& info) { return Name(info.param); });

TEST(TimingSelectionTest, IndexSettersTakeOnlyTheirListsIndexes) {
    struct Case {
        int list;
        int32_t index;
        bool taken;
    };
    const Case cases[] = {
        {1, 0, true},   {1, 3, true},  {1, 4, false}, {1, -1, false}, {2, 4, true},   {2, 10, true},   {2, 3, false},
        {2, 11, false}, {4, 11, true}, {4, 13, true}, {4, 10, false}, {4, 14, false}, {4, 255, false},
    };
    for (const Case& c : cases) {
        TTimingSelection form;
        const auto before = Indexes(form);
        bool taken = false;
        int32_t after = -1;
        switch (c.list) {
            case 1:
                taken = form.SetLane1Index(c.index), after = form.GetLane1Index();
                break;
            case 2:
                taken = form.SetLane2Index(c.index), after = form.GetLane2Index();
                break;
            case 4:
                taken = form.SetLane4Index(c.index), after = form.GetLane4Index();
                break;
        }
        EXPECT_EQ(taken, c.taken) << c.list << " lanes, index " << c.index;
        EXPECT_EQ(after, c.taken ? c.index
                                 : before[c.list == 1   ? 0
                                          : c.list == 2 ? 1
                                                        : 2])
            << c.list << " lanes, index " << c.index;
    }
}

TEST(TimingSelectionTest, ExecEndsWithEnter) {
    TTimingSelection form;
    form.SetLane1Index(1);
    QTimer::singleShot(0, &form, [&form] { QTest::keyClick(&form, Qt::Key_Return); });
    bool stuck = false;
    QTimer::singleShot(10000, &form, [&] { stuck = form.isVisible(), form.done(-1); });  // never left blocking
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_FALSE(stuck);
    EXPECT_EQ(CheckedRows(form.LV_Lane1), (std::vector<int>{1}));
}

}  // namespace
