// GUI-thread calls and posts served by the running Qt event loop (the waker
// that InstallQtPlatform sets), with no ServeGuiCalls of the test's own.
#include <gtest/gtest.h>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/GuiCall.h"

namespace {

constexpr int kDeadlineMs = 10000;

// Runs the event loop until something quits it or the deadline passes.
// False when the deadline ended it.
bool RunLoop(QEventLoop& loop) {
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    deadline.start(kDeadlineMs);
    loop.exec();
    return !timedOut;
}

TEST(GuiPostQt, TheEventLoopServesAWorkersCallsAndPostsInOrder) {
    QEventLoop loop;
    std::vector<int> order;  // GUI thread only
    bool allOnGui = true;
    auto record = [&](int i) {
        allOnGui = allOnGui && platform::IsGuiThread();
        order.push_back(i);
    };
    std::thread worker([&] {
        platform::PostToGuiThread([&] { record(0); });
        platform::CallOnGuiThread([&] { record(1); });
        platform::PostToGuiThread([&] { record(2); });
        platform::PostToGuiThread([&] { record(3); });
        platform::CallOnGuiThread([&] { record(4); });
        platform::PostToGuiThread([&] {
            record(5);
            loop.quit();
        });
    });
    EXPECT_TRUE(RunLoop(loop));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(allOnGui);
}

TEST(GuiPostQt, APostFromTheGuiThreadRunsFromTheEventLoopAfterItsHandler) {
    QEventLoop loop;
    std::vector<int> order;
    // A handler (here: a timer's) that posts runs to its end first.
    QTimer::singleShot(0, &loop, [&] {
        platform::PostToGuiThread([&] {
            order.push_back(2);
            loop.quit();
        });
        order.push_back(1);
    });
    EXPECT_TRUE(RunLoop(loop));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

// Each post is a turn of the event loop of its own: an event queued between
// two posts runs between them.
TEST(GuiPostQt, EachPostRunsInATurnOfItsOwn) {
    QEventLoop loop;
    std::vector<int> order;
    platform::PostToGuiThread([&] { order.push_back(1); });
    QMetaObject::invokeMethod(
        &loop, [&] { order.push_back(2); }, Qt::QueuedConnection);
    platform::PostToGuiThread([&] {
        order.push_back(3);
        loop.quit();
    });
    EXPECT_TRUE(RunLoop(loop));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// A handler waits on the GUI thread for a worker that calls onto it: the
// wait serves the call, and the post queued before it runs only after the
// handler, from the event loop.
TEST(GuiPostQt, AHandlerThatWaitsForAWorkerRunsNoPostInsideTheWait) {
    QEventLoop loop;
    std::vector<std::string> order;
    std::thread worker;
    QMetaObject::invokeMethod(
        &loop,
        [&] {
            platform::PostToGuiThread([&] {
                order.push_back("post");
                loop.quit();
            });
            std::atomic<bool> returned{false};
            worker = std::thread([&] {
                platform::CallOnGuiThread([&] { order.push_back("call"); });
                returned = true;
            });
            EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return returned.load(); }, kDeadlineMs));
            order.push_back("handler's end");
        },
        Qt::QueuedConnection);
    EXPECT_TRUE(RunLoop(loop));
    worker.join();
    EXPECT_EQ(order, (std::vector<std::string>{"call", "handler's end", "post"}));
}

}  // namespace
