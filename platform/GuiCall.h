#pragma once
#include <cstddef>
#include <functional>
#include <thread>

namespace platform {

// Two ways onto the GUI thread, served in two different places:
//
// - A blocking call (CallOnGuiThread) is served by every GUI-thread wait:
//   ServeGuiCalls, ServeGuiCallsUntil and a WorkerThread's join, by the
//   event loop, and by the loop of every modal box or dialog. A worker
//   blocked in one can therefore always finish, and no wait on the GUI
//   thread for a worker can deadlock.
// - A posted function (PostToGuiThread) runs only in a turn of the event
//   loop of its own at which no modal loop runs: never inside a wait, a
//   join, another handler or post, nor inside the loop of a box or dialog
//   (a ModalLoop, platform/ModalLoop.h) that a handler shows. A handler
//   that posts, or under whose box something is posted, has returned, and
//   every wait, join and box it made has ended, before the post runs. When the last modal loop ends,
//   the posts held back are given their turns again.
//
// Order: every entry waits in one queue, and the event loop runs it in the
// order it was made, calls and posts alike. A wait and a modal loop take
// only the calls out of it, so then a call can run before a post made
// earlier. A worker must never wait for a post to have run (the GUI thread
// may be joining it, or showing a box); what it needs done before it goes
// on it does in a call.

// The GUI thread is the process's main thread unless a program or test
// names another one with SetGuiThreadToCurrent().
void SetGuiThreadToCurrent();
bool IsGuiThread();

// Runs fn on the GUI thread and returns when it has run. Called on the GUI
// thread it runs fn at once.
void CallOnGuiThread(const std::function<void()>& fn);

// Queues fn to run later on the GUI thread, in an event-loop turn of its own,
// and returns at once. Called on the GUI thread it queues too: this is how a
// handler defers work until it has returned.
void PostToGuiThread(std::function<void()> fn);

// GUI thread only, the waits: run the blocking calls that are waiting now
// (not those made while they run; posts stay queued). Returns how many ran.
int ServeGuiCalls();

// GUI thread only: serves blocking calls until done() is true or timeoutMs
// passed (-1: no limit). Every GUI-thread wait for a worker goes through
// this, so a worker's delivery can always finish. Runs no post. Returns done().
bool ServeGuiCallsUntil(const std::function<bool()>& done, int timeoutMs = -1);

// GUI thread only, the event loop: one turn, which runs the oldest waiting
// entry (a call or a post; while a modal loop runs, the oldest call). False
// when nothing could run. The Qt event loop runs one such turn per entry
// (platform_gui); only a test without Qt, standing in for the event loop,
// calls it itself.
bool RunGuiTurn();

// The event loop of a program or test without a Qt event loop: runs turns
// until done() is true or timeoutMs passed (-1: no limit), and sleeps while
// nothing can run. It is the loop itself: never call it from a handler, a
// post or a call, where a wait belongs (ServeGuiCallsUntil), except inside a
// ModalLoop, as a test's stand-in for the loop of a box. Returns done().
bool RunGuiEventLoopUntil(const std::function<bool()>& done, int timeoutMs = -1);

// How many calls and posts wait to be run (a test sees from it that a worker
// is blocked in its call, or that a post is still queued).
size_t GuiCallsAndPostsWaiting();

// GUI thread only: whether a call that thread `caller` made with
// CallOnGuiThread is running now on this thread, further up its stack (the
// caller waits for it to return, so waiting here for the caller deadlocks).
bool IsRunningCallFrom(std::thread::id caller);

// Installed by platform_gui: asks the GUI event loop for one RunGuiTurn();
// called once for every call and post queued.
void SetGuiWaker(std::function<void()> waker);

}  // namespace platform

// Internal to platform/: the two halves of a platform::ModalLoop
// (platform/ModalLoop.h), which calls them in pairs. While more loops have
// been entered than left, turns run only the blocking calls; leaving the
// outermost gives each post held back meanwhile a turn again.
namespace platform::detail {
void EnterModalLoop();
void LeaveModalLoop();
}  // namespace platform::detail
