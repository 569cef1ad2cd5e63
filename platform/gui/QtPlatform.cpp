#include "platform/gui/QtPlatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>

#include <cstdio>

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

GuiApplication::GuiApplication(int& argc, char** argv, std::string title)
    : QApplication(argc, argv), title_(std::move(title)) {}

std::string GuiApplication::MessageOf(const std::exception_ptr& exception) const {
    if (!exception) return {};
    if (ownText_)
        if (std::optional<std::string> own = ownText_(exception)) return *own;
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return {};
    }
}

void GuiApplication::ShowException(const std::exception_ptr& exception) {
    const std::string message = MessageOf(exception);
    if (showing_) {
        std::fprintf(stderr, "[%s] %s\n", title_.c_str(), message.c_str());
        return;
    }
    showing_ = true;
    struct Shown {
        bool& showing;
        ~Shown() { showing = false; }
    } shown{showing_};
    // Once the main window has named the program's title, every box bears the same one.
    const std::string title = ProgramTitle().empty() ? title_ : ProgramTitle();
    // No owner named: the box takes the program's main window.
    ShowMessageBox(message, title, MsgIcon::Error, MsgButtons::Ok);
}

bool GuiApplication::notify(QObject* receiver, QEvent* event) {
    std::exception_ptr caught;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        caught = std::current_exception();
    }
    // Only the GUI thread shows boxes; no other thread of the suite runs a
    // Qt event loop.
    if (!IsGuiThread()) std::rethrow_exception(caught);
    ShowException(caught);
    return false;
}

}  // namespace platform
