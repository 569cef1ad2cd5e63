#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {
std::mutex g_mu;
MessageBoxHandler g_handler;
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lk(g_mu);
    std::swap(g_handler, handler);
    return handler;
}

MsgResult ShowMessageBox(const MessageBoxRequest& request) {
    MessageBoxHandler h;
    {
        std::lock_guard lk(g_mu);
        h = g_handler;
    }
    if (h) return h(request);
    std::fprintf(stderr, "[%s] %s\n", request.title.c_str(), request.text.c_str());
    return MsgResult::Ok;
}

MsgResult ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                         QWidget* owner) {
    return ShowMessageBox(MessageBoxRequest{owner, text, title, icon, buttons});
}

struct MessageBoxInterceptor::State {
    mutable std::mutex mu;
    MsgResult answer;
    std::vector<MessageBoxRequest> boxes;
};

MessageBoxInterceptor::MessageBoxInterceptor(MsgResult answer) : state_(new State{{}, answer, {}}) {
    State* s = state_;
    previous_ = SetMessageBoxHandler([s](const MessageBoxRequest& r) {
        std::lock_guard lk(s->mu);
        s->boxes.push_back(r);
        return s->answer;
    });
}

MessageBoxInterceptor::~MessageBoxInterceptor() {
    SetMessageBoxHandler(previous_);
    delete state_;
}

void MessageBoxInterceptor::SetAnswer(MsgResult answer) {
    std::lock_guard lk(state_->mu);
    state_->answer = answer;
}

std::vector<MessageBoxRequest> MessageBoxInterceptor::Boxes() const {
    std::lock_guard lk(state_->mu);
    return state_->boxes;
}

std::vector<std::string> MessageBoxInterceptor::Texts() const {
    std::vector<std::string> t;
    for (const auto& b : Boxes()) t.push_back(b.text);
    return t;
}

void MessageBoxInterceptor::Clear() {
    std::lock_guard lk(state_->mu);
    state_->boxes.clear();
}

}  // namespace platform
