#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"

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

// A box that names no owner sits on the program's main window, and one
// without a title bears the program's title; what a box names itself stays.
TEST(MessageBox, BoxesWithoutOwnerOrTitleTakeTheProgramWindowsOnes) {
    // Stand-ins for windows: the function only passes the pointers on.
    char windows[2];
    QWidget* const mainWindow = reinterpret_cast<QWidget*>(&windows[0]);
    QWidget* const dialog = reinterpret_cast<QWidget*>(&windows[1]);
    platform::MessageBoxInterceptor boxes;

    // Before a main window exists nothing is filled in.
    platform::ShowMessageBox("Failed to open port", "", platform::MsgIcon::Error);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].owner, nullptr);
    EXPECT_EQ(boxes.Boxes()[0].title, "");

    platform::SetProgramWindow(mainWindow, "Merovan Vardeko");
    const struct {
        QWidget* owner;
        const char* title;
        QWidget* shownOwner;
        const char* shownTitle;
    } cases[] = {
        {nullptr, "", mainWindow, "Merovan Vardeko"},
        {nullptr, "Error", mainWindow, "Error"},
        {dialog, "", dialog, "Merovan Vardeko"},
        {dialog, "Firmware Upgrade", dialog, "Firmware Upgrade"},
    };
    for (const auto& c : cases) {
        boxes.Clear();
        platform::ShowMessageBox("text", c.title, platform::MsgIcon::None, platform::MsgButtons::Ok, c.owner);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].owner, c.shownOwner) << c.title;
        EXPECT_EQ(boxes.Boxes()[0].title, c.shownTitle) << c.title;
    }

    // Only the window that set itself clears itself.
    platform::ClearProgramWindow(dialog);
    boxes.Clear();
    platform::ShowMessageBox("text", "");
    EXPECT_EQ(boxes.Boxes()[0].owner, mainWindow);
    platform::ClearProgramWindow(mainWindow);
    boxes.Clear();
    platform::ShowMessageBox("text", "");
    EXPECT_EQ(boxes.Boxes()[0].owner, nullptr);
    EXPECT_EQ(boxes.Boxes()[0].title, "");
}
