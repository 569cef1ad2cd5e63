#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {
std::mutex g_mu;
MessageBoxHandler g_handler;
QWidget* g_programWindow = nullptr;
std::string g_programTitle;
}  // namespace

void SetProgramWindow(QWidget* mainWindow, const std::string& title) {
    std::lock_guard lk(g_mu);
    g_programWindow = mainWindow;
    g_programTitle = title;
}

void ClearProgramWindow(QWidget* mainWindow) {
    std::lock_guard lk(g_mu);
    if (g_programWindow != mainWindow) return;
    g_programWindow = nullptr;
    g_programTitle.clear();
}

std::string ProgramTitle() {
    std::lock_guard lk(g_mu);
    return g_programTitle;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lk(g_mu);
    std::swap(g_handler, handler);
    return handler;
}

MsgResult ShowMessageBox(const MessageBoxRequest& request) {
    MessageBoxHandler h;
    MessageBoxRequest box = request;
    {
        std::lock_guard lk(g_mu);
        h = g_handler;
        if (!box.owner) box.owner = g_programWindow;
        if (box.title.empty()) box.title = g_programTitle;
    }
    if (h) return h(box);
    std::fprintf(stderr, "[%s] %s\n", box.title.c_str(), box.text.c_str());
    return MsgResult::Ok;
}

MsgResult ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                         QWidget* owner) {
    return ShowMessageBox(MessageBoxRequest{owner, text, title, icon, buttons});
}

}  // namespace platform
