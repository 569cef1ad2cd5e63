#include "platform/MessageBoxInterceptor.h"

#include <mutex>

namespace platform {

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
