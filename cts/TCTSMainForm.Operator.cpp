// The main window's side of operator feedback: a prompt the run hands over
// (result codes 4 and 6 to 9) sets up the operator dialog and is shown from a
// posted event once the completion that asked for it has returned; the
// dialog's status poll and channel-pair requests are the run's, and the
// operator's answer, once the run lets it go (no request of the dialog out),
// is sent from a second posted event. Both events are caught by an event
// filter on the application and carry the run's ticket, so one left over
// from an ended run does nothing. A run that ends while the dialog is shown
// closes it with Abort, and nothing is sent.
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
        if (answer->run.Current()) run_.SendAnswer(answer->answer);
        return true;
    }
    return false;
}

void TCTSMainForm::ShowPrompt(int kind, const std::string& testLabel, const std::string& message) {
    TOperatorInput* dialog = dialogs_.operatorInput;
    if (!dialog) {
        // Without the dialog the prompt is answered as closing it would.
        QCoreApplication::postEvent(this, new RunEvent(kSendAnswerEvent, run_.Stamp(), 0));
        return;
    }
    dialog->ChannelSelectRequest = [this](int pairIndex) { run_.SelectChannels(pairIndex); };
    dialog->StatusPollRequest = [this] { run_.QueryTestStatus(); };
    dialog->Setup(kind, testLabel, message);
    QCoreApplication::postEvent(this, new RunEvent(kShowPromptEvent, run_.Stamp()));
}

void TCTSMainForm::ShowOperatorInput() {
    TOperatorInput* dialog = dialogs_.operatorInput;
    if (!dialog || !run_.Running()) return;
    const platform::Epoch::Ticket run = run_.Stamp();
    const TOperatorInput::ModalResult result = dialog->ShowModal();
    // Closed with Abort: whoever ended the run has done everything.
    if (result == TOperatorInput::ModalResult::Abort || !run.Current() || !run_.Running()) return;
    run_.OperatorAnswered(result == TOperatorInput::ModalResult::Yes ? 1 : 0);
}

void TCTSMainForm::PostAnswer(int answer) {
    QCoreApplication::postEvent(this, new RunEvent(kSendAnswerEvent, run_.Stamp(), answer));
}

void TCTSMainForm::PromptStatus(uint8_t status) {
    if (dialogs_.operatorInput) dialogs_.operatorInput->SetStatus(status);
}

void TCTSMainForm::PromptChannelDone() {
    if (dialogs_.operatorInput) dialogs_.operatorInput->ChannelSelectDone();
}

void TCTSMainForm::EndOperatorPrompt() {
    if (dialogs_.operatorInput && dialogs_.operatorInput->IsShowing()) dialogs_.operatorInput->Abort();
}
