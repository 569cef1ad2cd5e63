#pragma once
// A borderless window that shows the progress of a long operation run on the
// GUI thread (the AUX channel sensitivity test) while the main window is
// disabled. The caller serves no events between Start and Finish, so every
// change is painted at once.
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "platform/gui/MessageList.h"

class TProgressForm : public QWidget {
public:
    // mainWindow: disabled while the progress shows, and the window is
    // centred on it.
    explicit TProgressForm(QWidget* mainWindow);

    void Start(const QString& text, int steps);
    void AddLine(const QString& text);
    void ReplaceLastLine(const QString& text);
    void Finish();

    QLabel* lblProgress;
    QProgressBar* pbProgress;
    platform::MessageList* lbProgress;

private:
    QWidget* const mainWindow_;
};
