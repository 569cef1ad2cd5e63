// "Save Settings ..." and "Load Settings ..." through the main window on the
// simulated instrument: every control and dialog choice round-trips through
// a .CFG file, values the controls cannot hold are left out and named in
// one warning (values that are no numbers in the file's form take their
// defaults and are named too), lines ending in CR CR LF load as saved, files that are no settings files change nothing,
// a failed save keeps the old file, "Show print packets" reaches the link, and the dialogs' filter lists .cfg files in
// any letter case.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>

#include <gmock/gmock.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "MainFormFixture.h"
#include "cts/dialogs/TAudioSupportSelector.h"
#include "cts/dialogs/TColorimetryEdit.h"
#include "cts/dialogs/TDUTCfg.h"
#include "cts/dialogs/TDutCapsForm.h"
#include "cts/dialogs/TOptionsForm.h"
#include "cts/dialogs/TTestAutomation.h"
#include "cts/dialogs/TTimingSelection.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/FileDialog.h"
#include "support/DesktopHooks.h"
#include "support/ReadOnlyFolder.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

namespace {

namespace fs = std::filesystem;
using cts_test::MainFormFixture;
using test_support::FindControl;

constexpr const char* kWriteFailed = "Unable to write settings file. Settings not saved.\r\n\r\n";
constexpr const char* kWarningStart = "Some settings were not loaded because their values are out of range: ";

// One full set of choices for every control and dialog the file covers.
struct Choices {
    int lanes;
    int rate;
    std::array<bool, 5> automation;  // LinkTraining, EDID, Pattern, TEST_TIMING, TEST_AUDIO
    int event;
    std::array<bool, 8> dutCaps;  // in Flags bit order
    bool printPackets;
    std::array<bool, 4> hdcp;
    int hpdLow;
    int hpdHigh;
    int tout;
    QString auth;
    std::array<int32_t, 3> mostPacked;
    AudioCaps::Bytes audio;
    std::vector<int> colorimetryIds;
    TDUTCfg::TimingRecord timing;
};

const Choices kA = {2,
                    1,
                    {false, true, false, true, true},
                    1,
                    {true, false, true, false, true, false, true, false},
                    true,
                    {true, false, true, true},
                    1234,
                    560,
                    300,
                    QStringLiteral("32.5"),
                    {0, 10, 13},
                    {0x12, 0x65, 0x06},
                    {58, 92},
                    {0, 0, 0, 1, 0, 4, 0, 0, 0, 1, 0, 3}};

const Choices kB = {1,
                    0,
                    {true, false, true, false, false},
                    2,
                    {false, true, false, true, false, true, false, true},
                    false,
                    {false, true, false, false},
                    40,
                    20,
                    9000,
                    QStringLiteral("7.3"),
                    {3, 6, 11},
                    {0x44, 0x83, 0x01},
                    {40, 44, 76},
                    {0, 1, 0, 2, 0, 1, 0, 1, 0, 4, 0, 0}};

// What every control shows, by a name per control.
using Snapshot = std::map<std::string, std::string>;

using test_support::ReadFile;
using test_support::WriteFile;

class SettingsFiles : public test_support::DesktopHookFixture<MainFormFixture> {
protected:
    void SetUp() override {
        DesktopHookFixture::SetUp();
        ASSERT_TRUE(files_.isValid());
        AnswerFileDialogs(QString());
    }

    fs::path Path(const std::string& name) const { return fs::path(files_.path().toStdString()) / name; }

    void Save(const fs::path& path) {
        AnswerFileDialogs(QString::fromStdString(path.string()));
        form_->MENU_SaveSettings->trigger();
    }
    void Load(const fs::path& path) {
        AnswerFileDialogs(QString::fromStdString(path.string()));
        form_->MENU_LoadSettings->trigger();
    }
    // The one file dialog of the last Save or Load, checked as one for
    // settings files of its name and title (null when there was not one).
    const test_support::FileDialogShowing* SettingsDialog(const char* objectName, const char* title) const {
        EXPECT_EQ(fileDialogs_.size(), 1u);
        if (fileDialogs_.size() != 1) return nullptr;
        const test_support::FileDialogShowing& d = fileDialogs_[0];
        EXPECT_EQ(d.objectName, QString::fromLatin1(objectName));
        EXPECT_EQ(d.title, QString::fromLatin1(title));
        EXPECT_EQ(d.filters, QStringList{QStringLiteral("Configuration files (*.cfg)")});
        EXPECT_EQ(d.suffix, QStringLiteral("CFG"));
        return &d;
    }

    void Drive(const Choices& c) {
        TCTSMainForm* f = form_.get();
        f->CB_SupportTXLanes->setCurrentIndex(c.lanes);
        f->CB_SupportTXLinkRate->setCurrentIndex(c.rate);
        TTestAutomation* a = dialogs_.automation;
        const std::array<QCheckBox*, 5> boxes = {a->CH_LinkTraining, a->CH_EDID, a->CH_Pattern, a->CH_TEST_TIMING,
                                                 a->CH_TEST_AUDIO};
        for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(c.automation[i]);
        a->CB_Event->setCurrentIndex(c.event);
        const auto dut = DutCaps();
        for (size_t i = 0; i < dut.size(); ++i) dut[i]->setChecked(c.dutCaps[i]);
        if (f->Showprintpackets1->isChecked() != c.printPackets) f->Showprintpackets1Click();
        for (size_t i = 0; i < 4; ++i) f->CH_HDCP[i]->setChecked(c.hdcp[i]);
        f->UD_HPDLo->setValue(c.hpdLow);
        f->UD_HPDHi->setValue(c.hpdHigh);
        f->UD_Tout->setValue(c.tout);
        f->ED_AuthenticationStartTO->setText(c.auth);
        ASSERT_TRUE(dialogs_.timing->SetLane1Index(c.mostPacked[0]));
        ASSERT_TRUE(dialogs_.timing->SetLane2Index(c.mostPacked[1]));
        ASSERT_TRUE(dialogs_.timing->SetLane4Index(c.mostPacked[2]));
        dialogs_.audio->SetAudioCaps(c.audio);
        dialogs_.colorimetry->ResetFormats();
        for (int id : c.colorimetryIds) dialogs_.colorimetry->CheckFormatID(id);
        for (bool taken : dialogs_.dutCfg->SetTimingRecord(c.timing)) ASSERT_TRUE(taken);
    }

    std::array<QCheckBox*, 8> DutCaps() const {
        const TDutCapsForm* d = dialogs_.dutCaps;
        return {d->CH_VFCWOLT,    d->CH_LCRWOLT,     d->CB_SpreadSpectrum, d->CH_EDDC,
                d->CH_DriveLevel, d->CH_PreEmphasis, d->CH_FixedTiming,    d->CB_SCC_IfMaxDownSpread};
    }

    Snapshot Take() const {
        const TCTSMainForm* f = form_.get();
        Snapshot s;
        const auto number = [](int v) { return std::to_string(v); };
        const auto box = [](const QCheckBox* b) { return std::string(b->isChecked() ? "checked" : "unchecked"); };
        for (const QComboBox* c :
             {f->CB_SupportTXLanes, f->CB_SupportTXLanes2, f->CB_SupportTXLinkRate, f->CB_SupportTXLinkRate2})
            s[c->objectName().toStdString()] = number(c->currentIndex());
        const TTestAutomation* a = dialogs_.automation;
        for (const QCheckBox* b : {a->CH_LinkTraining, a->CH_EDID, a->CH_Pattern, a->CH_TEST_TIMING, a->CH_TEST_AUDIO})
            s[b->objectName().toStdString()] = box(b);
        s["CB_Event"] = number(a->CB_Event->currentIndex());
        s["CB_Event enabled"] = a->CB_Event->isEnabled() ? "yes" : "no";
        for (const QCheckBox* b : DutCaps()) s[b->objectName().toStdString()] = box(b);
        s["Showprintpackets1"] = f->Showprintpackets1->isChecked() ? "checked" : "unchecked";
        s["link shows print packets"] = f->Link() ? (f->Link()->ShowPrintPackets() ? "yes" : "no") : "no link";
        for (const QCheckBox* b : f->CH_HDCP) s[b->objectName().toStdString()] = box(b);
        for (const QSpinBox* u : {f->UD_HPDLo, f->UD_HPDLo2, f->UD_HPDHi, f->UD_HPDHi2, f->UD_Tout, f->UD_Tout2,
                                  f->UD_AuthenticationStartTO})
            s[u->objectName().toStdString()] = number(u->value());
        for (const QLineEdit* e : {f->ED_AfterHPDLow, f->ED_AfterHPDLow2, f->ED_AfterHPDHi, f->ED_AfterHPDHi2,
                                   f->ED_Tout, f->ED_Tout2, f->ED_AuthenticationStartTO})
            s[e->objectName().toStdString()] = e->text().toStdString();
        s["MPT_Index1"] = number(dialogs_.timing->GetLane1Index());
        s["MPT_Index2"] = number(dialogs_.timing->GetLane2Index());
        s["MPT_Index4"] = number(dialogs_.timing->GetLane4Index());
        for (size_t i = 0; i < 3; ++i) s["acap" + std::to_string(i)] = number(dialogs_.audio->AudioCaps()[i]);
        std::string accepted;
        for (bool row : dialogs_.colorimetry->Accepted()) accepted += row ? '1' : '0';
        s["Colorimetry"] = accepted;
        const TDUTCfg::TimingRecord record = dialogs_.dutCfg->GetTimingRecord();
        const char* rows[] = {"TSG_R1B", "TSG_R2B", "TSG_R4B", "TSG_H1B", "TSG_H2B", "TSG_H4B"};
        for (size_t r = 0; r < 6; ++r) s[rows[r]] = number(record[2 * r + 1]);
        return s;
    }

    QTemporaryDir files_;
};

TEST_F(SettingsFiles, EveryControlRoundTripsThroughAFile) {
    OpenConnected();
    platform::MessageBoxInterceptor boxes;
    Drive(kA);
    const Snapshot a = Take();

    const fs::path file = Path("Prüfstand Δ 試験.CFG");
    Save(file);
    const test_support::FileDialogShowing* saveDialog = SettingsDialog("SaveSettings", "Save Test settings to");
    ASSERT_TRUE(saveDialog);
    EXPECT_TRUE(saveDialog->save);
    EXPECT_TRUE(saveDialog->confirmsOverwrite);
    ASSERT_TRUE(fs::exists(file));

    // Every control changes...
    Drive(kB);
    const Snapshot b = Take();
    for (const auto& [name, value] : a) {
        if (name == "CB_Event enabled") continue;  // both choices enable the event list
        EXPECT_NE(b.at(name), value) << name << " did not change";
    }
    // ... and the file brings every one back.
    Load(file);
    const test_support::FileDialogShowing* openDialog = SettingsDialog("OpenSettings", "Load Test settings from");
    ASSERT_TRUE(openDialog);
    EXPECT_FALSE(openDialog->save);
    EXPECT_TRUE(openDialog->existingOnly);
    EXPECT_EQ(Take(), a);
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());

    // A name without extension gets ".CFG".
    Save(Path("plain"));
    ASSERT_TRUE(fs::exists(Path("plain.CFG")));
    EXPECT_EQ(ReadFile(Path("plain.CFG")), ReadFile(file));
}

TEST_F(SettingsFiles, ValuesTheControlsCannotHoldAreIgnoredAndNamedInOneWarning) {
    OpenConnected();
    Drive(kA);
    const Snapshot a = Take();
    const fs::path good = Path("good.CFG");
    Save(good);
    Drive(kB);
    const Snapshot b = Take();

    const struct {
        std::vector<std::pair<const char*, const char*>> values;  // key, value
        std::vector<std::string> kept;                            // controls that keep B's value
        std::string named;
    } cases[] = {
        {{{"MPT_Index1", "4"}}, {"MPT_Index1"}, "MPT_Index1"},
        {{{"MPT_Index1", "-1"}}, {"MPT_Index1"}, "MPT_Index1"},
        {{{"MPT_Index2", "3"}}, {"MPT_Index2"}, "MPT_Index2"},
        {{{"MPT_Index2", "11"}}, {"MPT_Index2"}, "MPT_Index2"},
        {{{"MPT_Index4", "10"}}, {"MPT_Index4"}, "MPT_Index4"},
        {{{"MPT_Index4", "14"}}, {"MPT_Index4"}, "MPT_Index4"},
        {{{"acap0", "128"}}, {"acap0"}, "acap0"},
        {{{"acap0", "146"}}, {"acap0"}, "acap0"},
        {{{"acap1", "109"}}, {"acap1"}, "acap1"},  // 0x6D: bit 3
        {{{"acap1", "21"}}, {"acap1"}, "acap1"},   // 1 channel
        {{{"acap1", "149"}}, {"acap1"}, "acap1"},  // 9 channels
        {{{"acap2", "8"}}, {"acap2"}, "acap2"},
        {{{"AuthTO", "0.9"}}, {"ED_AuthenticationStartTO", "UD_AuthenticationStartTO"}, "AuthTO"},
        {{{"AuthTO", "64.5"}}, {"ED_AuthenticationStartTO", "UD_AuthenticationStartTO"}, "AuthTO"},
        {{{"AuthTO", "-5"}}, {"ED_AuthenticationStartTO", "UD_AuthenticationStartTO"}, "AuthTO"},
        {{{"TSG_R1B", "2"}}, {"TSG_R1B"}, "TSG_R1B"},  // RBR 1 lane offers 1 and 0 only
        {{{"TSG_H2B", "3"}}, {"TSG_H2B"}, "TSG_H2B"},
        {{{"TSG_R4B", "259"}}, {"TSG_R4B"}, "TSG_R4B"},  // as a byte 3, which the row offers
        // Too many IDs: the first 13 are read (the file has four); a
        // negative count reads none after the reset to the defaults.
        {{{"Count", "14"}}, {}, "Count"},
        {{{"Count", "-1"}}, {}, "Count"},
        {{{"MPT_Index2", "3"}, {"acap2", "9"}, {"TSG_H4B", "6"}, {"AuthTO", "0"}, {"MPT_Index1", "13"}},
         {"MPT_Index1", "MPT_Index2", "acap2", "ED_AuthenticationStartTO", "UD_AuthenticationStartTO", "TSG_H4B"},
         "MPT_Index1, MPT_Index2, acap2, AuthTO, TSG_H4B"},
    };
    for (const auto& c : cases) {
        const std::string label = c.named + " (" + c.values.front().first + "=" + c.values.front().second + ")";
        SCOPED_TRACE(label);
        platform::IniFile ini;
        ASSERT_TRUE(ini.Load(good));
        for (const auto& [key, value] : c.values)
            ini.WriteString(std::string(key) == "Count" ? "Colorimetry" : "Setup", key, value);
        const fs::path file = Path("bad.CFG");
        ASSERT_TRUE(ini.Save(file));

        Drive(kB);
        platform::MessageBoxInterceptor boxes;
        Load(file);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Texts()[0], kWarningStart + c.named);
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Warning);
        EXPECT_EQ(boxes.Boxes()[0].owner, form_.get());

        Snapshot expected = a;
        for (const std::string& name : c.kept) expected[name] = b.at(name);
        if (c.values.front().second == std::string("-1") && std::string(c.values.front().first) == "Count")
            expected["Colorimetry"] = "1100000000000";
        EXPECT_EQ(Take(), expected);
    }
}

// A saved file passed through two line-end conversions (CR CR LF) loads as
// saved, without a word.
TEST_F(SettingsFiles, AFileWithLinesEndingInTwoCarriageReturnsLoadsAsSaved) {
    OpenConnected();
    Drive(kA);
    const Snapshot a = Take();
    const fs::path file = Path("converted.CFG");
    Save(file);
    std::string text;
    for (char c : ReadFile(file)) text += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
    WriteFile(file, text);
    Drive(kB);
    platform::MessageBoxInterceptor boxes;
    Load(file);
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());
    EXPECT_EQ(Take(), a);
}

// Values that are no numbers in the file's form (an integer key's, AuthTO's
// seconds) take their defaults and are named in the one warning, after the
// values left out.
TEST_F(SettingsFiles, ValuesThatAreNoNumbersTakeTheirDefaultsAndAreNamed) {
    OpenConnected();
    Drive(kA);
    const fs::path file = Path("words.CFG");
    WriteFile(file,
              "[Setup]\nCFG_Version=1\nMaxLanes=4x\nTOUT=\xD9\xA3\xD9\xA0\xD9\xA0\nacap2=9\n"
              "HPDLow=\xEF\xBC\x95\xEF\xBC\x90\nAuthTO=ten\n");
    platform::MessageBoxInterceptor boxes;
    Load(file);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], kWarningStart + std::string("acap2\n") +
                                    "Some settings were loaded with their defaults because their values are not "
                                    "numbers in the settings file's form: MaxLanes, HPDLow, AuthTO, TOUT");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Warning);
    const Snapshot s = Take();
    EXPECT_EQ(s.at("CB_SupportTXLanes"), "0");  // the default, 1 lane
    EXPECT_EQ(s.at("UD_HPDLo"), "700");
    EXPECT_EQ(s.at("UD_Tout"), "2000");
    EXPECT_EQ(s.at("ED_AuthenticationStartTO"), "10.0");
    EXPECT_EQ(s.at("UD_AuthenticationStartTO"), "100");
    EXPECT_EQ(s.at("acap2"), std::to_string(kA.audio[2]));
}

TEST_F(SettingsFiles, UpDownsKeepLoadedValuesInRangeAndOtherLaneCountsChangeNothing) {
    OpenConnected();
    Drive(kA);
    const fs::path file = Path("edge.CFG");
    WriteFile(file, "[Setup]\nCFG_Version=1\nMaxLanes=3\nMaxRate=20\nHPDLow=3\nHPDHigh=25000\nTOUT=50\nAuthTO= 64 \n");
    platform::MessageBoxInterceptor boxes;
    Load(file);
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());
    const Snapshot s = Take();
    EXPECT_EQ(s.at("CB_SupportTXLanes"), "2");
    EXPECT_EQ(s.at("CB_SupportTXLanes2"), "2");
    EXPECT_EQ(s.at("CB_SupportTXLinkRate"), "1");
    EXPECT_EQ(s.at("CB_SupportTXLinkRate2"), "1");
    for (const char* name : {"UD_HPDLo", "UD_HPDLo2", "ED_AfterHPDLow", "ED_AfterHPDLow2"}) EXPECT_EQ(s.at(name), "5");
    for (const char* name : {"UD_HPDHi", "UD_HPDHi2", "ED_AfterHPDHi", "ED_AfterHPDHi2"})
        EXPECT_EQ(s.at(name), "20000");
    for (const char* name : {"UD_Tout", "UD_Tout2", "ED_Tout", "ED_Tout2"}) EXPECT_EQ(s.at(name), "100");
    EXPECT_EQ(s.at("ED_AuthenticationStartTO"), "64");
    EXPECT_EQ(s.at("UD_AuthenticationStartTO"), "640");
    // The missing keys take their defaults: all five automation boxes and "Active Video".
    EXPECT_EQ(s.at("CH_LinkTraining"), "checked");
    EXPECT_EQ(s.at("CH_TEST_AUDIO"), "checked");
    EXPECT_EQ(s.at("CB_Event"), "3");
    EXPECT_EQ(s.at("Colorimetry"), "1100000000000");
    EXPECT_EQ(s.at("TSG_H4B"), "5");
}

TEST_F(SettingsFiles, FilesThatAreNoSettingsFilesChangeNothing) {
    OpenConnected();
    Drive(kA);
    const Snapshot a = Take();
    platform::MessageBoxInterceptor boxes;

    const fs::path other = Path("other.CFG");
    WriteFile(other, "[CTS]\nVardeko_Left=10\n[Setup]\nMaxLanes=1\n");
    const fs::path empty = Path("empty.CFG");
    WriteFile(empty, "");
    for (const fs::path& file : {other, empty, Path("missing.CFG")}) {
        boxes.Clear();
        Load(file);
        ASSERT_EQ(boxes.Boxes().size(), 1u) << file;
        EXPECT_EQ(boxes.Texts()[0], "Invalid configuration file");
        EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
        EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::Ok);
        EXPECT_EQ(Take(), a) << file;
    }

    // Another version: the question; No changes nothing, Yes loads.
    const fs::path newer = Path("newer.CFG");
    WriteFile(newer, "[Setup]\nCFG_Version=2\nMaxLanes=1\n");
    boxes.Clear();
    boxes.SetAnswer(platform::MsgResult::No);
    Load(newer);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Configuration version mismatch\nAttempt loading anyway?");
    EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(Take(), a);
    boxes.SetAnswer(platform::MsgResult::Yes);
    Load(newer);
    EXPECT_EQ(form_->CB_SupportTXLanes->currentIndex(), 0);
    EXPECT_EQ(dialogs_.timing->GetLane2Index(), 4);  // the defaults of the missing keys

    // A cancelled dialog does nothing at all.
    Drive(kA);
    boxes.Clear();
    AnswerFileDialogs(QString());
    form_->MENU_LoadSettings->trigger();
    form_->MENU_SaveSettings->trigger();
    EXPECT_EQ(Take(), a);
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());
}

TEST_F(SettingsFiles, ASaveThatCannotBeWrittenKeepsTheOldFile) {
    OpenConnected();
    Drive(kA);
    const fs::path file = Path("kept.CFG");
    const std::string old = "[Setup]\nCFG_Version=1\nMaxLanes=2\n";
    WriteFile(file, old);
    platform::MessageBoxInterceptor boxes;
    {
        test_support::ReadOnlyFolder readOnly(files_.path().toStdString());
        ASSERT_FALSE(readOnly.Writes());
        Save(file);
    }
    // The box names what failed and why.
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_THAT(boxes.Texts()[0],
                ::testing::StartsWith(std::string(kWriteFailed) + "Cannot create " + Path("").string()));
    EXPECT_THAT(boxes.Texts()[0], ::testing::EndsWith(": Permission denied"));
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("")), fs::directory_iterator()), 1) << "no temporary left";
}

// A FIFO of the chosen name is never opened (its open would wait for a
// writer and freeze the window): loading it finds no settings file, saving
// over it is refused with the reason, and it stays a FIFO.
TEST_F(SettingsFiles, AFifoIsNeitherLoadedNorSavedOver) {
    OpenConnected();
    Drive(kA);
    const Snapshot a = Take();
    test_support::TrapFifo fifo(Path("x.CFG"));
    ASSERT_TRUE(fifo.Made());
    platform::MessageBoxInterceptor boxes;

    Load(fifo.Path());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Invalid configuration file"});
    EXPECT_EQ(Take(), a);

    boxes.Clear();
    Drive(kB);
    Save(fifo.Path());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0],
              std::string(kWriteFailed) + "Cannot read " + fifo.Path().string() + ": Not a regular file");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(boxes.Boxes()[0].owner, form_.get());
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened";
}

// A FIFO as the program's own settings file is never opened (its open would
// wait for a writer, and the window would never come up): the window comes
// up with the settings absent, so it asks for the port, without a box; the
// FIFO stays as it is when the window closes.
TEST_F(SettingsFiles, AFifoAsTheProgramsSettingsFileCountsAsNoSettings) {
    const fs::path ini = Settings().FilePath();
    ASSERT_TRUE(fs::remove(ini));
    test_support::TrapFifo fifo(ini);
    ASSERT_TRUE(fifo.Made());
    platform::MessageBoxInterceptor boxes;
    std::string headline;
    AnswerNextDialog(QDialog::Rejected,
                     [&](QDialog*) { headline = form_->LBL_NotConnectedHeadline->text().toStdString(); });
    TCTSMainForm* form = Open();
    ASSERT_TRUE(WaitFor([&] { return answered_ != nullptr; }));
    EXPECT_EQ(answered_, dialogs_.options);
    EXPECT_EQ(headline, "No COM communications port selected.");
    EXPECT_TRUE(WaitFor([&] { return !form->isVisible(); }));  // no port chosen: the program ends
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened";
}

TEST_F(SettingsFiles, FlagsBit8SetsShowPrintPacketsOfTheLinkAndTheMenuItem) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_NE(form->Link(), nullptr);
    const fs::path on = Path("on.CFG");
    WriteFile(on, "[Setup]\nCFG_Version=1\nFlags=256\n");
    const fs::path off = Path("off.CFG");
    WriteFile(off, "[Setup]\nCFG_Version=1\nFlags=7935\n");  // 0x1EFF: every bit but 8
    platform::MessageBoxInterceptor boxes;

    Load(on);
    EXPECT_TRUE(form->Showprintpackets1->isChecked());
    EXPECT_TRUE(form->Link()->ShowPrintPackets());
    EXPECT_FALSE(form->CH_HDCP[0]->isChecked());
    Load(off);
    EXPECT_FALSE(form->Showprintpackets1->isChecked());
    EXPECT_FALSE(form->Link()->ShowPrintPackets());
    EXPECT_TRUE(form->CH_HDCP[3]->isChecked());
    EXPECT_TRUE(dialogs_.dutCaps->CB_SCC_IfMaxDownSpread->isChecked());

    // Without a link the menu item takes the bit, and the next link starts with it.
    form->DisconnectCOM1->trigger();
    ASSERT_EQ(form->Link(), nullptr);
    Load(on);
    EXPECT_TRUE(form->Showprintpackets1->isChecked());
    form->BTN_TryConnection->click();
    ASSERT_TRUE(WaitConnected());
    ASSERT_NE(form->Link(), nullptr);
    EXPECT_TRUE(form->Link()->ShowPrintPackets());
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());
}

TEST_F(SettingsFiles, TheOpenDialogListsSettingsFilesInAnyLetterCase) {
    OpenConnected();
    platform::SetFileDialogHook({});  // the real dialog, answered from a timer
    for (const char* name : {"lower.cfg", "UPPER.CFG", "Mixed.Cfg", "notes.txt", "lower.cfgx"})
        WriteFile(Path(name), "");

    std::vector<std::string> listed;
    bool seen = false;
    QTimer::singleShot(100, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = dialog->objectName() == QStringLiteral("OpenSettings");
        dialog->setDirectory(files_.path());
        auto* view = FindControl<QListView>(dialog, "listView");
        const auto names = [view] {
            std::vector<std::string> names;
            if (!view || !view->model()) return names;
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r)
                names.push_back(view->model()->index(r, 0, root).data().toString().toStdString());
            std::sort(names.begin(), names.end());
            return names;
        };
        (void)test_support::WaitFor([&] { return names().size() >= 3; }, 10000);  // the check below tells
        listed = names();
        dialog->resize(640, 400);
        dialog->grab().save(QStringLiteral(CTS_SCREENSHOT_DIR "/vardeko-load-settings.png"));
        dialog->reject();
    });
    QTimer guard;  // never hang: close whatever is still open after a while
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    guard.start(20000);
    platform::MessageBoxInterceptor boxes;
    form_->MENU_LoadSettings->trigger();
    EXPECT_TRUE(seen);
    EXPECT_THAT(listed, ::testing::ElementsAre("Mixed.Cfg", "UPPER.CFG", "lower.cfg"));
    EXPECT_THAT(boxes.Texts(), ::testing::IsEmpty());  // cancelled: nothing loaded
}

}  // namespace
