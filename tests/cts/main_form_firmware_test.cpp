// "Firmware Update ..." against the simulated instrument and its loader
// side: the version check with its retries and its order of texts, the
// update from a HEX file chosen in the (hooked) file dialog, a refused and
// an unreadable update, and the window's state afterwards.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "MainFormFixture.h"
#include "cts/dialogs/TFirmwareUpdate.h"
#include "link/FirmwareUpdate.h"
#include "link/IntelHexDecoder.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/FileDialog.h"
#include "platform/gui/MessageList.h"
#include "sim/LoaderSim.h"
#include "support/DesktopHooks.h"
#include "support/HexRecord.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

namespace {

using cts_test::MainFormFixture;
using sim::LoaderSim;

constexpr uint8_t kVersion = 0x1C;
constexpr uint8_t kDpcdRead = 0x1A;
constexpr int kUpdateMs = 60000;

// 1,200 bytes at 0x10000.
std::string FirmwareText() {
    std::string text = test_hex::Record(2, 0, {0x10, 0x00});
    for (uint16_t pos = 0; pos < 1200; pos += 16) {
        std::vector<uint8_t> d;
        for (int i = 0; i < 16; ++i) d.push_back(static_cast<uint8_t>(pos * 5 + i));
        text += test_hex::Record(0, pos, d);
    }
    return text + ":00000001FF\n";
}

// Counts the times a widget was enabled or disabled.
class EnabledChanges : public QObject {
public:
    explicit EnabledChanges(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) ++count;
        return false;
    }
};

class FirmwareUpdate : public test_support::DesktopHookFixture<MainFormFixture> {
protected:
    void SetUp() override {
        DesktopHookFixture::SetUp();
        sim_.SetExtension(&loader_);
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        DesktopHookFixture::TearDown();
        sim_.SetExtension(nullptr);
    }

    // A HEX file in the temporary folder; its name holds characters from
    // outside any 8-bit code page.
    QString WriteFile(const std::string& contents,
                      const QString& name = QStringLiteral("Firmware \u00FC\u03BB\u4E2D.hex")) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(test_support::WriteFile(path.toStdString(), contents));
        return path;
    }

    // Opens "Firmware Update ..." and runs `body` while the modal dialog is
    // up; ends the dialog with Cancel unless the body ended it. False when
    // no dialog came up.
    bool RunDialog(const std::function<void(TFirmwareUpdate*)>& body) {
        TFirmwareUpdate* dialog = dialogs_.firmware;
        bool ran = false;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != dialog) return;
            timer.stop();
            ran = true;
            body(dialog);
            if (!dialog->isVisible()) return;
            if (!WaitFor([&] { return !dialog->Busy(); }, kUpdateMs)) {
                ADD_FAILURE() << "the dialog stayed busy";
                dialog->SetBusy(false);
            }
            dialog->BTN_CancelClick();
        });
        timer.start();
        form_->MENU_FirmwareUpdate->trigger();
        timer.stop();
        return ran;
    }

    bool StatusListHas(const QString& line) const {
        for (int i = 0; i < form_->LB_StatusLines->count(); ++i)
            if (form_->LB_StatusLines->item(i)->text() == line) return true;
        return false;
    }
    static bool Shown(QWidget* w) { return w->isVisibleTo(w->window()); }

    QTemporaryDir dir_;
    LoaderSim loader_;
    platform::MessageBoxInterceptor boxes_;
};

// The version characters are the instrument's 8-bit text, read as Windows-1252.
TEST_F(FirmwareUpdate, VersionCheckShowsEightBitCharactersAsWindows1252) {
    OpenConnected();
    sim_.SetFirmwareVersion("\x92\x96\xE9");
    const QString expected = QString::fromUtf8("V\u2019.\u2013.\u00E9");
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == expected; }))
            << d->ED_VersionInfo->text().toStdString();
    }));
}

TEST_F(FirmwareUpdate, VersionCheckRetriesUpToFourQueriesAndKeepsTheVersion) {
    TCTSMainForm* form = OpenConnected();
    sim_.SetFirmwareVersion("352");
    const struct {
        int refusals;  // -1: every query
        const char* text;
        size_t queries;
        const char* kept;
    } cases[] = {
        {0, "V3.5.2", 1, "352"},
        {2, "V3.5.2", 3, "352"},
        {3, "V3.5.2", 4, "352"},
        {-1, "<query error>", 4, "341"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + std::string(" after ") + std::to_string(c.refusals));
        // The version of the connection until a check succeeds.
        form->StoreFirmwareVersion({'3', '4', '1'});
        sim_.ClearReceived();
        if (c.refusals != 0) sim_.SetFault(kVersion, {sim::Fault::Refuse, 0, c.refusals});
        ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
            QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
            EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == QString::fromLatin1(c.text); }))
                << d->ED_VersionInfo->text().toStdString();
        }));
        sim_.ClearFaults();
        EXPECT_EQ(sim_.CountReceived(kVersion), c.queries);
        const std::array<uint8_t, 3> kept = {static_cast<uint8_t>(c.kept[0]), static_cast<uint8_t>(c.kept[1]),
                                             static_cast<uint8_t>(c.kept[2])};
        EXPECT_EQ(form->VersionCharacters(), kept);
        EXPECT_TRUE(form->VersionKnown());
    }
}

// "<Please wait>" shows while the query is out; an outcome that comes
// inside the click (a busy link) is not overwritten by it.
TEST_F(FirmwareUpdate, PleaseWaitComesBeforeTheOutcomeNeverAfterIt) {
    OpenConnected();
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        sim_.SetFault(kVersion, {sim::Fault::Delay, 300, 1});
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        EXPECT_EQ(d->ED_VersionInfo->text(), QStringLiteral("<Please wait>"));
        EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == QStringLiteral("V3.4.1"); }))
            << d->ED_VersionInfo->text().toStdString();

        // The link busy with a slow DPCD read: every query ends at once.
        sim_.ClearReceived();
        sim_.SetFault(kDpcdRead, {sim::Fault::Delay, 500, 1});
        uint8_t value = 0;
        bool readDone = false;
        form_->Link()->ReadDpcd(&value, 2, [&](LinkResult) { readDone = true; });
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        EXPECT_EQ(d->ED_VersionInfo->text(), QStringLiteral("<query error>"));
        ASSERT_TRUE(WaitFor([&] { return readDone; }));
        EXPECT_EQ(sim_.CountReceived(kVersion), 0u);
    }));
}

// While the version query waits for its reply, neither a second check nor an
// update can go out to meet the busy link: both buttons are disabled until
// the reply has come.
TEST_F(FirmwareUpdate, WhileTheVersionQueryIsOutNoOtherRequestGoesOut) {
    OpenConnected();
    const QString file = WriteFile(FirmwareText());
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        d->ED_HexFile->setText(file);
        ASSERT_TRUE(d->BTN_Upgrade->isEnabled());
        sim_.ClearReceived();
        sim_.SetFault(kVersion, {sim::Fault::Hold, 0, 1});
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
        EXPECT_FALSE(d->BTN_CheckVer->isEnabled());
        EXPECT_FALSE(d->BTN_Upgrade->isEnabled());
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        EXPECT_EQ(d->ED_VersionInfo->text(), QStringLiteral("<Please wait>"));
        sim_.ReleaseHeld();
        EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == QStringLiteral("V3.4.1"); }))
            << d->ED_VersionInfo->text().toStdString();
        EXPECT_TRUE(d->BTN_CheckVer->isEnabled());
        EXPECT_TRUE(d->BTN_Upgrade->isEnabled());
    }));
    EXPECT_EQ(sim_.CountReceived(kVersion), 1u);
    EXPECT_TRUE(boxes_.Texts().empty()) << boxes_.Texts().front();
}

// The dialog opened while the connection sequence (at start-up, or after
// "Try Connection") waits for its version reply: "Check Running Version" and
// "Upgrade" wait for the sequence, and work once the pages are open.
class FirmwareDialogDuringTheSequence : public FirmwareUpdate, public ::testing::WithParamInterface<bool> {};

TEST_P(FirmwareDialogDuringTheSequence, ItsButtonsWaitForTheSequence) {
    const bool tryConnection = GetParam();
    const QString file = WriteFile(FirmwareText());
    if (tryConnection) {
        OpenConnected();
        form_->DisconnectCOM1->trigger();
    }
    sim_.ClearReceived();
    sim_.SetFault(kVersion, {sim::Fault::Hold, 0, 1});
    if (tryConnection) QTest::mouseClick(form_->BTN_TryConnection, Qt::LeftButton);
    else Open();
    ASSERT_TRUE(WaitFor([&] { return sim_.HeldCount() == 1; }));
    size_t bySequence = 0;
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        d->ED_HexFile->setText(file);
        EXPECT_FALSE(d->BTN_CheckVer->isEnabled());
        EXPECT_FALSE(d->BTN_Upgrade->isEnabled());
        const QString shown = d->ED_VersionInfo->text();
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        EXPECT_EQ(d->ED_VersionInfo->text(), shown);
        sim_.ReleaseHeld();
        ASSERT_TRUE(WaitFor([&] { return d->BTN_CheckVer->isEnabled(); }));
        EXPECT_TRUE(form_->TC_Pages->isVisible()) << "the buttons wait until the pages are open";
        EXPECT_TRUE(d->BTN_Upgrade->isEnabled());
        // The sequence's queries: one, or more where a loaded machine let the
        // held one reach its 500 ms time-out before the release (the sequence
        // then asks again, up to four times).
        bySequence = sim_.CountReceived(kVersion);
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == QStringLiteral("V3.4.1"); }))
            << d->ED_VersionInfo->text().toStdString();
    }));
    EXPECT_GE(bySequence, 1u);
    EXPECT_LE(bySequence, 4u);
    EXPECT_EQ(sim_.CountReceived(kVersion), bySequence + 1) << "the sequence's queries and the dialog's one";
    EXPECT_TRUE(boxes_.Texts().empty()) << boxes_.Texts().front();
}

INSTANTIATE_TEST_SUITE_P(StartUpAndTryConnection, FirmwareDialogDuringTheSequence, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "TryConnection" : "StartUp"; });

TEST_F(FirmwareUpdate, UpdateFromTheChosenFileLeavesTheWindowConnected) {
    TCTSMainForm* form = OpenConnected();
    MV_Comm* link = form->Link();
    const QString file = WriteFile(FirmwareText());
    const uint32_t total = firmware_update::DecodeRamLoader()->TotalBytes() + 1200;
    const int maximum = TFirmwareUpdate::ScaleFor(total).maximum;
    std::vector<int> positions;

    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        AnswerFileDialogs(file);
        QTest::mouseClick(d->BTN_BrowseHex, Qt::LeftButton);
        ASSERT_EQ(d->ED_HexFile->text(), file);
        ASSERT_TRUE(d->BTN_Upgrade->isEnabled());
        const auto moves = QObject::connect(d->PB_UpdateProcess, &QProgressBar::valueChanged,
                                            [&](int value) { positions.push_back(value); });

        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        // The link announced the total inside the click: busy, the bar shown.
        EXPECT_TRUE(d->Busy());
        EXPECT_FALSE(d->isEnabled());
        EXPECT_TRUE(Shown(d->PB_UpdateProcess));
        EXPECT_EQ(d->PB_UpdateProcess->maximum(), maximum);
        d->close();
        EXPECT_TRUE(d->isVisible());

        ASSERT_TRUE(WaitFor([&] { return !d->Busy(); }, kUpdateMs));
        QObject::disconnect(moves);
        EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Completed succesfully"});
        EXPECT_TRUE(d->isEnabled());
        EXPECT_FALSE(Shown(d->PB_UpdateProcess));
        EXPECT_TRUE(Shown(d->BTN_Close));
        EXPECT_FALSE(Shown(d->BTN_Upgrade));
        EXPECT_FALSE(Shown(d->BTN_Cancel));
        QTest::mouseClick(d->BTN_Close, Qt::LeftButton);
    }));
    EXPECT_EQ(dialogs_.firmware->result(), QDialog::Accepted);

    // The firmware arrived whole, the bar went to its end.
    IntelHexDecoder firmware{std::string_view(FirmwareText())};
    std::map<uint32_t, uint8_t> expected;
    for (const auto& s : firmware.Segments())
        for (uint32_t i = 0; i < s.size(); ++i) expected[s.startAddress + i] = s.data[i];
    EXPECT_EQ(loader_.FlashImage(), expected);
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), maximum);
    EXPECT_TRUE(StatusListHas(QStringLiteral("> Firmware update completed succesfully. Reset target.")));

    // Still connected on the same link, which serves requests again.
    EXPECT_EQ(form->Link(), link);
    EXPECT_TRUE(form->TC_Pages->isVisible());
    EXPECT_TRUE(form->MENU_DPCDAccess->isEnabled());
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        EXPECT_TRUE(Shown(d->BTN_Upgrade));
        EXPECT_TRUE(Shown(d->BTN_Cancel));
        EXPECT_FALSE(Shown(d->BTN_Close));
        EXPECT_EQ(d->ED_HexFile->text(), file);
        QTest::mouseClick(d->BTN_CheckVer, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] { return d->ED_VersionInfo->text() == QStringLiteral("V3.4.1"); }));
    }));
}

TEST_F(FirmwareUpdate, RefusedUpdateOffersUpgradeAndCancelAgain) {
    OpenConnected();
    const QString file = WriteFile(FirmwareText(), QStringLiteral("fw.HEX"));
    loader_.SetFault(LoaderSim::Step::FlashWrite, LoaderSim::Fault::Refuse, 1);
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        d->ED_HexFile->setText(file);
        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        EXPECT_TRUE(d->Busy());
        ASSERT_TRUE(WaitFor([&] { return !d->Busy(); }, kUpdateMs));
        EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Upgrade Failed..."});
        EXPECT_FALSE(Shown(d->PB_UpdateProcess));
        EXPECT_TRUE(Shown(d->BTN_Upgrade));
        EXPECT_TRUE(Shown(d->BTN_Cancel));
        EXPECT_FALSE(Shown(d->BTN_Close));
        EXPECT_TRUE(d->BTN_Upgrade->isEnabled());
        EXPECT_TRUE(d->BTN_Cancel->isEnabled());
    }));
    EXPECT_EQ(dialogs_.firmware->result(), QDialog::Rejected);
    EXPECT_TRUE(StatusListHas(QStringLiteral("> FlashWrite failed at Segment 0, Write Offset $1f4")));
    EXPECT_EQ(loader_.FlashBlocks().size(), 1u);
    EXPECT_TRUE(form_->TC_Pages->isVisible());
}

// A file that does not decode fails before the link announces a total: the
// link's box, then "Upgrade Failed...", and the dialog never turned busy.
TEST_F(FirmwareUpdate, UnreadableFileFailsWithoutTheDialogTurningBusy) {
    OpenConnected();
    const QString file = WriteFile("this is no Intel HEX text\n");
    EnabledChanges changes(dialogs_.firmware);
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        d->ED_HexFile->setText(file);
        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        EXPECT_FALSE(d->Busy());
    }));
    const auto texts = boxes_.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind("Flash HEX File read failed with error message: '", 0), 0u) << texts[0];
    EXPECT_EQ(texts[1], "Upgrade Failed...");
    EXPECT_EQ(changes.count, 0);
    EXPECT_TRUE(loader_.Log().empty());
}

// A FIFO or an endless device chosen as the firmware file is refused in the
// dialog's message line, naming it, and "Upgrade" stays disabled; a file
// that turns into a FIFO after it was chosen is refused by the link without
// opening it (its box, then "Upgrade Failed..."). Nothing is sent.
TEST_F(FirmwareUpdate, AFileThatIsNoRegularFileIsRefusedAloud) {
    OpenConnected();
    test_support::TrapFifo fifo(dir_.filePath(QStringLiteral("fifo.hex")).toStdString());
    ASSERT_TRUE(fifo.Made());
    const QString fifoName = QString::fromStdString(fifo.Path().string());
    const auto refusal = [](const QString& name) {
        return QStringLiteral("Cannot open file \"") + name + QStringLiteral("\". Not a regular file");
    };
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        for (const QString& name : {fifoName, QStringLiteral("/dev/zero")}) {
            SCOPED_TRACE(name.toStdString());
            AnswerFileDialogs(name);
            QTest::mouseClick(d->BTN_BrowseHex, Qt::LeftButton);
            EXPECT_EQ(d->ED_HexFile->text(), name);
            EXPECT_EQ(d->LBL_Message->text(), refusal(name));
            EXPECT_TRUE(Shown(d->LBL_Message));
            EXPECT_FALSE(d->BTN_Upgrade->isEnabled());
        }
        // A regular file clears the line.
        const QString file = WriteFile(FirmwareText(), QStringLiteral("later.hex"));
        d->ED_HexFile->setText(file);
        EXPECT_EQ(d->LBL_Message->text(), QString());
        ASSERT_TRUE(d->BTN_Upgrade->isEnabled());
        // ... and one replaced by a FIFO after it was chosen.
        ASSERT_TRUE(QFile::remove(file));
        test_support::TrapFifo late(file.toStdString());
        ASSERT_TRUE(late.Made());
        QTest::mouseClick(d->BTN_Upgrade, Qt::LeftButton);
        EXPECT_FALSE(d->Busy());
        EXPECT_FALSE(late.Released()) << "the link opened the FIFO";
        EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{"Flash HEX File read failed with error message: '" +
                                                                refusal(file).toStdString() + "'.",
                                                            "Upgrade Failed..."}));
    }));
    EXPECT_FALSE(fifo.Released()) << "the dialog opened the FIFO";
    EXPECT_TRUE(loader_.Log().empty());
}

TEST_F(FirmwareUpdate, CancelledFileDialogKeepsTheNameAndNothingIsSent) {
    OpenConnected();
    AnswerFileDialogs(QString());
    ASSERT_TRUE(RunDialog([&](TFirmwareUpdate* d) {
        d->ED_HexFile->setText(QStringLiteral("/nowhere/fw.hex"));
        QTest::mouseClick(d->BTN_BrowseHex, Qt::LeftButton);
        EXPECT_EQ(d->ED_HexFile->text(), QStringLiteral("/nowhere/fw.hex"));
        EXPECT_FALSE(d->BTN_Upgrade->isEnabled());
    }));
    EXPECT_EQ(fileDialogs_.size(), 1u);
    EXPECT_TRUE(loader_.Log().empty());
    EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(FirmwareUpdate, WithoutALinkTheMenuDoesNothing) {
    TCTSMainForm* form = OpenConnected();
    form->DisconnectCOM1->trigger();
    ASSERT_EQ(form->Link(), nullptr);
    EXPECT_FALSE(RunDialog([](TFirmwareUpdate*) {}));
    EXPECT_FALSE(dialogs_.firmware->isVisible());
}

}  // namespace
