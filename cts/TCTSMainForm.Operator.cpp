// The main window's side of operator feedback: a prompt of the instrument
// (result codes 4 and 6 to 9) is handed to the operator dialog and shown from
// a posted event once the completion that asked for it has returned; the
// dialog's status poll and channel-pair requests go through the link, and
// the operator's answer is sent from a second posted event. Both events are
// caught by an event filter on the application.
//
// The answer is posted only while no request of the dialog is out (a status
// poll the operator answered during is finished first), and never once the
// run has ended. A run that ends while the dialog is shown closes it with
// Abort, and nothing is sent.
#include <QApplication>
#include <QEvent>
#include <QPushButton>

#include "cts/TCTSMainForm.h"
#include "cts/dialogs/TOperatorInput.h"

namespace {

// The prompt to show (WM_APP + 1) and the answer to send (WM_APP + 3). Each
// carries the run it belongs to, so one left over from an ended run does
// nothing.
const QEvent::Type kShowPromptEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kSendAnswerEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class RunEvent : public QEvent {
public:
    RunEvent(QEvent::Type type, platform::Epoch::Ticket run, int answer = 0)
        : QEvent(type), run(std::move(run)), answer(answer) {}
    const platform::Epoch::Ticket run;
    const int answer;
};

class AppMessageFilter : public QObject {
public:
    explicit AppMessageFilter(TCTSMainForm* form) : form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return form_->AppMessageHook(watched, event); }

private:
    TCTSMainForm* form_;
};

const TCTSMainForm::RunFailure kAnswerFailed{
    "Operator response command Failed: ", "Operator response command Failed: ", false};
const TCTSMainForm::RunFailure kTestStatFailed{"Test stat Query Failed: ", "Test stat Query Failed: ", false};
const TCTSMainForm::RunFailure kChannelFailed{"Channel select set Failed: ", "Channel select set Failed: ", false};

}  // namespace

void TCTSMainForm::InstallAppMessageHook() {
    appMessageFilter_ = std::make_unique<AppMessageFilter>(this);
    QCoreApplication::instance()->installEventFilter(appMessageFilter_.get());
}

bool TCTSMainForm::AppMessageHook(QObject* watched, QEvent* event) {
    if (watched != this) return false;
    if (event->type() == kShowPromptEvent) {
        if (static_cast<RunEvent*>(event)->run.Current()) ShowOperatorInput();
        return true;
    }
    if (event->type() == kSendAnswerEvent) {
        const auto* answer = static_cast<RunEvent*>(event);
        if (answer->run.Current()) SendOperatorResponse(answer->answer);
        return true;
    }
    return false;
}

void TCTSMainForm::HandOperatorPrompt() {
    answerWaiting_ = false;
    dialogRequestPending_ = false;
    TOperatorInput* dialog = dialogs_.operatorInput;
    if (!dialog) {
        // Without the dialog the prompt is answered as closing it would.
        QCoreApplication::postEvent(this, new RunEvent(kSendAnswerEvent, runEpoch_.Stamp(), 0));
        return;
    }
    dialog->ChannelSelectRequest = [this](int pairIndex) { SelectAudioChannels(pairIndex); };
    dialog->StatusPollRequest = [this] { QueryTestStat(); };
    dialog->Setup(resultRecord_.ResultCode(), currentTest_ ? currentTest_->Label() : std::string(),
                  resultRecord_.Text());
    QCoreApplication::postEvent(this, new RunEvent(kShowPromptEvent, runEpoch_.Stamp()));
}

void TCTSMainForm::ShowOperatorInput() {
    TOperatorInput* dialog = dialogs_.operatorInput;
    if (!dialog || !running_) return;
    const platform::Epoch::Ticket run = runEpoch_.Stamp();
    const TOperatorInput::ModalResult result = dialog->ShowModal();
    // Closed with Abort: whoever ended the run has done everything.
    if (result == TOperatorInput::ModalResult::Abort || !run.Current() || !running_) return;
    operatorAnswer_ = result == TOperatorInput::ModalResult::Yes ? 1 : 0;
    answerWaiting_ = true;
    if (!dialogRequestPending_) PostOperatorAnswer();
}

void TCTSMainForm::PostOperatorAnswer() {
    answerWaiting_ = false;
    QCoreApplication::postEvent(this, new RunEvent(kSendAnswerEvent, runEpoch_.Stamp(), operatorAnswer_));
}

void TCTSMainForm::EndOperatorPrompt() {
    answerWaiting_ = false;
    dialogRequestPending_ = false;
    if (dialogs_.operatorInput && dialogs_.operatorInput->IsShowing()) dialogs_.operatorInput->Abort();
}

void TCTSMainForm::SendOperatorResponse(int answer) {
    if (!running_ || !link_) return;
    operatorAnswer_ = answer;
    const auto value = static_cast<uint8_t>(answer);
    SendRunRequest(
        [this, value] { link_->SendOperatorResponse(value, RunCompletion(&TCTSMainForm::OnOperatorResponse)); });
}

void TCTSMainForm::OnOperatorResponse(LinkResult result) {
    if (AbortNoticed()) return;
    if (result != LINK_OK) return RunRequestFailed(result, kAnswerFailed);
    SendRunRequest(
        [this] { link_->QueryTestResult(resultRecord_.Data(), RunCompletion(&TCTSMainForm::OnTestResult)); });
}

void TCTSMainForm::QueryTestStat() {
    if (!running_ || !link_) return;
    dialogRequestPending_ = true;
    SendRunRequest([this] { link_->QueryTestStatus(&testStatus_, RunCompletion(&TCTSMainForm::OnTestStat)); });
}

void TCTSMainForm::OnTestStat(LinkResult result) {
    // The dialog's requests do not look at the abort request: the answer's
    // completion does.
    if (result != LINK_OK) return RunRequestFailed(result, kTestStatFailed);
    dialogRequestPending_ = false;
    if (dialogs_.operatorInput) dialogs_.operatorInput->SetStatus(testStatus_);
    if (answerWaiting_) PostOperatorAnswer();
}

void TCTSMainForm::SelectAudioChannels(int pairIndex) {
    if (!running_ || !link_) return;
    dialogRequestPending_ = true;
    const auto pair = static_cast<uint8_t>(pairIndex);
    SendRunRequest([this, pair] { link_->SetChannel(pair, RunCompletion(&TCTSMainForm::OnChannelSelect)); });
}

void TCTSMainForm::OnChannelSelect(LinkResult result) {
    if (result != LINK_OK) return RunRequestFailed(result, kChannelFailed);
    dialogRequestPending_ = false;
    if (answerWaiting_) PostOperatorAnswer();
}
