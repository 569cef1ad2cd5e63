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
    int modalLoops = 0;                    // modal loops running now (ModalLoop scopes)
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

// Whether a turn may run something now: while a modal loop runs, only a
// call may (the posts wait for it to end). d.mu held.
bool RunnableLocked(const Dispatcher& d) { return d.modalLoops > 0 ? d.calls > 0 : !d.queue.empty(); }

// Takes the oldest entry out of the queue, or with callsOnly the oldest call,
// passing over the posts before it. False when there is none.
bool Take(bool callsOnly, Item& out) {
    auto& d = D();
    std::lock_guard lk(d.mu);
    auto it = d.queue.begin();
    if (callsOnly || d.modalLoops > 0) {
        if (d.calls == 0) return false;
        it = std::find_if(d.queue.begin(), d.queue.end(), [](const Item& i) { return i.call != nullptr; });
    } else if (it == d.queue.end()) {
        return false;
    }
    out = std::move(*it);
    d.queue.erase(it);
    if (out.call) --d.calls;
    return true;
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
    for (Item item; waiting > 0 && Take(true, item); --waiting) {  // else a nested serve took them
        RunCall(*item.call);
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
    if (!Take(false, item)) return false;
    if (item.call) RunCall(*item.call);
    else item.posted();
    return true;
}

bool RunGuiEventLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = DeadlineOf(timeoutMs);
    const auto entryWaits = [] { return RunnableLocked(D()); };
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

size_t GuiCallsAndPostsWaiting() {
    std::lock_guard lk(D().mu);
    return D().queue.size();
}

bool IsRunningCallFrom(std::thread::id caller) {
    auto& d = D();
    std::lock_guard lk(d.mu);
    return std::find(d.running.begin(), d.running.end(), caller) != d.running.end();
}

}  // namespace platform

namespace platform::detail {

void EnterModalLoop() {
    std::lock_guard lk(D().mu);
    ++D().modalLoops;
}

void LeaveModalLoop() {
    auto& d = D();
    size_t held = 0;
    std::function<void()> waker;
    {
        std::lock_guard lk(d.mu);
        if (--d.modalLoops == 0) held = d.queue.size() - d.calls;
        waker = d.waker;
    }
    if (held == 0) return;
    // The turns that were asked for the posts held back ran inside the modal
    // loop and did nothing: each post is given a turn again, which the event
    // loop runs once the handler that showed the box has returned.
    d.cv.notify_all();
    if (waker)
        for (size_t i = 0; i < held; ++i) waker();
}

}  // namespace platform::detail
