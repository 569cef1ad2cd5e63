// The colorimetry dialog: thirteen formats, the two mandatory rows, the
// accepted state and its accessors.
#include <QHeaderView>
#include <QTreeWidget>

#include "DialogTestSupport.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "link/E_GenericError.h"

using namespace dialog_test;

namespace {

std::vector<int> AcceptedIds(const TColorimetryEdit& form) {
    std::vector<int> ids;
    for (int n = 0; n < form.GetFormatCount(); ++n) ids.push_back(form.GetFormatID(n));
    return ids;
}

TEST(ColorimetryEditTest, RowsShowTheFormatsWithTheirIdsAndDefaults) {
    struct Row {
        const char* cells[4];
        int id;
    };
    const Row rows[] = {
        {{"RGB", "6", "VESA", "-"}, 0x00},
        {{"RGB", "8", "VESA", "-"}, 0x20},
        {{"RGB", "10", "VESA", "-"}, 0x40},
        {{"RGB", "8", "CEA", "-"}, 0x28},
        {{"RGB", "10", "CEA", "-"}, 0x48},
        {{"YCbCr422", "8", "CEA", "ITU.601"}, 0x2A},
        {{"YCbCr422", "10", "CEA", "ITU.601"}, 0x4A},
        {{"YCbCr422", "8", "CEA", "ITU.709"}, 0x3A},
        {{"YCbCr422", "10", "CEA", "ITU.709"}, 0x5A},
        {{"YCbCr444", "8", "CEA", "ITU.601"}, 0x2C},
        {{"YCbCr444", "10", "CEA", "ITU.601"}, 0x4C},
        {{"YCbCr444", "8", "CEA", "ITU.709"}, 0x3C},
        {{"YCbCr444", "10", "CEA", "ITU.709"}, 0x5C},
    };
    TColorimetryEdit form;
    EXPECT_EQ(form.windowTitle(), "Colorimetry");
    auto* list = Probe<QTreeWidget>(&form, "LV_Cols");
    const char* headers[] = {"Format", "Bit Depth", "Dynamic Range", "Color Coeff."};
    ASSERT_EQ(list->columnCount(), 4);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(list->headerItem()->text(c), headers[c]);
    ASSERT_EQ(list->topLevelItemCount(), 13);
    for (int r = 0; r < 13; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(list->topLevelItem(r)->text(c), rows[r].cells[c]) << r << "," << c;
        EXPECT_EQ(TColorimetryEdit::FormatIdOfRow(r), rows[r].id) << r;
        EXPECT_EQ(TColorimetryEdit::IsMandatoryRow(r), r < 2) << r;
    }
    EXPECT_EQ(CheckedRows(list), (std::vector<int>{0, 1}));
    EXPECT_EQ(form.GetFormatCount(), 2);
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32}));
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Accept")->text(), "Accept");
    EXPECT_EQ(Probe<QPushButton>(&form, "BTN_Cancel")->text(), "Cancel");
}

TEST(ColorimetryEditTest, MandatoryRowsStayCheckedByMouseOrKeyboard) {
    TColorimetryEdit form;
    Open(form);
    // The mouse on the check box of row 0.
    ClickCheckBox(form.LV_Cols, 0);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1}));
    // The space bar on row 1.
    form.LV_Cols->setFocus();
    form.LV_Cols->setCurrentItem(form.LV_Cols->topLevelItem(1));
    QTest::keyClick(form.LV_Cols, Qt::Key_Space);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1}));
    // Unchecked from code, as a loaded setting might: checked again at once.
    form.LV_Cols->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1}));

    // An optional row toggles by mouse and by keyboard.
    ClickCheckBox(form.LV_Cols, 7);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 7}));
    form.LV_Cols->setCurrentItem(form.LV_Cols->topLevelItem(9));
    QTest::keyClick(form.LV_Cols, Qt::Key_Space);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 7, 9}));
    QTest::keyClick(form.LV_Cols, Qt::Key_Space);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 7}));

    QTest::mouseClick(form.BTN_Accept, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetFormatCount(), 3);
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32, 58}));
}

TEST(ColorimetryEditTest, EnterAccepts) {
    TColorimetryEdit form;
    Open(form);
    form.LV_Cols->topLevelItem(12)->setCheckState(0, Qt::Checked);
    form.LV_Cols->setFocus();
    QTest::keyClick(form.LV_Cols, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32, 92}));
}

class ColorimetryCloseTest : public ::testing::TestWithParam<CloseWay> {};

TEST_P(ColorimetryCloseTest, PutsTheCheckMarksBackToTheAcceptedState) {
    TColorimetryEdit form;
    form.CheckFormatID(0x48);  // accepted before showing (row 4)
    Open(form);
    ClickCheckBox(form.LV_Cols, 5);
    ClickCheckBox(form.LV_Cols, 4);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 5}));
    CloseWithout(form, GetParam(), "BTN_Cancel");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32, 72}));

    Open(form);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 4}));
    form.reject();
}

INSTANTIATE_TEST_SUITE_P(Ways, ColorimetryCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::Escape, CloseWay::WindowFrame),
                         [](const auto& info) { return Name(info.param); });

TEST(ColorimetryEditTest, GetFormatIdBeyondTheCountIsAnError) {
    TColorimetryEdit form;
    for (int n : {2, 13, -1}) {
        try {
            form.GetFormatID(n);
            ADD_FAILURE() << "no error for " << n;
        } catch (const E_GenericError& e) {
            EXPECT_EQ(e.Message, "GetFormatID() Out of bounds");
        }
    }
}

TEST(ColorimetryEditTest, CheckFormatIdAndResetFormatsSetMarksAndAcceptedState) {
    TColorimetryEdit form;
    form.CheckFormatID(255);
    form.CheckFormatID(-1);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1}));
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32}));

    for (int id : {0x5C, 0x3A, 0x20}) form.CheckFormatID(id);
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1, 7, 12}));
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32, 58, 92}));

    form.ResetFormats();
    EXPECT_EQ(CheckedRows(form.LV_Cols), (std::vector<int>{0, 1}));
    EXPECT_EQ(AcceptedIds(form), (std::vector<int>{0, 32}));
}

}  // namespace
