#include "platform/WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/GuiCall.h"

namespace platform {

struct WorkerThread::Shared {
    std::mutex mu;
    std::condition_variable cv;  // the start handshake, sleeps and wakes
    std::atomic<bool> stop{false};
    StopSignal signal;
    bool entered = false;  // the thread got going (guarded by mu)
    bool finished = true;  // the run's body returned and was released (guarded by mu)
};

WorkerThread::WorkerThread() : shared_(std::make_shared<Shared>()) {}

WorkerThread::~WorkerThread() { Join(); }

WorkerThread::StartResult WorkerThread::Start(std::function<void()> body, int timeoutMs) {
    Shared& s = *shared_;
    {
        std::lock_guard lk(s.mu);
        if (thread_.joinable() || !s.finished) return StartResult::AlreadyStarted;
        s.stop.store(false);
        s.signal.Reset();
        s.entered = false;
        s.finished = false;
    }
    try {
        thread_ = std::thread([sp = shared_, body = std::move(body)]() mutable {
            Shared& t = *sp;
            bool run;
            {
                std::lock_guard lk(t.mu);
                run = !t.stop.load();  // stopped before it got going: the body never runs
                t.entered = true;
            }
            t.cv.notify_all();
            if (run) body();
            body = nullptr;  // what the body owns goes before the run counts as finished
            {
                std::lock_guard lk(t.mu);
                t.finished = true;
            }
            t.cv.notify_all();
        });
    } catch (const std::system_error&) {
        std::lock_guard lk(s.mu);
        s.finished = true;
        return StartResult::NoThread;
    }
    std::unique_lock lk(s.mu);
    const auto entered = [&s] { return s.entered; };
    if (timeoutMs < 0) {
        s.cv.wait(lk, entered);
    } else if (!s.cv.wait_for(lk, std::chrono::milliseconds(timeoutMs), entered)) {
        s.stop.store(true);  // under the lock: the thread sees it before its body
        lk.unlock();
        Join();
        return StartResult::TimedOut;
    }
    return StartResult::Running;
}

void WorkerThread::RequestStop() {
    Shared& s = *shared_;
    {
        // Flag and signal change together: a Start on another thread clears
        // both or neither.
        std::lock_guard lk(s.mu);
        s.stop.store(true);
        s.signal.Set();
    }
    s.cv.notify_all();
}

bool WorkerThread::StopRequested() const { return shared_->stop.load(); }

const std::atomic<bool>& WorkerThread::StopFlag() const { return shared_->stop; }

const StopSignal& WorkerThread::Signal() const { return shared_->signal; }

bool WorkerThread::Sleep(int ms) { return Sleep(ms, nullptr); }

bool WorkerThread::Sleep(int ms, const std::function<bool()>& wake) {
    Shared& s = *shared_;
    std::unique_lock lk(s.mu);
    const auto over = [&] { return s.stop.load() || (wake && wake()); };
    if (ms < 0) s.cv.wait(lk, over);
    else s.cv.wait_for(lk, std::chrono::milliseconds(ms), over);
    return s.stop.load();
}

void WorkerThread::Wake() {
    Shared& s = *shared_;
    {
        std::lock_guard lk(s.mu);  // a sleeper between its look and its wait still gets the wake
    }
    s.cv.notify_all();
}

bool WorkerThread::Finished() const {
    std::lock_guard lk(shared_->mu);
    return shared_->finished;
}

void WorkerThread::Join() {
    RequestStop();
    if (!thread_.joinable()) return;
    const std::thread::id worker = thread_.get_id();
    if (worker == std::this_thread::get_id() || (IsGuiThread() && IsRunningCallFrom(worker))) {
        // The worker cannot end before this call returns: it ends on its own.
        thread_.detach();
        return;
    }
    if (IsGuiThread()) ServeGuiCallsUntil([this] { return Finished(); }, -1);
    thread_.join();
}

}  // namespace platform
