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
#include "platform/MessageBox.h"
#include "support/ModalBoxes.h"
#include "support/WaitFor.h"

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

// A handler posts and then shows a box (a real QMessageBox in its modal
// loop); a worker calls onto the GUI thread and posts while the box is up.
// The box's loop serves the call, which was queued after the handler's post,
// and runs no post: both posts run once the box is answered and the handler
// has returned, in their order.
TEST(GuiModalQt, ABoxServesAWorkersCallAndRunsThePostsAfterItsHandler) {
    QEventLoop loop;
    std::vector<std::string> order;  // GUI thread only
    std::thread worker;
    test_support::ModalBoxes boxes;
    boxes.WhileOpen([&](const std::string&) {
        std::atomic<bool> returned{false};
        worker = std::thread([&] {
            platform::CallOnGuiThread([&] { order.push_back("call"); });
            platform::PostToGuiThread([&] {
                order.push_back("worker's post");
                loop.quit();
            });
            returned = true;
        });
        EXPECT_TRUE(test_support::WaitFor([&] { return returned.load(); }));
        order.push_back("box answered");
    });
    QMetaObject::invokeMethod(
        &loop,
        [&] {
            platform::PostToGuiThread([&] { order.push_back("handler's post"); });
            platform::ShowMessageBox("Continue?", "Box", platform::MsgIcon::None, platform::MsgButtons::OkCancel);
            order.push_back("handler's end");
        },
        Qt::QueuedConnection);
    EXPECT_TRUE(RunLoop(loop));
    worker.join();
    EXPECT_EQ(boxes.Answered(), std::vector<std::string>{"Continue?"});
    EXPECT_EQ(order,
              (std::vector<std::string>{"call", "box answered", "handler's end", "handler's post", "worker's post"}));
}

// A box opened from inside another (the second from the first one's loop):
// a post made in the inner box waits for the outer one too, and a post that
// such a post makes runs in a turn after it, not inside it.
TEST(GuiModalQt, APostUnderNestedBoxesWaitsForTheOutermostAndAPostItMakesRunsAfterIt) {
    QEventLoop loop;
    std::vector<std::string> order;
    test_support::ModalBoxes boxes;
    boxes.WhileOpen([&](const std::string& text) {
        if (text == "outer") {
            platform::ShowMessageBox("inner", "Box");
            // Served in the outer box: a wait lets the post run if it could.
            EXPECT_FALSE(test_support::WaitFor([&] { return order.size() > 1; }, 50)) << order.back();
            order.push_back("outer answered");
            return;
        }
        platform::PostToGuiThread([&] {
            order.push_back("post");
            platform::PostToGuiThread([&] {
                order.push_back("its post");
                loop.quit();
            });
            order.push_back("post's end");
        });
        order.push_back("inner answered");
    });
    QMetaObject::invokeMethod(
        &loop,
        [&] {
            platform::ShowMessageBox("outer", "Box");
            order.push_back("handler's end");
        },
        Qt::QueuedConnection);
    EXPECT_TRUE(RunLoop(loop));
    EXPECT_EQ(boxes.Answered(), (std::vector<std::string>{"inner", "outer"}));
    EXPECT_EQ(order, (std::vector<std::string>{"inner answered", "outer answered", "handler's end", "post",
                                               "post's end", "its post"}));
}

}  // namespace
