// Operator prompts of a test run end to end: the operator dialog shown from
// the posted prompt, each kind with each answer reaching the instrument, the
// status poll and the channel choice, an answer held back while a status poll
// is out, and failures of the dialog's requests that end the run.
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include "RunFixture.h"
#include "cts/dialogs/TOperatorInput.h"

namespace {

using cts_test::Log;
using cts_test::Record;
using cts_test::RunFixture;
using cts_test::SimStep;

QRadioButton* Pair(TOperatorInput* dialog, int index) {
    return dialog->findChild<QRadioButton*>(QStringLiteral("RG_ChannelSelect_%1").arg(index));
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class OperatorFeedback : public RunFixture {
protected:
    // Calls `step` on every tick while the operator dialog is shown, until
    // it returns true. The dialog runs its own event loop, so it is driven
    // from a timer.
    void WhilePromptShown(std::function<bool(TOperatorInput*)> step) {
        timer_ = std::make_unique<QTimer>();
        timer_->setInterval(5);
        QObject::connect(timer_.get(), &QTimer::timeout, [this, step] {
            TOperatorInput* dialog = dialogs_.operatorInput;
            if (QApplication::activeModalWidget() != dialog || !dialog->IsShowing()) return;
            ++shown_;
            if (step(dialog)) timer_->stop();
        });
        timer_->start();
    }
    void TearDown() override {
        timer_.reset();  // before the window and the dialogs go
        RunFixture::TearDown();
    }
    std::unique_ptr<QTimer> timer_;
    int shown_ = 0;
};

struct PromptCase {
    const char* name;
    int8_t kind;
    const char* message;
    std::function<bool(TOperatorInput*)> answer;
    int expectedAnswer;
    int expectedChannel;  // the last channel request, -1 for none
};
void PrintTo(const PromptCase& c, std::ostream* os) { *os << c.name; }

bool Click(QPushButton* button) {
    button->click();
    return true;
}

class Prompts : public OperatorFeedback, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(Prompts, TheAnswerReachesTheInstrumentAndTheTestGoesOn) {
    const PromptCase& c = GetParam();
    tests_.SetRuns(1, {{{Record(c.kind, c.message), Log({"before"})}, {Record(kResultPassed), Log({"after"})}}});
    sim_.SetTestStatus(0x07);
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    std::string testLabel;
    WhilePromptShown([&](TOperatorInput* dialog) {
        testLabel = dialog->LB_Test->text().toStdString();
        return c.answer(dialog);
    });
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_GT(shown_, 0);
    EXPECT_EQ(testLabel, "Test '1 - " + std::string(TestCatalogue::TestName(1)) + "'");
    EXPECT_EQ(sim_.CountReceived(kAnswer), 1u);
    EXPECT_EQ(sim_.LastOperatorResponse(), c.expectedAnswer);
    EXPECT_EQ(sim_.LastChannel(), c.expectedChannel);
    EXPECT_EQ(sim_.CountReceived(kResult), 2u);
    EXPECT_EQ(sim_.CountReceived(kTestStatus) > 0, c.kind == kResultRequirements);
    const UCTSTest* record = form->TestRecords().front().get();
    EXPECT_EQ(record->Runs(), 1);
    EXPECT_EQ(record->Passes(), 1);
    EXPECT_FALSE(Contains(StatusLines(form), "> Port Reset"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Prompts,
    ::testing::Values(PromptCase{"Kind4Proceed", 4, "Plug the cable",
                                 [](TOperatorInput* d) { return Click(d->BTN_FailButton); }, 0, -1},
                      PromptCase{"Kind6Proceed", 6, "Press a key",
                                 [](TOperatorInput* d) { return Click(d->BTN_FailButton); }, 0, -1},
                      PromptCase{"Kind7Pass", 7, "Is the picture stable?",
                                 [](TOperatorInput* d) { return Click(d->BTN_PassButton); }, 1, -1},
                      PromptCase{"Kind7Fail", 7, "Is the picture stable?",
                                 [](TOperatorInput* d) { return Click(d->BTN_FailButton); }, 0, -1},
                      PromptCase{"Kind7Closed", 7, "Is the picture stable?",
                                 [](TOperatorInput* d) {
                                     d->close();
                                     return true;
                                 },
                                 0, -1},
                      // Proceed once a status poll has been answered (the instrument's
                      // status 0x07 lights the first lamp green).
                      PromptCase{"Kind8Proceed", 8, "link up\r\nvideo on\r\naudio on",
                                 [](TOperatorInput* d) {
                                     return d->S_Led1->Color() == QColor(0, 255, 0) && Click(d->BTN_FailButton);
                                 },
                                 0, -1},
                      PromptCase{"Kind9ChannelsThenPass", 9, "Listen to the tone",
                                 [](TOperatorInput* d) {
                                     if (!Pair(d, 2)->isChecked()) {
                                         Pair(d, 2)->click();
                                         return false;
                                     }
                                     return Click(d->BTN_PassButton);
                                 },
                                 1, 2},
                      PromptCase{"Kind9Fail", 9, "Listen to the tone",
                                 [](TOperatorInput* d) { return Click(d->BTN_FailButton); }, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Kind 8: "Proceed" pressed while a status request is out closes the dialog
// when the reply has come; only then is the answer sent (no request meets a
// busy link).
TEST_F(OperatorFeedback, AnAnswerGivenDuringAStatusPollWaitsForItsReply) {
    tests_.SetRuns(1, {{{Record(kResultRequirements, "a\nb"), {}}, {Record(kResultPassed), {}}}});
    sim_.SetTestStatus(0x05);
    sim_.SetFault(kTestStatus, {sim::Fault::Delay, 400, -1});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    bool pressedWhileOut = false;
    WhilePromptShown([&](TOperatorInput* dialog) {
        if (!dialog->PollPending()) return false;
        dialog->BTN_FailButton->click();
        pressedWhileOut = dialog->IsShowing();  // still open: the reply closes it
        return true;
    });
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_TRUE(pressedWhileOut);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    EXPECT_EQ(sim_.LastOperatorResponse(), 0);
    EXPECT_EQ(ReceivedOf(kAnswer).size(), 1u);
    // The answer followed the status request.
    const auto received = sim_.Received();
    size_t lastPoll = 0, answer = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        const uint8_t code = sim::InstrumentSim::RequestCode(received[i].data(), received[i].size());
        if (code == kTestStatus) lastPoll = i;
        if (code == kAnswer) answer = i;
    }
    EXPECT_LT(lastPoll, answer);
    EXPECT_FALSE(Contains(StatusLines(form), "> Port Reset"));
    EXPECT_EQ(form->TestRecords().front()->Passes(), 1);
}

// Kind 9: pairs chosen while the first channel request waits for its reply
// never meet a busy link: the newest of them follows the reply, the run goes
// on and the answer is sent last.
TEST_F(OperatorFeedback, ChannelChoicesWhileARequestIsOutSendOnlyTheNewestAfterIt) {
    tests_.SetRuns(1, {{{Record(kResultAudioChannels, "Listen"), {}}, {Record(kResultPassed), {}}}});
    TCTSMainForm* form = OpenForRuns();
    Select(form, {1});
    sim_.SetFault(kChannel, {sim::Fault::Hold, 0, 1});
    platform::MessageBoxInterceptor boxes;
    int step = 0;
    WhilePromptShown([&](TOperatorInput* dialog) {
        switch (step) {
            case 0:
                Pair(dialog, 1)->click();
                ++step;
                return false;
            case 1:
                if (sim_.HeldCount() == 0) return false;
                Pair(dialog, 3)->click();
                Pair(dialog, 2)->click();
                sim_.ReleaseHeld();
                ++step;
                return false;
            default:
                // Pressed while the newest pair's request may still be out:
                // the answer follows it.
                if (sim_.CountReceived(kChannel) < 2) return false;
                dialog->BTN_PassButton->click();
                return true;
        }
    });
    ASSERT_TRUE(RunToEnd(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    const auto channels = ReceivedOf(kChannel);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0], (sim::Bytes{0x71, 0x36, 1}));
    EXPECT_EQ(channels[1], (sim::Bytes{0x71, 0x36, 2}));
    EXPECT_EQ(sim_.LastOperatorResponse(), 1);
    EXPECT_FALSE(Contains(StatusLines(form), "> Port Reset"));
    EXPECT_EQ(form->TestRecords().front()->Passes(), 1);
}

// ---- a double click on a verdict reaches one prompt only

// A press and a release on the button, stamped as the window system stamps
// them (at the button's centre).
void ClickAt(QPushButton* button, quint64 pressTime, quint64 releaseTime) {
    const QPointF at = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    press.setTimestamp(pressTime);
    QApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    release.setTimestamp(releaseTime);
    QApplication::sendEvent(button, &release);
}

struct DoubleClickCase {
    const char* name;
    int intervalMs;    // the desktop's double-click interval
    int gapMs;         // from the first press to the second
    bool acrossTests;  // the second prompt is the next test's, not the same test's
    bool secondTaken;  // the second click answers the second prompt
};
void PrintTo(const DoubleClickCase& c, std::ostream* os) { *os << c.name; }

class DoubleClicks : public OperatorFeedback, public ::testing::WithParamInterface<DoubleClickCase> {
protected:
    void SetUp() override {
        OperatorFeedback::SetUp();
        interval_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    }
    void TearDown() override {
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(interval_);
        OperatorFeedback::TearDown();
    }
    int interval_ = 0;
};

// "Pass" of a question double-clicked: the second click comes when the next
// question already stands at the same place. The event times are the
// clicks' own, so the outcome does not hang on how fast the machine is.
TEST_P(DoubleClicks, TheSecondClickAnswersTheNextQuestionOnlyAfterTheInterval) {
    const DoubleClickCase& c = GetParam();
    const SimStep passed{Record(kResultPassed), {}};
    if (c.acrossTests) {
        tests_.SetRuns(5, {{{Record(kResultQuestionPassFail, "first?"), {}}, passed}});
        tests_.SetRuns(6, {{{Record(kResultQuestionPassFail, "second?"), {}}, passed}});
    } else {
        tests_.SetRuns(5, {{{Record(kResultQuestionPassFail, "first?"), {}},
                            {Record(kResultQuestionPassFail, "second?"), {}},
                            passed}});
    }
    // The first question is answered at leisure; the interval counts for the second.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    TCTSMainForm* form = OpenForRuns();
    if (c.acrossTests) Select(form, {5, 6});
    else Select(form, {5});
    platform::MessageBoxInterceptor boxes;
    // Later than every event a test sent before.
    const quint64 first = static_cast<quint64>(QTest::lastMouseTimestamp) + 100000;
    const quint64 second = first + static_cast<quint64>(c.gapMs);
    bool stillShown = false;
    size_t answersAfterSecondClick = 0;
    int step = 0;
    WhilePromptShown([&](TOperatorInput* dialog) {
        const QString message = dialog->LB_Message->text();
        if (step == 0 && message == "first?") {
            ClickAt(dialog->BTN_PassButton, first, first + 20);
            QGuiApplication::styleHints()->setMouseDoubleClickInterval(c.intervalMs);
            step = 1;
            return false;
        }
        if (step == 1 && message == "second?") {
            ClickAt(dialog->BTN_PassButton, second, second + 20);
            stillShown = dialog->IsShowing();
            answersAfterSecondClick = sim_.CountReceived(kAnswer);
            step = 2;
            if (!stillShown) return true;
            // The question read, the operator answers it: the dialog takes that.
            QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
            ClickAt(dialog->BTN_FailButton, second + 5000, second + 5020);
            return true;
        }
        return false;
    });
    ASSERT_TRUE(RunToEnd(form, boxes));
    QTest::lastMouseTimestamp = static_cast<int>(second + 10000);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    ASSERT_EQ(step, 2);
    EXPECT_EQ(stillShown, !c.secondTaken);
    EXPECT_EQ(answersAfterSecondClick, 1u);
    std::vector<int> answers;
    for (const sim::Bytes& p : ReceivedOf(kAnswer)) answers.push_back(p.at(2));
    EXPECT_EQ(answers, (std::vector<int>{1, c.secondTaken ? 1 : 0}));
    for (const auto& record : form->TestRecords()) EXPECT_EQ(record->Passes(), 1) << record->TestId();
}

INSTANTIATE_TEST_SUITE_P(Intervals, DoubleClicks,
                         ::testing::Values(DoubleClickCase{"Gap60WithinTheDesktopInterval", 400, 60, false, false},
                                           DoubleClickCase{"Gap250WithinTheDesktopInterval", 400, 250, false, false},
                                           DoubleClickCase{"Gap250WithinALongInterval", 600000, 250, false, false},
                                           DoubleClickCase{"Gap60IntoTheNextTestsQuestion", 400, 60, true, false},
                                           DoubleClickCase{"Gap250IntoTheNextTestsQuestionLongInterval", 600000, 250,
                                                           true, false},
                                           // Without an interval nothing is held back: two clicks, two answers.
                                           DoubleClickCase{"Gap60WithoutAnInterval", 0, 60, false, true},
                                           DoubleClickCase{"Gap60IntoTheNextTestWithoutAnInterval", 0, 60, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- failures of the dialog's requests and of the answer

struct DialogFailureCase {
    const char* name;
    int8_t kind;
    uint8_t code;
    sim::FaultSpec fault;
    const char* failure;  // text + result code; empty when the repetition succeeds
    size_t requests;      // requests of `code` received
};
void PrintTo(const DialogFailureCase& c, std::ostream* os) { *os << c.name; }

class DialogRequestFailures : public OperatorFeedback, public ::testing::WithParamInterface<DialogFailureCase> {};

TEST_P(DialogRequestFailures, AreRepeatedOnceThenEndTheRunAndCloseTheDialog) {
    const DialogFailureCase& c = GetParam();
    tests_.SetRuns(1, {{{Record(c.kind, "judge"), {}}, {Record(kResultPassed), {}}}});
    TCTSMainForm* form = OpenForRuns();
    sim_.SetFault(c.code, c.fault);
    Select(form, {1});
    platform::MessageBoxInterceptor boxes;
    WhilePromptShown([&](TOperatorInput* dialog) {
        if (c.kind == kResultAudioChannels) {
            Pair(dialog, 3)->click();  // the dialog stays open for the failure
            return true;
        }
        if (c.kind == kResultRequirements) return false;  // polls until the run ends
        dialog->BTN_PassButton->click();
        return true;
    });
    form->BTN_RunTests->click();
    ASSERT_TRUE(WaitEnded(form, boxes, 30000));
    const auto lines = StatusLines(form);
    EXPECT_TRUE(Contains(lines, "> Port reset complete"));
    EXPECT_EQ(sim_.CountReceived(c.code), c.requests);
    EXPECT_FALSE(dialogs_.operatorInput->IsShowing());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const UCTSTest* record = form->TestRecords().front().get();
    if (!*c.failure) {
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
        EXPECT_EQ(record->Passes(), 1);
        const auto answers = ReceivedOf(kAnswer);
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_EQ(answers[0], answers[1]);  // the same answer again
        EXPECT_EQ(answers[0][2], 1);
        return;
    }
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.failure});
    EXPECT_TRUE(Contains(lines, std::string(">") + c.failure));
    EXPECT_TRUE(Contains(record->Log(), c.failure));
    EXPECT_TRUE(Contains(record->Log(), "Unknown: Communications issues caused this test to abort."));
    EXPECT_EQ(record->Runs(), 0);
    // Nothing is answered once the run has ended, and nothing more is asked.
    if (c.code != kAnswer) {
        EXPECT_EQ(sim_.CountReceived(kAnswer), 0u);
    }
    EXPECT_EQ(sim_.CountReceived(kResult), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DialogRequestFailures,
    ::testing::Values(
        DialogFailureCase{
            "StatusPollSilentTwice", 8, 0x35, {sim::Fault::Silent, 0, -1}, "Test stat Query Failed: 6", 2},
        DialogFailureCase{
            "ChannelRefusedTwice", 9, 0x36, {sim::Fault::Refuse, 0, -1}, "Channel select set Failed: 7", 2},
        DialogFailureCase{
            "AnswerRefusedTwice", 7, 0x1E, {sim::Fault::Refuse, 0, -1}, "Operator response command Failed: 7", 2},
        DialogFailureCase{"AnswerRefusedOnce", 7, 0x1E, {sim::Fault::Refuse, 0, 1}, "", 2}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
