// The AUX test's progress window on the X11 platform (an Xvfb server of the
// test's own): what the screen shows while a level's command blocks the GUI
// thread, read through a connection of another thread, and after the first
// level.
#include <xcb/xcb.h>
#include <QCheckBox>
#include <QPixmap>
#include <QScreen>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "SelvitraFixture.h"
#include "platform/GuiCall.h"
#include "support/WaitUntil.h"

namespace selvitra_test {
namespace {

constexpr uint8_t kAuxStep = 0x38;
// The first level's answer is held back this long: the protocol waits up to
// 7500 ms for it, and the screen is read meanwhile.
constexpr unsigned kHeldBackMs = 3000;

// The pixels the X server shows for a window, read on a connection of the
// calling thread (the GUI thread may be blocked meanwhile).
QImage ScreenPixels(uint32_t window, int width, int height) {
    xcb_connection_t* c = xcb_connect(std::getenv("DISPLAY"), nullptr);
    QImage image;
    if (!xcb_connection_has_error(c)) {
        xcb_get_image_cookie_t cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u);
        if (xcb_get_image_reply_t* reply = xcb_get_image_reply(c, cookie, nullptr)) {
            // A depth-24 window holds 32 bits per pixel, blue first.
            if (xcb_get_image_data_length(reply) == width * height * 4)
                image = QImage(xcb_get_image_data(reply), width, height, width * 4, QImage::Format_RGB32).copy();
            std::free(reply);
        }
    }
    xcb_disconnect(c);
    return image;
}

QImage Rgb(const QPixmap& pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_RGB32); }

// How many pixels differ outside `skip`.
int Differences(const QImage& a, const QImage& b, const QRect& skip) {
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!skip.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++n;
    return n;
}

class SelvitraX11Test : public SelvitraTest {
protected:
    void SaveForReview(const char* name, const QImage& image) {
        image.save(QString::fromUtf8(SELVITRA_SCREENSHOT_DIR) + "/aux-progress-" + name + ".png");
    }
};

TEST_F(SelvitraX11Test, TheProgressWindowIsOnTheScreenFromTheFirstLevel) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    sim.SetAuxThreshold(50);
    OpenConnected();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto id = static_cast<uint32_t>(progress->winId());
    const QSize size = progress->size();

    sim.InjectFault(sim::SinkFaultPlan::Late(kAuxStep, kHeldBackMs));
    QImage duringCommand, afterStep, rendered;
    bool shownAfterStep = false;
    QString firstLine;
    std::atomic<bool> checked{false};
    // While the first level's answer is held back the GUI thread blocks in
    // its command: this thread reads the screen then, and posts the check
    // that runs in the turn after that level (before the next one, which
    // that level posts only once its answer is in).
    std::thread watcher([&] {
        EXPECT_TRUE(WaitUntil([&] { return sim.CommandCount(kAuxStep) > 0; }, 20000));
        duringCommand = ScreenPixels(id, size.width(), size.height());
        platform::PostToGuiThread([&] {
            shownAfterStep = progress->isVisible();
            firstLine = progress->lbProgress->count() > 0 ? progress->lbProgress->item(0)->text() : QString();
            afterStep = Rgb(progress->screen()->grabWindow(progress->winId()));
            rendered = Rgb(progress->grab());
            checked = true;
        });
    });
    Click("btnAUXTest");
    const bool ran = WaitFor([&] { return checked.load(); });
    watcher.join();
    ASSERT_TRUE(ran);
    ASSERT_TRUE(WaitFor([&] { return Messages().last() == "Test finished."; })) << Boxes();
    SaveForReview("during-command", duringCommand);
    SaveForReview("after-step", afterStep);
    SaveForReview("rendered", rendered);

    // While the first level's command blocked, the screen showed the label,
    // the bar and the frame as they are after that level; only the list's
    // last line changed since ("... " became "... OK").
    ASSERT_FALSE(duringCommand.isNull());
    ASSERT_FALSE(rendered.isNull());
    const QRect list(progress->lbProgress->mapTo(progress.get(), QPoint(0, 0)), progress->lbProgress->size());
    EXPECT_EQ(Differences(duringCommand, rendered, list), 0);
    // After the level, before the next one, the screen shows the window as
    // it draws itself.
    ASSERT_TRUE(shownAfterStep);
    EXPECT_EQ(firstLine, "Testing 1000 mVpp... OK");
    EXPECT_EQ(Differences(afterStep, rendered, QRect()), 0);
}

}  // namespace
}  // namespace selvitra_test
