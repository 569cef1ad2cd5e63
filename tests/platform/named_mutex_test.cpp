// The named mutex between processes: held by one process at a time, its lock
// file gone with every end of the holder (a normal one, an ending signal), and
// taken over after a holder killed outright.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/MessageEndpoint.h"
#include "platform/NamedMutex.h"
#include "support/RuntimeFolder.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace {

using Outcome = platform::NamedMutex::Outcome;

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

struct NamedMutexTest : ::testing::Test {
    test_support::ScopedRuntimeFolder runtime;
    void SetUp() override { ASSERT_TRUE(runtime.Valid()); }

    // A helper that holds the mutex NAME and serves its endpoint, once it
    // does: its endpoint takes posts and it has named itself "holding" (so
    // both are in its ending-signal clean-up).
    pid_t StartHolder() {
        const pid_t pid = test_support::StartRuntimeFolderHelper({"hold", "NAME"});
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(
            WaitUntil([&] { return platform::PostEndpointMessage("NAME", static_cast<uint32_t>(pid), 0, 0); }, 20000));
        EXPECT_TRUE(WaitUntil(
            [&] { return test_support::ReadFile("/proc/" + std::to_string(pid) + "/comm") == "holding\n"; }, 20000));
        return pid;
    }
};

// The holder's end removes the lock file and the folder, also with an
// endpoint of the name beside it that ends first (the layout of the
// single-instance program) or last.
TEST_F(NamedMutexTest, ANormalEndLeavesNothing) {
    for (const bool endpointEndsFirst : {true, false}) {
        SCOPED_TRACE(endpointEndsFirst ? "endpoint ends first" : "lock ends first");
        Outcome outcome = Outcome::Failed;
        auto mutex = platform::NamedMutex::TryAcquire("NAME", outcome);
        ASSERT_EQ(outcome, Outcome::Held);
        ASSERT_TRUE(mutex);
        auto endpoint = platform::MessageEndpoint::Create("NAME", 1);
        ASSERT_TRUE(endpoint);
        EXPECT_EQ(runtime.Left(), (std::vector<std::string>{"NAME", "NAME/00000001", "NAME/NAME"}));
        if (endpointEndsFirst) endpoint.reset();
        mutex.reset();
        endpoint.reset();
        EXPECT_TRUE(runtime.Left().empty());
        EXPECT_FALSE(std::filesystem::exists(runtime.Messages()));  // whichever ends last takes the message folder
    }
}

// While another process holds the name it is held elsewhere; once that
// process is killed outright, its lock file and socket stay, the next start
// holds the name, removes the dead endpoint, and leaves nothing at its end.
TEST_F(NamedMutexTest, AHolderKilledOutrightIsTakenOverAndCleanedUp) {
    const pid_t holder = StartHolder();
    const std::vector<std::string> held = {"NAME", "NAME/" + Hex8(static_cast<uint32_t>(holder)), "NAME/NAME"};
    Outcome outcome = Outcome::Failed;
    EXPECT_EQ(platform::NamedMutex::TryAcquire("NAME", outcome), nullptr);
    EXPECT_EQ(outcome, Outcome::HeldElsewhere);
    EXPECT_EQ(runtime.Left(), held) << "a second start touches nothing";

    test_support::KillOutright(holder);
    EXPECT_EQ(runtime.Left(), held);
    auto mutex = platform::NamedMutex::TryAcquire("NAME", outcome);
    ASSERT_EQ(outcome, Outcome::Held);
    platform::RemoveStaleEndpoints("NAME");
    EXPECT_EQ(runtime.Left(), (std::vector<std::string>{"NAME", "NAME/NAME"}));
    mutex.reset();
    EXPECT_TRUE(runtime.Left().empty());
}

// An interrupt, termination, hang-up or quit signal that ends the holder
// takes the lock file and the endpoint with it, their folder and the message
// folder too; the name is free again.
TEST_F(NamedMutexTest, AnEndingSignalRemovesTheLockFile) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        const pid_t holder = StartHolder();
        int status = 0;
        ASSERT_TRUE(test_support::EndBySignal(holder, sig, &status));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
        EXPECT_FALSE(std::filesystem::exists(runtime.Messages())) << ::testing::PrintToString(runtime.Left());
        Outcome outcome = Outcome::Failed;
        EXPECT_TRUE(platform::NamedMutex::TryAcquire("NAME", outcome));
        EXPECT_EQ(outcome, Outcome::Held);
    }
}

// Processes that take the name, hold it a moment and let go, over and over:
// each start meets holders that are ending (their lock file being removed)
// and never holds the name together with another; at the end nothing is left.
TEST_F(NamedMutexTest, ContendersNeverHoldTheNameTogether) {
    const std::string marker = runtime.Path() + "/holder";
    std::vector<pid_t> contenders;
    for (int i = 0; i < 4; ++i)
        contenders.push_back(test_support::StartRuntimeFolderHelper({"contend", "NAME", "1500", marker}));
    for (pid_t pid : contenders) {
        ASSERT_GT(pid, 0);
        EXPECT_EQ(test_support::WaitForExit(pid, 120000), 0) << "1: two holders at once; 3: the mutex failed";
    }
    EXPECT_TRUE(runtime.Left().empty());
}

}  // namespace
