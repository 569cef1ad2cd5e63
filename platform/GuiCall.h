#pragma once
#include <cstddef>
#include <functional>
#include <thread>

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

// Queues fn to run later on the GUI thread and returns at once. Called on
// the GUI thread it queues too: fn never runs inside this call, which is how
// a handler defers work until it has returned. Served like CallOnGuiThread;
// the calls and posts made on one thread run in the order they were made.
void PostToGuiThread(std::function<void()> fn);

// GUI thread only: runs the calls and posts that are waiting now (not those
// queued while they run). Returns how many ran.
int ServeGuiCalls();

// GUI thread only: serves calls and posts until done() is true or timeoutMs
// passed (-1: no limit). Every GUI-thread wait for a worker goes through
// this, so a worker's delivery can always finish. Returns done().
bool ServeGuiCallsUntil(const std::function<bool()>& done, int timeoutMs = -1);

// How many calls and posts wait to be served (a test sees from it that a
// worker is blocked in its call).
size_t GuiCallsWaiting();

// GUI thread only: whether a call that thread `caller` made with
// CallOnGuiThread is running now on this thread, further up its stack (the
// caller waits for it to return, so waiting here for the caller deadlocks).
bool IsRunningCallFrom(std::thread::id caller);

// Installed by platform_gui: asks the GUI event loop to call ServeGuiCalls().
void SetGuiWaker(std::function<void()> waker);

}  // namespace platform
