#pragma once
// TOperatorInput: the dialog through which the operator answers a prompt of
// the instrument (result codes 4 and 6 to 9 of the test-result query).
//
// The main window creates it once and, for every prompt, sets the two
// request closures, calls Setup with the prompt's kind, the test's label and
// the prompt's text, and later ShowModal. The answer follows from the modal
// result: Yes ("Pass") is answered with 1, No ("Proceed", "Fail" or the
// window's close button) with 0, Abort (the run ended meanwhile) with
// nothing.
//
// Kind 8 polls the instrument's test status every 500 ms while the dialog is
// shown: the timer stops itself and asks for the status through
// StatusPollRequest; the reply (SetStatus) colours the three lamps and
// restarts the timer. "Proceed" pressed while a status request is out takes
// effect when the reply arrives. Kind 9 lets the operator choose the audio
// channel pair the instrument monitors; each new choice goes out through
// ChannelSelectRequest, one at a time: a choice made while a channel request
// is out waits for its completion (ChannelSelectDone), and of several such
// choices only the newest is sent.
//
// The dialog has a fixed size, computed from its texts when it is shown, and
// is centred on its parent. Esc does not close it: an answer is given with a
// button or the window's close button only.
//
// The same dialog at the same place shows every prompt, so the second click
// of a double click on "Pass" would land on the next prompt's "Pass", unread.
// From each showing the verdict buttons ("Pass", and "Fail" or "Proceed")
// therefore take no input for the desktop's double-click interval
// (QStyleHints::mouseDoubleClickInterval): no press of the mouse or of the
// Space key. The interval counts both on the clock of the input events (from the
// latest pointer or key event the application received before the showing,
// so a double click is recognised by its own timestamps however late the
// machine delivers it) and on the real clock from the showing. A click or
// key press that began before the showing is not taken either: a release
// whose press the showing did not take, and a held key's repeats.

#include <QButtonGroup>
#include <QDialog>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/gui/Lamp.h"

class QInputEvent;

class TOperatorInput : public QDialog {
public:
    enum class ModalResult { None, Yes, No, Abort };

    // Clears every state and both closures.
    explicit TOperatorInput(QWidget* parent = nullptr);
    ~TOperatorInput() override;

    // Set by the main window before each prompt; called by the dialog.
    std::function<void(int pairIndex)> ChannelSelectRequest;  // 0..3
    std::function<void()> StatusPollRequest;

    // Prepares the dialog for a prompt of the given kind (4, 6, 7, 8 or 9;
    // other kinds only get the texts). Label and message are 8-bit
    // Windows-1252 texts; the message's lines end with CR, LF or CR LF.
    void Setup(int kind, const std::string& testLabel, const std::string& message);
    // Colours the three lamps from the nibbles of value: bits 0-1 lamp 1,
    // bits 4-5 lamp 2, bits 8-9 lamp 3; 0 red, 1 green, 2 blank, 3 black.
    void SetLamps(uint32_t value);
    // The status poll's reply: bits 0, 1 and 2 light lamps 1, 2 and 3 green
    // when set and red when clear. Restarts the poll while the dialog is
    // shown; a result chosen while the request was out closes the dialog now.
    void SetStatus(uint8_t statusByte);
    // Stops the poll and closes the dialog with ModalResult::Abort. Does
    // nothing else while the dialog is not shown.
    void Abort();
    // Shows the dialog modally and returns how it was closed.
    ModalResult ShowModal();
    bool PollPending() const { return pollPending_; }  // a status request is out
    // The main window's word that the channel request is done: the pair
    // chosen meanwhile, if it is not the one just sent, goes out now.
    void ChannelSelectDone();
    bool IsShowing() const { return showing_; }  // inside ShowModal

    // Handlers.
    void FormShow();
    void FormClose();
    void StatPollTimerTimer();
    void BTN_PassButtonClick();
    void BTN_FailButtonClick();
    void RG_ChannelSelectClick();

    QLabel* LB_Mark;
    QLabel* LB_Test;
    QLabel* LB_MessageAbout;
    QFrame* PNL_Message;
    platform::Lamp* S_Led1;
    platform::Lamp* S_Led2;
    platform::Lamp* S_Led3;
    QLabel* LB_Message;
    QLabel* LB_Message2;
    QLabel* LB_Message3;
    QGroupBox* RG_ChannelSelect;  // RG_ChannelSelect_0 .. RG_ChannelSelect_3
    QPushButton* BTN_PassButton;
    QPushButton* BTN_FailButton;  // "Proceed" or "Fail"
    QTimer* StatPollTimer;

    // Every way the dialog closes ends here.
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether an answering input (a press of the mouse or of Space) comes too
    // early for this showing; `before` is the timestamp of the latest input of
    // its kind the application received before the showing.
    bool TooEarly(const QInputEvent* event, const std::optional<quint64>& before) const;
    // True when the event on a verdict button is not taken.
    bool FiltersButtonInput(QEvent* event);
    void CloseWith(ModalResult result);
    void ChooseResult(ModalResult result);
    int SelectedPair() const;
    void PlaceControls(int clientWidth, int clientHeight);

    QButtonGroup* channelPairs_;
    std::array<QRadioButton*, 4> pairButtons_{};
    bool polling_ = false;
    bool pollPending_ = false;
    bool showing_ = false;
    ModalResult pendingResult_ = ModalResult::None;
    ModalResult modalResult_ = ModalResult::None;
    void SendChosenPair();

    int lastChannelPair_ = 0;  // the pair chosen last
    int sentChannelPair_ = 0;  // the pair of the last channel request
    bool channelPending_ = false;
    int messageHeight_ = 0;

    // The latest pointer and key timestamps of the whole application, and
    // those of them that came before the current showing.
    class InputClock;
    std::unique_ptr<InputClock> inputClock_;
    std::optional<quint64> pointerBeforeShow_;
    std::optional<quint64> keyBeforeShow_;
    QElapsedTimer shownFor_;
    bool answerBegun_ = false;  // a press on a verdict button was taken in this showing
};
