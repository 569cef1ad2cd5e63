// Where a restored window goes: it stays while enough of its top edge (the
// title bar) lies on one screen's available geometry, else it moves onto the
// screen nearest its centre, shrunk where it does not fit.
#include <gtest/gtest.h>

#include <QList>
#include <QRect>

#include "platform/gui/ScreenPlacement.h"

namespace {

// One screen of 1280 x 1024 whose top 24 rows a panel takes.
const QList<QRect> kOne = {QRect(0, 24, 1280, 1000)};
// A 1920 x 1040 screen and a 1280 x 1024 one to its right.
const QList<QRect> kTwo = {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
// A second screen left of the first: negative positions are on a screen.
const QList<QRect> kLeftOfFirst = {QRect(0, 0, 1920, 1080), QRect(-1280, 0, 1280, 1024)};

TEST(ScreenPlacement, AWindowStaysOnlyWhileItsTitleBarCanBeTakenHoldOf) {
    const struct {
        const char* what;
        QList<QRect> screens;
        QRect stored, placed;
    } cases[] = {
        {"on the screen", kOne, QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},
        {"fully off every screen", kOne, QRect(-5000, -5000, 800, 600), QRect(0, 24, 800, 600)},
        {"far below and right", kOne, QRect(9000, 7000, 800, 600), QRect(480, 424, 800, 600)},
        {"title bar under the panel", kOne, QRect(100, 0, 800, 600), QRect(100, 24, 800, 600)},
        {"99 columns of the title bar", kOne, QRect(1181, 100, 800, 600), QRect(480, 100, 800, 600)},
        {"100 columns of the title bar", kOne, QRect(1180, 100, 800, 600), QRect(1180, 100, 800, 600)},
        {"100 columns at the left edge", kOne, QRect(-700, 100, 800, 600), QRect(-700, 100, 800, 600)},
        {"99 columns at the left edge", kOne, QRect(-701, 100, 800, 600), QRect(0, 100, 800, 600)},
        {"30 rows of the title bar", kOne, QRect(100, 994, 800, 600), QRect(100, 994, 800, 600)},
        {"29 rows of the title bar", kOne, QRect(100, 995, 800, 600), QRect(100, 424, 800, 600)},
        {"larger than the screen, off it", kOne, QRect(-5000, -5000, 3000, 2000), QRect(0, 24, 1280, 1000)},
        {"wider than the screen, off it", kOne, QRect(2000, 50, 1500, 500), QRect(0, 50, 1280, 500)},
        {"larger than the screen, title bar on it", kOne, QRect(0, 24, 3000, 2000), QRect(0, 24, 3000, 2000)},
        {"on the second screen", kTwo, QRect(2000, 100, 800, 600), QRect(2000, 100, 800, 600)},
        {"title bar across both, enough on one", kTwo, QRect(1870, 100, 800, 600), QRect(1870, 100, 800, 600)},
        {"title bar across both, too little on each", kTwo, QRect(1850, 100, 150, 600), QRect(1920, 100, 150, 600)},
        {"below the second screen", kTwo, QRect(2500, 3000, 800, 600), QRect(2400, 424, 800, 600)},
        {"left of the first screen", kTwo, QRect(-3000, 500, 800, 600), QRect(0, 440, 800, 600)},
        {"taller than the second screen", kTwo, QRect(2500, 3000, 800, 1500), QRect(2400, 0, 800, 1024)},
        {"on a screen left of the first", kLeftOfFirst, QRect(-900, 100, 800, 600), QRect(-900, 100, 800, 600)},
        {"off both, nearer the left one", kLeftOfFirst, QRect(-4000, 200, 800, 600), QRect(-1280, 200, 800, 600)},
        {"no screen at all", {}, QRect(-5000, -5000, 800, 600), QRect(-5000, -5000, 800, 600)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(platform::PlaceOnScreens(c.stored, c.screens), c.placed);
    }
}

}  // namespace
