#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/ModalLoop.h"

TEST(GuiCall, WorkerCallRunsOnTheServingThreadAndWaits) {
    platform::SetGuiThreadToCurrent();
    std::atomic<bool> ran{false}, returned{false};
    std::thread::id where;
    std::thread worker([&] {
        platform::CallOnGuiThread([&] {
            where = std::this_thread::get_id();
            ran = true;
        });
        returned = true;
    });
    EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return returned.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(where, std::this_thread::get_id());
}

TEST(GuiCall, OnTheGuiThreadItRunsAtOnce) {
    platform::SetGuiThreadToCurrent();
    int n = 0;
    platform::CallOnGuiThread([&] { ++n; });
    EXPECT_EQ(n, 1);
}

TEST(GuiCall, AJoinThatServesCallsNeverDeadlocks) {
    platform::SetGuiThreadToCurrent();
    std::atomic<int> delivered{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) platform::CallOnGuiThread([&] { ++delivered; });
        finished = true;
    });
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return finished.load(); }, 10000));
    worker.join();
    EXPECT_EQ(delivered, 50);
}

TEST(GuiCall, UntilGivesUpAfterItsTimeOut) {
    platform::SetGuiThreadToCurrent();
    EXPECT_FALSE(platform::ServeGuiCallsUntil([] { return false; }, 20));
}

TEST(GuiPost, APostFromAWorkerRunsLaterOnTheGuiThread) {
    platform::SetGuiThreadToCurrent();
    bool ran = false;
    std::thread::id where;
    // Nobody serves while the worker posts: posting does not wait.
    std::thread worker([&] {
        platform::PostToGuiThread([&] {
            where = std::this_thread::get_id();
            ran = true;
        });
    });
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_EQ(platform::GuiCallsAndPostsWaiting(), 1u);
    EXPECT_EQ(platform::ServeGuiCalls(), 0) << "a wait runs no post";
    EXPECT_FALSE(ran);
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_TRUE(ran);
    EXPECT_EQ(where, std::this_thread::get_id());
    EXPECT_EQ(platform::GuiCallsAndPostsWaiting(), 0u);
}

TEST(GuiPost, TheEventLoopRunsTheCallsAndPostsOfOneThreadInTheOrderTheyWereMade) {
    platform::SetGuiThreadToCurrent();
    enum class Kind { Post, Call };
    const Kind sequence[] = {Kind::Post, Kind::Post, Kind::Call, Kind::Post, Kind::Call,
                             Kind::Call, Kind::Post, Kind::Post, Kind::Call, Kind::Post};
    constexpr int n = static_cast<int>(std::size(sequence));
    std::vector<int> order;  // touched on the GUI thread only
    bool allOnGui = true;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < n; ++i) {
            auto record = [&, i] {
                allOnGui = allOnGui && platform::IsGuiThread();
                order.push_back(i);
            };
            if (sequence[i] == Kind::Post) platform::PostToGuiThread(record);
            else platform::CallOnGuiThread(record);
        }
        finished = true;
    });
    EXPECT_TRUE(platform::RunGuiEventLoopUntil([&] { return finished.load() && order.size() == n; }, 10000));
    worker.join();
    std::vector<int> expected(n);
    for (int i = 0; i < n; ++i) expected[i] = i;
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(allOnGui);
}

TEST(GuiPost, APostFromTheGuiThreadNeverRunsInsideTheCodeThatPosted) {
    platform::SetGuiThreadToCurrent();
    std::vector<std::string> ran;
    platform::PostToGuiThread([&] {
        ran.push_back("first");
        // Posted while a post runs: waits for the next serve.
        platform::PostToGuiThread([&] { ran.push_back("nested"); });
        EXPECT_EQ(ran.size(), 1u);
    });
    // A call on the GUI thread runs at once; a post inside it still waits.
    platform::CallOnGuiThread([&] { platform::PostToGuiThread([&] { ran.push_back("from a call"); }); });
    EXPECT_TRUE(ran.empty());
    // One post per turn, the nested one after those queued before it.
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_EQ(ran, (std::vector<std::string>{"first"}));
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "from a call"}));
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "from a call", "nested"}));
    EXPECT_FALSE(platform::RunGuiTurn());
}

// The GUI thread waits for a worker (as a handler that closes a port joins
// its reader) while posts are queued: one from a handler before the wait,
// one from the worker before its call, one made by the call itself. The
// wait serves the call, which comes after two of them, and runs none of the
// posts; the event loop runs them afterwards in their order.
TEST(GuiPost, AWaitServesTheWorkersCallsAndRunsNoPost) {
    platform::SetGuiThreadToCurrent();
    std::vector<std::string> ran;  // GUI thread only
    std::atomic<bool> returned{false};
    platform::PostToGuiThread([&] { ran.push_back("handler's post"); });
    std::thread worker([&] {
        platform::PostToGuiThread([&] { ran.push_back("worker's post"); });
        platform::CallOnGuiThread([&] {
            ran.push_back("call");
            platform::PostToGuiThread([&] { ran.push_back("call's post"); });
        });
        returned = true;
    });
    EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return returned.load(); }, 10000));
    worker.join();
    EXPECT_EQ(ran, (std::vector<std::string>{"call"}));
    EXPECT_EQ(platform::GuiCallsAndPostsWaiting(), 3u);
    EXPECT_EQ(platform::ServeGuiCalls(), 0);
    EXPECT_TRUE(platform::RunGuiEventLoopUntil([] { return platform::GuiCallsAndPostsWaiting() == 0; }, 10000));
    EXPECT_EQ(ran, (std::vector<std::string>{"call", "handler's post", "worker's post", "call's post"}));
}

TEST(GuiPost, TheLoopGivesUpAfterItsTimeOutAlsoWhileAPostPostsItselfAgain) {
    platform::SetGuiThreadToCurrent();
    EXPECT_FALSE(platform::RunGuiEventLoopUntil([] { return false; }, 20));
    int runs = 0;
    bool stop = false;
    std::function<void()> again = [&] {
        ++runs;
        if (!stop) platform::PostToGuiThread(again);
    };
    platform::PostToGuiThread(again);
    EXPECT_FALSE(platform::RunGuiEventLoopUntil([] { return false; }, 20));
    EXPECT_GT(runs, 1);
    stop = true;
    EXPECT_TRUE(platform::RunGuiEventLoopUntil([] { return platform::GuiCallsAndPostsWaiting() == 0; }, 10000));
}

TEST(GuiCall, TheGuiThreadKnowsWhoseCallItIsRunning) {
    platform::SetGuiThreadToCurrent();
    std::thread::id workerId;  // set before anything is served
    bool fromWorker = false, fromGui = true;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        platform::CallOnGuiThread([&] {
            fromWorker = platform::IsRunningCallFrom(workerId);
            fromGui = platform::IsRunningCallFrom(std::this_thread::get_id());
        });
        finished = true;
    });
    workerId = worker.get_id();
    EXPECT_FALSE(platform::IsRunningCallFrom(workerId));
    EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return finished.load(); }, 10000));
    worker.join();
    EXPECT_TRUE(fromWorker);
    EXPECT_FALSE(fromGui);
    EXPECT_FALSE(platform::IsRunningCallFrom(workerId)) << "the call has returned";
}

// A box is open (a ModalLoop, its loop the test's stand-in): posts queued
// before it, by a worker under it and by a worker's call under it all wait;
// the worker's call is served in it. Once the box has ended they run in the
// order they were made.
TEST(GuiModal, ABoxServesTheWorkersCallsAndHoldsEveryPostUntilItHasEnded) {
    platform::SetGuiThreadToCurrent();
    std::vector<std::string> ran;  // GUI thread only
    platform::PostToGuiThread([&] { ran.push_back("before the box"); });
    {
        const platform::ModalLoop box;
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            platform::PostToGuiThread([&] { ran.push_back("worker's post"); });
            platform::CallOnGuiThread([&] {
                ran.push_back("call");
                platform::PostToGuiThread([&] { ran.push_back("call's post"); });
            });
            returned = true;
        });
        EXPECT_TRUE(platform::RunGuiEventLoopUntil([&] { return returned.load(); }, 10000));
        worker.join();
        EXPECT_EQ(ran, std::vector<std::string>{"call"});
        EXPECT_FALSE(platform::RunGuiTurn()) << "a turn under the box runs no post";
        // The box's loop sleeps on posts it may not run: it ends at its time.
        EXPECT_FALSE(platform::RunGuiEventLoopUntil([&] { return ran.size() > 1; }, 20));
        EXPECT_EQ(platform::GuiCallsAndPostsWaiting(), 3u);
    }
    EXPECT_TRUE(platform::RunGuiEventLoopUntil([] { return platform::GuiCallsAndPostsWaiting() == 0; }, 10000));
    EXPECT_EQ(ran, (std::vector<std::string>{"call", "before the box", "worker's post", "call's post"}));
}

// Boxes inside boxes: a post waits for the outermost one. A post made by a
// post waits for a box that a later handler opens before it could run.
TEST(GuiModal, NestedBoxesHoldThePostsUntilTheOutermostHasEnded) {
    platform::SetGuiThreadToCurrent();
    std::vector<std::string> ran;
    {
        const platform::ModalLoop outer;
        {
            const platform::ModalLoop inner;
            platform::PostToGuiThread([&] {
                ran.push_back("post");
                platform::PostToGuiThread([&] { ran.push_back("its post"); });
            });
            EXPECT_FALSE(platform::RunGuiTurn());
        }
        EXPECT_FALSE(platform::RunGuiTurn()) << "the outer box is still open";
    }
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_EQ(ran, std::vector<std::string>{"post"});
    {
        const platform::ModalLoop later;
        EXPECT_FALSE(platform::RunGuiTurn());
    }
    EXPECT_TRUE(platform::RunGuiTurn());
    EXPECT_EQ(ran, (std::vector<std::string>{"post", "its post"}));
    EXPECT_FALSE(platform::RunGuiTurn());
}
