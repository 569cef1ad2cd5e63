#pragma once
#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace platform {

// For tests: while alive, every box is recorded and answered with `answer`
// instead of being shown.
class MessageBoxInterceptor {
public:
    explicit MessageBoxInterceptor(MsgResult answer = MsgResult::Ok);
    ~MessageBoxInterceptor();
    void SetAnswer(MsgResult answer);
    std::vector<MessageBoxRequest> Boxes() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    struct State;
    State* state_;
    MessageBoxHandler previous_;
};

}  // namespace platform
