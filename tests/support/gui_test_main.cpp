// main() of every GUI test program: runs the tests inside a QApplication on
// the offscreen platform unless a platform was chosen.
#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>

#include "platform/gui/QtPlatform.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::InstallQtPlatform();
    return RUN_ALL_TESTS();
}
