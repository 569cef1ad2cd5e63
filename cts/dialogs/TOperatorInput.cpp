#include "cts/dialogs/TOperatorInput.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QSignalBlocker>
#include <QStyleHints>

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/Windows1252.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/Modal.h"

using platform::Named;
using platform::PlainLabel;

namespace {

constexpr int kPollIntervalMs = 500;

// Sizes of the window, in pixels. The client area is as high as the message
// panel plus the two texts above it and the button row below it, and as wide
// as its longest text needs, at least kMinClientWidth.
constexpr int kRowHeight = 21;           // one message row, and the lamp beside it
constexpr int kStatusRows = 3;           // the rows of a kind-8 prompt: link, video, audio
constexpr int kLampWidth = 15;           // the lamp column
constexpr int kChannelGroupHeight = 35;  // the panel's height while it holds the channel group
constexpr int kChannelGroupWidth = 535;  // the narrowest window that shows the four pairs
constexpr int kMinClientWidth = 330;
constexpr int kTestLabelMargin = 100;   // window width beyond the text of LB_Test
constexpr int kMessageMargin = 120;     // window width beyond the text of a message row
constexpr int kHeightAroundPanel = 93;  // texts above the panel, buttons below it
constexpr int kTextLeft = 88;           // the texts start right of the "?"
constexpr int kMessageLeft = 20;        // in the panel, right of the lamps
constexpr int kTextHeight = 16;         // LB_Test and LB_MessageAbout
constexpr int kPanelTop = 48;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kMargin = 8;
constexpr int kDialogFontPixels = 11;
constexpr int kMarkFontPixels = 100;

const char* const kPairCaptions[] = {"Channels 1 && 2", "Channels 3 && 4", "Channels 5 && 6", "Channels 7 && 8"};

// The lines of a message, cut at CR, LF or CR LF. A break at the very end
// starts no further line, so an empty message has no line at all.
std::vector<std::string> SplitLines(std::string_view message) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(message.substr(start, i - start));
        if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < message.size()) lines.emplace_back(message.substr(start));
    return lines;
}

// The keys that press a focused button (its press on the key's press, its
// click on the release). Enter and Return click nothing here: the buttons are
// no default buttons.
bool IsAnswerKey(int key) { return key == Qt::Key_Space || key == Qt::Key_Select; }

}  // namespace

// Watches the application's input: the timestamps of the latest pointer and
// key events, whatever widget they went to. Pointer and keyboard keep their
// own clocks (a window system may stamp them alike, a test does not).
class TOperatorInput::InputClock : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
                latestPointer = static_cast<QInputEvent*>(event)->timestamp();
                break;
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                latestKey = static_cast<QInputEvent*>(event)->timestamp();
                break;
            default:
                break;
        }
        return false;
    }
    std::optional<quint64> latestPointer;
    std::optional<quint64> latestKey;
};

TOperatorInput::TOperatorInput(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("OperatorInput"));
    setWindowTitle(QStringLiteral("Operator feedback required"));
    setModal(true);
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDialogFontPixels);
    setFont(font);

    LB_Mark = PlainLabel(this, "LB_Mark", QStringLiteral("?"));
    QFont mark(QStringLiteral("Arial"));
    mark.setStyleHint(QFont::SansSerif);
    mark.setBold(true);
    mark.setPixelSize(kMarkFontPixels);
    LB_Mark->setFont(mark);
    LB_Mark->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    LB_Test = PlainLabel(this, "LB_Test");
    LB_MessageAbout = PlainLabel(this, "LB_MessageAbout");

    PNL_Message = platform::Panel(this, "PNL_Message");
    S_Led1 = Named<platform::Lamp>(PNL_Message, "S_Led1");
    S_Led2 = Named<platform::Lamp>(PNL_Message, "S_Led2");
    S_Led3 = Named<platform::Lamp>(PNL_Message, "S_Led3");
    LB_Message = PlainLabel(PNL_Message, "LB_Message");
    LB_Message2 = PlainLabel(PNL_Message, "LB_Message2");
    LB_Message3 = PlainLabel(PNL_Message, "LB_Message3");

    RG_ChannelSelect =
        Named<QGroupBox>(PNL_Message, "RG_ChannelSelect", QStringLiteral(" Select monitored audio channels "));
    channelPairs_ = new QButtonGroup(this);
    auto* pairs = new QHBoxLayout(RG_ChannelSelect);
    pairs->setContentsMargins(kMargin, 0, kMargin, 0);
    pairs->setSpacing(0);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "RG_ChannelSelect_" + std::to_string(i);
        pairButtons_[i] = Named<QRadioButton>(RG_ChannelSelect, name.c_str(), QString::fromLatin1(kPairCaptions[i]));
        channelPairs_->addButton(pairButtons_[i], i);
        pairs->addWidget(pairButtons_[i], 1);
    }
    RG_ChannelSelect->hide();

    BTN_PassButton = platform::Button(this, "BTN_PassButton", QStringLiteral("Pass"));
    BTN_FailButton = platform::Button(this, "BTN_FailButton", QStringLiteral("Proceed"));
    BTN_PassButton->hide();

    StatPollTimer = new QTimer(this);
    StatPollTimer->setObjectName(QStringLiteral("StatPollTimer"));
    StatPollTimer->setInterval(kPollIntervalMs);

    connect(StatPollTimer, &QTimer::timeout, this, [this] { StatPollTimerTimer(); });
    connect(BTN_PassButton, &QPushButton::clicked, this, [this] { BTN_PassButtonClick(); });
    connect(BTN_FailButton, &QPushButton::clicked, this, [this] { BTN_FailButtonClick(); });
    connect(channelPairs_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) RG_ChannelSelectClick();
    });

    messageHeight_ = kRowHeight;
    PlaceControls(kMinClientWidth, messageHeight_ + kHeightAroundPanel);

    inputClock_ = std::make_unique<InputClock>();
    QCoreApplication::instance()->installEventFilter(inputClock_.get());
    BTN_PassButton->installEventFilter(this);
    BTN_FailButton->installEventFilter(this);
}

// The clock leaves the application with the dialog (its destructor removes
// the filter).
TOperatorInput::~TOperatorInput() = default;

void TOperatorInput::Setup(int kind, const std::string& testLabel, const std::string& message) {
    const std::vector<std::string> lines = SplitLines(message);
    messageHeight_ = static_cast<int>(lines.size()) * kRowHeight;
    QLabel* const rows[] = {LB_Message, LB_Message2, LB_Message3};
    QString texts[3];
    for (size_t i = 0; i < 3; ++i) texts[i] = i < lines.size() ? platform::FromWindows1252(lines[i]) : QString();
    for (size_t i = 0; i < 3; ++i) rows[i]->setText(texts[i]);
    LB_Test->setText(QStringLiteral("Test '") + platform::FromWindows1252(testLabel) + QStringLiteral("'"));

    const auto showRows = [&](bool shown) {
        for (QWidget* w : std::initializer_list<QWidget*>{S_Led1, S_Led2, S_Led3, LB_Message, LB_Message2, LB_Message3})
            w->setVisible(shown);
    };
    switch (kind) {
        case 4:
        case 6:
        case 7:
            SetLamps(0x222);
            BTN_PassButton->setVisible(kind == 7);
            BTN_FailButton->setText(kind == 7 ? QStringLiteral("Fail") : QStringLiteral("Proceed"));
            LB_MessageAbout->setText(QStringLiteral("Requires operator feedback with message:"));
            RG_ChannelSelect->hide();
            showRows(true);
            messageHeight_ = kRowHeight;
            polling_ = false;
            break;
        case 8:
            // The panel is as high as the message's lines, but a message with
            // no line still shows the three rows with their prefixes, and one
            // of more than three lines (only three are shown) no empty space
            // below them.
            if (lines.empty() || static_cast<int>(lines.size()) > kStatusRows)
                messageHeight_ = kStatusRows * kRowHeight;
            SetLamps(0);
            BTN_PassButton->hide();
            BTN_FailButton->setText(QStringLiteral("Proceed"));
            LB_MessageAbout->setText(QStringLiteral("Test requirements:"));
            RG_ChannelSelect->hide();
            showRows(true);
            LB_Message->setText(QStringLiteral("LINK: ") + texts[0]);
            LB_Message2->setText(QStringLiteral("VIDEO: ") + texts[1]);
            LB_Message3->setText(QStringLiteral("AUDIO: ") + texts[2]);
            polling_ = true;
            break;
        case 9: {
            SetLamps(0x222);
            BTN_PassButton->show();
            BTN_FailButton->setText(QStringLiteral("Fail"));
            LB_MessageAbout->setText(LB_Message->text());
            {
                // Setting up selects pair 1 without a channel request: each prompt starts there.
                const QSignalBlocker blockGroup(channelPairs_);
                pairButtons_[0]->setChecked(true);
            }
            lastChannelPair_ = 0;
            sentChannelPair_ = 0;
            channelPending_ = false;
            RG_ChannelSelect->show();
            showRows(false);
            messageHeight_ = kChannelGroupHeight;
            polling_ = false;
            break;
        }
        default:
            break;
    }
}

void TOperatorInput::SetLamps(uint32_t value) {
    // Fill and outline of each lamp state; a blank lamp takes the colour of the buttons and so disappears.
    const QColor face = palette().color(QPalette::Button);
    const QColor fills[] = {platform::ColorFromBgr(0x0000FF), platform::ColorFromBgr(0x00FF00), face,
                            platform::ColorFromBgr(0x000000)};
    const QColor outlines[] = {platform::ColorFromBgr(0x000080), platform::ColorFromBgr(0x008000), face,
                               platform::ColorFromBgr(0x000000)};
    platform::Lamp* const lamps[] = {S_Led1, S_Led2, S_Led3};
    for (int i = 0; i < 3; ++i) {
        const uint32_t state = (value >> (4 * i)) & 0x3;
        lamps[i]->SetColor(fills[state], outlines[state]);
    }
}

void TOperatorInput::SetStatus(uint8_t statusByte) {
    SetLamps((statusByte & 0x1) | (statusByte & 0x2) << 3 | (statusByte & 0x4) << 6);
    pollPending_ = false;
    if (!showing_) return;  // a reply after the dialog has closed leaves the timer stopped
    if (pendingResult_ != ModalResult::None) {
        CloseWith(pendingResult_);
        return;
    }
    if (polling_) StatPollTimer->start();
}

void TOperatorInput::Abort() {
    StatPollTimer->stop();
    if (showing_) CloseWith(ModalResult::Abort);
}

TOperatorInput::ModalResult TOperatorInput::ShowModal() {
    FormShow();
    showing_ = true;
    platform::ExecModal(*this);
    showing_ = false;
    StatPollTimer->stop();
    return modalResult_ == ModalResult::None ? ModalResult::No : modalResult_;
}

void TOperatorInput::FormShow() {
    const QFontMetrics metrics(font());
    int width = std::max(kMinClientWidth, metrics.horizontalAdvance(LB_Test->text()) + kTestLabelMargin);
    if (!RG_ChannelSelect->isHidden()) {
        // A font wider than the dialog's usual one needs more than kChannelGroupWidth for the four pairs.
        width =
            std::max({width, kChannelGroupWidth, kTextLeft + RG_ChannelSelect->minimumSizeHint().width() + kMargin});
    }
    for (const QLabel* row : {LB_Message, LB_Message2, LB_Message3})
        width = std::max(width, metrics.horizontalAdvance(row->text()) + kMessageMargin);
    const int height = messageHeight_ + kHeightAroundPanel;
    PlaceControls(width, height);
    setFixedSize(width, height);
    if (QWidget* owner = parentWidget()) move(owner->frameGeometry().center() - rect().center());

    pendingResult_ = ModalResult::None;
    modalResult_ = ModalResult::None;
    // A new showing: whatever input came so far belongs to what was shown before.
    pointerBeforeShow_ = inputClock_->latestPointer;
    keyBeforeShow_ = inputClock_->latestKey;
    answerBegun_ = false;
    shownFor_.start();
    if (polling_) StatPollTimer->start();
}

void TOperatorInput::PlaceControls(int clientWidth, int clientHeight) {
    // The "?" column runs the whole height: the buttons lie right of it.
    LB_Mark->setGeometry(0, 0, kTextLeft, clientHeight);
    const int textWidth = clientWidth - kTextLeft - kMargin;
    LB_Test->setGeometry(kTextLeft, kMargin, textWidth, kTextHeight);
    LB_MessageAbout->setGeometry(kTextLeft, kMargin + kTextHeight + 4, textWidth, kTextHeight);
    PNL_Message->setGeometry(kTextLeft, kPanelTop, textWidth, messageHeight_);
    platform::Lamp* const lamps[] = {S_Led1, S_Led2, S_Led3};
    QLabel* const rows[] = {LB_Message, LB_Message2, LB_Message3};
    for (int i = 0; i < 3; ++i) {
        lamps[i]->setGeometry(0, i * kRowHeight, kLampWidth, kRowHeight);
        rows[i]->setGeometry(kMessageLeft, i * kRowHeight, textWidth - kMessageLeft, kRowHeight);
    }
    RG_ChannelSelect->setGeometry(0, messageHeight_ - kChannelGroupHeight, textWidth, kChannelGroupHeight);

    // The buttons at the bottom right, "Pass" rightmost; both as wide as the wider caption needs.
    const int buttonWidth =
        std::max({kButtonWidth, BTN_PassButton->minimumSizeHint().width(), BTN_FailButton->minimumSizeHint().width()});
    const int buttonTop = clientHeight - kMargin - kButtonHeight;
    int right = clientWidth - kMargin;
    if (!BTN_PassButton->isHidden()) {
        BTN_PassButton->setGeometry(right - buttonWidth, buttonTop, buttonWidth, kButtonHeight);
        right -= buttonWidth + kMargin;
    }
    BTN_FailButton->setGeometry(right - buttonWidth, buttonTop, buttonWidth, kButtonHeight);
}

void TOperatorInput::StatPollTimerTimer() {
    StatPollTimer->stop();
    if (!StatusPollRequest) return;
    // Pending before the call: a reply may arrive inside it.
    pollPending_ = true;
    StatusPollRequest();
}

void TOperatorInput::ChooseResult(ModalResult result) {
    StatPollTimer->stop();
    if (pollPending_) pendingResult_ = result;
    else CloseWith(result);
}

void TOperatorInput::BTN_PassButtonClick() { ChooseResult(ModalResult::Yes); }

void TOperatorInput::BTN_FailButtonClick() { ChooseResult(ModalResult::No); }

void TOperatorInput::CloseWith(ModalResult result) {
    modalResult_ = result;
    done(QDialog::Rejected);
}

void TOperatorInput::FormClose() {
    StatPollTimer->stop();
    if (modalResult_ == ModalResult::None) modalResult_ = ModalResult::No;
}

void TOperatorInput::done(int result) {
    FormClose();
    // Closed: from here a late reply or Abort finds the dialog no longer showing, even before exec() returns.
    showing_ = false;
    QDialog::done(result);
}

bool TOperatorInput::TooEarly(const QInputEvent* event, const std::optional<quint64>& before) const {
    const auto interval = static_cast<quint64>(std::max(0, QGuiApplication::styleHints()->mouseDoubleClickInterval()));
    if (shownFor_.isValid() && static_cast<quint64>(shownFor_.elapsed()) < interval) return true;
    // On the events' own clock: an input stamped before the latest one that
    // came before the showing is older than the showing too.
    return before && event->timestamp() < *before + interval;
}

bool TOperatorInput::FiltersButtonInput(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // Only a shown prompt is answered.
            if (!showing_ || TooEarly(static_cast<QInputEvent*>(event), pointerBeforeShow_)) return true;
            answerBegun_ = true;
            return false;
        case QEvent::MouseButtonRelease:
            // The release of a press this showing did not take clicks nothing.
            return !answerBegun_;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!IsAnswerKey(key->key())) return false;
            // A held key's repeats began before the showing, or with a refused press.
            if (!showing_ || key->isAutoRepeat() || TooEarly(key, keyBeforeShow_)) return true;
            answerBegun_ = true;
            return false;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            return IsAnswerKey(key->key()) && !answerBegun_;
        }
        default:
            return false;
    }
}

bool TOperatorInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched != BTN_PassButton && watched != BTN_FailButton) return QDialog::eventFilter(watched, event);
    if (!FiltersButtonInput(event)) return false;
    event->accept();
    return true;
}

void TOperatorInput::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int TOperatorInput::SelectedPair() const { return channelPairs_->checkedId(); }

void TOperatorInput::RG_ChannelSelectClick() {
    const int pair = SelectedPair();
    if (pair < 0 || pair == lastChannelPair_) return;
    lastChannelPair_ = pair;
    SendChosenPair();
}

void TOperatorInput::SendChosenPair() {
    if (channelPending_ || lastChannelPair_ == sentChannelPair_ || !ChannelSelectRequest) return;
    // Pending before the call: its completion may come inside it.
    channelPending_ = true;
    sentChannelPair_ = lastChannelPair_;
    ChannelSelectRequest(lastChannelPair_);
}

void TOperatorInput::ChannelSelectDone() {
    channelPending_ = false;
    SendChosenPair();
}
