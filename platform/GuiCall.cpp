#include "platform/GuiCall.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// A blocking call: the caller waits on the dispatcher until done.
struct PendingCall {
    const std::function<void()>* fn;
    std::thread::id caller;
    bool done = false;
};

// One entry of the queue: a blocking call or a posted function.
struct Item {
    PendingCall* call = nullptr;
    std::function<void()> posted;
};

struct Dispatcher {
    std::mutex mu;
    std::condition_variable cv;  // signalled on new entries and on completions
    std::deque<Item> queue;
    std::vector<std::thread::id> running;  // callers whose call runs now, innermost last
    std::function<void()> waker;
    std::thread::id gui = std::this_thread::get_id();  // set at static init: the main thread
};

Dispatcher& D() {
    static Dispatcher d;
    return d;
}
// Make sure the main thread, not the first caller, is the default GUI thread.
[[maybe_unused]] const bool g_init = (D(), true);

// Queues the entry and wakes whoever serves the GUI thread.
void Enqueue(Item item) {
    auto& d = D();
    std::function<void()> waker;
    {
        std::lock_guard lk(d.mu);
        d.queue.push_back(std::move(item));
        waker = d.waker;
    }
    d.cv.notify_all();
    if (waker) waker();
}

// Runs one blocking call; its caller is released even when fn throws.
void RunCall(PendingCall& call) {
    auto& d = D();
    struct Finish {
        Dispatcher& d;
        PendingCall& call;
        ~Finish() {
            {
                std::lock_guard lk(d.mu);
                d.running.pop_back();
                call.done = true;
            }
            d.cv.notify_all();
        }
    };
    {
        std::lock_guard lk(d.mu);
        d.running.push_back(call.caller);
    }
    Finish finish{d, call};
    (*call.fn)();
}

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
    PendingCall call{&fn, std::this_thread::get_id()};
    Enqueue(Item{&call, nullptr});
    std::unique_lock lk(d.mu);
    d.cv.wait(lk, [&] { return call.done; });
}

void PostToGuiThread(std::function<void()> fn) {
    if (fn) Enqueue(Item{nullptr, std::move(fn)});
}

int ServeGuiCalls() {
    auto& d = D();
    size_t waiting;
    {
        std::lock_guard lk(d.mu);
        waiting = d.queue.size();
    }
    // Only the entries waiting now: a post that posts itself again runs once
    // per serve instead of holding the GUI thread here for ever.
    int ran = 0;
    for (; waiting > 0; --waiting) {
        Item item;
        {
            std::lock_guard lk(d.mu);
            if (d.queue.empty()) break;  // a nested serve took them
            item = std::move(d.queue.front());
            d.queue.pop_front();
        }
        if (item.call) RunCall(*item.call);
        else item.posted();
        ++ran;
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
        // Wake on a new entry, or look at done() again every millisecond.
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

size_t GuiCallsWaiting() {
    std::lock_guard lk(D().mu);
    return D().queue.size();
}

bool IsRunningCallFrom(std::thread::id caller) {
    auto& d = D();
    std::lock_guard lk(d.mu);
    return std::find(d.running.begin(), d.running.end(), caller) != d.running.end();
}

}  // namespace platform
