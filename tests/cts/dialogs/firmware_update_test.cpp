// The firmware update dialog on its own: its buttons per state, the HEX
// file choice (through the file-dialog hook and the real dialog), the file
// name handed on as UTF-8, the busy state that refuses closing, the outcome
// boxes and the progress bar's scale.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/FileDialog.h"
#include "support/DesktopHooks.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"
#include "support/WaitFor.h"

using namespace dialog_test;
using test_support::FindControl;

namespace {

QString MakeFile(const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(test_support::WriteFile(path.toStdString(), ":00000001FF\n")) << path.toStdString();
    return path;
}

class FirmwareDialog : public test_support::DesktopHookFixture<testing::Test> {
protected:
    void TearDown() override {
        if (dialog.isVisible()) {
            dialog.SetBusy(false);
            dialog.done(QDialog::Rejected);
        }
        DesktopHookFixture::TearDown();
    }
    bool Shown(QWidget* w) const { return w->isVisibleTo(&dialog); }

    QTemporaryDir dir;
    platform::MessageBoxInterceptor boxes;
    TFirmwareUpdate dialog;
};

TEST(FirmwareProgressScale, RangeStaysBelow32768) {
    const struct {
        uint32_t total;
        uint32_t divisor;
        int maximum;
    } cases[] = {
        {0, 1, 0},         {4296, 1, 4296},    {32767, 1, 32767},
        {32768, 2, 16384}, {100000, 4, 25000}, {0xFFFFFFFFu, 0x20000, 32767},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        const auto scale = TFirmwareUpdate::ScaleFor(c.total);
        EXPECT_EQ(scale.divisor, c.divisor);
        EXPECT_EQ(scale.maximum, c.maximum);
        EXPECT_LT(scale.maximum, 32768);
    }
}

TEST_F(FirmwareDialog, ShowingOffersUpgradeAndCancelWithUpgradeOnlyForAnExistingFile) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Firmware Upgrade"));
    EXPECT_EQ(dialog.ED_VersionInfo->text(), QStringLiteral("<Not set>"));
    EXPECT_TRUE(dialog.ED_VersionInfo->isReadOnly());
    Open(dialog);
    EXPECT_TRUE(Shown(dialog.BTN_Upgrade));
    EXPECT_TRUE(Shown(dialog.BTN_Cancel));
    EXPECT_FALSE(Shown(dialog.BTN_Close));
    EXPECT_FALSE(Shown(dialog.PB_UpdateProcess));
    EXPECT_FALSE(dialog.BTN_Upgrade->isEnabled());
    EXPECT_TRUE(dialog.BTN_CheckVer->isEnabled());

    ASSERT_TRUE(dir.isValid());
    const QString file = MakeFile(dir, QStringLiteral("fw.hex"));
    test_support::TrapFifo fifo(dir.filePath(QStringLiteral("fifo.hex")).toStdString());
    ASSERT_TRUE(fifo.Made());
    const QString fifoName = QString::fromStdString(fifo.Path().string());
    // A FIFO or a device is refused in the message line; a folder, passed
    // through while a name is typed, and a missing file say nothing.
    const struct {
        QString name;
        bool enabled;
        QString message;
    } cases[] = {
        {file, true, QString()},
        {dir.filePath(QStringLiteral("missing.hex")), false, QString()},
        {fifoName, false, QStringLiteral("Cannot open file \"") + fifoName + QStringLiteral("\". Not a regular file")},
        {dir.path(), false, QString()},
        {QStringLiteral("/dev/zero"), false, QStringLiteral("Cannot open file \"/dev/zero\". Not a regular file")},
        {file, true, QString()},
        {QString(), false, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        dialog.ED_HexFile->setText(c.name);
        EXPECT_EQ(dialog.BTN_Upgrade->isEnabled(), c.enabled);
        EXPECT_EQ(dialog.LBL_Message->text(), c.message);
    }
    EXPECT_FALSE(fifo.Released()) << "the dialog opened the FIFO";
    EXPECT_TRUE(boxes.Texts().empty());
    QTest::mouseClick(dialog.BTN_Cancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(FirmwareDialog, BrowseTakesTheChosenNameAndCancelKeepsTheOldOne) {
    ASSERT_TRUE(dir.isValid());
    const QString file = MakeFile(dir, QStringLiteral("new.HEX"));
    Open(dialog);
    dialog.ED_HexFile->setText(QStringLiteral("/nowhere/old.hex"));

    QString answer;
    int shown = 0;
    platform::SetFileDialogHook([&](QFileDialog& d) {
        ++shown;
        EXPECT_EQ(&d, dialog.DLG_OpenHex);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Choose new Firmware Intel-HEX file"));
        EXPECT_EQ(d.nameFilters(), QStringList{QStringLiteral("Intel HEX Files (*.HEX)")});
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_FALSE(d.filter().testFlag(QDir::CaseSensitive));
        return answer;
    });
    QTest::mouseClick(dialog.BTN_BrowseHex, Qt::LeftButton);  // cancelled
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dialog.ED_HexFile->text(), QStringLiteral("/nowhere/old.hex"));
    EXPECT_FALSE(dialog.BTN_Upgrade->isEnabled());

    answer = file;
    QTest::mouseClick(dialog.BTN_BrowseHex, Qt::LeftButton);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(dialog.ED_HexFile->text(), file);
    EXPECT_TRUE(dialog.BTN_Upgrade->isEnabled());
}

// No hook: the real dialog lists a lower-case ".hex" under "*.HEX" and
// leaves other files out.
TEST_F(FirmwareDialog, TheRealFileDialogMatchesTheFilterInAnyLetterCase) {
    ASSERT_TRUE(dir.isValid());
    MakeFile(dir, QStringLiteral("lower.hex"));
    MakeFile(dir, QStringLiteral("notes.txt"));
    const QString upper = MakeFile(dir, QStringLiteral("UPPER.HEX"));
    Open(dialog);
    bool lowerListed = false, upperListed = false, textListed = true, answered = false;
    QTimer::singleShot(100, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!files) return;
        files->setDirectory(dir.path());
        auto* view = FindControl<QListView>(files, "listView");
        const auto listed = [view](const QString& name) {
            if (!view || !view->model()) return false;
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r)
                if (view->model()->index(r, 0, root).data().toString() == name) return true;
            return false;
        };
        lowerListed = test_support::WaitFor([&] { return listed(QStringLiteral("lower.hex")); }, 10000);
        upperListed = listed(QStringLiteral("UPPER.HEX"));
        textListed = listed(QStringLiteral("notes.txt"));
        if (auto* edit = FindControl<QLineEdit>(files, "fileNameEdit")) {
            edit->setText(upper);
            answered = true;
        }
        static_cast<QDialog*>(files)->accept();
    });
    QTimer guard;  // never hang: close whatever modal window is left
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [this] {
        if (QWidget* w = QApplication::activeModalWidget(); w && w != &dialog) w->close();
    });
    guard.start(20000);
    QTest::mouseClick(dialog.BTN_BrowseHex, Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(lowerListed);
    EXPECT_TRUE(upperListed);
    EXPECT_FALSE(textListed);
    EXPECT_EQ(QDir::cleanPath(dialog.ED_HexFile->text()), QDir::cleanPath(upper));
}

TEST_F(FirmwareDialog, UpgradeHandsOnTheFileNameAsUtf8) {
    ASSERT_TRUE(dir.isValid());
    const QString file = MakeFile(dir, QStringLiteral("Firmware \u00FC\u03BB\u4E2D.hex"));
    std::vector<std::string> requested;
    dialog.UpgradeRequest = [&](const std::string& name) { requested.push_back(name); };
    Open(dialog);
    dialog.ED_HexFile->setText(file);
    ASSERT_TRUE(dialog.BTN_Upgrade->isEnabled());
    QTest::mouseClick(dialog.BTN_Upgrade, Qt::LeftButton);
    ASSERT_EQ(requested.size(), 1u);
    EXPECT_EQ(requested[0], std::string(file.toUtf8().constData()));
    EXPECT_EQ(QString::fromUtf8(requested[0]), file);
    EXPECT_TRUE(QFile::exists(QString::fromUtf8(requested[0])));
    // Upgrade does nothing else.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(FirmwareDialog, CheckRunningVersionShowsPleaseWaitBeforeTheRequest) {
    Open(dialog);
    // Without a requester the text says nothing is known.
    dialog.SetVersionText(QStringLiteral("V1.2.3"));
    QTest::mouseClick(dialog.BTN_CheckVer, Qt::LeftButton);
    EXPECT_EQ(dialog.ED_VersionInfo->text(), QStringLiteral("<Not set>"));

    // "<Please wait>" is up when the request is made; an outcome given
    // inside the request stays, one given later replaces it then.
    QString whenAsked;
    bool answerInside = true;
    dialog.VersionRequest = [&] {
        whenAsked = dialog.ED_VersionInfo->text();
        if (answerInside) dialog.SetVersionText(QStringLiteral("<query error>"));
    };
    QTest::mouseClick(dialog.BTN_CheckVer, Qt::LeftButton);
    EXPECT_EQ(whenAsked, QStringLiteral("<Please wait>"));
    EXPECT_EQ(dialog.ED_VersionInfo->text(), QStringLiteral("<query error>"));

    answerInside = false;
    whenAsked.clear();
    QTest::mouseClick(dialog.BTN_CheckVer, Qt::LeftButton);
    EXPECT_EQ(whenAsked, QStringLiteral("<Please wait>"));
    EXPECT_EQ(dialog.ED_VersionInfo->text(), QStringLiteral("<Please wait>"));
}

TEST_F(FirmwareDialog, BusyDisablesTheDialogAndRefusesEveryWayOfClosing) {
    ASSERT_TRUE(dir.isValid());
    const QString file = MakeFile(dir, QStringLiteral("fw.hex"));
    Open(dialog);
    dialog.ED_HexFile->setText(file);
    dialog.SetBusy(true);
    EXPECT_TRUE(dialog.Busy());
    EXPECT_FALSE(dialog.isEnabled());
    EXPECT_FALSE(dialog.BTN_CheckVer->isEnabled());
    EXPECT_FALSE(dialog.BTN_Upgrade->isEnabled());
    EXPECT_FALSE(dialog.BTN_Cancel->isEnabled());
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    dialog.BTN_CancelClick();
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());

    dialog.SetBusy(false);
    EXPECT_TRUE(dialog.isEnabled());
    EXPECT_TRUE(dialog.BTN_CheckVer->isEnabled());
    EXPECT_TRUE(dialog.BTN_Cancel->isEnabled());
    EXPECT_TRUE(dialog.BTN_Upgrade->isEnabled());
    // Not busy, a missing file keeps Upgrade disabled.
    dialog.ED_HexFile->setText(dir.filePath(QStringLiteral("gone.hex")));
    dialog.SetBusy(false);
    EXPECT_FALSE(dialog.BTN_Upgrade->isEnabled());
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FirmwareDialog, OutcomeBoxesAndTheButtonsThatFollow) {
    ASSERT_TRUE(dir.isValid());
    dialog.ED_HexFile->setText(MakeFile(dir, QStringLiteral("fw.hex")));
    Open(dialog);
    dialog.ShowResult(false);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Upgrade Failed..."});
    EXPECT_TRUE(Shown(dialog.BTN_Upgrade));
    EXPECT_TRUE(Shown(dialog.BTN_Cancel));
    EXPECT_FALSE(Shown(dialog.BTN_Close));

    boxes.Clear();
    dialog.ShowResult(true);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Completed succesfully"});
    EXPECT_FALSE(Shown(dialog.BTN_Upgrade));
    EXPECT_FALSE(Shown(dialog.BTN_Cancel));
    EXPECT_TRUE(Shown(dialog.BTN_Close));
    QTest::mouseClick(dialog.BTN_Close, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // The next showing offers Upgrade and Cancel again.
    Open(dialog);
    EXPECT_TRUE(Shown(dialog.BTN_Upgrade));
    EXPECT_TRUE(Shown(dialog.BTN_Cancel));
    EXPECT_FALSE(Shown(dialog.BTN_Close));
    EXPECT_TRUE(dialog.BTN_Upgrade->isEnabled());
}

TEST_F(FirmwareDialog, ProgressBarFollowsTheBytesSentOnItsScale) {
    Open(dialog);
    dialog.StartProgress(100000);
    EXPECT_TRUE(Shown(dialog.PB_UpdateProcess));
    EXPECT_EQ(dialog.PB_UpdateProcess->minimum(), 0);
    EXPECT_EQ(dialog.PB_UpdateProcess->maximum(), 25000);
    EXPECT_EQ(dialog.PB_UpdateProcess->value(), 0);
    dialog.SetProgress(40003);
    EXPECT_EQ(dialog.PB_UpdateProcess->value(), 10000);
    dialog.SetProgress(100000);
    EXPECT_EQ(dialog.PB_UpdateProcess->value(), 25000);
    dialog.HideProgress();
    EXPECT_FALSE(Shown(dialog.PB_UpdateProcess));
}

}  // namespace
