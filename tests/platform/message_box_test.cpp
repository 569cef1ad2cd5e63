#include <gtest/gtest.h>

#include "platform/MessageBox.h"

TEST(MessageBox, InterceptorRecordsAndAnswersThenRestores) {
    {
        platform::MessageBoxInterceptor boxes(platform::MsgResult::Cancel);
        EXPECT_EQ(platform::ShowMessageBox("Failed to open port", "Error", platform::MsgIcon::Error,
                                           platform::MsgButtons::OkCancel),
                  platform::MsgResult::Cancel);
        ASSERT_EQ(boxes.Texts().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
        EXPECT_EQ(boxes.Texts()[0], "Failed to open port");
    }
    // No handler left: the fallback answers Ok without blocking.
    EXPECT_EQ(platform::ShowMessageBox("x", "y"), platform::MsgResult::Ok);
}
