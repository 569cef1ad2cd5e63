#pragma once
// A fixture on top of `Fixture` for tests of what is handed to the desktop:
// a work folder, and the desktop-open hook recording each path it is asked
// to open (nothing is opened). TearDown takes out the desktop-open and the
// file-dialog hooks, so no test leaves one behind for the next.

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include "platform/gui/FileDialog.h"

namespace test_support {

template <class Fixture>
class DesktopHookFixture : public Fixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        ASSERT_TRUE(work_.isValid());
        platform::SetDesktopOpenHook([this](const QString& path) {
            opened_.push_back(path);
            return true;
        });
    }
    void TearDown() override {
        platform::SetDesktopOpenHook({});
        platform::SetFileDialogHook({});
        Fixture::TearDown();
    }

    QTemporaryDir work_;
    std::vector<QString> opened_;
};

}  // namespace test_support
