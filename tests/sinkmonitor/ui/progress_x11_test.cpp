// Selvitra's windows on the X11 platform (an Xvfb server of the test's own).
// The AUX test's progress window: what the screen shows while a level's
// command blocks the GUI thread, read through a connection of another
// thread, and after the first level; and what the server holds of it then
// (owned by the main window, borderless, centred on it, no task-bar entry,
// no grab). The firmware-update dialog and the boxes: each is transient for
// the window that owns it, as the server holds it. A main window restored
// off the screen opens on it.
#include <gmock/gmock.h>
#include <QCheckBox>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "SelvitraFixture.h"
#include "platform/GuiCall.h"
#include "sinkmonitor/TDPFirmwareUpdate.h"
#include "sinkmonitor/UpdaterLaunch.h"
#include "support/WaitUntil.h"
#include "support/X11Windows.h"

namespace selvitra_test {
namespace {

using test_support::X11Server;
using test_support::XWindowOf;
using ::testing::Contains;
using ::testing::Not;

constexpr uint8_t kAuxStep = 0x38;
// The first level's answer is held back this long: the protocol waits up to
// 7500 ms for it, and the screen is read meanwhile.
constexpr unsigned kHeldBackMs = 3000;

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
    const uint32_t mainId = XWindowOf(window.get());
    const QSize size = progress->size();

    sim.InjectFault(sim::SinkFaultPlan::Late(kAuxStep, kHeldBackMs));
    QImage duringCommand, afterStep, rendered;
    // What the server holds of the progress window while the level blocks.
    struct {
        uint32_t transientFor = 0;
        std::vector<std::string> types, states;
        std::vector<uint32_t> motifHints;
        QRect geometry, mainGeometry;
        bool pointerGrabbed = true, keyboardGrabbed = true;
    } held;
    bool shownAfterStep = false;
    QString firstLine;
    std::atomic<bool> checked{false};
    // While the first level's answer is held back the GUI thread blocks in
    // its command: this thread reads the screen then, and posts the check
    // that runs in the turn after that level (before the next one, which
    // that level posts only once its answer is in).
    std::thread watcher([&] {
        EXPECT_TRUE(WaitUntil([&] { return sim.CommandCount(kAuxStep) > 0; }, 20000));
        X11Server server;
        duringCommand = server.Pixels(id, size.width(), size.height());
        held.transientFor = server.TransientFor(id);
        held.types = server.AtomNames(id, "_NET_WM_WINDOW_TYPE");
        held.states = server.AtomNames(id, "_NET_WM_STATE");
        held.motifHints = server.Words(id, "_MOTIF_WM_HINTS");
        held.geometry = server.Geometry(id);
        held.mainGeometry = server.Geometry(mainId);
        held.pointerGrabbed = server.PointerGrabbed();
        held.keyboardGrabbed = server.KeyboardGrabbed();
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

    // Owned by the main window: a window manager keeps it above the
    // disabled main window, and gives it no task-bar entry of its own (a
    // utility window).
    EXPECT_EQ(held.transientFor, mainId);
    // (The first type is the one meant; those after it are for window
    // managers that do not know it.)
    ASSERT_FALSE(held.types.empty());
    EXPECT_EQ(held.types.front(), "_NET_WM_WINDOW_TYPE_UTILITY");
    // Borderless: the Motif hints (flags, functions, decorations, ...) ask
    // for decorations, and for none.
    ASSERT_GE(held.motifHints.size(), 3u);
    EXPECT_TRUE(held.motifHints[0] & 2u) << held.motifHints[0];
    EXPECT_EQ(held.motifHints[2], 0u);
    // Above its main window only, not above every other program's window,
    // and neither modal nor holding the pointer or the keyboard.
    EXPECT_THAT(held.states, Not(Contains("_NET_WM_STATE_ABOVE")));
    EXPECT_THAT(held.states, Not(Contains("_NET_WM_STATE_MODAL")));
    EXPECT_FALSE(held.pointerGrabbed);
    EXPECT_FALSE(held.keyboardGrabbed);
    // Centred on the main window (no window manager here: the frame is the window).
    EXPECT_EQ(held.geometry.size(), QSize(381, 176));
    const QPoint offset = held.geometry.center() - held.mainGeometry.center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

// The firmware-update dialog and the boxes of the program: each is
// transient for its owner on the server, the main window or the dialog
// that showed it.
TEST_F(SelvitraX11Test, TheFirmwareDialogAndTheBoxesAreOwnedOnTheServer) {
    OpenConnected();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->lbTextOut->AddLine(QStringLiteral("A message to clear"));
    const uint32_t mainId = XWindowOf(window.get());
    X11Server server;
    test_support::RealBoxes real;

    // Made as the program makes it; its updater missing, a box says so
    // while it is made.
    TDPFirmwareUpdate dialog(window.get(), QStringLiteral("/no-such-folder/selvitra"));
    dialog.Prepare(QString());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const uint32_t dialogId = XWindowOf(&dialog);
    EXPECT_EQ(server.TransientFor(dialogId), mainId);
    // No port selected: the dialog's own box.
    dialog.btnUpdateFirmwareClick();
    dialog.hide();
    // The main window's own box (the question before clearing the messages).
    window->btnMessageClearClick();

    const test_support::RealBoxes::Shown expected = {
        {selvitra::UpdaterNotFoundText(dialog.UpdaterPath()).toStdString(), mainId},
        {"Communication port not selected.", dialogId},
        {"Messages will be removed permanently. Are you sure?", mainId},
    };
    EXPECT_EQ(real.TextsAndOwners(), expected);
    // The question was answered Cancel: the message stays.
    EXPECT_EQ(window->lbTextOut->AllLines(), "A message to clear\n");
}

// Settings written on a screen that is gone: a window whose title bar does
// not lie on the screen enough to take hold of it opens moved onto the
// screen, its size kept where that fits; one whose title bar can be taken
// hold of opens where it was stored, as the server holds it.
TEST_F(SelvitraX11Test, ARestoredWindowOffTheScreenIsMovedOntoIt) {
    X11Server server;
    ASSERT_TRUE(server.Connected());
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1280, 1024));
    const struct {
        const char* what;
        QRect stored, shown;
    } cases[] = {
        {"off every screen", QRect(-5000, -5000, 900, 640), QRect(0, 0, 900, 640)},
        {"larger than the screen, off it", QRect(-5000, -5000, 1600, 1300), QRect(0, 0, 1280, 1024)},
        {"80 columns of the title bar on it", QRect(1200, 100, 900, 640), QRect(380, 100, 900, 640)},
        {"120 columns of the title bar on it", QRect(1160, 100, 900, 640), QRect(1160, 100, 900, 640)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        progress.reset();
        window.reset();
        StoreSettings("[Window]\nLeft=" + std::to_string(c.stored.left()) + "\nTop=" + std::to_string(c.stored.top()) +
                      "\nWidth=" + std::to_string(c.stored.width()) + "\nHeight=" + std::to_string(c.stored.height()) +
                      "\n");
        Open();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_EQ(server.Geometry(XWindowOf(window.get())), c.shown);
    }
}

}  // namespace
}  // namespace selvitra_test
