// The report options dialog: "Save Report" enabled only with a file name,
// the comments of each showing, the save-file dialog's set-up and what a
// name chosen there means, and the file name as UTF-8.
#include <QDir>
#include <QFileDialog>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "cts/dialogs/TReportOptions.h"
#include "support/DesktopHooks.h"

namespace {

using dialog_test::Probe;

// The save-file dialog is answered through the fixture's hook.
class ReportOptions : public test_support::DesktopHookFixture<testing::Test> {};

TEST_F(ReportOptions, SaveIsEnabledOnlyWithAFileName) {
    TReportOptions dialog;
    auto* save = Probe<QPushButton>(&dialog, "BTN_Save");
    auto* file = Probe<QLineEdit>(&dialog, "ED_SaveFile");
    dialog_test::Open(dialog);
    EXPECT_FALSE(save->isEnabled());
    QTest::keyClicks(file, QStringLiteral("r"));
    EXPECT_TRUE(save->isEnabled());
    QTest::keyClick(file, Qt::Key_Backspace);
    EXPECT_FALSE(save->isEnabled());
    QTest::keyClicks(file, QStringLiteral("run1"));
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // The next showing keeps the name (and enables "Save Report" at once) and
    // shows the comments set for it.
    dialog.Comments = QStringLiteral("Report created using the Merovan Vardeko Software 1.2.3");
    Probe<QLineEdit>(&dialog, "ED_DUT_Serial")->setText(QStringLiteral("S1"));
    dialog_test::Open(dialog);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(Probe<QPlainTextEdit>(&dialog, "MEMO_Comments")->toPlainText(), dialog.Comments);
    EXPECT_EQ(Probe<QLineEdit>(&dialog, "ED_DUT_Serial")->text(), QStringLiteral("S1"));
    dialog_test::CloseWithout(dialog, dialog_test::CloseWay::CancelButton, "BTN_Cancel");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.GetSaveFileName(), "run1");
}

TEST_F(ReportOptions, TheSaveFileDialogFillsTheNameAndHasAskedAboutIt) {
    TReportOptions dialog;
    dialog_test::Open(dialog);
    const QString chosen = QStringLiteral("/tmp/r\u00E9sultats/\u8A66\u9A13.htm");
    {
        AnswerFileDialogs(chosen);
        QTest::mouseClick(Probe<QPushButton>(&dialog, "Button1"), Qt::LeftButton);
        ASSERT_EQ(fileDialogs_.size(), 1u);
        const test_support::FileDialogShowing& shown = fileDialogs_[0];
        EXPECT_EQ(shown.title, QStringLiteral("Choose save file ..."));
        EXPECT_EQ(shown.filters,
                  QStringList({QStringLiteral("HTML File (*.HTM *.html)"), QStringLiteral("Plain Text File (*.TXT)")}));
        EXPECT_EQ(shown.selectedFilter, QStringLiteral("HTML File (*.HTM *.html)"));
        EXPECT_EQ(shown.suffix, QStringLiteral("HTM"));
        EXPECT_TRUE(shown.save);
        EXPECT_TRUE(shown.confirmsOverwrite);
        EXPECT_TRUE(shown.caseInsensitive);
    }
    EXPECT_EQ(Probe<QLineEdit>(&dialog, "ED_SaveFile")->text(), chosen);
    EXPECT_EQ(dialog.GetSaveFileName(), chosen.toUtf8().toStdString());
    EXPECT_TRUE(dialog.SaveFileChosenInDialog());
    EXPECT_TRUE(Probe<QPushButton>(&dialog, "BTN_Save")->isEnabled());

    // Cancelling the file dialog keeps the name; editing it, or a new
    // showing, makes it a name the file dialog has not asked about.
    {
        AnswerFileDialogs(QString());
        QTest::mouseClick(Probe<QPushButton>(&dialog, "Button1"), Qt::LeftButton);
        EXPECT_EQ(fileDialogs_.size(), 1u);
    }
    EXPECT_EQ(Probe<QLineEdit>(&dialog, "ED_SaveFile")->text(), chosen);
    EXPECT_TRUE(dialog.SaveFileChosenInDialog());
    QTest::keyClicks(Probe<QLineEdit>(&dialog, "ED_SaveFile"), QStringLiteral("x"));
    EXPECT_FALSE(dialog.SaveFileChosenInDialog());
    QTest::keyClick(Probe<QLineEdit>(&dialog, "ED_SaveFile"), Qt::Key_Backspace);
    EXPECT_TRUE(dialog.SaveFileChosenInDialog());
    dialog.accept();
    dialog_test::Open(dialog);
    EXPECT_FALSE(dialog.SaveFileChosenInDialog());
    dialog.reject();
}

TEST_F(ReportOptions, ShowsEveryControl) {
    TReportOptions dialog;
    dialog.GroupBox2->setTitle(QStringLiteral("  DP Reference Sink TE "));
    dialog.Comments = QStringLiteral("Report created using the Merovan Vardeko Software 1.0.0");
    dialog_test::Open(dialog);
    for (const char* name :
         {"ED_DUT_DeviceName", "ED_DUT_CustomerModel", "ED_DUT_Serial", "ED_DUT_Driver", "ED_REF_CustomerModel",
          "ED_REF_Serial", "ED_REF_Driver", "MEMO_Comments", "ED_SaveFile", "Button1", "BTN_Save", "BTN_Cancel"})
        EXPECT_TRUE(Probe<QWidget>(&dialog, name)->isVisible()) << name;
    Probe<QLineEdit>(&dialog, "ED_DUT_DeviceName")->setText(QStringLiteral("Box 7"));
    Probe<QLineEdit>(&dialog, "ED_SaveFile")->setText(QStringLiteral("/home/operator/reports/box7.HTM"));
    const QImage picture = dialog.grab().toImage();
    EXPECT_TRUE(picture.save(QDir(QStringLiteral(SCREENSHOT_DIR)).filePath(QStringLiteral("report_options.png"))));
    dialog.reject();
}

}  // namespace
