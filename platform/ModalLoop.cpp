#include "platform/ModalLoop.h"

#include "platform/GuiCall.h"

namespace platform {

ModalLoop::ModalLoop() { detail::EnterModalLoop(); }

ModalLoop::~ModalLoop() { detail::LeaveModalLoop(); }

}  // namespace platform
