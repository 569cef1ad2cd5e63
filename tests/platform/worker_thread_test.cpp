// The worker thread: start handshake, stop request, sleeps, and stopping it
// in every state (never started, starting, running, sleeping, blocked in a
// GUI-thread call while the owner joins, destroyed from inside that call or
// on its own thread, already finished).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/WorkerThread.h"
#include "support/WaitUntil.h"

namespace {

using platform::WorkerThread;
using Result = WorkerThread::StartResult;

// A body's own limit for waits that only a stop should end: a stop that does
// not arrive fails the test below without hanging it.
constexpr int kLongMs = 30000;
// What a test waits for with a deadline comes well within it.
constexpr int kWaitMs = 10000;

// Joins on another thread (a plain join) and tells whether that ended
// within the deadline; either way it has ended on return.
bool JoinsWithin(WorkerThread& w, int deadlineMs = kWaitMs) {
    std::atomic<bool> joined{false};
    std::thread joiner([&] {
        w.Join();
        joined = true;
    });
    const bool inTime = WaitUntil([&] { return joined.load(); }, deadlineMs);
    joiner.join();
    return inTime;
}

TEST(WorkerThread, StartReturnsWithTheBodyRunningOnItsOwnThread) {
    WorkerThread w;
    EXPECT_FALSE(w.Started());
    EXPECT_TRUE(w.Finished());
    std::atomic<bool> entered{false};
    std::thread::id where;
    auto body = [&] {
        where = std::this_thread::get_id();
        entered = true;
        w.Sleep(kLongMs);
    };
    ASSERT_EQ(w.Start(body), Result::Running);
    EXPECT_TRUE(w.Started());
    EXPECT_FALSE(w.Finished());
    EXPECT_FALSE(w.StopRequested());
    EXPECT_EQ(w.Start([] {}), Result::AlreadyStarted);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }, kWaitMs));
    EXPECT_TRUE(JoinsWithin(w));
    EXPECT_NE(where, std::this_thread::get_id());
    EXPECT_FALSE(w.Started());
    EXPECT_TRUE(w.Finished());
    EXPECT_TRUE(w.StopRequested());
}

// Every way a body waits for its stop ends at once when it comes.
TEST(WorkerThread, AStopEndsTheBodyInEveryWayItWaits) {
    struct Case {
        const char* name;
        std::function<bool(WorkerThread&)> wait;  // true: it saw the stop
    } cases[] = {
        {"sleeping", [](WorkerThread& w) { return w.Sleep(kLongMs); }},
        {"sleeping until stopped", [](WorkerThread& w) { return w.Sleep(-1); }},
        {"sleeping with a wake condition that never holds",
         [](WorkerThread& w) { return w.Sleep(kLongMs, [] { return false; }); }},
        {"waiting on the stop signal", [](WorkerThread& w) { return w.Signal().Wait(kLongMs); }},
        {"running, looking at the stop flag",
         [](WorkerThread& w) {
             const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongMs);
             while (!w.StopFlag().load() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
             return w.StopRequested();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerThread w;
        std::atomic<bool> entered{false}, sawStop{false};
        auto body = [&] {
            entered = true;
            sawStop = c.wait(w);
        };
        ASSERT_EQ(w.Start(body), Result::Running);
        ASSERT_TRUE(WaitUntil([&] { return entered.load(); }, kWaitMs));
        EXPECT_TRUE(JoinsWithin(w));
        EXPECT_TRUE(sawStop.load());
    }
}

TEST(WorkerThread, ASleepRunsItsTimeWithoutAStopAndEndsOnItsWakeCondition) {
    WorkerThread w;
    std::atomic<bool> go{false}, shortDone{false}, longDone{false};
    std::atomic<bool> shortStopped{true}, longStopped{true};
    auto body = [&] {
        shortStopped = w.Sleep(5);
        shortDone = true;
        longStopped = w.Sleep(kLongMs, [&] { return go.load(); });
        longDone = true;
        w.Sleep(kLongMs);
    };
    ASSERT_EQ(w.Start(body), Result::Running);
    ASSERT_TRUE(WaitUntil([&] { return shortDone.load(); }, kWaitMs));
    EXPECT_FALSE(shortStopped.load());
    go = true;
    w.Wake();
    EXPECT_TRUE(WaitUntil([&] { return longDone.load(); }, kWaitMs)) << "the wake condition ends the sleep";
    EXPECT_FALSE(longStopped.load());
    EXPECT_TRUE(JoinsWithin(w));
}

TEST(WorkerThread, NeverStartedItJoinsAtOnceAndAStartClearsAnEarlierStop) {
    { WorkerThread unused; }  // destroyed without a start
    WorkerThread w;
    w.RequestStop();
    EXPECT_TRUE(w.StopRequested());
    w.Join();
    EXPECT_FALSE(w.Started());
    std::atomic<bool> stoppedAtEntry{true}, entered{false};
    auto body = [&] {
        stoppedAtEntry = w.StopRequested() || w.Signal().IsSet();
        entered = true;
        w.Sleep(kLongMs);
    };
    ASSERT_EQ(w.Start(body), Result::Running);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }, kWaitMs));
    EXPECT_FALSE(stoppedAtEntry.load());
    EXPECT_TRUE(JoinsWithin(w));
}

// A stop that races the start: the body runs at most once and the join ends it.
TEST(WorkerThread, AStopWhileStartingEndsTheRun) {
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        WorkerThread w;
        std::atomic<int> runs{0};
        auto body = [&] {
            ++runs;
            w.Sleep(kLongMs);
        };
        std::thread stopper([&] { w.RequestStop(); });
        EXPECT_EQ(w.Start(body), Result::Running);
        stopper.join();
        ASSERT_TRUE(JoinsWithin(w));
        EXPECT_LE(runs.load(), 1);
    }
}

// A thread that does not get going within the start's time limit is stopped
// before its body runs. With no time at all to get going, most starts end so.
TEST(WorkerThread, AStartThatTimesOutNeverRunsTheBody) {
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        WorkerThread w;
        std::atomic<int> runs{0};
        const Result r = w.Start(
            [&] {
                ++runs;
                w.Sleep(kLongMs);
            },
            0);
        if (r == Result::TimedOut) {
            EXPECT_FALSE(w.Started()) << "stopped and joined";
            EXPECT_TRUE(w.Finished());
            EXPECT_EQ(runs.load(), 0);
        } else {
            ASSERT_EQ(r, Result::Running);
            ASSERT_TRUE(JoinsWithin(w));
            EXPECT_EQ(runs.load(), 1);
        }
    }
}

TEST(WorkerThread, AFinishedRunIsJoinedAndStartedAgain) {
    WorkerThread w;
    std::atomic<int> runs{0};
    ASSERT_EQ(w.Start([&] { ++runs; }), Result::Running);
    ASSERT_TRUE(WaitUntil([&] { return w.Finished(); }, kWaitMs));
    EXPECT_TRUE(w.Started()) << "finished, not joined";
    EXPECT_EQ(w.Start([&] { ++runs; }), Result::AlreadyStarted);
    EXPECT_TRUE(JoinsWithin(w));
    EXPECT_FALSE(w.Started());
    ASSERT_EQ(w.Start([&] { ++runs; }), Result::Running);
    EXPECT_TRUE(JoinsWithin(w));
    EXPECT_EQ(runs.load(), 2);
}

// The owner joins on the GUI thread while the body is blocked in a call: the
// join serves the call. The posts queued before it (one by the body, one by
// the GUI thread's own handler) and the one that the served call makes (as a
// hand-over that finds the port lost queues its teardown) all stay queued:
// they run in turns of the event loop after the join, in their order.
TEST(WorkerThread, AJoinOnTheGuiThreadServesTheBodysCallButRunsNoPost) {
    platform::SetGuiThreadToCurrent();
    std::vector<std::string> ran;  // GUI thread only
    bool callOnGui = false;
    WorkerThread w;
    auto body = [&] {
        platform::PostToGuiThread([&] { ran.push_back("body's post"); });
        platform::CallOnGuiThread([&] {
            ran.push_back("call");
            callOnGui = platform::IsGuiThread();
            platform::PostToGuiThread([&] { ran.push_back("call's post"); });
        });
    };
    platform::PostToGuiThread([&] { ran.push_back("handler's post"); });
    ASSERT_EQ(w.Start(body), Result::Running);
    ASSERT_TRUE(WaitUntil([] { return platform::GuiCallsAndPostsWaiting() == 3; }, kWaitMs));  // blocked in its call
    w.Join();
    EXPECT_FALSE(w.Started());
    EXPECT_TRUE(callOnGui);
    EXPECT_EQ(ran, (std::vector<std::string>{"call"}));
    EXPECT_EQ(platform::GuiCallsAndPostsWaiting(), 3u);
    EXPECT_TRUE(platform::RunGuiEventLoopUntil([] { return platform::GuiCallsAndPostsWaiting() == 0; }, kWaitMs));
    EXPECT_EQ(ran, (std::vector<std::string>{"call", "handler's post", "body's post", "call's post"}));
}

TEST(WorkerThread, AJoinElsewhereIsPlainWhileTheGuiThreadServesTheBlockedBody) {
    platform::SetGuiThreadToCurrent();
    WorkerThread w;
    bool callRan = false;
    ASSERT_EQ(w.Start([&] { platform::CallOnGuiThread([&] { callRan = true; }); }), Result::Running);
    ASSERT_TRUE(WaitUntil([] { return platform::GuiCallsAndPostsWaiting() > 0; }, kWaitMs));  // blocked in its call
    std::atomic<bool> joined{false};
    std::thread owner([&] {
        w.Join();
        joined = true;
    });
    EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return joined.load(); }, 10000));
    owner.join();
    EXPECT_TRUE(callRan);
}

// What the body still touches after its owner went away lives in `after`.
struct After {
    std::atomic<bool> callReturned{false};
    std::atomic<bool> ended{false};
};

TEST(WorkerThread, DestroyedInsideTheCallItsBodyIsBlockedInTheThreadEndsOnItsOwn) {
    platform::SetGuiThreadToCurrent();
    auto w = std::make_unique<WorkerThread>();
    auto after = std::make_shared<After>();
    auto body = [&w, after] {
        platform::CallOnGuiThread([&w] { w.reset(); });  // as a link destroyed by its own completion
        after->callReturned = true;
        after->ended = true;
    };
    ASSERT_EQ(w->Start(body), Result::Running);
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return w == nullptr; }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return after->ended.load(); }, kWaitMs));
    EXPECT_TRUE(after->callReturned.load());
}

TEST(WorkerThread, DestroyedOnItsOwnThreadTheThreadEndsOnItsOwn) {
    auto w = std::make_unique<WorkerThread>();
    auto after = std::make_shared<After>();
    std::atomic<bool> started{false};  // the owner is done with Start
    auto body = [&w, &started, after] {
        WaitUntil([&] { return started.load(); }, kWaitMs);
        w.reset();
        after->ended = true;
    };
    ASSERT_EQ(w->Start(body), Result::Running);
    started = true;
    ASSERT_TRUE(WaitUntil([&] { return after->ended.load(); }, kWaitMs));
    EXPECT_EQ(w, nullptr);
}

}  // namespace
