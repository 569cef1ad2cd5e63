#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/MessageEndpoint.h"

namespace {
struct RuntimeDir : ::testing::Test {
    std::string dir;
    void SetUp() override {
        char tmpl[] = "/tmp/endpoint-test-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(dir);
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
