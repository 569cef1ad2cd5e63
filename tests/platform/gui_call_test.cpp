#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/GuiCall.h"

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
