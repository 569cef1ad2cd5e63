#include "sinkmonitor/TProgressForm.h"

#include <QVBoxLayout>
#include <QWindow>
#include <utility>

#include "platform/GuiCall.h"
#include "platform/gui/FormKit.h"

// A tool window: window systems keep it above the window it is transient
// for (on X11 only a tool, dialog or similar window gets WM_TRANSIENT_FOR;
// a plain window would be nobody's and could end up under the disabled main
// window), and it gets no task-bar entry of its own.
TProgressForm::TProgressForm(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), mainWindow_(mainWindow) {
    setObjectName("ProgressForm");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = platform::Panel(this, "pnlProgress");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    lblProgress = platform::PlainLabel(panel, "lblProgress");
    layout->addWidget(lblProgress);
    pbProgress = platform::ProgressBar(panel, "pbProgress");
    pbProgress->setTextVisible(false);
    layout->addWidget(pbProgress);
    lbProgress = platform::Named<platform::MessageList>(panel, "lbProgress");
    layout->addWidget(lbProgress, 1);
    setFixedSize(381, 176);
    exposeWait_.setSingleShot(true);
    connect(&exposeWait_, &QTimer::timeout, this, [this] { PostWhenExposed(); });
}

void TProgressForm::Start(const QString& text, int steps) {
    pbProgress->setRange(0, steps);
    pbProgress->setValue(0);
    lblProgress->setText(text);
    lbProgress->clear();
    if (mainWindow_) {
        mainWindow_->setEnabled(false);
        const QRect frame = mainWindow_->frameGeometry();
        move(frame.center() - rect().center());
        // Owned by the main window (kept above it), without being its child:
        // a child would be disabled with it. Set before show(), which is when
        // the window system is told.
        winId();
        if (windowHandle()) windowHandle()->setTransientParent(mainWindow_->window()->windowHandle());
    }
    show();
    raise();
    PaintNow();
}

void TProgressForm::AddLine(const QString& text) {
    lbProgress->ShowLine(text);
    pbProgress->setValue(pbProgress->value() + 1);
    PaintNow();
}

void TProgressForm::ReplaceLastLine(const QString& text) {
    if (lbProgress->count() > 0) lbProgress->item(lbProgress->count() - 1)->setText(text);
    PaintNow();
}

// A repaint of the window alone leaves a changed line of the list unpainted
// until the event loop turns: the list paints its lines itself.
void TProgressForm::PaintNow() {
    repaint();
    lbProgress->PaintNow();
}

void TProgressForm::Finish() {
    exposeWait_.stop();
    whenExposed_ = nullptr;
    hide();
    if (mainWindow_) mainWindow_->setEnabled(true);
}

void TProgressForm::WhenExposed(std::function<void()> fn) {
    whenExposed_ = std::move(fn);
    QWindow* window = windowHandle();
    if (!window || window->isExposed()) {
        PostWhenExposed();
        return;
    }
    window->removeEventFilter(this);
    window->installEventFilter(this);
    exposeWait_.start(kExposeWaitMs);
}

bool TProgressForm::eventFilter(QObject* watched, QEvent* event) {
    // The expose is handled (and the window painted) after this filter; the
    // function posted here runs in a later turn.
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed() && whenExposed_)
        PostWhenExposed();
    return QWidget::eventFilter(watched, event);
}

void TProgressForm::PostWhenExposed() {
    exposeWait_.stop();
    if (auto fn = std::exchange(whenExposed_, nullptr)) platform::PostToGuiThread(std::move(fn));
}
