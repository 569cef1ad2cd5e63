// The firmware-update dialog running the real pallumo against the simulated
// instrument (success, each failure notice, a killed updater), a stand-in
// updater for the exit codes pallumo cannot be made to give here, and a
// missing updater. The dialog is driven offscreen; its boxes are recorded.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/UpdaterLaunch.h"
#include "support/Probe.h"
#include "support/RuntimeFolder.h"
#include "support/TextFile.h"
#include "support/WaitFor.h"
#include "tests/fwupdater/UpdaterTestSupport.h"

using test_support::Probe;
using namespace updater_test;

namespace {

constexpr int kUpdateDeadlineMs = 120000;

// Sets an environment variable for the life of the object (the updater
// inherits the environment).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

QStringList Lines(const TDPFirmwareUpdate& d) {
    QStringList lines;
    for (int i = 0; i < d.lbTextOut->count(); ++i) lines << d.lbTextOut->item(i)->text();
    return lines;
}

// The processes whose parent is this test program.
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number) continue;
        const std::string stat = test_support::ReadFile("/proc/" + entry.toStdString() + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == ::getpid())
            children.push_back(pid);
    }
    return children;
}

class FirmwareUpdateDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // The updater beside the dialog's program is `binary` (none: no updater).
    std::unique_ptr<TDPFirmwareUpdate> MakeDialog(const char* binary) {
        if (binary) {
            EXPECT_TRUE(QFile::link(binary, folder.filePath("pallumo")));
        }
        auto d = std::make_unique<TDPFirmwareUpdate>(nullptr, folder.filePath("selvitra"));
        d->FileDialogHook = [this](QFileDialog&) { return chosenFile; };
        return d;
    }

    // Prepares the dialog for the port and the file, shows it, clicks
    // "Update..." and returns when the updater's end has been handled.
    void RunUpdate(TDPFirmwareUpdate& d, const std::string& port, const std::string& file) {
        d.Prepare(QString::fromStdString(port));
        ASSERT_EQ(d.cbComPort->currentText().toStdString(), port);
        chosenFile = QString::fromStdString(file);
        ASSERT_TRUE(d.SelectFirmwareFile());
        d.show();
        ASSERT_TRUE(d.btnUpdateFirmware->isEnabled());
        QTest::mouseClick(d.btnUpdateFirmware, Qt::LeftButton);
        ASSERT_TRUE(test_support::WaitFor([&] { return !d.UpdaterRunning(); }, kUpdateDeadlineMs));
        // After the run, the update button waits for a new file or port.
        EXPECT_FALSE(d.btnUpdateFirmware->isEnabled());
        EXPECT_TRUE(d.btnExplore->isEnabled());
        EXPECT_TRUE(d.btnClose->isEnabled());
        EXPECT_TRUE(d.cbComPort->isEnabled());
    }

    std::string PortFile() {
        // A file that exists (so the port list takes it) but is no serial port.
        const QString path = folder.filePath("not-a-port");
        EXPECT_TRUE(test_support::WriteFile(path.toStdString(), ""));
        return path.toStdString();
    }

    QTemporaryDir folder;
    platform::MessageBoxInterceptor boxes;
    QString chosenFile;
};

TEST_F(FirmwareUpdateDialog, ASuccessfulUpdateShowsItsProgressAndTheAttentionBox) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    // At the line's pace, so that the update lasts long enough to be watched.
    sim.loader.SetPacedReceive(true);
    const std::string file = WriteFile("launcher_fw.hex", FirmwareText({{0x10000, 12000}, {0x40000, 300}}));
    const IntelHexDecoder firmware{HexFile{file}};
    ScopedEnv ports("EXTRA_SERIAL_PORTS", sim.instrument.SlavePath());
    auto d = MakeDialog(PALLUMO_BINARY);

    // While the updater runs: the controls that start or end anything are
    // disabled, the dialog refuses to close, the bar shows the progress.
    std::vector<int> progress;
    bool watched = false;
    QObject::connect(d->pbUpdate, &QProgressBar::valueChanged, d.get(), [&](int value) {
        progress.push_back(value);
        if (watched || value < 40 || !d->UpdaterRunning()) return;
        watched = true;
        EXPECT_FALSE(d->btnUpdateFirmware->isEnabled());
        EXPECT_FALSE(d->btnExplore->isEnabled());
        EXPECT_FALSE(d->btnClose->isEnabled());
        EXPECT_FALSE(d->cbComPort->isEnabled());
        EXPECT_TRUE(d->pbUpdate->isVisible());
        EXPECT_EQ(Lines(*d), QStringList{"Update started."});
        d->close();
        QTest::keyClick(d.get(), Qt::Key_Escape);
        EXPECT_TRUE(d->isVisible());
        const QImage shot = d->grab().toImage();
        EXPECT_TRUE(shot.save(QStringLiteral(LAUNCHER_SCREENSHOT_PATH)));
    });

    RunUpdate(*d, sim.instrument.SlavePath(), file);
    EXPECT_TRUE(watched);
    EXPECT_EQ(Lines(*d), QStringList({"Update started.", "Update was successful. Please reset the device."}));
    EXPECT_EQ(d->pbUpdate->value(), 100);
    EXPECT_TRUE(d->pbUpdate->isVisible());
    ASSERT_GE(progress.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Update successful.\nPlease reset the device before continuing.");
    EXPECT_EQ(boxes.Boxes()[0].title, "Attention");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Warning);
    EXPECT_EQ(sim.loader.FlashImage(), ImageBytes(firmware));
    // The dialog closes again once the updater has ended.
    d->close();
    EXPECT_FALSE(d->isVisible());
}

TEST_F(FirmwareUpdateDialog, EachFailureTheUpdaterReportsIsShownAsItsText) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    const std::string good = WriteFile("launcher_good.hex", FirmwareText({{0x10000, 600}}));
    const std::string notPort = PortFile();
    const std::string fifo = folder.filePath("fifo.hex").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string noRecords = WriteFile("launcher_norecords.hex", "no records here\r\n");
    // The checksum of the second record is wrong.
    std::string corruptText = FirmwareText({{0x10000, 64}});
    const size_t second = corruptText.find(":", corruptText.find(":10") + 1);
    corruptText[corruptText.find("\r\n", second) - 1] ^= 1;
    const std::string corrupt = WriteFile("launcher_corrupt.hex", corruptText);
    ScopedEnv ports("EXTRA_SERIAL_PORTS", sim.instrument.SlavePath() + ":" + notPort);
    auto d = MakeDialog(PALLUMO_BINARY);

    struct Case {
        const char* what;
        std::string port;
        std::string file;
        bool removeFile;   // chosen, then gone before "Update..."
        bool refuseErase;  // the instrument refuses the flash erase
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"no serial port", notPort, good, false, false, {"Error: Invalid serial port."}},
        {"file not found",
         sim.instrument.SlavePath(),
         WriteFile("launcher_gone.hex", "x"),
         true,
         false,
         {"Error: File not found."}},
        {"file cannot be opened", sim.instrument.SlavePath(), fifo, false, false, {"Error: File cannot be opened."}},
        {"no records",
         sim.instrument.SlavePath(),
         noRecords,
         false,
         false,
         {"Error: File format is invalid. It's not a valid firmware file."}},
        {"corrupted", sim.instrument.SlavePath(), corrupt, false, false, {"Error: Corrupted file."}},
        {"update failed", sim.instrument.SlavePath(), good, false, true, {"Update started.", "Error: Update failed."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim.loader.Reset();
        sim.loader.ClearFaults();
        if (c.refuseErase) sim.loader.SetFault(sim::LoaderSim::Step::Erase, sim::LoaderSim::Fault::Refuse);
        d->Prepare(QString::fromStdString(c.port));
        chosenFile = QString::fromStdString(c.file);
        ASSERT_TRUE(d->SelectFirmwareFile());
        if (c.removeFile) {
            ASSERT_EQ(std::remove(c.file.c_str()), 0);
        }
        d->show();
        QTest::mouseClick(d->btnUpdateFirmware, Qt::LeftButton);
        ASSERT_TRUE(test_support::WaitFor([&] { return !d->UpdaterRunning(); }, kUpdateDeadlineMs));
        EXPECT_EQ(Lines(*d), c.lines);
        // The updater's exit code -1 adds nothing of its own, and no box.
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(d->pbUpdate->isVisible(), c.refuseErase);
        if (c.refuseErase) {
            EXPECT_EQ(d->pbUpdate->value(), 100);
        }
        EXPECT_TRUE(sim.loader.FlashImage().empty());
    }
    ::unlink(fifo.c_str());
}

TEST_F(FirmwareUpdateDialog, AnUpdaterKilledDuringTheUpdateEndedAbnormally) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    sim.loader.SetPacedReceive(true);
    const std::string file = WriteFile("launcher_killed.hex", FirmwareText({{0x10000, 40000}}));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", sim.instrument.SlavePath());
    auto d = MakeDialog(PALLUMO_BINARY);

    // Killed as soon as the update has started (pallumo ignores the signals
    // that end a program politely).
    bool killed = false;
    QObject::connect(d->pbUpdate, &QProgressBar::valueChanged, d.get(), [&](int value) {
        if (killed || value < 1) return;
        const std::vector<pid_t> children = Children();
        ASSERT_EQ(children.size(), 1u);
        killed = ::kill(children[0], SIGKILL) == 0;
    });
    RunUpdate(*d, sim.instrument.SlavePath(), file);
    EXPECT_TRUE(killed);
    EXPECT_EQ(Lines(*d), QStringList({"Update started.", "Error: pallumo ended abnormally."}));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Children().empty());  // reaped
}

// The stand-in updater posts its notices and ends with a code of our choice.
// Every notice posted before the end comes before what the end shows.
TEST_F(FirmwareUpdateDialog, ExitCodesShowTheirTextsAfterTheNotices) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("fw.hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    ScopedEnv notices("FAKE_UPDATER_NOTICES", "0,0;0,2;0,1;3,30;1,0;2,1;3,77");
    const QStringList noticeLines = {
        "Error: Port used by another application. Please close the other application and try again.",
        "Error: Invalid serial port.", "Error: Device detection failed."};
    auto d = MakeDialog(FAKE_UPDATER_BINARY);

    const struct {
        const char* code;
        QString line;  // after the notices' lines; empty: none
        bool attention;
    } cases[] = {
        {"-11", "Error: pallumo failed to initialize.", false},
        {"-10", "Error: Internal error. System out of resources.", false},
        {"-1", "", false},
        {"-4", "", false},
        {"1", "", false},
        {"0", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        boxes.Clear();
        ScopedEnv exit("FAKE_UPDATER_EXIT", c.code);
        RunUpdate(*d, port, file);
        QStringList want = noticeLines;
        if (!c.line.isEmpty()) want << c.line;
        EXPECT_EQ(Lines(*d), want);
        EXPECT_EQ(d->pbUpdate->value(), 77);
        EXPECT_EQ(boxes.Boxes().size(), c.attention ? 1u : 0u);
        if (c.attention) {
            EXPECT_EQ(boxes.Boxes()[0].title, "Attention");
        }
    }
}

// The updater gets its arguments as a list (the file name with its blanks and
// quotes as one argument), no descriptor of ours, and the null device for
// its standard input, output and error.
TEST_F(FirmwareUpdateDialog, TheUpdaterGetsTheEndpointPortAndFileAndNothingElse) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("new fw \"v2\".hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    const std::string record = folder.filePath("record.txt").toStdString();
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    ScopedEnv recordEnv("FAKE_UPDATER_RECORD", record);
    ScopedEnv exit("FAKE_UPDATER_EXIT", "-1");
    auto d = MakeDialog(FAKE_UPDATER_BINARY);
    RunUpdate(*d, port, file);

    const QString id = QStringLiteral("%1").arg(d->EndpointId(), 8, 16, QChar(u'0')).toUpper();
    ASSERT_EQ(id.size(), 8);
    std::istringstream in(test_support::ReadFile(record));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const std::vector<std::string> want = {"-m",
                                           "PALLUMO." + id.toStdString(),
                                           id.toStdString(),
                                           "-d",
                                           port,
                                           "-f",
                                           file,
                                           "fd 0 -> /dev/null",
                                           "fd 1 -> /dev/null",
                                           "fd 2 -> /dev/null"};
    EXPECT_EQ(lines, want);
}

TEST_F(FirmwareUpdateDialog, WhileTheUpdaterRunsTheDialogCannotBeClosed) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("fw.hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    const std::string gate = folder.filePath("gate").toStdString();
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    ScopedEnv gateEnv("FAKE_UPDATER_GATE", gate);
    ScopedEnv notices("FAKE_UPDATER_NOTICES", "2,0;3,100;2,3");
    ScopedEnv exit("FAKE_UPDATER_EXIT", "0");
    auto d = MakeDialog(FAKE_UPDATER_BINARY);
    d->Prepare(QString::fromStdString(port));
    chosenFile = QString::fromStdString(file);
    ASSERT_TRUE(d->SelectFirmwareFile());
    d->show();
    QTest::mouseClick(d->btnUpdateFirmware, Qt::LeftButton);
    ASSERT_TRUE(d->UpdaterRunning());

    // The window is served while the updater runs: a timer of its own fires.
    bool served = false;
    QTimer::singleShot(20, d.get(), [&] { served = true; });
    ASSERT_TRUE(test_support::WaitFor([&] { return served; }, 10000));
    d->close();
    QTest::keyClick(d.get(), Qt::Key_Escape);
    QTest::mouseClick(d->btnClose, Qt::LeftButton);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->UpdaterRunning());
    for (QWidget* control :
         std::initializer_list<QWidget*>{d->btnUpdateFirmware, d->btnExplore, d->btnClose, d->cbComPort})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();

    ASSERT_TRUE(test_support::WriteFile(gate, ""));
    ASSERT_TRUE(test_support::WaitFor([&] { return !d->UpdaterRunning(); }, kUpdateDeadlineMs));
    EXPECT_EQ(Lines(*d), QStringList({"Update started.", "Update was successful. Please reset the device."}));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    // Choosing the port again clears the view and allows another update.
    d->cbComPort->activated(d->cbComPort->currentIndex());
    EXPECT_TRUE(Lines(*d).isEmpty());
    EXPECT_FALSE(d->pbUpdate->isVisible());
    EXPECT_TRUE(d->btnUpdateFirmware->isEnabled());
    QTest::mouseClick(d->btnClose, Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
}

TEST_F(FirmwareUpdateDialog, AMissingUpdaterIsReportedAtCreationAndAtItsStart) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("fw.hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);

    const QString updater = folder.filePath("pallumo");
    auto d = MakeDialog(nullptr);
    EXPECT_EQ(d->UpdaterPath(), updater);
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{updater.toStdString() + " not found."});

    // Missing (ENOENT 2), then present but not executable (EACCES 13).
    const struct {
        bool present;
        const char* text;
    } cases[] = {{false, "pallumo couldn't be started (error 2)"}, {true, "pallumo couldn't be started (error 13)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        boxes.Clear();
        if (c.present) {
            ASSERT_TRUE(test_support::WriteFile(updater.toStdString(), "#!/bin/sh\nexit 0\n"));
            ASSERT_EQ(::chmod(updater.toStdString().c_str(), 0644), 0);
        }
        d->Prepare(QString::fromStdString(port));
        chosenFile = QString::fromStdString(file);
        ASSERT_TRUE(d->SelectFirmwareFile());
        d->btnUpdateFirmwareClick();
        EXPECT_FALSE(d->UpdaterRunning());
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, c.text);
        EXPECT_EQ(boxes.Boxes()[0].title, "Error");
        EXPECT_TRUE(Lines(*d).isEmpty());
        // Nothing started: everything stays as it was.
        EXPECT_TRUE(d->btnUpdateFirmware->isEnabled());
        EXPECT_TRUE(d->btnClose->isEnabled());
    }
}

TEST_F(FirmwareUpdateDialog, PortAndFileChoiceDecideWhetherTheUpdateCanStart) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("fw.hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    auto d = MakeDialog(FAKE_UPDATER_BINARY);
    EXPECT_TRUE(boxes.Boxes().empty());

    // The caption names the updater's version; the file dialog starts in the
    // program's folder and offers the Intel HEX files first.
    d->Prepare(QString::fromStdString(port));
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Pallumo v" SUITE_PROJECT_VERSION " - Merovan"));
    QString folderShown;
    QStringList filters;
    d->FileDialogHook = [&](QFileDialog& dialog) {
        folderShown = dialog.directory().absolutePath();
        filters = dialog.nameFilters();
        return QString::fromStdString(file);
    };
    ASSERT_TRUE(d->SelectFirmwareFile());
    EXPECT_EQ(folderShown, QFileInfo(folder.path()).absoluteFilePath());
    EXPECT_EQ(filters, QStringList({"Intel HEX file (*.hex)", "All files (*)"}));
    EXPECT_EQ(d->FirmwareFile().toStdString(), file);
    EXPECT_TRUE(d->btnUpdateFirmware->isEnabled());

    // A port name that is not in the list: no port, no update.
    d->Prepare(QStringLiteral("/dev/no-such-port"));
    EXPECT_EQ(d->cbComPort->currentIndex(), -1);
    const int portItem = d->cbComPort->findText(QString::fromStdString(port));
    ASSERT_GE(portItem, 0);
    EXPECT_TRUE(d->FirmwareFile().isEmpty());
    EXPECT_TRUE(d->lblFirmwareFile->text().isEmpty());
    chosenFile = QString::fromStdString(file);
    d->FileDialogHook = [this](QFileDialog&) { return chosenFile; };
    ASSERT_TRUE(d->SelectFirmwareFile());
    EXPECT_FALSE(d->btnUpdateFirmware->isEnabled());
    d->btnUpdateFirmwareClick();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Communication port not selected."});
    // Choosing the port enables the update.
    d->cbComPort->setCurrentIndex(portItem);
    d->cbComPort->activated(portItem);
    EXPECT_TRUE(d->btnUpdateFirmware->isEnabled());

    // Opening the drop-down lists the ports present now; the chosen one
    // stays chosen.
    const QString added = folder.filePath("another-port");
    ASSERT_TRUE(test_support::WriteFile(added.toStdString(), ""));
    {
        ScopedEnv more("EXTRA_SERIAL_PORTS", port + ":" + added.toStdString());
        EXPECT_EQ(d->cbComPort->findText(added), -1);
        d->cbComPort->showPopup();
        d->cbComPort->hidePopup();
        EXPECT_GE(d->cbComPort->findText(added), 0);
        EXPECT_EQ(d->cbComPort->currentText().toStdString(), port);
    }

    // A port but no file.
    boxes.Clear();
    d->Prepare(QString::fromStdString(port));
    EXPECT_FALSE(d->btnUpdateFirmware->isEnabled());
    d->btnUpdateFirmwareClick();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select the firmware file first."});
    EXPECT_EQ(boxes.Boxes()[0].title, "Error");
    EXPECT_FALSE(d->UpdaterRunning());
}

TEST_F(FirmwareUpdateDialog, ExecuteShowsTheDialogOnlyWhenAFileWasChosen) {
    const std::string port = PortFile();
    const std::string file = folder.filePath("fw.hex").toStdString();
    ASSERT_TRUE(test_support::WriteFile(file, ":00000001FF\n"));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    auto d = MakeDialog(FAKE_UPDATER_BINARY);

    // Cancelled file dialog: Execute returns without showing the dialog.
    int shown = 0;
    QTimer guard;  // never hang on a dialog left open
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() == d.get()) {
            ++shown;
            QTest::mouseClick(d->btnClose, Qt::LeftButton);
        }
    });
    chosenFile.clear();
    guard.start(200);
    d->Execute(QString::fromStdString(port));
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(d->isVisible());

    // A chosen file: the dialog runs modally with the port and the file set,
    // and Execute returns once it is closed.
    chosenFile = QString::fromStdString(file);
    bool ready = false;
    QTimer::singleShot(0, [&] {
        if (QApplication::activeModalWidget() != d.get()) return;
        ready = d->cbComPort->currentText().toStdString() == port && d->FirmwareFile().toStdString() == file &&
                d->btnUpdateFirmware->isEnabled() && !d->pbUpdate->isVisible();
        QTest::mouseClick(d->btnClose, Qt::LeftButton);
    });
    guard.start(20000);
    d->Execute(QString::fromStdString(port));
    EXPECT_TRUE(ready);
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace

// "Update Firmware" asks for the file before the dialog shows: the file
// dialog opens centred on the main window (moved into the screen as far as
// needed), wherever the main window is, not at the screen's corner.
TEST_F(FirmwareUpdateDialog, TheFileDialogOpensCentredOnTheMainWindow) {
    QWidget mainWindow;
    mainWindow.resize(500, 380);
    ASSERT_TRUE(QFile::link(FAKE_UPDATER_BINARY, folder.filePath("pallumo")));
    // As the program makes it; no hook: the real file dialog, answered from a timer.
    auto d = std::make_unique<TDPFirmwareUpdate>(&mainWindow, folder.filePath("selvitra"));
    // Off the screen's centre (the offscreen screen is 800 x 600) and away
    // from the corner.
    for (const QPoint at : {QPoint(250, 200), QPoint(20, 30)}) {
        SCOPED_TRACE(at.x());
        mainWindow.move(at);
        mainWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
        std::optional<QRect> shown;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            shown = dialog->frameGeometry();
            dialog->reject();
        });
        answer.start(10);
        d->Execute(QString());
        answer.stop();
        ASSERT_TRUE(shown.has_value());
        const QRect screen = mainWindow.screen()->availableGeometry();
        QPoint expected = mainWindow.frameGeometry().center() - QPoint(shown->width() / 2, shown->height() / 2);
        expected.setX(std::max(screen.left(), std::min(expected.x(), screen.right() + 1 - shown->width())));
        expected.setY(std::max(screen.top(), std::min(expected.y(), screen.bottom() + 1 - shown->height())));
        const QPoint offset = shown->topLeft() - expected;
        EXPECT_LE(std::abs(offset.x()), 3) << offset.x();
        EXPECT_LE(std::abs(offset.y()), 3) << offset.y();
        EXPECT_FALSE(d->isVisible()) << "no file chosen: the dialog does not show";
    }
}

// A session that used the dialog, its updater run included, leaves nothing
// in the runtime folder once the dialog has gone, the message folder included.
TEST_F(FirmwareUpdateDialog, ItsEndLeavesNothingInTheRuntimeFolder) {
    test_support::ScopedRuntimeFolder runtime;
    ASSERT_TRUE(runtime.Valid());
    const std::string port = PortFile();
    const std::string file = WriteFile("launcher_session.hex", FirmwareText({{0x10000, 64}}));
    ScopedEnv ports("EXTRA_SERIAL_PORTS", port);
    auto d = MakeDialog(PALLUMO_BINARY);
    RunUpdate(*d, port, file);
    // The updater's notice came through the dialog's endpoint.
    EXPECT_EQ(Lines(*d), QStringList{"Error: Invalid serial port."});
    EXPECT_TRUE(std::filesystem::is_directory(runtime.Messages()));
    d->close();
    d.reset();
    EXPECT_FALSE(std::filesystem::exists(runtime.Messages())) << ::testing::PrintToString(runtime.Left());
}

// The dialog is made when the program starts, and takes away what dialogs of
// programs killed outright left: their "PALLUMO." folders with sockets nobody
// serves. A live dialog's endpoint and other names stay.
TEST_F(FirmwareUpdateDialog, ItsCreationRemovesTheEndpointsOfKilledDialogs) {
    test_support::ScopedRuntimeFolder runtime;
    ASSERT_TRUE(runtime.Valid());
    auto serve = [](const std::string& name, const std::string& id) {
        const pid_t pid = test_support::StartRuntimeFolderHelper({"endpoint", name, id});
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(
            WaitUntil([&] { return platform::PostEndpointMessage(name, std::stoul(id, nullptr, 16), 0, 0); }, 20000));
        return pid;
    };
    test_support::KillOutright(serve("PALLUMO.0000A001", "0000A001"));
    test_support::KillOutright(serve("PALLUMO.x", "00000002"));  // not a dialog's name
    const pid_t live = serve("PALLUMO.0000B001", "0000B001");

    auto d = MakeDialog(FAKE_UPDATER_BINARY);
    const std::vector<std::string> others = {"PALLUMO.0000B001", "PALLUMO.0000B001/0000B001", "PALLUMO.x",
                                             "PALLUMO.x/00000002"};
    EXPECT_EQ(runtime.Left(), others);
    test_support::KillOutright(live);

    // The dialog's own endpoint, made for its first run, goes with the dialog.
    d->Prepare(QString());
    const std::string own = selvitra::UpdaterMessageName(d->EndpointId()).toStdString();
    EXPECT_TRUE(platform::PostEndpointMessage(own, d->EndpointId(), 0, 0));
    d.reset();
    EXPECT_EQ(runtime.Left(), others);
}
