#include "platform/Epoch.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

TEST(Epoch, ATicketIsCurrentUntilTheEpochAdvances) {
    platform::Epoch epoch;
    auto first = epoch.Stamp();
    EXPECT_TRUE(first.Current());
    epoch.Advance();
    EXPECT_FALSE(first.Current());
    auto second = epoch.Stamp();
    EXPECT_TRUE(second.Current());
    EXPECT_FALSE(platform::Epoch::Ticket().Current());
}

TEST(Epoch, AGuardedCallRunsOnlyInItsOwnEpochAndNeverAfterItsOwnerIsGone) {
    int ran = 0;
    int lastArg = 0;
    std::function<void(int)> kept;
    std::function<void(int)> stale;
    {
        auto epoch = std::make_unique<platform::Epoch>();
        stale = epoch->Guard([&](int v) { ++ran, lastArg = v; });
        epoch->Advance();
        kept = epoch->Guard([&](int v) { ++ran, lastArg = v; });
        stale(1);
        EXPECT_EQ(ran, 0);
        kept(7);
        EXPECT_EQ(ran, 1);
        EXPECT_EQ(lastArg, 7);
    }
    kept(9);  // the owner is gone
    EXPECT_EQ(ran, 1);
}

}  // namespace
