#pragma once
// A fixture on top of `Fixture` for tests of what is handed to the desktop:
// a work folder, and the desktop-open hook recording each path it is asked
// to open (nothing is opened). `AnswerFileDialogs` answers every file dialog
// with a name and records what each was shown as. TearDown takes out the
// desktop-open and the file-dialog hooks, so no test leaves one behind for
// the next; a test that needs a hook of its own (one that acts on the
// dialog) sets it with platform::SetFileDialogHook in such a fixture.

#include <QDir>
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include "platform/gui/FileDialog.h"

namespace test_support {

// What a file dialog was set up as when it was shown.
struct FileDialogShowing {
    QString objectName, title, folder, suffix, selectedFilter;
    QStringList filters;
    bool save = false;               // a save dialog, not an open one
    bool confirmsOverwrite = false;  // asks before an existing file is replaced
    bool existingOnly = false;       // only an existing file can be chosen
    bool caseInsensitive = false;    // the filters match names in any case

    explicit FileDialogShowing(const QFileDialog& d)
        : objectName(d.objectName()),
          title(d.windowTitle()),
          folder(d.directory().absolutePath()),
          suffix(d.defaultSuffix()),
          selectedFilter(d.selectedNameFilter()),
          filters(d.nameFilters()),
          save(d.acceptMode() == QFileDialog::AcceptSave),
          confirmsOverwrite(!d.testOption(QFileDialog::DontConfirmOverwrite)),
          existingOnly(d.fileMode() == QFileDialog::ExistingFile),
          caseInsensitive(!(d.filter() & QDir::CaseSensitive)) {}
};

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

    // From now on every file dialog is answered with `name` (empty: it is
    // cancelled) and recorded in `fileDialogs_`, which starts empty again.
    void AnswerFileDialogs(const QString& name) {
        fileDialogs_.clear();
        platform::SetFileDialogHook([this, name](QFileDialog& dialog) {
            fileDialogs_.emplace_back(dialog);
            return name;
        });
    }

    QTemporaryDir work_;
    std::vector<QString> opened_;
    std::vector<FileDialogShowing> fileDialogs_;
};

}  // namespace test_support
