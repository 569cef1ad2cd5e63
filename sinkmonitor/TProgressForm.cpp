#include "sinkmonitor/TProgressForm.h"

#include <QVBoxLayout>
#include <QWindow>

#include "platform/gui/FormKit.h"

TProgressForm::TProgressForm(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), mainWindow_(mainWindow) {
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
    pbProgress = platform::Named<QProgressBar>(panel, "pbProgress");
    pbProgress->setTextVisible(false);
    layout->addWidget(pbProgress);
    lbProgress = platform::Named<platform::MessageList>(panel, "lbProgress");
    layout->addWidget(lbProgress, 1);
    setFixedSize(381, 176);
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
        // a child would be disabled with it.
        winId();
        if (windowHandle()) windowHandle()->setTransientParent(mainWindow_->window()->windowHandle());
    }
    show();
    raise();
    repaint();
}

void TProgressForm::AddLine(const QString& text) {
    lbProgress->AddLine(text);
    lbProgress->scrollToBottom();
    pbProgress->setValue(pbProgress->value() + 1);
    repaint();
}

void TProgressForm::ReplaceLastLine(const QString& text) {
    if (lbProgress->count() > 0) lbProgress->item(lbProgress->count() - 1)->setText(text);
    repaint();
}

void TProgressForm::Finish() {
    hide();
    if (mainWindow_) mainWindow_->setEnabled(true);
}
