#include "platform/GuiCall.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {
namespace {

struct PendingCall {
    const std::function<void()>* fn;
    bool done = false;
};

struct Dispatcher {
    std::mutex mu;
    std::condition_variable cv;  // signalled on new calls and on completions
    std::deque<PendingCall*> queue;
    std::function<void()> waker;
    std::thread::id gui = std::this_thread::get_id();  // set at static init: the main thread
};

Dispatcher& D() {
    static Dispatcher d;
    return d;
}
// Make sure the main thread, not the first caller, is the default GUI thread.
[[maybe_unused]] const bool g_init = (D(), true);

}  // namespace

void SetGuiThreadToCurrent() {
    std::lock_guard lk(D().mu);
    D().gui = std::this_thread::get_id();
}

bool IsGuiThread() {
    std::lock_guard lk(D().mu);
    return D().gui == std::this_thread::get_id();
}

void SetGuiWaker(std::function<void()> waker) {
    std::lock_guard lk(D().mu);
    D().waker = std::move(waker);
}

void CallOnGuiThread(const std::function<void()>& fn) {
    if (IsGuiThread()) {
        fn();
        return;
    }
    auto& d = D();
    PendingCall call{&fn};
    std::function<void()> waker;
    {
        std::lock_guard lk(d.mu);
        d.queue.push_back(&call);
        waker = d.waker;
    }
    d.cv.notify_all();
    if (waker) waker();
    std::unique_lock lk(d.mu);
    d.cv.wait(lk, [&] { return call.done; });
}

int ServeGuiCalls() {
    auto& d = D();
    int ran = 0;
    for (;;) {
        PendingCall* call = nullptr;
        {
            std::lock_guard lk(d.mu);
            if (d.queue.empty()) break;
            call = d.queue.front();
            d.queue.pop_front();
        }
        (*call->fn)();
        ++ran;
        {
            std::lock_guard lk(d.mu);
            call->done = true;
        }
        d.cv.notify_all();
    }
    return ran;
}

bool ServeGuiCallsUntil(const std::function<bool()>& done, int timeoutMs) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    auto& d = D();
    for (;;) {
        ServeGuiCalls();
        if (done()) return true;
        std::unique_lock lk(d.mu);
        // Wake on a new call, or look at done() again every millisecond.
        auto until = clock::now() + std::chrono::milliseconds(1);
        if (timeoutMs >= 0) {
            if (clock::now() >= deadline) {
                lk.unlock();
                ServeGuiCalls();
                return done();
            }
            until = std::min(until, deadline);
        }
        d.cv.wait_until(lk, until, [&] { return !d.queue.empty(); });
    }
}

}  // namespace platform
