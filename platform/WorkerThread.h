#pragma once
// A worker thread with what every worker of the system needs: a start
// handshake, a stop request that the body looks at or waits on, sleeps that
// end at once when the stop is requested, and a join that keeps serving
// the body's blocking GUI-thread calls while it waits on the GUI thread.
//
// Threads: Start, Join, Started and the destructor belong to the owner (one
// thread at a time). RequestStop, StopRequested, StopFlag, Signal, Wake and
// Finished may be called on any thread; Sleep is for the body.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/StopSignal.h"

namespace platform {

class WorkerThread {
public:
    enum class StartResult {
        Running,         // the thread runs the body
        AlreadyStarted,  // a run was started and not joined (or its detached thread still runs)
        NoThread,        // no thread could be made
        TimedOut,        // the thread did not get going in time; it was stopped and joined
    };

    WorkerThread();
    // Joins (see Join).
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs body on a new thread and returns once that thread runs it. Each
    // run starts with the stop request cleared. A thread that does not get
    // going within timeoutMs (-1: no limit) is stopped before its body runs.
    StartResult Start(std::function<void()> body, int timeoutMs = -1);

    // Asks the body to end: sets the stop flag and the stop signal and ends
    // a sleep. Works in every state; a stop requested before Start is
    // cleared by it.
    void RequestStop();
    bool StopRequested() const;
    // The stop flag, for waits that take a cancel flag.
    const std::atomic<bool>& StopFlag() const;
    // The stop signal, for waits on a port together with the stop request.
    const StopSignal& Signal() const;

    // Sleeps ms (-1: until stopped). True when stopped, which ends the sleep
    // at once.
    bool Sleep(int ms);
    // The same, and the sleep also ends (false) once wake() holds; wake() is
    // looked at when the sleep begins and after every Wake().
    bool Sleep(int ms, const std::function<bool()>& wake);
    // Makes a sleeping body look at its wake condition again.
    void Wake();

    // Requests the stop and waits until the thread has ended. On the GUI
    // thread it keeps serving blocking GUI-thread calls meanwhile, so a body
    // blocked in CallOnGuiThread can finish; it runs no post (posts run in
    // event-loop turns of their own, after the handler that joins has
    // returned), so a body must never wait for one. Elsewhere it is a plain
    // join.
    // Where it cannot wait (on the worker's own thread, or on the GUI thread
    // inside a call that the worker is blocked on) it lets the thread end on
    // its own, detached: the body must then own whatever it still uses.
    // Nothing to wait for when never started or already joined.
    void Join();

    // A run was started and is not joined yet.
    bool Started() const { return thread_.joinable(); }
    // The body of the last run has returned and released what it held (or
    // never ran); true before the first Start.
    bool Finished() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;  // also held by the thread: outlives a detached run
    std::thread thread_;
};

}  // namespace platform
