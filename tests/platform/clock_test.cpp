#include <gtest/gtest.h>

#include "platform/Clock.h"

TEST(Clock, WrapsIn32Bits) {
    platform::SetTickOffsetForTest(0);
    const uint32_t now = platform::TickCountMs();
    platform::SetTickOffsetForTest(0xFFFFFFFFu - now - 5);
    const uint32_t before = platform::TickCountMs();
    platform::SleepMs(20);
    const uint32_t after = platform::TickCountMs();
    platform::SetTickOffsetForTest(0);
    EXPECT_GT(before, 0xFFFFFF00u);
    EXPECT_LT(after, 100u);  // wrapped past zero
    EXPECT_GE(static_cast<uint32_t>(after - before), 20u);
}
