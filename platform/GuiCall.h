#pragma once
#include <functional>

namespace platform {

// The GUI thread is the process's main thread unless a program or test
// names another one with SetGuiThreadToCurrent().
void SetGuiThreadToCurrent();
bool IsGuiThread();

// Runs fn on the GUI thread and returns when it has run. Called on the GUI
// thread it runs fn at once. A worker blocked here is served by the GUI
// thread's event loop (when a Qt application runs, see platform_gui) or by
// ServeGuiCalls / ServeGuiCallsUntil.
void CallOnGuiThread(const std::function<void()>& fn);

// GUI thread only: runs the calls that are waiting now. Returns how many ran.
int ServeGuiCalls();

// GUI thread only: serves calls until done() is true or timeoutMs passed
// (-1: no limit). Every GUI-thread wait for a worker goes through this, so a
// worker's delivery can always finish. Returns done().
bool ServeGuiCallsUntil(const std::function<bool()>& done, int timeoutMs = -1);

// Installed by platform_gui: asks the GUI event loop to call ServeGuiCalls().
void SetGuiWaker(std::function<void()> waker);

}  // namespace platform
