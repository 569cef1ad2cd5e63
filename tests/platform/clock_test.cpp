#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "support/WaitUntil.h"

TEST(Clock, WrapsIn32Bits) {
    // The count is put 5 ms before its wrap; a loaded machine may have crossed
    // it before the first reading, so that is tried until it falls before it.
    uint32_t before = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            platform::SetTickOffsetForTest(0);
            const uint32_t now = platform::TickCountMs();
            platform::SetTickOffsetForTest(0xFFFFFFFFu - now - 5);
            before = platform::TickCountMs();
            return before >= 0xFFFFFFF0u;
        },
        15000));
    platform::SleepMs(20);  // fixed: the clock's run over this time is what is tested
    const uint32_t after = platform::TickCountMs();
    platform::SetTickOffsetForTest(0);
    EXPECT_LT(after, 0x80000000u);  // wrapped past zero
    EXPECT_GE(static_cast<uint32_t>(after - before), 20u);
}
