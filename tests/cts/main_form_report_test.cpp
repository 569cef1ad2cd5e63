// "Save Report ..." through the main window offscreen: the file name rules
// and the overwrite question, a write that fails (the old file stays, the
// error box shows, nothing is opened), the firmware version row, and the
// close question and "Clear Results" that go on only after a written report.
// The options dialog is answered by a timer, the file dialog and the
// desktop's open by their hooks, message boxes by the interceptor.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <string>

#include "cts/MainFormFixture.h"
#include "cts/dialogs/TReportOptions.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/FileDialog.h"
#include "support/DesktopHooks.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

namespace {

using platform::MsgResult;

const std::string kOverwriteEnd = "' already exists.\r\n\r\nOverwrite?";
const std::string kCannotCreate = "Unable to create file. Report not saved.";
const std::string kCloseQuestion =
    "Report not saved.\r\n\r\nWould you like to save the report of the test run before closing program?";
const std::string kClearQuestion =
    "Report not saved.\r\n\r\nWould you like to save the report of the previous test run before clearing results?";

// While alive, answers every report options dialog that opens: `fill` sets
// its fields, then it closes with `result`. Counts the showings.
class OptionsAnswer {
public:
    OptionsAnswer(TReportOptions* options, int result, std::function<void(TReportOptions&)> fill = {}) {
        QObject::connect(&timer_, &QTimer::timeout, [this, options, result, fill] {
            if (QApplication::activeModalWidget() != options || options->result() == -1) return;
            options->setResult(-1);  // answered once per showing
            ++shown;
            if (fill) fill(*options);
            options->done(result);
        });
        timer_.start(5);
    }
    int shown = 0;

private:
    QTimer timer_;
};

// A file's bytes as Qt's type, for its searches (empty when it cannot be read).
QByteArray Read(const QString& path) { return QByteArray::fromStdString(test_support::ReadFile(path.toStdString())); }

class MainFormReport : public test_support::DesktopHookFixture<cts_test::MainFormFixture> {
protected:
    // The window without a link (its port does not exist, the link's error
    // box answered): fast, and the firmware version stays unknown.
    TCTSMainForm* OpenOffline() {
        StorePort(QDir(work_.path()).filePath(QStringLiteral("no-such-port")).toStdString());
        platform::MessageBoxInterceptor portError;  // the link's "Failed to open port"
        TCTSMainForm* form = Open();
        EXPECT_FALSE(form->TC_Pages->isVisible());
        return form;
    }

    // "Save Report ..." with the options dialog answered OK and its file
    // name set to `name` (a typed name).
    bool SaveTyped(TCTSMainForm* form, const QString& name) {
        OptionsAnswer answer(dialogs_.reportOptions, QDialog::Accepted,
                             [name](TReportOptions& o) { o.ED_SaveFile->setText(name); });
        const bool saved = form->MENU_SaveReportClick();
        EXPECT_EQ(answer.shown, 1);
        return saved;
    }

    QString Path(const QString& name) const { return QDir(work_.path()).filePath(name); }
};

// A typed name without an extension gets ".HTM"; the report is written,
// opened by the desktop, and the report-saved flag is set. With no records
// the report holds "No Tests Executed.", and the firmware version reads
// "Unknown" until a version query has succeeded.
TEST_F(MainFormReport, WritesOpensAndMarksTheReportSaved) {
    TCTSMainForm* form = OpenOffline();
    form->SetReportSaved(false);
    {
        platform::MessageBoxInterceptor boxes(MsgResult::Yes);
        OptionsAnswer answer(dialogs_.reportOptions, QDialog::Accepted, [this](TReportOptions& o) {
            o.ED_DUT_DeviceName->setText(QStringLiteral("Box"));
            o.ED_SaveFile->setText(Path(QStringLiteral("run1")));
            // The comments start as the generated footer line.
            EXPECT_TRUE(o.MEMO_Comments->toPlainText().startsWith(
                QStringLiteral("Report created using the Merovan Vardeko Software ")));
            EXPECT_EQ(o.GroupBox1->title(), QStringLiteral(" DP Source DUT "));
            EXPECT_EQ(o.GroupBox2->title(), QStringLiteral("  DP Reference Sink TE "));
        });
        ASSERT_TRUE(form->MENU_SaveReportClick());
        EXPECT_TRUE(boxes.Texts().empty());
        EXPECT_TRUE(form->ReportSaved());
        ASSERT_EQ(opened_.size(), 1u);
        EXPECT_EQ(opened_[0], Path(QStringLiteral("run1.HTM")));
        const QByteArray report = Read(opened_[0]);
        EXPECT_TRUE(report.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"));
        EXPECT_TRUE(report.contains("\r\nBox Compliance Test Report\r\n"));
        EXPECT_TRUE(
            report.contains("FIELDNAME\">TE Firmware Version</td>',\r\n\t'<td width=\"450\" "
                            "class=\"FIELDVALUE\">Unknown</td>'"));
        EXPECT_TRUE(
            report.contains("NAMESUCCESS\">',\r\n\t'<button onclick=\"ShowDocument (tbl_Test0)\">No Tests "
                            "Executed.</button>'"));
        EXPECT_TRUE(report.contains("\t'<br>No Tests Executed.',"));
        EXPECT_EQ(QDir(work_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no temporary file left
    }

    // Cancel in the dialog writes nothing and leaves the flag; the menu item
    // "Save Report ..." runs the same command.
    form->SetReportSaved(false);
    OptionsAnswer cancel(dialogs_.reportOptions, QDialog::Rejected);
    EXPECT_FALSE(form->MENU_SaveReportClick());
    EXPECT_FALSE(form->ReportSaved());
    EXPECT_EQ(opened_.size(), 1u);
    form->MENU_SaveReport->trigger();
    EXPECT_EQ(cancel.shown, 2);
}

TEST_F(MainFormReport, FirmwareVersionRowOnceAQuerySucceeded) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(WaitFor([form] { return form->VersionKnown(); }));
    const auto& v = form->VersionCharacters();
    ASSERT_TRUE(SaveTyped(form, Path(QStringLiteral("fw.htm"))));
    const std::string value = std::string(1, char(v[0])) + "." + char(v[1]) + "." + char(v[2]);
    EXPECT_TRUE(Read(Path(QStringLiteral("fw.htm")))
                    .contains(QByteArray::fromStdString("class=\"FIELDVALUE\">" + value + "</td>'")));
}

// The firmware version row reads the three characters as the instrument's
// 8-bit (Windows-1252) text, as the status line does, and the report writes
// them back as the same bytes; HTML's own characters are escaped.
TEST_F(MainFormReport, FirmwareVersionRowKeepsTheInstrumentsEightBitCharacters) {
    TCTSMainForm* form = OpenOffline();
    const struct {
        std::array<uint8_t, 3> characters;
        std::string value;  // as the report's bytes hold it
    } cases[] = {
        {{'3', '4', '1'}, "3.4.1"},
        {{'3', 0x96, 0x80}, "3.\x96.\x80"},  // en dash and euro sign, not Latin-1 controls
        {{0xE9, 0x81, 'A'}, "\xE9.\x81.A"},  // e acute; an unassigned byte stays itself
        {{'<', '&', '1'}, "&lt;.&amp;.1"},
    };
    for (const auto& c : cases) {
        form->StoreFirmwareVersion(c.characters);
        const QString name = Path(QStringLiteral("fw%1.htm").arg(int{c.characters[1]}));
        ASSERT_TRUE(SaveTyped(form, name));
        EXPECT_TRUE(Read(name).contains(QByteArray::fromStdString(
            "FIELDNAME\">TE Firmware Version</td>',\r\n\t'<td width=\"450\" class=\"FIELDVALUE\">" + c.value +
            "</td>'")))
            << c.value;
    }
}

// When the overwrite question is asked, and what each answer does. A name
// the file dialog gave in this showing, unchanged, was asked about there.
TEST_F(MainFormReport, OverwriteQuestion) {
    TCTSMainForm* form = OpenOffline();
    struct Case {
        const char* what;
        QString typed;      // typed into the edit (empty: chosen in the file dialog)
        QString chosen;     // the file dialog's answer
        QString editAfter;  // appended after choosing
        QString file;       // the file written
        bool exists;
        bool asked;
    };
    const Case cases[] = {
        {"typed, .HTM appended", "a", "", "", "a.HTM", true, true},
        {"typed with an extension", "b.htm", "", "", "b.htm", true, true},
        {"typed, no file yet", "c.htm", "", "", "c.htm", false, false},
        {"chosen in the file dialog", "", "d.htm", "", "d.htm", true, false},
        {"chosen, then edited", "", "e.ht", "m", "e.htm", true, true},
        {"chosen without an extension", "", "f", "", "f.HTM", true, true},
    };
    for (const Case& c : cases) {
        for (MsgResult answer : {MsgResult::Cancel, MsgResult::Yes}) {
            SCOPED_TRACE(std::string(c.what) + (answer == MsgResult::Yes ? ", Yes" : ", Cancel"));
            const QString target = Path(c.file);
            QFile::remove(target);
            if (c.exists) {
                ASSERT_TRUE(test_support::WriteFile(target.toStdString(), "old report"));
            }
            AnswerFileDialogs(Path(c.chosen));
            platform::MessageBoxInterceptor boxes(answer);
            opened_.clear();
            OptionsAnswer options(dialogs_.reportOptions, QDialog::Accepted, [&](TReportOptions& o) {
                if (!c.typed.isEmpty()) o.ED_SaveFile->setText(Path(c.typed));
                else o.Button1Click();
                if (!c.editAfter.isEmpty()) o.ED_SaveFile->setText(o.ED_SaveFile->text() + c.editAfter);
            });
            const bool saved = form->MENU_SaveReportClick();

            const auto texts = boxes.Texts();
            if (c.asked) {
                ASSERT_EQ(texts.size(), 1u);
                EXPECT_EQ(texts[0], "The file '" + c.file.toStdString() + kOverwriteEnd);
                EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::YesCancel);
            } else {
                EXPECT_TRUE(texts.empty());
            }
            const bool written = !c.asked || answer == MsgResult::Yes;
            EXPECT_EQ(saved, written);
            EXPECT_EQ(Read(target).startsWith("<!DOCTYPE"), written);
            if (!written) {
                EXPECT_EQ(Read(target), "old report");
            }
            EXPECT_EQ(opened_.size(), written ? 1u : 0u);
            if (!c.asked) break;  // the answer plays no part
        }
    }

    // A name chosen in the file dialog of an earlier showing is asked about.
    AnswerFileDialogs(Path(QStringLiteral("g.htm")));
    {
        platform::MessageBoxInterceptor boxes(MsgResult::Yes);
        OptionsAnswer options(dialogs_.reportOptions, QDialog::Accepted, [](TReportOptions& o) { o.Button1Click(); });
        ASSERT_TRUE(form->MENU_SaveReportClick());
        EXPECT_TRUE(boxes.Texts().empty());
    }
    platform::MessageBoxInterceptor boxes(MsgResult::Cancel);
    OptionsAnswer again(dialogs_.reportOptions, QDialog::Accepted);
    EXPECT_FALSE(form->MENU_SaveReportClick());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "The file 'g.htm" + kOverwriteEnd);
}

// A write that fails leaves the old file as it was, shows the error box,
// opens nothing, leaves no temporary file and keeps the report-saved flag.
TEST_F(MainFormReport, FailedWriteKeepsTheOldFile) {
    TCTSMainForm* form = OpenOffline();
    struct Case {
        const char* what;
        QString name;
        std::function<void()> before, after;
    };
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    const QString readOnly = Path(QStringLiteral("read-only"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    std::vector<Case> cases = {
        {"the disk refuses the bytes", "full.htm",
         [] {
             // Writes beyond 4 KiB fail as on a full disk (EFBIG, the signal ignored).
             signal(SIGXFSZ, SIG_IGN);
             rlimit small{4096, RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &small);
         },
         [&] {
             setrlimit(RLIMIT_FSIZE, &oldLimit);
             signal(SIGXFSZ, SIG_DFL);
         }},
        {"the folder does not exist", "missing/run.htm", [] {}, [] {}},
    };
    // Permissions bind every user but the superuser.
    if (geteuid() != 0) {
        cases.push_back({"the folder is read-only", "read-only/run.htm",
                         [&] { chmod(readOnly.toLocal8Bit().constData(), 0555); },
                         [&] { chmod(readOnly.toLocal8Bit().constData(), 0755); }});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString target = Path(c.name);
        const bool hadOld = QFileInfo(target).dir().exists();
        if (hadOld) {
            ASSERT_TRUE(test_support::WriteFile(target.toStdString(), "old report"));
        }
        const int filesBefore = QFileInfo(target).dir().entryList(QDir::Files | QDir::Hidden).size();
        form->SetReportSaved(false);
        platform::MessageBoxInterceptor boxes(MsgResult::Yes);
        opened_.clear();
        OptionsAnswer options(dialogs_.reportOptions, QDialog::Accepted, [&](TReportOptions& o) {
            o.ED_SaveFile->setText(target);
            c.before();  // after the dialog's own work, just before the write
        });
        const bool saved = form->MENU_SaveReportClick();
        c.after();
        EXPECT_FALSE(saved);
        // An old file of the typed name is asked about first (and Yes answered).
        std::vector<std::string> expected{kCannotCreate};
        if (hadOld)
            expected.insert(expected.begin(),
                            "The file '" + QFileInfo(target).fileName().toStdString() + kOverwriteEnd);
        EXPECT_EQ(boxes.Texts(), expected);
        EXPECT_TRUE(opened_.empty());
        EXPECT_FALSE(form->ReportSaved());
        if (hadOld) {
            EXPECT_EQ(Read(target), "old report");
            EXPECT_EQ(QFileInfo(target).dir().entryList(QDir::Files | QDir::Hidden).size(), filesBefore);
        }
    }
}

// A FIFO of the report's name is not replaced (nor opened): after the
// overwrite question, the save fails as a file that cannot be created, and
// the FIFO stays.
TEST_F(MainFormReport, AFifoIsNotReplacedByTheReport) {
    TCTSMainForm* form = OpenOffline();
    test_support::TrapFifo fifo(Path(QStringLiteral("fifo.htm")).toStdString());
    ASSERT_TRUE(fifo.Made());
    form->SetReportSaved(false);
    platform::MessageBoxInterceptor boxes(MsgResult::Yes);
    EXPECT_FALSE(SaveTyped(form, QString::fromStdString(fifo.Path().string())));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"The file 'fifo.htm" + kOverwriteEnd, kCannotCreate}));
    EXPECT_TRUE(opened_.empty());
    EXPECT_FALSE(form->ReportSaved());
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened";
    EXPECT_EQ(QDir(work_.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no temporary file left";
}

// The close question: No closes, Cancel stays; Yes closes only when the
// report was written.
TEST_F(MainFormReport, CloseQuestionClosesOnlyAfterAWrittenReport) {
    struct Case {
        const char* what;
        MsgResult answer;
        int dialogResult;  // -1: the options dialog must not show
        QString name;
        bool closes;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"No", MsgResult::No, -1, "", true, {kCloseQuestion}},
        {"Cancel", MsgResult::Cancel, -1, "", false, {kCloseQuestion}},
        {"Yes, dialog cancelled", MsgResult::Yes, QDialog::Rejected, "", false, {kCloseQuestion}},
        {"Yes, write fails",
         MsgResult::Yes,
         QDialog::Accepted,
         "missing/run.htm",
         false,
         {kCloseQuestion, kCannotCreate}},
        {"Yes, written", MsgResult::Yes, QDialog::Accepted, "closing.htm", true, {kCloseQuestion}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TCTSMainForm* form = OpenOffline();
        form->SetReportSaved(false);
        platform::MessageBoxInterceptor boxes(c.answer);
        OptionsAnswer options(dialogs_.reportOptions, c.dialogResult < 0 ? QDialog::Rejected : c.dialogResult,
                              [&](TReportOptions& o) { o.ED_SaveFile->setText(Path(c.name)); });
        EXPECT_EQ(form->close(), c.closes);
        EXPECT_EQ(form->isVisible(), !c.closes);
        EXPECT_EQ(options.shown, c.dialogResult < 0 ? 0 : 1);
        EXPECT_EQ(boxes.Texts(), c.boxes);
        EXPECT_EQ(QFile::exists(Path(QStringLiteral("closing.htm"))), c.closes && c.answer == MsgResult::Yes);
    }
}

// "Clear Results": No clears, Cancel keeps; Yes clears only when the report
// was written.
TEST_F(MainFormReport, ClearResultsClearsOnlyAfterAWrittenReport) {
    struct Case {
        const char* what;
        MsgResult answer;
        int dialogResult;
        QString name;
        bool clears;
    };
    const Case cases[] = {
        {"No", MsgResult::No, -1, "", true},
        {"Cancel", MsgResult::Cancel, -1, "", false},
        {"Yes, dialog cancelled", MsgResult::Yes, QDialog::Rejected, "", false},
        {"Yes, write fails", MsgResult::Yes, QDialog::Accepted, "missing/run.htm", false},
        {"Yes, written", MsgResult::Yes, QDialog::Accepted, "cleared.htm", true},
    };
    TCTSMainForm* form = OpenOffline();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form->TestRecords().clear();
        form->TestRecords().push_back(std::make_unique<UCTSTest>(5, UCTSTest::MakeLabel(5, "EDID Read"), 5));
        form->SetReportSaved(false);
        platform::MessageBoxInterceptor boxes(c.answer);
        OptionsAnswer options(dialogs_.reportOptions, c.dialogResult < 0 ? QDialog::Rejected : c.dialogResult,
                              [&](TReportOptions& o) { o.ED_SaveFile->setText(Path(c.name)); });
        form->BTN_ClearTestResultsClick();
        ASSERT_FALSE(boxes.Texts().empty());
        EXPECT_EQ(boxes.Texts()[0], kClearQuestion);
        EXPECT_EQ(options.shown, c.dialogResult < 0 ? 0 : 1);
        EXPECT_EQ(form->TestRecords().empty(), c.clears);
        EXPECT_EQ(form->ReportSaved(), c.clears);
    }
    EXPECT_TRUE(Read(Path(QStringLiteral("cleared.htm"))).contains("EDID Read"));
}

}  // namespace
