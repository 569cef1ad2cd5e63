#pragma once
// A borderless window that shows the progress of a long operation run on the
// GUI thread (the AUX channel sensitivity test) while the main window is
// disabled. The operation runs one blocking step per turn of the event loop;
// every change is painted at once, so the window is current while a step
// blocks.
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/gui/MessageList.h"

class TProgressForm : public QWidget {
public:
    // How long WhenExposed waits for the window system before it runs its
    // function anyway (a window that is never exposed must not hold the
    // operation up for good).
    static constexpr int kExposeWaitMs = 2000;

    // mainWindow: disabled while the progress shows, and the window is
    // centred on it.
    explicit TProgressForm(QWidget* mainWindow);

    void Start(const QString& text, int steps);
    void AddLine(const QString& text);
    void ReplaceLastLine(const QString& text);
    void Finish();

    // Runs fn in a turn of the event loop of its own once the window system
    // has exposed the shown window (posted at once when it is exposed
    // already). A window that is not exposed yet cannot be painted, however
    // it is repainted: the first blocking step waits for this.
    void WhenExposed(std::function<void()> fn);

    QLabel* lblProgress;
    QProgressBar* pbProgress;
    platform::MessageList* lbProgress;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintNow();
    void PostWhenExposed();

    QWidget* const mainWindow_;
    std::function<void()> whenExposed_;
    QTimer exposeWait_;
};
