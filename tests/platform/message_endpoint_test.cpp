#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/MessageEndpoint.h"
#include "support/RuntimeFolder.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct RuntimeDir : ::testing::Test {
    test_support::ScopedRuntimeFolder runtime;
    const std::string dir = runtime.Path();
    void SetUp() override { ASSERT_TRUE(runtime.Valid()); }

    // Starts the helper serving (name, ids) and waits until each id takes posts.
    pid_t Serve(const std::string& name, const std::vector<std::string>& ids) {
        std::vector<std::string> args = {"endpoint", name};
        args.insert(args.end(), ids.begin(), ids.end());
        const pid_t pid = test_support::StartRuntimeFolderHelper(args);
        EXPECT_GT(pid, 0);
        for (const std::string& id : ids)
            EXPECT_TRUE(WaitUntil(
                [&] { return platform::PostEndpointMessage(name, std::stoul(id, nullptr, 16), 0, 0); }, 20000))
                << name << "/" << id;
        return pid;
    }
    // The same, killed outright once it serves them: its sockets stay behind.
    void ServeAndKill(const std::string& name, const std::vector<std::string>& ids) {
        test_support::KillOutright(Serve(name, ids));
    }
};
}  // namespace

TEST_F(RuntimeDir, PostReachesTheNamedEndpointOnly) {
    auto a = platform::MessageEndpoint::Create("UPD.0000ABCD", 0x0000ABCD);
    auto b = platform::MessageEndpoint::Create("UPD.0000ABCD", 0x00000001);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(platform::PostEndpointMessage("UPD.0000ABCD", 0x0000ABCD, 3, 42));
    auto m = a->Receive(1000);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->wParam, 3u);
    EXPECT_EQ(m->lParam, 42u);
    EXPECT_FALSE(b->Receive(0).has_value());
}

TEST_F(RuntimeDir, BroadcastReachesEveryEndpointOfTheName) {
    auto a = platform::MessageEndpoint::Create("N", 1);
    auto b = platform::MessageEndpoint::Create("N", 2);
    auto other = platform::MessageEndpoint::Create("M", 3);
    EXPECT_TRUE(platform::PostEndpointMessage("N", platform::kBroadcastId, 2, 0xFFFFFFFFu));
    EXPECT_EQ(a->Receive(1000)->lParam, 0xFFFFFFFFu);
    EXPECT_EQ(b->Receive(1000)->wParam, 2u);
    EXPECT_FALSE(other->Receive(0).has_value());
}

TEST_F(RuntimeDir, PostWithoutReceiverIsRefusedButRegistrationWorks) {
    EXPECT_TRUE(platform::RegisterMessageName("NOBODY"));
    EXPECT_FALSE(platform::PostEndpointMessage("NOBODY", 7, 0, 0));
}

TEST(MessageEndpointFolder, RegistrationFailsWhenTheFolderCannotBeMade) {
    setenv("XDG_RUNTIME_DIR", "/proc/self/no-such-place", 1);
    EXPECT_FALSE(platform::RegisterMessageName("X"));
    unsetenv("XDG_RUNTIME_DIR");
}

// A message name is one folder inside the message root. Names that would be
// the root itself or reach beyond it are refused, and the folder above the
// root (the runtime folder, or /tmp for the fallback) keeps its mode.
TEST_F(RuntimeDir, NamesThatAreNotAFolderNameAreRefused) {
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    ASSERT_TRUE(platform::RegisterMessageName("GOOD"));
    const std::vector<std::string> names = {"", ".", "..", "a/b", "../x", "x/..", std::string("a\0b", 3)};
    for (const auto& name : names) {
        SCOPED_TRACE("'" + name + "'");
        EXPECT_FALSE(platform::RegisterMessageName(name));
        EXPECT_EQ(platform::MessageEndpoint::Create(name, 1), nullptr);
        EXPECT_FALSE(platform::PostEndpointMessage(name, platform::kBroadcastId, 1, 2));
    }
    EXPECT_EQ(ModeOf(dir), 0755u);
    EXPECT_EQ(ModeOf(dir + "/dpsuite-messages"), 0700u);
    EXPECT_EQ(ModeOf(dir + "/dpsuite-messages/GOOD"), 0700u);
    EXPECT_FALSE(std::filesystem::exists(dir + "/dpsuite-messages/a_b"));
}

// Folders that were already there are used only when they are private; one
// that others may enter is refused and left as it is.
TEST_F(RuntimeDir, FoldersItDidNotCreateKeepTheirMode) {
    const std::string root = dir + "/dpsuite-messages";
    const std::string named = root + "/N";
    ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(named.c_str(), 0700), 0);
    struct Case {
        const char* name;
        mode_t rootMode, namedMode;
        bool registers;
    };
    const std::vector<Case> cases = {
        {"root open to the group", 0750, 0700, false},
        {"root open to everyone", 0777, 0700, false},
        {"name folder open to others", 0700, 0705, false},
        {"both private", 0700, 0700, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::chmod(root.c_str(), c.rootMode), 0);
        ASSERT_EQ(::chmod(named.c_str(), c.namedMode), 0);
        EXPECT_EQ(platform::RegisterMessageName("N"), c.registers);
        const auto endpoint = platform::MessageEndpoint::Create("N", 5);
        EXPECT_EQ(endpoint != nullptr, c.registers);
        EXPECT_EQ(ModeOf(root), c.rootMode);
        EXPECT_EQ(ModeOf(named), c.namedMode);
    }
}

// The end of an endpoint removes its socket and, with the last endpoint,
// the name's folder, whoever made it, and with the last name the message
// folder; a folder that still holds something (another endpoint, a lock
// file, another name) stays.
TEST_F(RuntimeDir, TheLastEndpointsEndRemovesTheNamesFolderAndTheMessageFolder) {
    const std::string folder = dir + "/dpsuite-messages/PALLUMO.0000ABCD";
    auto a = platform::MessageEndpoint::Create("PALLUMO.0000ABCD", 0x0000ABCD);
    auto b = platform::MessageEndpoint::Create("PALLUMO.0000ABCD", 2);
    auto other = platform::MessageEndpoint::Create("OTHER", 3);
    ASSERT_TRUE(a && b && other);
    a.reset();
    EXPECT_FALSE(std::filesystem::exists(folder + "/0000ABCD"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/00000002"));
    b.reset();
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(runtime.Left(), (std::vector<std::string>{"OTHER", "OTHER/00000003"}));
    other.reset();
    EXPECT_FALSE(std::filesystem::exists(runtime.Messages()));
    EXPECT_TRUE(std::filesystem::is_directory(dir)) << "the runtime folder itself stays";

    auto locked = platform::MessageEndpoint::Create("LOCKED", 1);
    ASSERT_TRUE(locked);
    const std::string lockFile = platform::MessageNameFolder("LOCKED") + "/LOCKED";
    ASSERT_TRUE(test_support::WriteFile(lockFile, ""));
    locked.reset();
    EXPECT_TRUE(std::filesystem::exists(lockFile));
}

// Programs that end their endpoints, each the last one in the message
// folder, while others make theirs: a start that finds the message folder
// gone as it makes its name's folder makes both again, and every endpoint is
// made and takes its post.
TEST_F(RuntimeDir, AMessageFolderRemovedDuringARegistrationIsMadeAgain) {
    std::vector<pid_t> binders;
    for (const char* name : {"FIRST", "SECOND", "THIRD"})
        binders.push_back(test_support::StartRuntimeFolderHelper({"rebind", name, "300"}));
    for (const pid_t pid : binders) {
        ASSERT_GT(pid, 0);
        EXPECT_EQ(test_support::WaitForExit(pid, 120000), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(runtime.Messages()));
}

// A post creates no folder; a release removes the folder only while it is
// empty, and the last endpoint's end removes a folder that a registration
// made.
TEST_F(RuntimeDir, PostsCreateNothingAndRegistrationsAreReleased) {
    const std::string folder = dir + "/dpsuite-messages/PALLUMO.00000007";
    EXPECT_FALSE(platform::PostEndpointMessage("PALLUMO.00000007", 7, 2, 0));
    EXPECT_FALSE(platform::PostEndpointMessage("PALLUMO.00000007", platform::kBroadcastId, 2, 0));
    EXPECT_FALSE(std::filesystem::exists(folder));

    ASSERT_TRUE(platform::RegisterMessageName("PALLUMO.00000007"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    auto receiver = platform::MessageEndpoint::Create("PALLUMO.00000007", 7);
    ASSERT_TRUE(receiver);
    platform::ReleaseMessageName("PALLUMO.00000007");
    EXPECT_TRUE(std::filesystem::exists(folder)) << "an endpoint is in it";
    EXPECT_TRUE(platform::PostEndpointMessage("PALLUMO.00000007", 7, 2, 3));
    EXPECT_EQ(receiver->Receive(1000)->lParam, 3u);
    receiver.reset();
    EXPECT_FALSE(std::filesystem::exists(runtime.Messages()));
}

// A program that ends by Ctrl+C, termination, hang-up or quit takes its
// endpoints with it; a signal the program ignores leaves them alone.
TEST_F(RuntimeDir, AProgramEndedByASignalRemovesItsEndpoints) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            auto a = platform::MessageEndpoint::Create("ENDED", 1);
            auto b = platform::MessageEndpoint::Create("ENDED", 2);
            if (!a || !b) ::_exit(3);
            ::raise(sig);
            ::_exit(4);  // not reached: the signal ends the program
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_FALSE(std::filesystem::exists(runtime.Messages())) << "nor the message folder";
    }

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGINT, SIG_IGN);
        auto a = platform::MessageEndpoint::Create("KEPT", 1);
        if (!a) ::_exit(3);
        ::raise(SIGINT);
        ::_exit(std::filesystem::exists(dir + "/dpsuite-messages/KEPT/00000001") ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the ignored signal changed nothing";
}

// The start-up clean-up removes what a program killed outright left of the
// name (its sockets, then the folder when that empties it), and nothing else:
// not a live endpoint, a lock file, a file named like an endpoint, a symbolic
// link (nor what it points to), or another name's entries.
TEST_F(RuntimeDir, StartUpCleanUpRemovesOnlyEndpointsWhoseOwnerIsGone) {
    ServeAndKill("N", {"00000001", "00000002"});
    const pid_t live = Serve("N", {"00000003"});
    ServeAndKill("OTHER", {"00000004"});
    ServeAndKill("EMPTIED", {"00000005"});
    const std::string n = runtime.Messages() + "/N/";
    ASSERT_TRUE(test_support::WriteFile(n + "N", ""));         // a lock file
    ASSERT_TRUE(test_support::WriteFile(n + "0000000F", ""));  // a file named like an endpoint
    ASSERT_EQ(::symlink((runtime.Messages() + "/OTHER/00000004").c_str(), (n + "0000000E").c_str()), 0);
    const std::vector<std::string> before = {
        "EMPTIED",    "EMPTIED/00000005", "N",   "N/00000001", "N/00000002",    "N/00000003",
        "N/0000000E", "N/0000000F",       "N/N", "OTHER",      "OTHER/00000004"};
    ASSERT_EQ(runtime.Left(), before);

    platform::RemoveStaleEndpoints("N");
    platform::RemoveStaleEndpoints("EMPTIED");
    const std::vector<std::string> after = {"N",   "N/00000003", "N/0000000E",    "N/0000000F",
                                            "N/N", "OTHER",      "OTHER/00000004"};
    EXPECT_EQ(runtime.Left(), after);
    EXPECT_TRUE(platform::PostEndpointMessage("N", 3, 0, 0)) << "the live endpoint still takes posts";
    test_support::KillOutright(live);
}

// The clean-up of a family of names (the updater's "PALLUMO." names) takes
// every folder of the family that held only stale endpoints, and leaves the
// live ones and the names outside the family.
TEST_F(RuntimeDir, StartUpCleanUpOfNamesTakesTheFamilyOnly) {
    ServeAndKill("P.1", {"00000001"});
    ServeAndKill("P.2", {"00000002"});
    ServeAndKill("Q.1", {"00000003"});
    const pid_t live = Serve("P.3", {"00000004"});
    platform::RemoveStaleEndpointsOfNames([](const std::string& name) { return name.rfind("P.", 0) == 0; });
    EXPECT_EQ(runtime.Left(), (std::vector<std::string>{"P.3", "P.3/00000004", "Q.1", "Q.1/00000003"}));
    test_support::KillOutright(live);
}

// An endpoint of a program killed outright is taken over by a new one of the
// same name and id; a live one is never taken: the new one is refused and
// the live one keeps its posts.
TEST_F(RuntimeDir, ANewEndpointTakesOverOnlyAStaleOne) {
    ServeAndKill("N", {"00000001"});
    auto successor = platform::MessageEndpoint::Create("N", 1);
    ASSERT_TRUE(successor);
    EXPECT_TRUE(platform::PostEndpointMessage("N", 1, 0, 9));
    EXPECT_EQ(successor->Receive(5000)->lParam, 9u);

    const pid_t live = Serve("N", {"00000002"});
    EXPECT_EQ(platform::MessageEndpoint::Create("N", 2), nullptr);
    EXPECT_TRUE(platform::PostEndpointMessage("N", 2, 0, 0));
    test_support::KillOutright(live);
}

// Endpoints being made and ended again and again in other programs while
// this one runs its start-up clean-up over and over: every one of them is
// there and takes its post (a socket is never taken for stale while it is
// being bound), and the endpoint that lives all along stays.
TEST_F(RuntimeDir, ALiveEndpointSurvivesCleanUpsRacingItsStart) {
    auto kept = platform::MessageEndpoint::Create("RACE", 1);
    ASSERT_TRUE(kept);
    std::vector<pid_t> binders;
    for (int i = 0; i < 2; ++i) binders.push_back(test_support::StartRuntimeFolderHelper({"rebind", "RACE", "400"}));
    std::vector<int> statuses(binders.size(), -2);
    for (;;) {
        platform::RemoveStaleEndpoints("RACE");
        bool running = false;
        for (size_t i = 0; i < binders.size(); ++i) {
            int status = 0;
            if (statuses[i] == -2 && ::waitpid(binders[i], &status, WNOHANG) == binders[i])
                statuses[i] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            running = running || statuses[i] == -2;
        }
        if (!running) break;
    }
    EXPECT_EQ(statuses, std::vector<int>(binders.size(), 0));
    EXPECT_TRUE(platform::PostEndpointMessage("RACE", 1, 0, 5));
    EXPECT_EQ(kept->Receive(5000)->lParam, 5u);
}
