#include "platform/gui/QtPlatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/gui/Modal.h"

namespace platform {

MsgResult ShowQtMessageBox(const MessageBoxRequest& r) {
    QMessageBox box(r.owner);
    // Box texts often carry texts from the instrument, a file or the operator:
    // never let Qt take one that looks like mark-up for rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(r.text.c_str()));
    box.setWindowTitle(QString::fromUtf8(r.title.c_str()));
    switch (r.icon) {
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::None:
            break;
    }
    switch (r.buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::YesCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
            break;
    }
    switch (ExecModal(box)) {
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        default:
            return MsgResult::Ok;
    }
}

void InstallQtPlatform() {
    SetGuiThreadToCurrent();
    QPointer<QCoreApplication> app(QCoreApplication::instance());
    // One event-loop turn per call or post, each queued as an event of its
    // own: a post never runs inside another handler. A turn that finds the
    // queue already emptied (a wait served the call it was queued for) does
    // nothing.
    SetGuiWaker([app] {
        if (app)
            QMetaObject::invokeMethod(
                app.data(), [] { RunGuiTurn(); }, Qt::QueuedConnection);
    });
    SetMessageBoxHandler(ShowQtMessageBox);
}

}  // namespace platform
