// The operator dialog: set-up per prompt kind, lamps, the status poll with
// its pending result, the buttons and the close button, the channel pairs,
// Abort, the texts from the instrument and the window's size.
//
// ShowModal runs its own event loop; each test hands a script to RunModal,
// which runs it inside that loop and makes sure the dialog is closed again.
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QRadioButton>
#include <QStyleHints>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "cts/dialogs/TOperatorInput.h"
#include "support/WaitFor.h"

using namespace dialog_test;
using Result = TOperatorInput::ModalResult;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);

// The dialog as the main window holds it, with the requests it made.
class OperatorInputTest : public ::testing::Test {
protected:
    OperatorInputTest() {
        // Clicks are taken as soon as the dialog shows, unless a test sets a
        // double-click interval.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
        // The main window answers a channel request when its completion
        // comes; here at once, unless a test holds the answers back.
        dialog.ChannelSelectRequest = [this](int pair) {
            channelRequests.push_back(pair);
            if (!holdChannelAnswers) dialog.ChannelSelectDone();
        };
        dialog.StatusPollRequest = [this] { ++pollRequests; };
    }
    ~OperatorInputTest() override { QGuiApplication::styleHints()->setMouseDoubleClickInterval(desktopInterval_); }
    const int desktopInterval_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();

    // Shows the dialog modally, runs `script` inside its modal loop and
    // returns how the dialog was closed. A script that leaves the dialog
    // open fails the test, and the dialog is closed for it.
    Result RunModal(const std::function<void()>& script) {
        bool ran = false;
        QTimer::singleShot(0, &dialog, [&] {
            ran = true;
            EXPECT_TRUE(dialog.IsShowing());
            if (!test_support::WaitFor([&] { return QApplication::activeModalWidget() == &dialog; }))
                ADD_FAILURE() << "the dialog is not the active modal window";
            script();
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the script left the dialog open";
                dialog.Abort();
            }
        });
        const Result result = dialog.ShowModal();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(dialog.IsShowing());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.StatPollTimer->isActive());
        return result;
    }

    // Waits inside the modal loop until the dialog has asked for the status `count` times.
    bool WaitForPolls(int count) {
        return test_support::WaitFor([&] { return pollRequests >= count; });
    }

    std::vector<QColor> Lamps() const {
        return {dialog.S_Led1->Color(), dialog.S_Led2->Color(), dialog.S_Led3->Color()};
    }
    QColor Blank() const { return dialog.palette().color(QPalette::Button); }

    // The first `rows` lamp rows are shown and lie whole inside the message panel.
    void ExpectRowsInsideThePanel(int rows) const {
        const QWidget* const lamps[] = {dialog.S_Led1, dialog.S_Led2, dialog.S_Led3};
        const QWidget* const texts[] = {dialog.LB_Message, dialog.LB_Message2, dialog.LB_Message3};
        for (int i = 0; i < rows; ++i) {
            for (const QWidget* w : {lamps[i], texts[i]}) {
                EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
                EXPECT_TRUE(dialog.PNL_Message->rect().contains(w->geometry()))
                    << w->objectName().toStdString() << " lies outside the panel";
            }
        }
    }
    // The "?" is drawn whole inside its label (at its top, as aligned).
    void ExpectTheWholeMark() const {
        const QFontMetrics metrics(dialog.LB_Mark->font());
        const QRect glyph = metrics.tightBoundingRect(QStringLiteral("?"));
        EXPECT_LE(metrics.ascent() + glyph.bottom(), dialog.LB_Mark->height());
        EXPECT_GE(metrics.ascent() + glyph.top(), 0);
    }

    TOperatorInput dialog;
    std::vector<int> channelRequests;
    bool holdChannelAnswers = false;
    int pollRequests = 0;
};

TEST_F(OperatorInputTest, ControlsHaveTheirNamesAndCaptions) {
    EXPECT_EQ(dialog.windowTitle(), "Operator feedback required");
    auto* mark = Probe<QLabel>(&dialog, "LB_Mark");
    EXPECT_EQ(mark->text(), "?");
    EXPECT_TRUE(mark->font().bold());
    EXPECT_EQ(mark->font().pixelSize(), 100);
    for (const char* name : {"LB_Test", "LB_MessageAbout", "LB_Message", "LB_Message2", "LB_Message3"})
        EXPECT_EQ(Probe<QLabel>(&dialog, name)->textFormat(), Qt::PlainText) << name;
    Probe<QFrame>(&dialog, "PNL_Message");
    for (const char* name : {"S_Led1", "S_Led2", "S_Led3"}) Probe<platform::Lamp>(&dialog, name);
    EXPECT_EQ(Probe<QGroupBox>(&dialog, "RG_ChannelSelect")->title(), " Select monitored audio channels ");
    const char* const pairs[][2] = {{"RG_ChannelSelect_0", "Channels 1 && 2"},
                                    {"RG_ChannelSelect_1", "Channels 3 && 4"},
                                    {"RG_ChannelSelect_2", "Channels 5 && 6"},
                                    {"RG_ChannelSelect_3", "Channels 7 && 8"}};
    for (const auto& [name, caption] : pairs) {
        auto* pair = Probe<QRadioButton>(dialog.RG_ChannelSelect, name);
        // "&&" is how a caption shows one "&"; a single "&" would mark a key.
        EXPECT_EQ(pair->text(), caption);
    }
    EXPECT_EQ(Probe<QPushButton>(&dialog, "BTN_PassButton")->text(), "Pass");
    Probe<QPushButton>(&dialog, "BTN_FailButton");
    auto* timer = dialog.findChild<QTimer*>(QStringLiteral("StatPollTimer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_FALSE(timer->isActive());

    TOperatorInput fresh;
    EXPECT_FALSE(fresh.ChannelSelectRequest);
    EXPECT_FALSE(fresh.StatusPollRequest);
    EXPECT_FALSE(fresh.PollPending());
    EXPECT_FALSE(fresh.IsShowing());
}

// ---- set-up per kind

struct KindCase {
    int kind;
    std::string message;
    bool passShown;
    const char* failCaption;
    bool lampsRed;  // all red (kind 8) rather than blank
    const char* about;
    std::vector<std::string> rows;
    bool rowsShown;
    int panelHeight;
    bool channelGroupShown;
    bool polls;
};

const KindCase kKinds[] = {
    {4,
     "Connect the DUT",
     false,
     "Proceed",
     false,
     "Requires operator feedback with message:",
     {"Connect the DUT", "", ""},
     true,
     21,
     false,
     false},
    {6,
     "Unplug the cable\r\nthen plug it in",
     false,
     "Proceed",
     false,
     "Requires operator feedback with message:",
     {"Unplug the cable", "then plug it in", ""},
     true,
     21,
     false,
     false},
    {7,
     "Is the picture stable?",
     true,
     "Fail",
     false,
     "Requires operator feedback with message:",
     {"Is the picture stable?", "", ""},
     true,
     21,
     false,
     false},
    {8,
     "4 lanes\nColour bars\rStereo",
     false,
     "Proceed",
     true,
     "Test requirements:",
     {"LINK: 4 lanes", "VIDEO: Colour bars", "AUDIO: Stereo"},
     true,
     63,
     false,
     true},
    {9,
     "Listen to each channel pair\r\nin turn",
     true,
     "Fail",
     false,
     "Listen to each channel pair",
     {"Listen to each channel pair", "in turn", ""},
     false,
     35,
     true,
     false},
};

void CheckSetUp(TOperatorInput& dialog, const KindCase& c) {
    EXPECT_EQ(!dialog.BTN_PassButton->isHidden(), c.passShown);
    EXPECT_EQ(dialog.BTN_FailButton->text(), c.failCaption);
    EXPECT_EQ(dialog.LB_MessageAbout->text(), c.about);
    EXPECT_EQ(dialog.LB_Test->text(), "Test '3 - Link training'");
    QLabel* const rows[] = {dialog.LB_Message, dialog.LB_Message2, dialog.LB_Message3};
    platform::Lamp* const lamps[] = {dialog.S_Led1, dialog.S_Led2, dialog.S_Led3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i]->text().toStdString(), c.rows[i]) << "row " << i + 1;
        EXPECT_EQ(!rows[i]->isHidden(), c.rowsShown) << "row " << i + 1;
        EXPECT_EQ(!lamps[i]->isHidden(), c.rowsShown) << "lamp " << i + 1;
        EXPECT_EQ(lamps[i]->Color(), c.lampsRed ? kRed : dialog.palette().color(QPalette::Button)) << "lamp " << i + 1;
    }
    EXPECT_EQ(!dialog.RG_ChannelSelect->isHidden(), c.channelGroupShown);
    if (c.channelGroupShown) {
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("RG_ChannelSelect_0")->isChecked());
    }
}

TEST_F(OperatorInputTest, EachKindSetsUpItsButtonsLampsTextsPanelAndPoll) {
    // One dialog serves every prompt, so each kind is also set up after every other one.
    std::vector<KindCase> order(std::begin(kKinds), std::end(kKinds));
    std::vector<KindCase> reversed(order.rbegin(), order.rend());
    order.insert(order.end(), reversed.begin(), reversed.end());
    for (const KindCase& c : order) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        dialog.Setup(c.kind, "3 - Link training", c.message);
        CheckSetUp(dialog, c);
        const Result result = RunModal([&] {
            EXPECT_EQ(dialog.StatPollTimer->isActive(), c.polls);
            EXPECT_EQ(dialog.PNL_Message->height(), c.panelHeight);
            EXPECT_EQ(dialog.height(), c.panelHeight + 93);
            EXPECT_EQ(dialog.BTN_PassButton->isVisible(), c.passShown);
            EXPECT_EQ(dialog.RG_ChannelSelect->isVisible(), c.channelGroupShown);
            dialog.Abort();
        });
        EXPECT_EQ(result, Result::Abort);
    }
    EXPECT_EQ(pollRequests, 0);
    EXPECT_TRUE(channelRequests.empty());
}

TEST_F(OperatorInputTest, AKindEightMessageOfTwoLinesLeavesTheAudioRowBareAndThePanelTwoRowsHigh) {
    dialog.Setup(8, "12 - Audio", "2 lanes\r\n640x480");
    EXPECT_EQ(dialog.LB_Message->text(), "LINK: 2 lanes");
    EXPECT_EQ(dialog.LB_Message2->text(), "VIDEO: 640x480");
    EXPECT_EQ(dialog.LB_Message3->text(), "AUDIO: ");
    const Result result = RunModal([&] {
        EXPECT_EQ(dialog.PNL_Message->height(), 42);
        EXPECT_EQ(dialog.height(), 42 + 93);
        // The third row lies below the panel's end.
        EXPECT_GE(dialog.LB_Message3->y(), dialog.PNL_Message->height());
        QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
    });
    EXPECT_EQ(result, Result::No);
}

TEST_F(OperatorInputTest, AnEmptyMessageShowsEmptyRows) {
    dialog.Setup(4, "1 - EDID", "first\nsecond\nthird");
    dialog.Setup(4, "1 - EDID", "");
    for (QLabel* row : {dialog.LB_Message, dialog.LB_Message2, dialog.LB_Message3}) EXPECT_EQ(row->text(), "");
    EXPECT_EQ(RunModal([&] {
                  EXPECT_EQ(dialog.PNL_Message->height(), 21);
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
              }),
              Result::No);

    // Kind 8 shows its three rows with their prefixes even without a line,
    // and the question mark whole.
    dialog.Setup(8, "1 - EDID", "");
    EXPECT_EQ(dialog.LB_Message->text(), "LINK: ");
    EXPECT_EQ(dialog.LB_Message2->text(), "VIDEO: ");
    EXPECT_EQ(dialog.LB_Message3->text(), "AUDIO: ");
    EXPECT_EQ(RunModal([&] {
                  EXPECT_EQ(dialog.PNL_Message->height(), 63);
                  EXPECT_EQ(dialog.height(), 63 + 93);
                  ExpectRowsInsideThePanel(3);
                  ExpectTheWholeMark();
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
              }),
              Result::No);
}

TEST_F(OperatorInputTest, LineBreaksAreCrLfOrCrOrLfAndATrailingBreakStartsNoLine) {
    const struct {
        const char* message;
        std::vector<std::string> rows;
        int panelHeight;
    } cases[] = {
        {"a\r\nb\r\n", {"LINK: a", "VIDEO: b", "AUDIO: "}, 42},
        {"a\n\nc", {"LINK: a", "VIDEO: ", "AUDIO: c"}, 63},
        {"a\r\rc\n", {"LINK: a", "VIDEO: ", "AUDIO: c"}, 63},
        {"a\n\r", {"LINK: a", "VIDEO: ", "AUDIO: "}, 42},
        // More lines than rows: three rows, no empty space below them.
        {"1\r\n2\r\n3\r\n4", {"LINK: 1", "VIDEO: 2", "AUDIO: 3"}, 63},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10", {"LINK: 1", "VIDEO: 2", "AUDIO: 3"}, 63},
        {"\r\n", {"LINK: ", "VIDEO: ", "AUDIO: "}, 21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        dialog.Setup(8, "7 - x", c.message);
        EXPECT_EQ(dialog.LB_Message->text().toStdString(), c.rows[0]);
        EXPECT_EQ(dialog.LB_Message2->text().toStdString(), c.rows[1]);
        EXPECT_EQ(dialog.LB_Message3->text().toStdString(), c.rows[2]);
        EXPECT_EQ(RunModal([&] {
                      EXPECT_EQ(dialog.PNL_Message->height(), c.panelHeight);
                      EXPECT_EQ(dialog.height(), c.panelHeight + 93);
                      ExpectRowsInsideThePanel(c.panelHeight / 21);
                      ExpectTheWholeMark();
                      dialog.Abort();
                  }),
                  Result::Abort);
    }
}

TEST_F(OperatorInputTest, TextsFromTheInstrumentShowLiterallyAndAreWindows1252) {
    const std::string markup = "<b>Bold</b> & <i>x</i> &amp;";
    dialog.Setup(7, "4 - <font color=red>Red</font>", markup + "\r\n\x93Quoted\x94 \x96 1\xB0");
    EXPECT_EQ(dialog.LB_Test->text(), "Test '4 - <font color=red>Red</font>'");
    EXPECT_EQ(dialog.LB_Message->text(), QString::fromStdString(markup));
    EXPECT_EQ(dialog.LB_Message2->text(), QString::fromUtf8("\u201CQuoted\u201D \u2013 1\u00B0"));
    dialog.Setup(9, "4 - x", markup);
    EXPECT_EQ(dialog.LB_MessageAbout->text(), QString::fromStdString(markup));
    dialog.Setup(8, "4 - x", markup);
    EXPECT_EQ(dialog.LB_Message->text(), "LINK: " + QString::fromStdString(markup));

    // Shown as plain text, a label needs the width of every character,
    // tags included; as rich text it would show "Bold & x &" only.
    const QFontMetrics metrics(dialog.font());
    for (QLabel* label : {dialog.LB_Test, dialog.LB_Message, dialog.LB_MessageAbout}) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        EXPECT_GE(label->sizeHint().width(), metrics.horizontalAdvance(label->text()))
            << label->objectName().toStdString();
    }
}

// ---- lamps

TEST_F(OperatorInputTest, SetLampsColoursEachLampFromItsNibble) {
    const QColor blank = Blank();
    const struct {
        uint32_t value;
        std::vector<QColor> lamps;
    } cases[] = {
        {0x000, {kRed, kRed, kRed}},           {0x111, {kGreen, kGreen, kGreen}},
        {0x222, {blank, blank, blank}},        {0x333, {kBlack, kBlack, kBlack}},
        {0x123, {kBlack, blank, kGreen}},      {0x0C1, {kGreen, kRed, kRed}},  // bits 2-3 of a nibble do not count
        {0xFFFF'F0FF, {kBlack, kBlack, kRed}},
    };
    // Red and green lamps have a darker outline; a blank one none that shows.
    const auto outlineOf = [&](const QColor& fill) {
        if (fill == kRed) return QColor(128, 0, 0);
        if (fill == kGreen) return QColor(0, 128, 0);
        return fill;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        dialog.SetLamps(c.value);
        EXPECT_EQ(Lamps(), c.lamps);
        const std::vector<QColor> outlines = {dialog.S_Led1->Outline(), dialog.S_Led2->Outline(),
                                              dialog.S_Led3->Outline()};
        EXPECT_EQ(outlines, (std::vector<QColor>{outlineOf(c.lamps[0]), outlineOf(c.lamps[1]), outlineOf(c.lamps[2])}));
    }
}

TEST_F(OperatorInputTest, SetStatusLightsALampGreenForEachSetBitAndRedForEachClearOne) {
    const struct {
        uint8_t status;
        std::vector<QColor> lamps;
    } cases[] = {
        {0x05, {kGreen, kRed, kGreen}}, {0x00, {kRed, kRed, kRed}},       {0x07, {kGreen, kGreen, kGreen}},
        {0x02, {kRed, kGreen, kRed}},   {0xF8, {kRed, kRed, kRed}},       {0x04, {kRed, kRed, kGreen}},
        {0x01, {kGreen, kRed, kRed}},   {0xFF, {kGreen, kGreen, kGreen}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        dialog.SetLamps(0x222);
        dialog.SetStatus(c.status);
        EXPECT_EQ(Lamps(), c.lamps);
    }
    // Outside the modal loop the reply changes the lamps only.
    EXPECT_FALSE(dialog.StatPollTimer->isActive());
    EXPECT_FALSE(dialog.isVisible());
}

// ---- the status poll

TEST_F(OperatorInputTest, ThePollTimerStopsItselfAsksForTheStatusAndTheReplyRestartsIt) {
    dialog.Setup(8, "5 - Video", "a\nb\nc");
    const Result result = RunModal([&] {
        EXPECT_TRUE(dialog.StatPollTimer->isActive());
        EXPECT_EQ(pollRequests, 0);
        ASSERT_TRUE(WaitForPolls(1));
        EXPECT_FALSE(dialog.StatPollTimer->isActive());
        EXPECT_TRUE(dialog.PollPending());
        EXPECT_EQ(Lamps(), (std::vector<QColor>{kRed, kRed, kRed}));

        dialog.SetStatus(0x05);
        EXPECT_EQ(Lamps(), (std::vector<QColor>{kGreen, kRed, kGreen}));
        EXPECT_FALSE(dialog.PollPending());
        EXPECT_TRUE(dialog.StatPollTimer->isActive());
        EXPECT_TRUE(dialog.isVisible());

        // No request while the previous one is out, however long it takes (a
        // fixed time, as it shows an absence).
        ASSERT_TRUE(WaitForPolls(2));
        EXPECT_FALSE(test_support::WaitFor([&] { return pollRequests > 2; }, 1200));
        dialog.SetStatus(0x07);
        ASSERT_TRUE(WaitForPolls(3));
        dialog.SetStatus(0x02);
        QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
    });
    EXPECT_EQ(result, Result::No);
    EXPECT_EQ(pollRequests, 3);
    EXPECT_EQ(Lamps(), (std::vector<QColor>{kRed, kGreen, kRed}));
}

TEST_F(OperatorInputTest, ProceedWhileAPollIsOutTakesEffectWhenTheReplyArrives) {
    dialog.Setup(8, "5 - Video", "a\nb\nc");
    const Result result = RunModal([&] {
        ASSERT_TRUE(WaitForPolls(1));
        QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_FALSE(dialog.StatPollTimer->isActive());
        // The dialog waits for the reply; no further poll meanwhile (a fixed
        // time, as it shows an absence).
        EXPECT_FALSE(test_support::WaitFor([&] { return !dialog.isVisible() || pollRequests > 1; }, 700));
        dialog.SetStatus(0x05);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(result, Result::No);
    EXPECT_EQ(pollRequests, 1);
    EXPECT_EQ(Lamps(), (std::vector<QColor>{kGreen, kRed, kGreen}));

    // With no poll out, Proceed closes at once.
    dialog.Setup(8, "5 - Video", "a");
    EXPECT_EQ(RunModal([&] {
                  EXPECT_FALSE(dialog.PollPending());
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
                  EXPECT_FALSE(dialog.isVisible());
              }),
              Result::No);
}

TEST_F(OperatorInputTest, WithoutAPollRequestTheTimerStopsAndProceedClosesAtOnce) {
    dialog.StatusPollRequest = nullptr;
    dialog.Setup(8, "5 - Video", "a");
    const Result result = RunModal([&] {
        ASSERT_TRUE(test_support::WaitFor([&] { return !dialog.StatPollTimer->isActive(); }));
        EXPECT_FALSE(dialog.PollPending());
        QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(result, Result::No);
}

// ---- buttons, close button and Abort

TEST_F(OperatorInputTest, PassGivesYesAndFailOrProceedGivesNo) {
    const struct {
        int kind;
        const char* button;
        Result result;
    } cases[] = {
        {7, "BTN_PassButton", Result::Yes}, {7, "BTN_FailButton", Result::No}, {9, "BTN_PassButton", Result::Yes},
        {9, "BTN_FailButton", Result::No},  {4, "BTN_FailButton", Result::No}, {6, "BTN_FailButton", Result::No},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + c.button);
        dialog.Setup(c.kind, "2 - x", "Press it");
        auto* button = Probe<QPushButton>(&dialog, c.button);
        EXPECT_EQ(RunModal([&] { QTest::mouseClick(button, Qt::LeftButton); }), c.result);
    }
}

TEST_F(OperatorInputTest, ClosingTheWindowGivesNoAtOnceEvenWithAPollOut) {
    for (int kind : {4, 7, 9}) {
        SCOPED_TRACE(kind);
        dialog.Setup(kind, "2 - x", "Close me");
        EXPECT_EQ(RunModal([&] { dialog.close(); }), Result::No);
    }

    dialog.Setup(8, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  ASSERT_TRUE(WaitForPolls(1));
                  dialog.close();
                  EXPECT_FALSE(dialog.isVisible());
              }),
              Result::No);
    // The late reply colours the lamps but starts no poll of a closed dialog.
    EXPECT_TRUE(dialog.PollPending());
    dialog.SetStatus(0x01);
    EXPECT_FALSE(dialog.PollPending());
    EXPECT_FALSE(dialog.StatPollTimer->isActive());
    EXPECT_EQ(Lamps(), (std::vector<QColor>{kGreen, kRed, kRed}));

    // Proceed pressed while a poll was out, then the window closed: No at once.
    dialog.Setup(8, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  ASSERT_TRUE(WaitForPolls(2));
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
                  dialog.close();
              }),
              Result::No);
    dialog.SetStatus(0x00);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.StatPollTimer->isActive());
}

TEST_F(OperatorInputTest, EscapeDoesNotAnswer) {
    dialog.Setup(7, "2 - x", "Judge it");
    EXPECT_EQ(RunModal([&] {
                  QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Escape);
                  EXPECT_TRUE(dialog.isVisible());
                  QTest::mouseClick(dialog.BTN_PassButton, Qt::LeftButton);
              }),
              Result::Yes);
}

TEST_F(OperatorInputTest, AbortClosesTheShownDialogWithAbortAndStopsThePoll) {
    dialog.Setup(8, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  ASSERT_TRUE(WaitForPolls(1));
                  dialog.SetStatus(0x07);
                  ASSERT_TRUE(dialog.StatPollTimer->isActive());
                  dialog.Abort();
                  EXPECT_FALSE(dialog.StatPollTimer->isActive());
              }),
              Result::Abort);

    // Abort beats a result waiting for the poll's reply.
    dialog.Setup(8, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  ASSERT_TRUE(WaitForPolls(2));
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
                  dialog.Abort();
              }),
              Result::Abort);
    dialog.SetStatus(0x00);  // the reply after the end
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(OperatorInputTest, AbortOutsideTheModalLoopChangesNothing) {
    dialog.Setup(7, "2 - x", "a");
    dialog.Abort();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.IsShowing());
    // The next showing is not answered by the earlier Abort.
    EXPECT_EQ(RunModal([&] {
                  EXPECT_TRUE(dialog.isVisible());
                  QTest::mouseClick(dialog.BTN_PassButton, Qt::LeftButton);
              }),
              Result::Yes);
    dialog.Abort();
    EXPECT_EQ(RunModal([&] { QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton); }), Result::No);
}

TEST_F(OperatorInputTest, OnceClosedTheDialogKeepsItsResultAgainstAbortAndALateReply) {
    dialog.Setup(7, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  QTest::mouseClick(dialog.BTN_PassButton, Qt::LeftButton);
                  EXPECT_FALSE(dialog.IsShowing());
                  dialog.Abort();  // the run ends before the modal loop has returned
              }),
              Result::Yes);

    dialog.Setup(8, "2 - x", "a");
    EXPECT_EQ(RunModal([&] {
                  ASSERT_TRUE(WaitForPolls(1));
                  dialog.close();
                  dialog.SetStatus(0x07);
                  EXPECT_FALSE(dialog.StatPollTimer->isActive());
                  EXPECT_FALSE(dialog.PollPending());
              }),
              Result::No);
}

// ---- channel pairs

TEST_F(OperatorInputTest, EachNewChannelPairIsRequestedOnce) {
    dialog.Setup(9, "40 - Audio", "Listen");
    const auto pair = [&](int i) {
        return dialog.findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_%1").arg(i));
    };
    EXPECT_EQ(RunModal([&] {
                  ClickIndicator(pair(2));  // "Channels 5 && 6"
                  EXPECT_EQ(channelRequests, std::vector<int>{2});
                  ClickIndicator(pair(2));
                  EXPECT_EQ(channelRequests, std::vector<int>{2});
                  ClickIndicator(pair(0));
                  ClickIndicator(pair(3));
                  EXPECT_EQ(channelRequests, (std::vector<int>{2, 0, 3}));
                  QTest::mouseClick(dialog.BTN_PassButton, Qt::LeftButton);
              }),
              Result::Yes);

    // The next kind-9 prompt starts on pair 1 without asking for it: the
    // instrument starts each such test there.
    channelRequests.clear();
    dialog.Setup(9, "41 - Audio", "Listen again");
    EXPECT_TRUE(pair(0)->isChecked());
    EXPECT_TRUE(channelRequests.empty());
    EXPECT_EQ(RunModal([&] {
                  ClickIndicator(pair(0));
                  EXPECT_TRUE(channelRequests.empty());
                  ClickIndicator(pair(1));
                  EXPECT_EQ(channelRequests, std::vector<int>{1});
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
              }),
              Result::No);
    EXPECT_EQ(pollRequests, 0);
}

// One channel request at a time: pairs chosen while one is out wait for its
// completion, and only the newest of them is sent then (none when it is the
// pair just sent).
TEST_F(OperatorInputTest, ChoicesWhileAChannelRequestIsOutSendOnlyTheNewestAfterIt) {
    holdChannelAnswers = true;
    dialog.Setup(9, "40 - Audio", "Listen");
    const auto pair = [&](int i) {
        return dialog.findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_%1").arg(i));
    };
    EXPECT_EQ(RunModal([&] {
                  ClickIndicator(pair(1));
                  ClickIndicator(pair(3));
                  ClickIndicator(pair(2));
                  EXPECT_EQ(channelRequests, std::vector<int>{1}) << "the first is still out";
                  dialog.ChannelSelectDone();
                  EXPECT_EQ(channelRequests, (std::vector<int>{1, 2}));
                  ClickIndicator(pair(0));
                  ClickIndicator(pair(2));
                  dialog.ChannelSelectDone();
                  EXPECT_EQ(channelRequests, (std::vector<int>{1, 2})) << "back on the pair just sent";
                  ClickIndicator(pair(3));
                  EXPECT_EQ(channelRequests, (std::vector<int>{1, 2, 3})) << "nothing out: sent at once";
                  QTest::mouseClick(dialog.BTN_PassButton, Qt::LeftButton);
              }),
              Result::Yes);
    // A new prompt starts with nothing out.
    channelRequests.clear();
    dialog.Setup(9, "41 - Audio", "Listen again");
    EXPECT_EQ(RunModal([&] {
                  ClickIndicator(pair(1));
                  EXPECT_EQ(channelRequests, std::vector<int>{1});
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
              }),
              Result::No);
}

TEST_F(OperatorInputTest, ChannelPairsCanBeChosenWithTheArrowKeys) {
    dialog.Setup(9, "40 - Audio", "Listen");
    EXPECT_EQ(RunModal([&] {
                  dialog.activateWindow();
                  EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
                  auto* first = dialog.findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_0"));
                  first->setFocus();
                  // Each arrow moves the focus to the next pair and chooses it.
                  for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left}) {
                      QWidget* focus = dialog.focusWidget();
                      if (!focus) {
                          ADD_FAILURE() << "nothing has the focus";
                          break;
                      }
                      QTest::keyClick(focus, key);
                  }
                  EXPECT_TRUE(dialog.findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_1"))->isChecked());
                  EXPECT_EQ(channelRequests, (std::vector<int>{1, 2, 1}));
                  QTest::mouseClick(dialog.BTN_FailButton, Qt::LeftButton);
              }),
              Result::No);
}

TEST_F(OperatorInputTest, WithoutAChannelRequestAChoiceIsOnlyRemembered) {
    dialog.ChannelSelectRequest = nullptr;
    dialog.Setup(9, "40 - Audio", "Listen");
    auto* third = dialog.findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_2"));
    EXPECT_EQ(RunModal([&] {
                  ClickIndicator(third);
                  EXPECT_TRUE(third->isChecked());
                  dialog.close();
              }),
              Result::No);
}

// ---- input that comes too early for a prompt

enum class Input { Click, Space };

// An answering input on the button at `time` (a press and release of the
// mouse or of the Space key, 20 ms apart), stamped as the window system
// stamps events.
void SendInput(QPushButton* button, Input input, quint64 time) {
    const auto deliver = [button](QInputEvent&& event, quint64 at) {
        event.setTimestamp(at);
        QApplication::sendEvent(button, &event);
    };
    if (input == Input::Click) {
        const QPointF at = QRectF(button->rect()).center();
        const QPointF global = button->mapToGlobal(at);
        deliver(QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier),
                time);
        deliver(QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier),
                time + 20);
        return;
    }
    deliver(QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")), time);
    deliver(QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")), time + 20);
}

struct EarlyInputCase {
    const char* name;
    Input input;
    int intervalMs;  // the desktop's double-click interval
    int gapMs;       // from the input that answered the previous prompt
    bool taken;
};
void PrintTo(const EarlyInputCase& c, std::ostream* os) { *os << c.name; }

class EarlyInput : public OperatorInputTest, public ::testing::WithParamInterface<EarlyInputCase> {};

// The previous prompt is answered with "Pass"; the same input follows on the
// next prompt's "Pass", at the same place, `gapMs` later by the events' own
// times. Within the interval it is dropped and the prompt stays up.
TEST_P(EarlyInput, AVerdictInputWithinTheIntervalAfterTheShowingIsDropped) {
    const EarlyInputCase& c = GetParam();
    // Later than every event a test sent before, on either clock.
    const quint64 first = static_cast<quint64>(QTest::lastMouseTimestamp) + 100000;
    dialog.Setup(7, "5 - Question", "first?");
    EXPECT_EQ(RunModal([&] { SendInput(dialog.BTN_PassButton, c.input, first); }), Result::Yes);

    QGuiApplication::styleHints()->setMouseDoubleClickInterval(c.intervalMs);
    dialog.Setup(7, "5 - Question", "second?");
    bool shownAfter = false;
    const Result second = RunModal([&] {
        SendInput(dialog.BTN_PassButton, c.input, first + static_cast<quint64>(c.gapMs));
        shownAfter = dialog.isVisible();
        if (shownAfter) dialog.Abort();
    });
    QTest::lastMouseTimestamp = static_cast<int>(first + static_cast<quint64>(c.gapMs) + 100000);
    EXPECT_EQ(shownAfter, !c.taken);
    EXPECT_EQ(second, c.taken ? Result::Yes : Result::Abort);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EarlyInput,
    ::testing::Values(EarlyInputCase{"Click60ms", Input::Click, 400, 60, false},
                      EarlyInputCase{"Click250ms", Input::Click, 400, 250, false},
                      EarlyInputCase{"Click60msWithoutInterval", Input::Click, 0, 60, true},
                      EarlyInputCase{"Space60ms", Input::Space, 400, 60, false},
                      EarlyInputCase{"Space60msWithoutInterval", Input::Space, 0, 60, true},
                      // Long after the previous answer by the events' times, but
                      // the prompt has not been up for the interval.
                      EarlyInputCase{"ClickOnAPromptYoungerThanALongInterval", Input::Click, 600000, 10000, false},
                      EarlyInputCase{"SpaceOnAPromptYoungerThanALongInterval", Input::Space, 600000, 10000, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OperatorInputTest, AClickOrKeyThatBeganBeforeTheShowingIsNotTaken) {
    const quint64 time = static_cast<quint64>(QTest::lastMouseTimestamp) + 100000;
    const QPointF at = QRectF(dialog.BTN_PassButton->rect()).center();
    const QPointF global = dialog.BTN_PassButton->mapToGlobal(at);
    dialog.Setup(7, "5 - Question", "Judge it");
    // Pressed while the dialog was not shown, released once it is.
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    press.setTimestamp(time);
    QApplication::sendEvent(dialog.BTN_PassButton, &press);
    // Space as well, on the other button.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    space.setTimestamp(time);
    QApplication::sendEvent(dialog.BTN_FailButton, &space);
    EXPECT_EQ(RunModal([&] {
                  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                                      Qt::NoModifier);
                  release.setTimestamp(time + 20);
                  QApplication::sendEvent(dialog.BTN_PassButton, &release);
                  EXPECT_TRUE(dialog.isVisible());
                  QKeyEvent spaceUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
                  spaceUp.setTimestamp(time + 20);
                  QApplication::sendEvent(dialog.BTN_FailButton, &spaceUp);
                  EXPECT_TRUE(dialog.isVisible());
                  // A click of its own is taken.
                  SendInput(dialog.BTN_FailButton, Input::Click, time + 60);
              }),
              Result::No);
    QTest::lastMouseTimestamp = static_cast<int>(time + 100000);
}

// ---- size and place

TEST_F(OperatorInputTest, TheWindowIsAsWideAsItsLongestTextNeedsAndFixed) {
    const QFontMetrics metrics(dialog.font());
    const std::string longLabel(60, 'W');
    const std::string longLine = "Make sure that the source under test sends a stable picture at 1920x1080";
    const struct {
        const char* what;
        int kind;
        std::string label;
        std::string message;
        int width;
        bool atLeast = false;  // wider when the font needs more for the channel pairs
    } cases[] = {
        {"short texts", 4, "1 - a", "b", 330},
        {"channel pairs", 9, "1 - a", "b", 535, true},
        {"test label", 4, longLabel, "b",
         metrics.horizontalAdvance(QString::fromStdString("Test '" + longLabel + "'")) + 100},
        {"message row", 7, "1 - a", longLine, metrics.horizontalAdvance(QString::fromStdString(longLine)) + 120},
        {"channel prompt", 9, "1 - a", longLine + " and no other\r\nsecond line",
         metrics.horizontalAdvance(QString::fromStdString(longLine + " and no other")) + 120},
        {"third row with its prefix", 8, "1 - a", "a\nb\n" + longLine,
         metrics.horizontalAdvance(QString::fromStdString("AUDIO: " + longLine)) + 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.width, 0);
        dialog.Setup(c.kind, c.label, c.message);
        RunModal([&] {
            if (c.atLeast) {
                EXPECT_GE(dialog.width(), c.width);
            } else {
                EXPECT_EQ(dialog.width(), c.width);
            }
            EXPECT_EQ(dialog.minimumSize(), dialog.size());
            EXPECT_EQ(dialog.maximumSize(), dialog.size());
            // Every text fits into the window.
            for (QLabel* label :
                 {dialog.LB_Test, dialog.LB_MessageAbout, dialog.LB_Message, dialog.LB_Message2, dialog.LB_Message3}) {
                if (!label->isVisible()) continue;
                const int right = label->mapTo(&dialog, QPoint(0, 0)).x() + metrics.horizontalAdvance(label->text());
                EXPECT_LE(right, dialog.width()) << label->objectName().toStdString();
            }
            dialog.Abort();
        });
    }
}

TEST_F(OperatorInputTest, TheDialogIsCentredOnItsParent) {
    QWidget mainWindow;
    mainWindow.setGeometry(200, 150, 900, 700);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    TOperatorInput owned(&mainWindow);
    for (int kind : {4, 9}) {
        owned.Setup(kind, "1 - a", "b");
        bool checked = false;
        QTimer::singleShot(0, &owned, [&] {
            const QPoint offset = owned.frameGeometry().center() - mainWindow.frameGeometry().center();
            EXPECT_LE(std::abs(offset.x()), 3) << offset.x();
            EXPECT_LE(std::abs(offset.y()), 3) << offset.y();
            checked = true;
            owned.Abort();
        });
        EXPECT_EQ(owned.ShowModal(), Result::Abort);
        EXPECT_TRUE(checked);
    }
}

// ---- what the operator sees

TEST_F(OperatorInputTest, PicturesOfThePromptsShowEveryControlWhole) {
    const struct {
        const char* file;
        int kind;
        const char* message;
        uint8_t status;
    } shots[] = {
        {"operator_input_7.png", 7, "Does the monitor show the colour bar pattern without flicker?", 0},
        {"operator_input_8.png", 8, "4 lanes at 2.7 Gbps\r\n1920x1080 60 Hz\r\n2 channels, 48 kHz", 0x05},
        {"operator_input_9.png", 9, "Check that the tone plays on the selected channels only", 0},
    };
    for (const auto& shot : shots) {
        SCOPED_TRACE(shot.file);
        dialog.Setup(shot.kind, "33 - Audio & video: 8 channels", shot.message);
        RunModal([&] {
            if (shot.kind == 8) {
                EXPECT_TRUE(WaitForPolls(pollRequests + 1));
                dialog.SetStatus(shot.status);
            }
            const QRect window = dialog.rect();
            for (QWidget* control : dialog.findChildren<QWidget*>()) {
                if (!control->isVisible() || control->parentWidget() == dialog.RG_ChannelSelect) continue;
                const QRect at(control->mapTo(&dialog, QPoint(0, 0)), control->size());
                EXPECT_TRUE(window.contains(at)) << control->objectName().toStdString() << " lies outside the window";
                if (qobject_cast<QAbstractButton*>(control)) {
                    EXPECT_GE(control->width(), control->minimumSizeHint().width())
                        << control->objectName().toStdString();
                }
            }
            for (QObject* child : dialog.RG_ChannelSelect->children()) {
                auto* pair = qobject_cast<QRadioButton*>(child);
                if (!pair || !pair->isVisible()) continue;
                EXPECT_GE(pair->width(), pair->sizeHint().width()) << pair->objectName().toStdString();
                EXPECT_TRUE(dialog.RG_ChannelSelect->rect().contains(QRect(pair->pos(), pair->size())));
            }
            const QImage picture = dialog.grab().toImage();
            EXPECT_FALSE(picture.isNull());
            EXPECT_TRUE(picture.save(QDir(QStringLiteral(SCREENSHOT_DIR)).filePath(QString::fromLatin1(shot.file))));
            dialog.Abort();
        });
    }
}

}  // namespace
