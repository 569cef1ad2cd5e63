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
    std::condition_variable cv;            // signalled on new entries and on completions
    std::deque<Item> queue;                // calls and posts in the order they were made
    size_t calls = 0;                      // how many entries of the queue are calls
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
        if (item.call) ++d.calls;
        d.queue.push_back(std::move(item));
        waker = d.waker;
    }
    d.cv.notify_all();
    if (waker) waker();
}

// Takes the oldest call out of the queue, passing over the posts before it.
PendingCall* TakeCall() {
    auto& d = D();
    std::lock_guard lk(d.mu);
    if (d.calls == 0) return nullptr;
    const auto it = std::find_if(d.queue.begin(), d.queue.end(), [](const Item& i) { return i.call != nullptr; });
    PendingCall* call = it->call;
    d.queue.erase(it);
    --d.calls;
    return call;
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

// Waits until `ready` holds or a millisecond has passed (at most until the
// deadline when there is one); false once the deadline has passed.
bool WaitAMoment(const std::function<bool()>& ready, bool limited, std::chrono::steady_clock::time_point deadline) {
    using clock = std::chrono::steady_clock;
    auto& d = D();
    std::unique_lock lk(d.mu);
    auto until = clock::now() + std::chrono::milliseconds(1);
    if (limited) {
        if (clock::now() >= deadline) return false;
        until = std::min(until, deadline);
    }
    d.cv.wait_until(lk, until, ready);
    return true;
}

// The deadline of a wait of timeoutMs (-1: none).
std::chrono::steady_clock::time_point DeadlineOf(int timeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
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
    size_t waiting;
    {
        std::lock_guard lk(D().mu);
        waiting = D().calls;
    }
    // Only the calls waiting now: a worker that calls again and again cannot
    // hold the GUI thread here for ever.
    int ran = 0;
    for (; waiting > 0; --waiting) {
        PendingCall* call = TakeCall();
        if (!call) break;  // a nested serve took them
        RunCall(*call);
        ++ran;
    }
    return ran;
}

bool ServeGuiCallsUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = DeadlineOf(timeoutMs);
    // Wake on a new call, or look at done() again every millisecond.
    const auto callWaits = [] { return D().calls > 0; };
    for (;;) {
        ServeGuiCalls();
        if (done()) return true;
        if (!WaitAMoment(callWaits, timeoutMs >= 0, deadline)) {
            ServeGuiCalls();
            return done();
        }
    }
}

bool RunGuiTurn() {
    Item item;
    {
        auto& d = D();
        std::lock_guard lk(d.mu);
        if (d.queue.empty()) return false;
        item = std::move(d.queue.front());
        d.queue.pop_front();
        if (item.call) --d.calls;
    }
    if (item.call) RunCall(*item.call);
    else item.posted();
    return true;
}

bool RunGuiEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = DeadlineOf(timeoutMs);
    const auto entryWaits = [] { return !D().queue.empty(); };
    for (;;) {
        if (done()) return true;
        if (RunGuiTurn()) {
            // A post that posts itself again does not keep the loop past its time.
            if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return done();
            continue;
        }
        if (!WaitAMoment(entryWaits, timeoutMs >= 0, deadline)) return done();
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
