// The application's exception display: an exception that leaves an event
// handler is shown in a box titled with the program's title and owned by the
// main window (the one SetProgramWindow named), and the event loop goes on. This program runs its tests inside
// the suite's application object itself, as the programs do.
#include <gtest/gtest.h>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/GuiApplication.h"
#include "platform/gui/QtPlatform.h"

namespace {

constexpr int kDeadlineMs = 10000;
constexpr const char* kTitle = "Tessaly";
// The title the main window names; the display's boxes bear it once it is named.
constexpr const char* kWindowTitle = "Merovan Tessaly";

platform::GuiApplication& App() { return *static_cast<platform::GuiApplication*>(QCoreApplication::instance()); }

// A program's own exception class, not derived from std::exception.
struct OwnError {
    std::string message;
};

void ThrowSystemError() {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "link worker thread");
}

// How a handler is reached: each is a different way Qt delivers an event.
using Deliver = std::function<void(const std::function<void()>& handler)>;

void AsQueuedSlot(const std::function<void()>& handler) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), handler, Qt::QueuedConnection);
}
void AsTimer(const std::function<void()>& handler) { QTimer::singleShot(0, QCoreApplication::instance(), handler); }
void AsPost(const std::function<void()>& handler) { platform::PostToGuiThread(handler); }

struct Case {
    const char* name;
    std::function<void()> handler;
    Deliver deliver;
    std::string message;  // what the box says
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class ExceptionDisplay : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        platform::SetProgramWindow(&mainWindow, kWindowTitle);
        App().SetOwnExceptionText([](const std::exception_ptr& e) -> std::optional<std::string> {
            try {
                std::rethrow_exception(e);
            } catch (const OwnError& own) {
                return own.message;
            } catch (...) {
                return std::nullopt;
            }
        });
    }
    void TearDown() override {
        platform::ClearProgramWindow(&mainWindow);
        App().SetOwnExceptionText(nullptr);
    }

    // Delivers the handler, then an event after it: true when that event ran,
    // so the event loop went on past the exception.
    bool DeliverAndGoOn(const Case& c) {
        QEventLoop loop;
        bool wentOn = false;
        c.deliver(c.handler);
        QTimer::singleShot(0, &loop, [&] {
            wentOn = true;
            loop.quit();
        });
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(kDeadlineMs);
        loop.exec();
        return wentOn;
    }

    platform::MessageBoxInterceptor boxes;
    QWidget mainWindow;
};

TEST_P(ExceptionDisplay, AnExceptionLeavingAHandlerIsShownAndTheLoopGoesOn) {
    const Case& c = GetParam();
    ASSERT_TRUE(DeliverAndGoOn(c));
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.message);
    EXPECT_EQ(shown[0].title, kWindowTitle);
    EXPECT_EQ(shown[0].owner, &mainWindow);
    EXPECT_EQ(shown[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(shown[0].buttons, platform::MsgButtons::Ok);
}

// Before the main window is named (an exception from the creation of the
// windows) and after it has gone, the box bears the application's title and
// has no owner; a window that is not the named one clears nothing.
TEST_F(ExceptionDisplay, WithoutTheMainWindowTheBoxBearsTheApplicationsTitle) {
    QWidget other;
    platform::ClearProgramWindow(&other);
    ASSERT_TRUE(DeliverAndGoOn(Case{"StillNamed", ThrowSystemError, AsQueuedSlot, ""}));
    platform::ClearProgramWindow(&mainWindow);
    ASSERT_TRUE(DeliverAndGoOn(Case{"Gone", ThrowSystemError, AsQueuedSlot, ""}));
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, &mainWindow);
    EXPECT_EQ(shown[0].title, kWindowTitle);
    EXPECT_EQ(shown[1].owner, nullptr);
    EXPECT_EQ(shown[1].title, kTitle);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, ExceptionDisplay,
    ::testing::Values(Case{"SystemErrorInASlot", ThrowSystemError, AsQueuedSlot,
                           std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                             "link worker thread")
                               .what()},
                      Case{"BadAllocInATimer", [] { throw std::bad_alloc(); }, AsTimer, std::bad_alloc().what()},
                      Case{"OwnClassInAPost", [] { throw OwnError{"Could not create serial communications object"}; },
                           AsPost, "Could not create serial communications object"},
                      Case{"OtherTypeInASlot", [] { throw 42; }, AsQueuedSlot, ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The leak checker's switch, present only in a sanitizer build.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

// Qt's widget code is built without exception support: an exception that
// crosses its frames (from a click handler up to notify()) skips their
// destructors, and what they held (the mouse event's copy, a guard) stays
// allocated. The display keeps the program going all the same; the leak
// checker is told to look away from those few bytes.
struct QtFramesLeak {
    QtFramesLeak() {
        if (__lsan_disable) __lsan_disable();
    }
    ~QtFramesLeak() {
        if (__lsan_enable) __lsan_enable();
    }
};

// A click whose handler throws: the click ends there, the button works again.
TEST(ExceptionDisplayWidgets, AClickWhoseHandlerThrowsLeavesTheWindowWorking) {
    platform::MessageBoxInterceptor boxes;
    QWidget window;
    platform::SetProgramWindow(&window, kWindowTitle);
    QPushButton button(&window);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1) ThrowSystemError();
    });
    {
        QtFramesLeak leak;
        QTest::mouseClick(&button, Qt::LeftButton);
    }
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].owner, &window);
    platform::ClearProgramWindow(&window);
}

// An exception while the display's box is shown (its event loop delivers a
// handler that throws) goes to stderr: no second box on top of the first.
TEST(ExceptionDisplayWidgets, AnExceptionWhileTheBoxIsShownMakesNoSecondBox) {
    std::vector<std::string> shown;
    QObject thrower;
    const auto previous = platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& r) {
        shown.push_back(r.text);
        // As a paint inside the box's own event loop that throws again.
        QMetaObject::invokeMethod(
            &thrower, [] { throw std::bad_alloc(); }, Qt::QueuedConnection);
        QCoreApplication::sendPostedEvents(&thrower);
        return platform::MsgResult::Ok;
    });
    App().ShowException(std::make_exception_ptr(std::runtime_error("first")));
    platform::SetMessageBoxHandler(previous);
    EXPECT_EQ(shown, (std::vector<std::string>{"first"}));
    // The display shows boxes again afterwards.
    platform::MessageBoxInterceptor boxes;
    App().ShowException(std::make_exception_ptr(std::runtime_error("second")));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"second"}));
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    platform::GuiApplication app(argc, argv, kTitle);
    platform::InstallQtPlatform();
    return RUN_ALL_TESTS();
}
