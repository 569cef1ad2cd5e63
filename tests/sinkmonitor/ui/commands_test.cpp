// The commands of the main window against the simulated sink: what each shows
// and sends, its failure, and the refusals of bad input.
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include "SelvitraFixture.h"
#include "platform/GuiCall.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "support/WaitUntil.h"

namespace selvitra_test {
namespace {

using State = platform::Lamp::State;

TEST_F(SelvitraTest, LinkStatusShowsLampsLevelsAndCounters) {
    // Lane 0 all three, lane 1 clock recovery only, lane 2 symbol lock, lane 3 none.
    sim.SetLinkStatus({0x17, 0x04, 0, 1, 2, 3, 0, 1, 2, 3, 2, 8, 5, 0});
    sim.SetErrorCounts({0x0001, 0x00AB, 0x1234, 0xFFFF});
    OpenConnected();
    Click("btnUpdateLinkStatus");
    EXPECT_EQ(Lamp("shCR0"), State::On);
    EXPECT_EQ(Lamp("shCE0"), State::On);
    EXPECT_EQ(Lamp("shSL0"), State::On);
    EXPECT_EQ(Lamp("shCR1"), State::On);
    EXPECT_EQ(Lamp("shCE1"), State::Off);
    EXPECT_EQ(Lamp("shSL1"), State::Off);
    EXPECT_EQ(Lamp("shCR2"), State::Off);
    EXPECT_EQ(Lamp("shSL2"), State::On);
    EXPECT_EQ(Lamp("shCR3"), State::Off);
    const char* swings[] = {"400", "600", "800", "1200"};
    const char* emphases[] = {"0", "3.5", "6.0", "9.5"};
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(Text(("lblVS" + std::to_string(lane)).c_str()), swings[lane]);
        EXPECT_EQ(Text(("lblPRE" + std::to_string(lane)).c_str()), emphases[lane]);
    }
    EXPECT_EQ(Text("lblLSLaneCount"), "2");
    EXPECT_EQ(Text("lblLSBitRate"), "BAD (8)");
    EXPECT_EQ(Text("lblLSFramingMode"), "Auto");
    // A 14-byte status leaves the scrambling byte at 0xFF.
    EXPECT_EQ(Text("lblLSScrambling"), "N/A");
    EXPECT_EQ(Text("lblErrCnt0"), "0001");
    EXPECT_EQ(Text("lblErrCnt1"), "00AB");
    EXPECT_EQ(Text("lblErrCnt2"), "1234");
    EXPECT_EQ(Text("lblErrCnt3"), "FFFF");
    EXPECT_EQ(Messages(), (QStringList{"Updating link status...", "Command successful.", "Updating error count...",
                                       "Command successful."}));

    window->lbTextOut->clear();
    Click("btnClearLinkErrors");
    EXPECT_EQ(Messages(), (QStringList{"Resetting error counters...", "Command successful."}));
    EXPECT_EQ(sim.ErrorCounts(), (std::array<uint16_t, 4>{0, 0, 0, 0}));
}

TEST_F(SelvitraTest, AFailedCommandLeavesTheLabelsAndLogsTheReason) {
    OpenConnected();
    sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Nack, 0x2A));
    Click("btnUpdateVideoCRC");
    EXPECT_EQ(Text("lblVCRCRed"), "N/A");
    EXPECT_EQ(Messages(),
              (QStringList{"Updating video CRC...", "Error: Device reported a corrupted or unknown packet (NACK)."}));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SelvitraTest, VideoCrcShowsFourDigitsOrNotAvailableForZeros) {
    OpenConnected();
    Click("btnUpdateVideoCRC");
    EXPECT_EQ(Text("lblVCRCRed"), "1234");
    EXPECT_EQ(Text("lblVCRCGreen"), "5678");
    EXPECT_EQ(Text("lblVCRCBlue"), "9ABC");
    sim.SetVideoCrc(0, 0, 0);
    Click("btnUpdateVideoCRC");
    EXPECT_EQ(Text("lblVCRCRed"), "N/A");
    EXPECT_EQ(Text("lblVCRCBlue"), "N/A");
}

TEST_F(SelvitraTest, SinkCapabilitiesAreSentAndTheLinkStatusRead) {
    OpenConnected();
    Control<QRadioButton>("rb4Lanes")->setChecked(true);
    Control<QRadioButton>("rbHigh")->setChecked(true);
    Control<QRadioButton>("rbFramingEnhanced")->setChecked(true);
    Click("btnSetSinkCapabilities");
    EXPECT_EQ(sim.SinkCapabilities(), (std::array<uint8_t, 3>{4, 10, 0x80}));
    EXPECT_EQ(Messages().value(0), "Setting sink capabilities...");
    EXPECT_EQ(Messages().value(2), "Updating link status...");
    EXPECT_EQ(Text("lblLSBitRate"), "5.40");
}

TEST_F(SelvitraTest, HpdPulseChecksItsDuration) {
    OpenConnected();
    auto* edit = Control<QLineEdit>("edtHPDDuration");
    struct Case {
        const char* text;
        const char* title;  // nullptr: sent
        const char* after;  // the edit's text afterwards
    };
    const Case cases[] = {{"12x", "Invalid numeric value", "1000"},
                          // Digits of other scripts are no decimal digits.
                          {"\uFF11\uFF10\uFF10", "Invalid numeric value", "1000"},
                          {"\u0661\u0660", "Invalid numeric value", "1000"},
                          {"65535", "Value exceeds limits", "65535"},
                          {"0", "Value exceeds limits", "0"},
                          {"65534", nullptr, "65534"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        boxes.Clear();
        edit->setText(c.text);
        Click("btnPulseHPD");
        EXPECT_EQ(edit->text(), c.after);
        if (c.title) {
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(boxes.Boxes()[0].text, "Please give an integer between 1-65534.");
            EXPECT_EQ(boxes.Boxes()[0].title, c.title);
        } else {
            EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
        }
    }
    EXPECT_EQ(sim.HpdPulses(), (std::vector<uint16_t>{65534}));
}

TEST_F(SelvitraTest, AuxOutputLevelSendsTheCheckedLevelsCode) {
    OpenConnected();
    const std::pair<const char*, uint8_t> levels[] = {{"rbAUXL200", 0x16}, {"rbAUXL270", 0x1D}, {"rbAUXL400", 0x2A},
                                                      {"rbAUXL600", 0x3E}, {"rbAUXL800", 0x52}, {"rbAUXL1200", 0x79}};
    for (const auto& [name, code] : levels) {
        Control<QRadioButton>(name)->setChecked(true);
        Click("btnSetAUXChannelOutputLevel");
        EXPECT_EQ(sim.AuxOutputLevel(), code) << name;
    }
    EXPECT_EQ(Messages().count("Command successful."), 6);
}

TEST_F(SelvitraTest, AuxSensitivityTestWalksDownToTheStopLevel) {
    sim.SetAuxThreshold(50);
    OpenConnected();
    Click("btnAUXTest");
    // The levels run in turns of the event loop of their own; meanwhile the
    // main window is disabled and takes no other command.
    EXPECT_FALSE(window->isEnabled());
    EXPECT_TRUE(progress->isVisible());
    const size_t crcQueries = sim.CommandCount(0x2A);
    Click("btnUpdateVideoCRC");
    ASSERT_TRUE(WaitFor([&] { return Messages().last() == "Test finished."; })) << Boxes();
    EXPECT_EQ(sim.CommandCount(0x2A), crcQueries);
    EXPECT_EQ(sim.AuxSteps(), (std::vector<uint16_t>{1000, 900, 800, 700, 600, 500, 400, 300, 200, 100, 50}));
    const QStringList lines = window->tbsVarious->lbAUXTest->AllLines().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "Testing 1000 mVpp... OK");
    EXPECT_EQ(lines[10], "Testing 50 mVpp... OK");
    EXPECT_EQ(lines[11], "Test finished.");
    // The progress window filled its bar and is gone; the window is usable.
    EXPECT_EQ(progress->pbProgress->maximum(), 11);
    EXPECT_EQ(progress->pbProgress->value(), 11);
    EXPECT_EQ(progress->lbProgress->count(), 11);
    EXPECT_EQ(progress->lblProgress->text(), "AUX channel sensitivity test in progress. Please wait...");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(Messages().last(), "Test finished.");
    // The progress window was owned by the main window.
    ASSERT_NE(progress->windowHandle(), nullptr);
    EXPECT_EQ(progress->windowHandle()->transientParent(), window->windowHandle());
}

// A box that names no title, such as the missing updater's, bears the
// program's caption and sits on the main window.
TEST_F(SelvitraTest, TheMissingUpdatersBoxBearsTheProgramsTitle) {
    TfrmMain& main = Open();
    boxes.Clear();
    const QString program = QString::fromStdString((config / "bin" / "selvitra").string());
    TDPFirmwareUpdate dialog(&main, program);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, (config / "bin" / "pallumo").string() + " not found.");
    EXPECT_EQ(boxes.Boxes()[0].title, main.windowTitle().toStdString());
    EXPECT_EQ(boxes.Boxes()[0].owner, &main);
    EXPECT_EQ(dialog.parentWidget(), &main);
}

TEST_F(SelvitraTest, AuxSensitivityTestEndsAtTheFirstFailingLevel) {
    sim.SetAuxThreshold(450);
    OpenConnected();
    Control<QLineEdit>("edtASTStart")->setText("600");
    Control<QLineEdit>("edtASTStop")->setText("100");
    Control<QRadioButton>("rbDecr50")->setChecked(true);
    Click("btnAUXTest");
    ASSERT_TRUE(WaitFor([&] { return Messages().last() == "Test finished."; })) << Boxes();
    const QStringList lines = window->tbsVarious->lbAUXTest->AllLines().split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{"Testing 600 mVpp... OK", "Testing 550 mVpp... OK", "Testing 500 mVpp... OK",
                                  "Testing 450 mVpp... OK", "Testing 400 mVpp... FAILED", "Test finished."}));
    EXPECT_EQ(progress->pbProgress->maximum(), 11);
}

TEST_F(SelvitraTest, AuxSensitivityTestEndsAtAFailedCommandWithoutClosingLines) {
    OpenConnected();
    sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Nack, 0x38));
    Click("btnAUXTest");
    ASSERT_TRUE(WaitFor([&] { return window->isEnabled(); }));
    EXPECT_EQ(window->tbsVarious->lbAUXTest->AllLines(), "Testing 1000 mVpp... FAILED\n");
    EXPECT_EQ(progress->lbProgress->AllLines(), "Testing 1000 mVpp... FAILED\n");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(Messages().contains("Test finished."));
    EXPECT_EQ(sim.AuxSteps(), (std::vector<uint16_t>{1000}));
}

TEST_F(SelvitraTest, AuxSensitivityTestPendingWhenTheWindowsCloseIsDropped) {
    OpenConnected();
    Click("btnAUXTest");
    ASSERT_TRUE(progress->isVisible());
    progress.reset();
    window.reset();
    // Whatever the test had posted runs now and finds its window gone.
    EXPECT_TRUE(WaitFor([] { return platform::GuiCallsAndPostsWaiting() == 0; }));
    QTest::qWait(0);  // one more turn for what those calls posted; an absence, so no condition
    EXPECT_TRUE(sim.AuxSteps().empty());
}

TEST_F(SelvitraTest, AuxSensitivityTestRefusesBadLimits) {
    OpenConnected();
    struct Case {
        const char* start;
        const char* stop;
        const char* box;
    };
    const Case cases[] = {{"1300", "50", "Start and stop values must be positive integers between 30 and 1200."},
                          {"1000", "20", "Start and stop values must be positive integers between 30 and 1200."},
                          {"100", "200", "Start value must be greater than or equal to stop value."}};
    for (const auto& c : cases) {
        boxes.Clear();
        window->lbTextOut->clear();
        Control<QLineEdit>("edtASTStart")->setText(c.start);
        Control<QLineEdit>("edtASTStop")->setText(c.stop);
        Click("btnAUXTest");
        ASSERT_EQ(boxes.Texts().size(), 1u);
        EXPECT_EQ(boxes.Texts()[0], c.box);
        EXPECT_EQ(Messages().last(), "Test couldn't be started.");
    }
    EXPECT_TRUE(sim.AuxSteps().empty());
}

TEST_F(SelvitraTest, AuxSensitivityTestTakesDigitsOfOtherScriptsForNoNumber) {
    // A field that holds no number starts at 1200 or stops at 30.
    sim.SetAuxThreshold(30);
    OpenConnected();
    struct Case {
        const char* start;
        const char* stop;
        std::vector<uint16_t> levels;
    };
    const Case cases[] = {{"\uFF11\u0660\u0660", "1000", {1200, 1100, 1000}}, {"100", "\uFF12\u0660\u0660", {100, 30}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        window->lbTextOut->clear();
        const size_t before = sim.AuxSteps().size();
        Control<QLineEdit>("edtASTStart")->setText(QString::fromUtf8(c.start));
        Control<QLineEdit>("edtASTStop")->setText(QString::fromUtf8(c.stop));
        Click("btnAUXTest");
        ASSERT_TRUE(WaitFor([&] { return Messages().value(Messages().size() - 1) == "Test finished."; })) << Boxes();
        const std::vector<uint16_t> steps = sim.AuxSteps();
        EXPECT_EQ(std::vector<uint16_t>(steps.begin() + static_cast<std::ptrdiff_t>(before), steps.end()), c.levels);
        EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    }
}

TEST(SelvitraAuxSteps, AreTheLevelsTriedWhenNoneFails) {
    EXPECT_EQ(TfrmMain::AuxTestSteps(1000, 50, 100), 11);
    EXPECT_EQ(TfrmMain::AuxTestSteps(1000, 100, 100), 10);
    EXPECT_EQ(TfrmMain::AuxTestSteps(100, 100, 100), 1);
    EXPECT_EQ(TfrmMain::AuxTestSteps(1200, 30, 30), 40);
}

TEST(SelvitraParseHex, AcceptsDollarAndZeroXPrefixesAndAtMostEightDigits) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {{"$1f", 31},          {"0x1F", 31},
                                                                     {"1F", 31},           {"ffffffff", 0xFFFFFFFF},
                                                                     {"0X", std::nullopt}, {"$", std::nullopt},
                                                                     {"G1", std::nullopt}, {"123456789", std::nullopt},
                                                                     {"", std::nullopt},   {"0", 0}};
    for (const auto& [text, value] : cases) EXPECT_EQ(TfrmMain::ParseHex(text), value) << text;
}

TEST(SelvitraParseHex, TakesOnlyAsciiDigitsAndLetters) {
    // Fullwidth, Arabic-Indic, Devanagari and superscript digits and
    // fullwidth letters: none is a hexadecimal digit, however it is prefixed.
    const char16_t* const cases[] = {u"\uFF11", u"\u0663", u"1\uFF12",      u"$\uFF11",  u"0x\u0661", u"\u0967\u0968",
                                     u"\u00B9", u"\uFF21", u"\uFF41\uFF42", u"\uFF10X1", u"1\u0660"};
    for (const char16_t* text : cases)
        EXPECT_EQ(TfrmMain::ParseHex(QString::fromUtf16(text)), std::nullopt) << QString::fromUtf16(text).toStdString();
}

TEST_F(SelvitraTest, DpcdReadAndWriteShowTheirRegister) {
    sim.SetDpcd(0x0000, 0x12);
    OpenConnected();
    Control<QLineEdit>("edDPCDAddress")->setText("0");
    Click("btnDPCDRead");
    EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Read of address $0000, Data: $12");
    EXPECT_EQ(Control<QLineEdit>("edDPCDData")->text(), "12");
    EXPECT_EQ(Messages().last(), "Read of DPCD address $0000, Data: $12");

    Control<QLineEdit>("edDPCDAddress")->setText("$0103");
    Control<QLineEdit>("edDPCDData")->setText("0x5a");
    Click("btnDPCDWrite");
    EXPECT_EQ(sim.Dpcd(0x0103), 0x5A);
    EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Write to address $0103, Data: $5A");
    EXPECT_EQ(Messages().last(), "Write to DPCD address $0103, Data: $5A");
}

TEST_F(SelvitraTest, DpcdFieldsRefuseBadValuesWithTheirBoxes) {
    OpenConnected();
    struct Case {
        const char* address;
        const char* data;
        const char* button;
        const char* box;
    };
    const Case cases[] = {{"12G", "1", "btnDPCDRead", "Address contains invalid character(s)."},
                          {"10000", "1", "btnDPCDRead", "Address overflow."},
                          {"100", "1Z", "btnDPCDWrite", "Data contains invalid character(s)."},
                          // Digits of other scripts: fullwidth, Arabic-Indic.
                          {"\uFF11", "1", "btnDPCDRead", "Address contains invalid character(s)."},
                          {"\u0663", "1", "btnDPCDWrite", "Address contains invalid character(s)."},
                          {"100", "\uFF11", "btnDPCDWrite", "Data contains invalid character(s)."},
                          {"100", "1\u0663", "btnDPCDWrite", "Data contains invalid character(s)."},
                          {"100", "100", "btnDPCDWrite", "Data overflow."}};
    const size_t before = sim.CommandCount(0x1A) + sim.CommandCount(0x1B);
    for (const auto& c : cases) {
        boxes.Clear();
        Control<QLineEdit>("edDPCDAddress")->setText(c.address);
        Control<QLineEdit>("edDPCDData")->setText(c.data);
        Click(c.button);
        ASSERT_EQ(boxes.Texts().size(), 1u) << c.box;
        EXPECT_EQ(boxes.Texts()[0], c.box);
        EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: None");
    }
    EXPECT_EQ(sim.CommandCount(0x1A) + sim.CommandCount(0x1B), before);
}

TEST_F(SelvitraTest, DpcdFieldsTakeOnlyHexDigitsFromTheKeyboard) {
    Open();
    auto* address = Control<QLineEdit>("edDPCDAddress");
    QTest::keyClicks(address, "1g$x0a;F");
    EXPECT_EQ(address->text(), "10AF");
    auto* duration = Control<QLineEdit>("edtHPDDuration");
    duration->clear();
    QTest::keyClicks(duration, "2a-5");
    EXPECT_EQ(duration->text(), "25");
    QTest::keyClick(duration, Qt::Key_Backspace);
    EXPECT_EQ(duration->text(), "2");
}

TEST_F(SelvitraTest, DpcdFieldsShowWhetherTheirValueFits) {
    Open();
    const TGUIColorScheme& scheme = GetGUIColorScheme();
    auto colors = [](QLineEdit* e) {
        return std::pair(e->palette().color(QPalette::Base), e->palette().color(QPalette::Text));
    };
    auto rgb = [](TGUIColorScheme::rgb_t c) { return QColor(c.red, c.green, c.blue); };
    const auto unmatched = std::pair(rgb(scheme.ControlUnmatchColor()), rgb(scheme.ControlUnmatchTextColor()));
    const auto matched = std::pair(rgb(scheme.ControlMatchColor()), rgb(scheme.ControlMatchTextColor()));
    auto* address = Control<QLineEdit>("edDPCDAddress");
    auto* data = Control<QLineEdit>("edDPCDData");
    // Empty at start: black on light red with no colours stored.
    EXPECT_EQ(colors(address), unmatched);
    EXPECT_EQ(unmatched, std::pair(QColor(0xFF, 0xD0, 0xD0), QColor(0, 0, 0)));
    address->setText("FFFF");
    EXPECT_EQ(colors(address), matched);
    address->setText("10000");
    EXPECT_EQ(colors(address), unmatched);
    data->setText("FF");
    EXPECT_EQ(colors(data), matched);
    data->setText("100");
    EXPECT_EQ(colors(data), unmatched);
    // A digit of another script is no hexadecimal digit.
    address->setText(QString::fromUtf16(u"\uFF11"));
    EXPECT_EQ(colors(address), unmatched);
    data->setText(QString::fromUtf16(u"\u0663"));
    EXPECT_EQ(colors(data), unmatched);
}

TEST_F(SelvitraTest, RefreshVersionReadsTheFirmwareVersionAgain) {
    OpenConnected();
    sim.SetFirmwareVersion("3B1");
    Click("btnRefreshVersion");
    EXPECT_EQ(Text("lblFWVersion"), "Firmware version: 3.B.1");
    sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Nack, 0x1C));
    Click("btnRefreshVersion");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Can't communicate with the DP device.");
    EXPECT_EQ(Control<QLabel>("lblFWVersion")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(SelvitraTest, MessagesAreClearedAfterConfirmationAndCopiedAsLines) {
    OpenConnected();
    Click("btnUpdateVideoCRC");
    Click("btnMessageCopy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Updating video CRC...\nCommand successful.\n");
    boxes.SetAnswer(platform::MsgResult::Cancel);
    Click("btnMessageClear");
    EXPECT_EQ(window->lbTextOut->count(), 2);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].title, "Clearing the message window");
    EXPECT_EQ(boxes.Boxes()[0].text, "Messages will be removed permanently. Are you sure?");
    boxes.SetAnswer(platform::MsgResult::Ok);
    Click("btnMessageClear");
    EXPECT_EQ(window->lbTextOut->count(), 0);
    boxes.Clear();
    Click("btnMessageClear");  // empty: nothing to ask
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SelvitraTest, TextsFromTheSinkShowAsPlainText) {
    OpenConnected({"selvitra", "-debug"});
    sim.SendDebugText("<b>bold</b> &amp;", 0);
    ASSERT_TRUE(WaitFor([&] { return Messages().contains("<b>bold</b> &amp;"); }));
    sim.SetFirmwareVersion("<i>");
    Click("btnRefreshVersion");
    auto* label = Control<QLabel>("lblFWVersion");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), "Firmware version: <.i.>");
}

}  // namespace
}  // namespace selvitra_test

namespace selvitra_test {
namespace {

// The firmware-update button lets go of the port while the update dialog
// runs (here a stand-in that records what it was given) and takes it back.
TEST_F(SelvitraTest, FirmwareUpdateReleasesThePortAndResumesPolling) {
    OpenConnected();
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    QString given;
    bool pollerStopped = false;
    window->SetFirmwareUpdateRunner([&](const QString& port) {
        given = port;
        const size_t queries = sim.CommandCount();
        // A fixed time, as it shows an absence: no query during two poller cycles
        // while the dialog runs. A loaded machine can only weaken it, never fail it.
        QTest::qWait(1200);
        pollerStopped = sim.CommandCount() == queries;
    });
    Click("btnUpdateFirmware");
    EXPECT_EQ(given, QString::fromStdString(sim.SlavePath()));
    EXPECT_TRUE(pollerStopped);
    EXPECT_TRUE(window->Connected());
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    // HDCP and MSA polling as before; the version is not read again.
    const size_t hdcp = sim.CommandCount(0x22), msa = sim.CommandCount(0x27), version = sim.CommandCount(0x1C);
    EXPECT_TRUE(WaitFor([&] { return sim.CommandCount(0x22) > hdcp && sim.CommandCount(0x27) > msa; }));
    EXPECT_EQ(sim.CommandCount(0x1C), version);
}

TEST_F(SelvitraTest, APortThatCannotBeReopenedAfterTheUpdateIsTornDown) {
    OpenConnected();
    Click("btnUpdateLinkStatus");
    window->SetFirmwareUpdateRunner([&](const QString&) { sim.HangUp(); });
    Click("btnUpdateFirmware");
    ASSERT_EQ(boxes.Texts().size(), 1u) << Boxes();
    EXPECT_EQ(boxes.Texts()[0], "Failed to restore communications.");
    EXPECT_FALSE(window->Connected());
    EXPECT_EQ(Text("lblFWVersion"), "NOT CONNECTED.");
    EXPECT_EQ(Lamp("shCR0"), platform::Lamp::State::Off);
    EXPECT_EQ(window->sbStatusPanels[0]->text(), "");
}

// "Update firmware..." clicked while the teardown of a lost port is queued:
// the teardown runs in an event-loop turn of its own after the click, never
// inside the poller's join or the port's close in it (which would free the
// port that close is still using). Connected (a poller to stop) and with the
// port open to a source device (no poller: the close comes first).
struct QueuedTeardownCase {
    const char* name;
    std::function<void(sim::SinkSim&)> arrange;
    bool connected;
    friend void PrintTo(const QueuedTeardownCase& c, std::ostream* os) { *os << c.name; }
};

class UpdateFirmwareWhileATeardownIsQueued : public SelvitraTest,
                                             public ::testing::WithParamInterface<QueuedTeardownCase> {};

TEST_P(UpdateFirmwareWhileATeardownIsQueued, TheTeardownRunsAfterTheClick) {
    GetParam().arrange(sim);
    StoreSettings("[COM]\nPortName=" + sim.SlavePath() + "\n");
    Open();
    ASSERT_EQ(window->Connected(), GetParam().connected) << Boxes();
    window->pgMain->setCurrentWidget(window->tbsVarious);  // no polling: the poller hands nothing over
    ASSERT_TRUE(WaitFor([] { return platform::GuiCallsAndPostsWaiting() == 0; }));

    sim.HangUp();
    // The command after which the port is found lost (once its reader has
    // seen the hang-up) queues the teardown and returns.
    ASSERT_TRUE(WaitUntil(
        [&] {
            Click("btnUpdateVideoCRC");
            return platform::GuiCallsAndPostsWaiting() > 0;
        },
        10000));
    ASSERT_EQ(window->Connected(), GetParam().connected);
    boxes.Clear();

    bool ran = false, connectedInside = false, lostInside = true;
    QString given;
    window->SetFirmwareUpdateRunner([&](const QString& port) {
        ran = true;
        given = port;
        connectedInside = window->Connected();
        lostInside = Messages().contains(TfrmMain::kTextConnectionLost);
    });
    Click("btnUpdateFirmware");
    ASSERT_TRUE(ran);
    EXPECT_EQ(given, QString::fromStdString(sim.SlavePath()));
    EXPECT_EQ(connectedInside, GetParam().connected);
    EXPECT_FALSE(lostInside);
    // The port cannot be taken back; the queued teardown then finds it gone.
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Failed to restore communications."}));
    EXPECT_TRUE(WaitFor([] { return platform::GuiCallsAndPostsWaiting() == 0; }));
    EXPECT_FALSE(window->Connected());
    EXPECT_EQ(Text("lblFWVersion"), "NOT CONNECTED.");
    EXPECT_EQ(window->sbStatusPanels[1]->text(), "");
}

INSTANTIATE_TEST_SUITE_P(States, UpdateFirmwareWhileATeardownIsQueued,
                         ::testing::Values(QueuedTeardownCase{"Connected", [](sim::SinkSim&) {}, true},
                                           QueuedTeardownCase{"SourceDevice",
                                                              [](sim::SinkSim& s) { s.SetDeviceRole(0); }, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace selvitra_test
