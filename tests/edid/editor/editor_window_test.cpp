// The window as a whole: the log and hex toggles, Load and Save through the
// file dialogs, Write EDID / Read EDID reaching the host, the editor's
// display states and embedding, selections that outlive their entries, and
// the screenshot of a loaded editor.

#include "EditorTestSupport.h"

#include "edid/core/ECException.h"
#include "edid/editor/EditorFileDialogs.h"
#include "edid/editor/TxtField.h"

#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/FileDialog.h"
#include "support/DesktopHooks.h"
#include "support/Probe.h"
#include "support/TextFile.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace editor_test;
using test_support::FindControl;

namespace {

class EditorWindow : public test_support::DesktopHookFixture<::testing::Test> {
protected:
    void SetUp() override {
        DesktopHookFixture::SetUp();
        ASSERT_NE(ed.Form(), nullptr);
        form = ed.Form();
        ECSetHostCallback(ed.Handle(), &host, &RecordingHost::Callback);
        ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x20000003u));
    }

    RecordingHost host;
    EditorInstance ed;
    TECForm* form = nullptr;
};

}  // namespace

TEST_F(EditorWindow, StartsWithTheFormsCaptionAndLayout) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Merovan EDID Codec"));
    EXPECT_EQ(form->LB_Heading->text(), QStringLiteral("E-EDID Encoder / Decoder"));
    EXPECT_EQ(form->size(), QSize(740, 611));
    EXPECT_EQ(form->LV_EDID_tree->indentation(), 19);
    EXPECT_EQ(form->PNL_Bottom->height(), 35);
    EXPECT_FALSE(Shows(form->LB_Log, form));
    EXPECT_FALSE(Shows(form->PNL_Hex, form));
    EXPECT_FALSE(Shows(form->PNL_RW_Access, form));
    EXPECT_EQ(form->ED_Numeric->text(), QStringLiteral("0"));
    // "Courier New", or a monospaced stand-in: every character is as wide as "8".
    const QFontMetrics hexFont(form->HexView()->font());
    for (const char* s : {"f", " ", "0", "a"}) {
        EXPECT_EQ(hexFont.horizontalAdvance(QString::fromLatin1(s)), hexFont.horizontalAdvance(QStringLiteral("8")))
            << s;
    }
    for (const char* name : {"BTN_SetValue", "BTN_QuickSetup", "BTN_ShowLog", "BTN_ShowHex", "BTN_SaveBlocks",
                             "BTN_LoadBlocks", "BTN_WriteEDID", "BTN_ReadEDID", "BTN_Close"}) {
        FindControl<QPushButton>(form, name);
    }
    for (const char* name : {"ED_Numeric", "ED_General"}) FindControl<QLineEdit>(form, name);
    for (const char* name : {"Splitter1", "Splitter2"}) FindControl<QSplitter>(form, name);
    FindControl<QTreeWidget>(form, "LV_EDID_tree");
    FindControl<QComboBox>(form, "CB_Selection");
    FindControl<QCheckBox>(form, "CH_Bit");
    FindControl<QTableWidget>(form, "VLE_ValueList");
    FindControl<QScrollArea>(form, "SB_Container");
    FindControl<QListWidget>(form, "LB_Log");
}

TEST_F(EditorWindow, ShowLogRestoresTheBottomPanelsHeight) {
    QTest::mouseClick(form->BTN_ShowLog, Qt::LeftButton);
    EXPECT_TRUE(Shows(form->LB_Log, form));
    EXPECT_EQ(form->PNL_Bottom->height(), 110);
    // The operator drags the splitter; below 90 is not accepted.
    const int total = form->Splitter2->sizes().at(0) + form->Splitter2->sizes().at(1);
    form->Splitter2->setSizes({total - 60, 60});
    EXPECT_GE(form->PNL_Bottom->height(), 90);
    form->Splitter2->setSizes({total - 170, 170});
    EXPECT_EQ(form->PNL_Bottom->height(), 170);

    QTest::mouseClick(form->BTN_ShowLog, Qt::LeftButton);
    EXPECT_FALSE(Shows(form->LB_Log, form));
    EXPECT_EQ(form->PNL_Bottom->height(), 35);
    EXPECT_EQ(form->LogPanelHeight(), 170);
    QTest::mouseClick(form->BTN_ShowLog, Qt::LeftButton);
    EXPECT_EQ(form->PNL_Bottom->height(), 170);
}

TEST_F(EditorWindow, TreeSideIsNeverNarrowerThan100) {
    form->Splitter1->setSizes({20, 700});
    EXPECT_GE(form->LV_EDID_tree->width(), 100);
}

TEST_F(EditorWindow, ShowHexShowsTheBlocks) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    EXPECT_FALSE(Shows(form->PNL_Hex, form));
    QTest::mouseClick(form->BTN_ShowHex, Qt::LeftButton);
    EXPECT_TRUE(Shows(form->PNL_Hex, form));
    EXPECT_EQ(form->HexView()->BlockCount(), 1);
    EXPECT_EQ(form->HexView()->size(), form->HexView()->RequiredSize());
    QTest::mouseClick(form->BTN_ShowHex, Qt::LeftButton);
    EXPECT_FALSE(Shows(form->PNL_Hex, form));
}

TEST_F(EditorWindow, SaveAndLoadThroughTheFileDialogs) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    uint8_t before[128];
    ASSERT_EQ(ECGetBlock(ed.Handle(), 0, before, 128), 128);

    AnswerFileDialogs(dir.filePath(QStringLiteral("monitor")));
    QTest::mouseClick(form->BTN_SaveBlocks, Qt::LeftButton);
    ASSERT_EQ(fileDialogs_.size(), 1u);
    EXPECT_EQ(fileDialogs_[0].objectName, QStringLiteral("SaveEDID"));
    EXPECT_EQ(fileDialogs_[0].filters, (QStringList{"Merovan EDID Editor files (*.ECD)", "Binary files (*.BIN)"}));
    EXPECT_EQ(fileDialogs_[0].suffix, QStringLiteral("ECD"));
    // The default extension is added to a name without one.
    const QString saved = dir.filePath(QStringLiteral("monitor.ECD"));
    ASSERT_TRUE(QFileInfo::exists(saved));
    EXPECT_TRUE(
        test_support::ReadFile(saved.toStdString()).starts_with(";Created with Merovan EDID Editor library\r\n"));

    // Loading the file back replaces the collection with the same bytes.
    ECClearBlocks(ed.Handle());
    ASSERT_EQ(ed.Collection()->Count(), 0);
    AnswerFileDialogs(saved);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    ASSERT_EQ(fileDialogs_.size(), 1u);
    EXPECT_EQ(fileDialogs_[0].objectName, QStringLiteral("OpenEDID"));
    EXPECT_EQ(fileDialogs_[0].filters,
              (QStringList{"Merovan EDID Editor files (*.ECD)", "Binary EDID files (*.BIN)", "Any file (*)"}));
    EXPECT_TRUE(fileDialogs_[0].suffix.isEmpty());
    ASSERT_EQ(ed.Collection()->Count(), 1);
    uint8_t bytes[128];
    ASSERT_EQ(ECGetBlock(ed.Handle(), 0, bytes, 128), 128);
    EXPECT_EQ(std::memcmp(bytes, before, 128), 0);

    // Each dialog starts in the folder of its own last file.
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    const auto folderShown = [this] { return fileDialogs_.size() == 1 ? fileDialogs_[0].folder : QString(); };
    const QString second = other.filePath(QStringLiteral("second.BIN"));
    AnswerFileDialogs(second);
    QTest::mouseClick(form->BTN_SaveBlocks, Qt::LeftButton);
    EXPECT_EQ(folderShown(), QDir(dir.path()).absolutePath());
    EXPECT_EQ(QFileInfo(second).size(), 128);
    AnswerFileDialogs(saved);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    EXPECT_EQ(folderShown(), QDir(dir.path()).absolutePath());
    AnswerFileDialogs(second);
    QTest::mouseClick(form->BTN_SaveBlocks, Qt::LeftButton);
    EXPECT_EQ(folderShown(), QDir(other.path()).absolutePath());
}

TEST_F(EditorWindow, SaveTypeChangeSetsTheDefaultExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    QStringList suffixes;
    platform::SetFileDialogHook([&](QFileDialog& d) {
        for (const QString& filter : d.nameFilters()) {
            emit d.filterSelected(filter);
            suffixes << d.defaultSuffix();
        }
        return dir.filePath(QStringLiteral("raw"));
    });
    QTest::mouseClick(form->BTN_SaveBlocks, Qt::LeftButton);
    EXPECT_EQ(suffixes, (QStringList{"ECD", "BIN"}));
    // The last type chosen was the binary one: the file holds the raw block.
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("raw.BIN"))).size(), 128);
}

TEST_F(EditorWindow, CancelledDialogsDoNothing) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    AnswerFileDialogs(QString());
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    QTest::mouseClick(form->BTN_SaveBlocks, Qt::LeftButton);
    EXPECT_EQ(fileDialogs_.size(), 2u);
    EXPECT_EQ(ed.Collection()->Count(), 1);
}

TEST_F(EditorWindow, TheRealOpenDialogAnswersWithItsFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("base.bin"));
    const auto base = BaseBlock();
    ASSERT_TRUE(test_support::WriteFile(name.toStdString(), std::string(base.begin(), base.begin() + 128)));
    ASSERT_TRUE(test_support::WriteFile(dir.filePath(QStringLiteral("notes.txt")).toStdString(), ""));
    // No hook: the Qt dialog runs modally and is answered from a timer. A
    // lower-case name matches the "*.BIN" filter.
    bool answered = false;
    bool binListed = false;
    bool txtListed = true;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(dir.path());
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        // What the dialog lists under "Binary EDID files (*.BIN)".
        auto* view = FindControl<QListView>(dialog, "listView");
        auto listed = [view](const QString& file) {
            if (!view || !view->model()) return false;
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r) {
                if (view->model()->index(r, 0, root).data().toString() == file) return true;
            }
            return false;
        };
        binListed = test_support::WaitFor([&] { return listed(QStringLiteral("base.bin")); }, 10000);
        txtListed = listed(QStringLiteral("notes.txt"));
        // Typed into the file name field, as the operator does.
        auto* edit = FindControl<QLineEdit>(dialog, "fileNameEdit");
        if (!edit) return;
        edit->setText(name);
        answered = true;
        static_cast<QDialog*>(dialog)->accept();
    });
    QTimer guard;  // never hang: close whatever is still open after a while
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    guard.start(20000);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(binListed);
    EXPECT_FALSE(txtListed);
    EXPECT_EQ(ed.Collection()->Count(), 1);
}

TEST_F(EditorWindow, FileErrorsAreMessageBoxes) {
    platform::MessageBoxInterceptor boxes;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.ECD"));
    AnswerFileDialogs(missing);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Failed to open file '" + missing.toStdString() + "'.");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(boxes.Boxes()[0].owner, form);
    EXPECT_TRUE(host.WithCode(EC_HOST_MESSAGE).empty());  // the host gets no copy

    const QString other = dir.filePath(QStringLiteral("dump.txt"));
    ASSERT_TRUE(test_support::WriteFile(other.toStdString(), "00 01 02\r\n"));
    boxes.Clear();
    AnswerFileDialogs(other);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    ASSERT_GE(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Unknown file extension - Trying as hex-dump");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Warning);
}

TEST_F(EditorWindow, CodecErrorsReachTheLogAndTheHost) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    host.calls.clear();
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    form->ED_Numeric->setText(QStringLiteral("99"));
    form->BTN_SetValueClick();
    const auto messages = host.WithCode(EC_HOST_MESSAGE);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, EC_MSG_ERROR);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("Error: ")));
    QStringList log;
    for (int i = 0; i < form->LB_Log->count(); ++i) log << form->LB_Log->item(i)->text();
    EXPECT_TRUE(log.contains(messages[0].text));
}

TEST_F(EditorWindow, TheLogKeepsTheLast1024LinesWithTheLastSelected) {
    for (int i = 0; i < 1030; ++i) {
        ed.Collection()->Root()->OnMessage(EC_LEVEL_INFORMATION, QStringLiteral("line %1").arg(i));
    }
    ASSERT_EQ(form->LB_Log->count(), 1024);
    EXPECT_EQ(form->LB_Log->item(0)->text(), QStringLiteral("Information: line 6"));
    EXPECT_EQ(form->LB_Log->currentRow(), 1023);
    EXPECT_EQ(form->LB_Log->currentItem()->text(), QStringLiteral("Information: line 1029"));
}

TEST_F(EditorWindow, WriteAndReadReachTheHost) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ASSERT_EQ(ed.Add(block_templates::BlockMap()), 1);
    host.calls.clear();
    QTest::mouseClick(form->BTN_WriteEDID, Qt::LeftButton);
    QTest::mouseClick(form->BTN_ReadEDID, Qt::LeftButton);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].code, EC_HOST_WRITE_EDID);
    EXPECT_EQ(host.calls[0].number, 2u);
    EXPECT_TRUE(host.calls[0].text.isNull());
    EXPECT_EQ(host.calls[1].code, EC_HOST_READ_EDID);
    EXPECT_EQ(host.calls[1].number, 0u);
}

TEST_F(EditorWindow, NothingElseRunsWhileTheHostsCallbackRuns) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    host.calls.clear();
    std::vector<bool> enabled;
    int nested = 0;
    host.during = [&](uint32_t code) {
        if (code != EC_HOST_READ_EDID) return;
        for (QWidget* w : {static_cast<QWidget*>(form->BTN_ReadEDID), static_cast<QWidget*>(form->BTN_WriteEDID),
                           static_cast<QWidget*>(form->BTN_LoadBlocks), static_cast<QWidget*>(form->BTN_SaveBlocks),
                           static_cast<QWidget*>(form->BTN_SetValue), static_cast<QWidget*>(form->BTN_QuickSetup)}) {
            enabled.push_back(w->isEnabled());
        }
        // The operator presses buttons while the host serves events.
        ++nested;
        form->BTN_WriteEDIDClick();
        form->BTN_ReadEDIDClick();
        form->ED_Numeric->setText(QStringLiteral("30"));
        form->BTN_SetValueClick();
        form->OpenCollectionDialog(ed.Collection());
        // The host reads the device: a new collection while the old entry is selected.
        ECClearBlocks(ed.Handle());
        Block b = BaseBlock();
        b[16] = 5;
        FixChecksum(b);
        ECAddBlock(ed.Handle(), b.data(), 128);
    };
    form->BTN_ReadEDIDClick();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(host.WithCode(EC_HOST_READ_EDID).size(), 1u);
    EXPECT_TRUE(host.WithCode(EC_HOST_WRITE_EDID).empty());
    EXPECT_EQ(enabled, std::vector<bool>(6, false));
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 5);  // the Set inside did nothing
    EXPECT_TRUE(form->BTN_SetValue->isEnabled());
    EXPECT_TRUE(form->BTN_ReadEDID->isEnabled());
    EXPECT_FALSE(form->HostRequestRunning());
}

TEST_F(EditorWindow, AFaultInsideTheHostsCallbackLeavesTheTreeWorking) {
    platform::MessageBoxInterceptor boxes;
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    // The library fails half-way through a tree update started by the host.
    host.during = [&](uint32_t code) {
        if (code != EC_HOST_READ_EDID) return;
        ed.Handle()->Editor()->BeginTreeUpdate();
        throw ECException(QStringLiteral("Unrecognized block type"));
    };
    form->BTN_ReadEDIDClick();
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Unrecognized block type");
    EXPECT_TRUE(form->LV_EDID_tree->updatesEnabled());
    EXPECT_FALSE(form->HostRequestRunning());
    ECEntry* week = ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture"));
    Select(form, week);
    EXPECT_EQ(form->ShownEntry(), week);
}

TEST_F(EditorWindow, AHostThatReplacesTheBlocksFromAMessageLeavesNoDanglingEntry) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ASSERT_EQ(ed.Add(BaseBlock()), 1);
    form->show();
    ECEntry* week = ed.Find(QStringLiteral(":/1/Version/Vendor & Product ID/Week of manufacture"));
    Select(form, week);
    ASSERT_EQ(form->ShownEntry(), week);
    // The refused value's error reaches the host, which reads the device
    // again from inside the callback: the entry being set is deleted.
    int replaced = 0;
    host.during = [&](uint32_t code) {
        if (code != EC_HOST_MESSAGE || replaced++ > 0) return;
        ECClearBlocks(ed.Handle());
        Block b = BaseBlock();
        b[16] = 3;
        FixChecksum(b);
        ECAddBlock(ed.Handle(), b.data(), 128);
    };
    form->ED_Numeric->setText(QStringLiteral("99"));
    form->BTN_SetValueClick();
    ASSERT_EQ(replaced, 1);
    ASSERT_EQ(ed.Collection()->Count(), 1);
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 3);
    ECEntry* shown = form->ShownEntry();
    EXPECT_EQ(shown, form->SelectedEntry());
    if (shown) {
        bool alive = false;
        ForEachEntry(ed.Collection()->Root(), [&](ECEntry* e) { alive = alive || e == shown; });
        EXPECT_TRUE(alive);
    }
    EXPECT_TRUE(form->LV_EDID_tree->updatesEnabled());
    EXPECT_EQ(form->HexView()->BlockCount(), 1);
    // The window goes on working on the new block.
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    form->ED_Numeric->setText(QStringLiteral("9"));
    form->BTN_SetValueClick();
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 9);
}

TEST_F(EditorWindow, AHostThatClearsTheBlocksWhileOneIsAddedLeavesNoDanglingEntry) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    form->show();
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    // A base block at index 1 is decoded with a warning; the host answers it
    // by clearing the collection while the block is being added.
    int cleared = 0;
    host.during = [&](uint32_t code) {
        if (code != EC_HOST_MESSAGE || cleared++ > 0) return;
        ECClearBlocks(ed.Handle());
    };
    ed.Add(BaseBlock());
    ASSERT_EQ(cleared, 1);
    ECEntry* shown = form->ShownEntry();
    EXPECT_EQ(shown, form->SelectedEntry());
    if (shown) {
        bool alive = false;
        ForEachEntry(ed.Collection()->Root(), [&](ECEntry* e) { alive = alive || e == shown; });
        EXPECT_TRUE(alive);
    }
    EXPECT_TRUE(form->LV_EDID_tree->updatesEnabled());
    EXPECT_EQ(form->HexView()->BlockCount(), ed.Collection()->Count());
}

TEST_F(EditorWindow, ShowingAnEntryServesNoPendingEvents) {
    platform::MessageBoxInterceptor boxes;
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    form->show();
    // An event that is already queued (a host timer, a second click) must not
    // run in the middle of showing an entry: it could free that entry.
    int served = 0;
    QObject receiver;
    QTimer::singleShot(0, &receiver, [&] { ++served; });
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    form->ED_Numeric->setText(QStringLiteral("11"));
    form->BTN_SetValueClick();
    form->QuickConfigPick(ed.Find(QStringLiteral(":/0/Version/18-Byte data blocks/Descriptor 2")));
    EXPECT_EQ(served, 0);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(test_support::WaitFor([&] { return served > 0; }, 5000));
    EXPECT_EQ(served, 1);
}

TEST_F(EditorWindow, SelectionSurvivesTheDeletionOfItsEntry) {
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    Block second = BaseBlock();
    ASSERT_EQ(ed.Add(second), 1);
    form->show();
    Select(form, ed.Find(QStringLiteral(":/1/Version/Standard Timings/Timing 3/Refresh rate")));
    ASSERT_NE(form->ShownEntry(), nullptr);

    // The host clears the blocks: the window shows the nearest surviving entry.
    ECClearBlocks(ed.Handle());
    ECEntry* shown = form->ShownEntry();
    EXPECT_EQ(shown, form->SelectedEntry());
    if (shown) {
        bool alive = false;
        ForEachEntry(ed.Collection()->Root(), [&](ECEntry* e) { alive = alive || e == shown; });
        EXPECT_TRUE(alive);
    }
    // And it can go on editing.
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    form->ED_Numeric->setText(QStringLiteral("7"));
    form->BTN_SetValueClick();
    EXPECT_EQ(ed.Collection()->GetBlock(0)->Bytes()[16], 7);

    // A load replaces the collection under a selected entry as well.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("two.BIN"));
    const auto base = BaseBlock();
    const auto map = block_templates::BlockMap();
    ASSERT_TRUE(test_support::WriteFile(name.toStdString(), std::string(base.begin(), base.begin() + 128) +
                                                                std::string(map.begin(), map.begin() + 128)));
    Select(form, ed.Find(QStringLiteral(":/0/Version/Standard Timings/Timing 0/X-Resolution")));
    AnswerFileDialogs(name);
    QTest::mouseClick(form->BTN_LoadBlocks, Qt::LeftButton);
    EXPECT_EQ(ed.Collection()->Count(), 2);
    EXPECT_EQ(form->ShownEntry(), form->SelectedEntry());
}

TEST_F(EditorWindow, OptionsShowAndHideButtonsAndTheWindow) {
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 1));
    EXPECT_TRUE(Shows(form->BTN_WriteEDID, form));
    EXPECT_TRUE(Shows(form->Bevel1, form));
    EXPECT_FALSE(Shows(form->BTN_ReadEDID, form));
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 2));
    EXPECT_FALSE(Shows(form->BTN_WriteEDID, form));
    EXPECT_TRUE(Shows(form->BTN_ReadEDID, form));
    EXPECT_TRUE(form->isVisible());  // shown on its own in SetUp
    EXPECT_EQ(form->State(), TECForm::DisplayState::ShownOnOwn);
    QTest::mouseClick(form->BTN_Close, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x20000000u));
    EXPECT_TRUE(form->isVisible());
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x40000000u));
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x60000000u));  // both bits: unchanged
    EXPECT_FALSE(form->isVisible());
    // Once shown on its own, it cannot be embedded.
    QWidget host;
    EXPECT_FALSE(ECEmbed(ed.Handle(), &host));
    EXPECT_EQ(form->parentWidget(), nullptr);
}

TEST(EditorEmbedding, EmbedsIntoTheHostsWidgetAndFits) {
    QWidget host;
    host.resize(900, 700);
    host.show();
    {
        EditorInstance ed;
        TECForm* form = ed.Form();
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->State(), TECForm::DisplayState::NotShown);
        EXPECT_FALSE(form->isVisible());
        ASSERT_TRUE(ECEmbed(ed.Handle(), &host));
        EXPECT_EQ(form->parentWidget(), &host);
        EXPECT_FALSE(form->isWindow());
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(Shows(form->BTN_Close, form));
        EXPECT_EQ(form->geometry(), QRect(0, 0, 900, 700));
        EXPECT_EQ(form->State(), TECForm::DisplayState::Embedded);

        host.resize(1000, 750);
#if EDID_HAS_FIT_TO_PARENT
        ECFitToParent(ed.Handle());
        EXPECT_EQ(form->geometry(), QRect(0, 0, 1000, 750));
#else
        // The sink monitor's build keeps the size that embedding gave it.
        EXPECT_EQ(form->geometry(), QRect(0, 0, 900, 700));
#endif
        // Showing through the options keeps it embedded; a second embedding is allowed.
        ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x20000000u));
        EXPECT_EQ(form->State(), TECForm::DisplayState::Embedded);
        EXPECT_EQ(form->parentWidget(), &host);
        EXPECT_TRUE(ECEmbed(ed.Handle(), &host));
    }
    // Destroying the instance removed the editor from the host.
    EXPECT_TRUE(host.findChildren<TECForm*>().isEmpty());
}

TEST(EditorEmbedding, AHostThatDeletesItsWidgetFirstLeavesNoDanglingEditor) {
    EditorInstance ed;
    ASSERT_NE(ed.Form(), nullptr);
    auto* host = new QWidget;
    ASSERT_TRUE(ECEmbed(ed.Handle(), host));
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    delete host;  // takes the editor window with it
    EXPECT_EQ(ed.Form(), nullptr);
    // The instance still works headless-like until it is destroyed.
    EXPECT_TRUE(ECClearBlocks(ed.Handle()));
    EXPECT_EQ(ed.Add(BaseBlock()), 0);
    EXPECT_FALSE(ECSetOptions(ed.Handle(), 3));
}

TEST(EditorEmbedding, HeadlessInstancesHaveNoEditor) {
#if !EDID_SINK_BUILD
    ECHandle h = ECCreate(0);
    ASSERT_NE(h, nullptr);
    QWidget host;
    EXPECT_FALSE(ECEmbed(h, &host));
    EXPECT_FALSE(ECSetOptions(h, 3));
    ECDestroy(h);
#else
    // The sink monitor's build has no headless ECCreate: every instance has
    // the editor window.
    ECHandle h = ECCreate();
    ASSERT_NE(h, nullptr);
    EXPECT_NE(ECEditorFormOf(h->Editor()), nullptr);
    EXPECT_TRUE(ECSetOptions(h, 3));
    ECDestroy(h);
#endif
}

TEST(EditorScreenshot, ShowsALoadedBaseBlockAndExtension) {
    EditorInstance ed;
    TECForm* form = ed.Form();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(ECSetOptions(ed.Handle(), 0x20000003u));
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    ASSERT_EQ(ed.Add(CeaBlock()), 1);
    QTreeWidgetItem* top = form->LV_EDID_tree->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    form->LV_EDID_tree->expandItem(top);
    for (int i = 0; i < top->childCount(); ++i) form->LV_EDID_tree->expandItem(top->child(i));
    ECEntry* version = ed.Find(QStringLiteral(":/0/Version"));
    ASSERT_NE(version, nullptr);
    form->LV_EDID_tree->expandItem(ItemOf(version));
    Select(form, ed.Find(QStringLiteral(":/0/Version/18-Byte data blocks/Descriptor 1")));
    QTest::mouseClick(form->BTN_ShowHex, Qt::LeftButton);
    QTest::mouseClick(form->BTN_ShowLog, Qt::LeftButton);
    QApplication::processEvents();
    // The tree shows the base block by its name.
    EXPECT_EQ(
        form->LV_EDID_tree->findItems(QStringLiteral("Block 0 [VESA EDID]"), Qt::MatchExactly | Qt::MatchRecursive)
            .size(),
        1);
    const QImage shot = form->grab().toImage();
    EXPECT_TRUE(shot.save(QStringLiteral(EDITOR_SCREENSHOT_PATH)));
    // The picture shows something, and so does the tree's part of it: neither is one flat colour.
    const auto colours = [](const QImage& image) {
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
        }
        return seen.size();
    };
    EXPECT_GT(colours(shot), 1);
    const QWidget* treeArea = form->LV_EDID_tree->viewport();
    const QRect treeRect(treeArea->mapTo(form, QPoint(0, 0)) * form->devicePixelRatio(),
                         treeArea->size() * form->devicePixelRatio());
    EXPECT_GT(colours(shot.copy(treeRect)), 1);
}
