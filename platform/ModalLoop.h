#pragma once

namespace platform {

// GUI thread only: marks a modal loop (the exec() of a box or dialog) for as
// long as it lives; loops may nest. Turns run only the blocking calls then,
// and the posts wait until the outermost loop has ended (platform/GuiCall.h).
// Every modal loop of the programs goes through one (platform::ExecModal,
// platform_gui).
class ModalLoop {
public:
    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
};

}  // namespace platform
