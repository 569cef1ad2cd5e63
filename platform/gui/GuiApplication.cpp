#include "platform/gui/GuiApplication.h"

#include <cstdio>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"

namespace platform {

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
