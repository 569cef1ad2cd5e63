#pragma once
#include <functional>
#include <string>

class QWidget;

namespace platform {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, YesCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QWidget* owner = nullptr;
    std::string text;   // UTF-8
    std::string title;  // UTF-8
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

using MessageBoxHandler = std::function<MsgResult(const MessageBoxRequest&)>;

// The one message-box function of the whole system. It shows a modal box
// through the installed handler (platform_gui installs QMessageBox); with no
// handler it writes the text to stderr and answers Ok. A request that names
// no owner is owned by the program's main window, and one without a title
// bears the program's title (SetProgramWindow), so a box of the link, which
// knows no window, still sits on the program's window.
MsgResult ShowMessageBox(const MessageBoxRequest& request);
MsgResult ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon = MsgIcon::None,
                         MsgButtons buttons = MsgButtons::Ok, QWidget* owner = nullptr);

// The program's main window and title (UTF-8), set by the main window when it
// is built. ClearProgramWindow forgets them when they are the given window's.
void SetProgramWindow(QWidget* mainWindow, const std::string& title);
void ClearProgramWindow(QWidget* mainWindow);
// The title SetProgramWindow gave (empty while no main window is named).
std::string ProgramTitle();

// Replaces the handler; returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
