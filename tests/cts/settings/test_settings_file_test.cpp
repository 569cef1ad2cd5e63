// The .CFG test settings file without windows: the text a save writes, what
// a load hands on, the values it leaves out and names, defaults for values
// that are no numbers in the file's form (named too), the warning's text,
// lines that end in CR CR LF, and saves that fail.
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cts/settings/TestSettingsFile.h"
#include "platform/IniFile.h"
#include "support/ReadOnlyFolder.h"
#include "support/TextFile.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Version = LoadedTestSettings::Version;

LoadedTestSettings ReadText(std::string_view text) {
    platform::IniFile ini;
    ini.Parse(text);
    return TestSettingsFile::Read(ini);
}

// A current settings file with the given lines added to Setup.
LoadedTestSettings ReadSetup(const std::string& lines) { return ReadText("[Setup]\nCFG_Version=1\n" + lines + "\n"); }

using test_support::ReadFile;
using test_support::WriteFile;

// Every value away from its default.
TestSettings Changed() {
    TestSettings s;
    s.laneCountItem = 2;
    s.linkRateItem = 1;
    s.testAutomation = 0x4A;  // TEST_EDID_READ, TEST_AUDIO_PATTERN, event item 1
    s.flags = 0x1555;
    s.afterHpdLowMs = 1234;
    s.afterHpdHighMs = 560;
    s.mostPackedIndexes = {0, 10, 13};
    s.audioCaps = {0x12, 0x65, 0x06};
    s.authenticationStartTimeout = "32.5";
    s.mainLinkDisableTimeoutMs = 300;
    s.timingRecord = {0, 0, 0, 1, 0, 4, 0, 0, 0, 1, 0, 3};
    s.colorimetryIds = {0, 32, 58, 92};
    return s;
}

TEST(TestSettingsFile, SaveWritesTheSetupKeysInOrderAndTheColorimetrySection) {
    platform::IniFile ini;
    TestSettingsFile::Write(ini, Changed());
    EXPECT_EQ(ini.Text(),
              "[Setup]\n"
              "CFG_Version=1\nMaxLanes=4\nMaxRate=10\nTestAutomation=74\nFlags=5461\nHPDLow=1234\nHPDHigh=560\n"
              "MPT_Index1=0\nMPT_Index2=10\nMPT_Index4=13\nacap0=18\nacap1=101\nacap2=6\nAuthTO=32.5\nTOUT=300\n"
              "TSG_R1A=0\nTSG_R1B=0\nTSG_R2A=0\nTSG_R2B=1\nTSG_R4A=0\nTSG_R4B=4\n"
              "TSG_H1A=0\nTSG_H1B=0\nTSG_H2A=0\nTSG_H2B=1\nTSG_H4A=0\nTSG_H4B=3\n"
              "\n"
              "[Colorimetry]\n"
              "Count=4\nID_0=0\nID_1=32\nID_2=58\nID_3=92\n");
}

TEST(TestSettingsFile, LoadHandsOnWhatSaveWrote) {
    for (const TestSettings& saved : {Changed(), TestSettings{}}) {
        platform::IniFile ini;
        TestSettingsFile::Write(ini, saved);
        const LoadedTestSettings s = TestSettingsFile::Read(ini);
        EXPECT_EQ(s.version, Version::kCurrent);
        EXPECT_EQ(s.laneCountItem, saved.laneCountItem);
        EXPECT_EQ(s.linkRateItem, saved.linkRateItem);
        EXPECT_EQ(s.testAutomation, saved.testAutomation);
        EXPECT_EQ(s.flags, saved.flags);
        EXPECT_EQ(s.afterHpdLowMs, saved.afterHpdLowMs);
        EXPECT_EQ(s.afterHpdHighMs, saved.afterHpdHighMs);
        EXPECT_EQ(s.mainLinkDisableTimeoutMs, saved.mainLinkDisableTimeoutMs);
        EXPECT_EQ(s.mostPackedIndexes, saved.mostPackedIndexes);
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(s.audioCaps[i], saved.audioCaps[i]) << "acap" << i;
        EXPECT_EQ(s.authenticationStartTimeout, saved.authenticationStartTimeout);
        for (size_t row = 0; row < 6; ++row) EXPECT_EQ(s.timingCodes[row], saved.timingRecord[2 * row + 1]) << row;
        EXPECT_EQ(s.colorimetryIds, saved.colorimetryIds);
        EXPECT_THAT(s.outOfRange, IsEmpty());
    }
}

TEST(TestSettingsFile, AFileWithOnlyItsVersionGivesEveryDefault) {
    const LoadedTestSettings s = ReadSetup("");
    EXPECT_EQ(s.version, Version::kCurrent);
    EXPECT_EQ(s.laneCountItem, 0);
    EXPECT_EQ(s.linkRateItem, 0);
    EXPECT_EQ(s.testAutomation, 127);
    EXPECT_EQ(s.flags, 0);
    EXPECT_EQ(s.afterHpdLowMs, 700);
    EXPECT_EQ(s.afterHpdHighMs, 0);
    EXPECT_EQ(s.mainLinkDisableTimeoutMs, 2000);
    EXPECT_EQ(s.mostPackedIndexes, (std::array<int32_t, 3>{2, 4, 12}));
    EXPECT_EQ(s.audioCaps[0], 4);
    EXPECT_EQ(s.audioCaps[1], 33);
    EXPECT_EQ(s.audioCaps[2], 1);
    EXPECT_EQ(s.authenticationStartTimeout, "10.0");
    const uint8_t codes[] = {1, 2, 3, 2, 4, 5};
    for (size_t row = 0; row < 6; ++row) EXPECT_EQ(s.timingCodes[row], codes[row]) << row;
    EXPECT_THAT(s.colorimetryIds, IsEmpty());
    EXPECT_THAT(s.outOfRange, IsEmpty());
}

TEST(TestSettingsFile, VersionTellsSettingsFilesFromOthers) {
    const struct {
        const char* text;
        Version version;
        int32_t fileVersion;
    } cases[] = {
        {"", Version::kNone, -1},
        {"[Other]\nCFG_Version=1\n", Version::kNone, -1},
        {"[Setup]\nCFG_Version=-1\n", Version::kNone, -1},
        {"[Setup]\nCFG_Version=1.0\n", Version::kNone, -1},
        {"[Setup]\nCFG_Version=0x1\n", Version::kNone, -1},
        {"[Setup]\nCFG_Version=2\n", Version::kOther, 2},
        {"[Setup]\nCFG_Version=0\n", Version::kOther, 0},
        {"[Setup]\nCFG_Version=  1\t\n", Version::kCurrent, 1},
    };
    for (const auto& c : cases) {
        const LoadedTestSettings s = ReadText(c.text);
        EXPECT_EQ(s.version, c.version) << c.text;
        EXPECT_EQ(s.fileVersion, c.fileVersion) << c.text;
    }
}

// One value of the loaded settings, as a number (-1000 for an empty optional).
using Field = std::function<int64_t(const LoadedTestSettings&)>;
int64_t Or(const std::optional<int32_t>& v) { return v ? *v : -1000; }
int64_t Or(const std::optional<uint8_t>& v) { return v ? *v : -1000; }
const Field kLanes = [](const auto& s) { return Or(s.laneCountItem); };
const Field kRate = [](const auto& s) { return Or(s.linkRateItem); };
const Field kAutomation = [](const auto& s) { return s.testAutomation; };
const Field kFlags = [](const auto& s) { return s.flags; };
const Field kHpdLow = [](const auto& s) { return s.afterHpdLowMs; };
const Field kHpdHigh = [](const auto& s) { return s.afterHpdHighMs; };
const Field kTout = [](const auto& s) { return s.mainLinkDisableTimeoutMs; };
const Field kMpt1 = [](const auto& s) { return s.mostPackedIndexes[0]; };
const Field kAcap0 = [](const auto& s) { return Or(s.audioCaps[0]); };
const Field kAcap1 = [](const auto& s) { return Or(s.audioCaps[1]); };
const Field kAcap2 = [](const auto& s) { return Or(s.audioCaps[2]); };
const Field kR1B = [](const auto& s) { return Or(s.timingCodes[0]); };
const Field kR4B = [](const auto& s) { return Or(s.timingCodes[2]); };
const Field kH4B = [](const auto& s) { return Or(s.timingCodes[5]); };
const Field kIdCount = [](const auto& s) { return static_cast<int64_t>(s.colorimetryIds.size()); };

TEST(TestSettingsFile, AValueThatIsNoDecimalIntegerTakesTheDefaultAndIsNamed) {
    const struct {
        const char* line;
        Field field;
        int64_t expected;
    } cases[] = {
        // Not decimal integers: the default, as for a missing key.
        {"MaxLanes=4x", kLanes, 0},
        {"MaxLanes=\xEF\xBC\x94", kLanes, 0},            // fullwidth 4
        {"TOUT=\xD9\xA3\xD9\xA0\xD9\xA0", kTout, 2000},  // Arabic-Indic 300
        {"HPDLow=1\xEF\xBC\x90", kHpdLow, 700},          // 1, fullwidth 0
        {"acap0=\xDB\xB4", kAcap0, 4},                   // extended Arabic-Indic 4
        {"MaxLanes=0x4", kLanes, 0},
        {"MaxRate=10.0", kRate, 0},
        {"TestAutomation=0x10", kAutomation, 127},
        {"TestAutomation=", kAutomation, 127},
        {"Flags=1 2", kFlags, 0},
        {"Flags=$FF", kFlags, 0},
        {"HPDLow=1e3", kHpdLow, 700},
        {"HPDHigh=--5", kHpdHigh, 0},
        {"TOUT=+", kTout, 2000},
        {"MPT_Index1=two", kMpt1, 2},
        {"acap0=4.0", kAcap0, 4},
        {"TSG_R4B=3h", kR4B, 3},
        // Decimal integers, with blanks and a sign.
        {"MaxLanes=  4\t", kLanes, 2},
        {"MaxLanes=4\r", kLanes, 2},
        {"MaxRate=+10", kRate, 1},
        {"HPDHigh=+30", kHpdHigh, 30},
        {"TOUT=-5", kTout, -5},
        {"MPT_Index1=007", kMpt1, 7},
        {"HPDLow=99999999999999999999999", kHpdLow, INT32_MAX},
    };
    for (const auto& c : cases) {
        const LoadedTestSettings s = ReadSetup(c.line);
        EXPECT_EQ(c.field(s), c.expected) << c.line;
        EXPECT_THAT(s.outOfRange, IsEmpty()) << c.line;
        const std::string line = c.line;
        const bool number = TestSettingsFile::ParseDecimal(line.substr(line.find('=') + 1)).has_value();
        EXPECT_EQ(s.notNumbers, number ? std::vector<std::string>{} : std::vector{line.substr(0, line.find('='))})
            << c.line;
    }
    // The colorimetry keys alike: no count reads no ID; an ID that is no
    // number is the default -1, which marks no row.
    const LoadedTestSettings noCount = ReadSetup("[Colorimetry]\nCount=one\nID_0=64");
    EXPECT_THAT(noCount.colorimetryIds, IsEmpty());
    EXPECT_THAT(noCount.notNumbers, ElementsAre("Count"));
    const LoadedTestSettings badId = ReadSetup("[Colorimetry]\nCount=2\nID_0=0x40\nID_1= 64 ");
    EXPECT_THAT(badId.colorimetryIds, ElementsAre(-1, 64));
    EXPECT_THAT(badId.notNumbers, ElementsAre("ID_0"));
    // Keys are named as the table spells them, whatever the file's case.
    EXPECT_THAT(ReadSetup("maxlanes=four\nFLAGS=0x1").notNumbers, ElementsAre("MaxLanes", "Flags"));
}

// A file passed through two line-end conversions (CR CR LF) loads as it was
// saved: no value keeps a carriage return, and the section is found.
TEST(TestSettingsFile, LinesEndingInTwoCarriageReturnsLoadAsSaved) {
    platform::IniFile saved;
    TestSettingsFile::Write(saved, Changed());
    std::string text;
    for (char c : saved.Text()) text += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
    const LoadedTestSettings s = ReadText(text);
    EXPECT_EQ(s.version, Version::kCurrent);
    EXPECT_EQ(s.laneCountItem, 2);
    EXPECT_EQ(s.linkRateItem, 1);
    EXPECT_EQ(s.afterHpdLowMs, 1234);
    EXPECT_EQ(s.authenticationStartTimeout, "32.5");
    EXPECT_EQ(s.colorimetryIds, Changed().colorimetryIds);
    EXPECT_THAT(s.outOfRange, IsEmpty());
    EXPECT_THAT(s.notNumbers, IsEmpty());
}

TEST(TestSettingsFile, BitSetsKeepOnlyTheirBits) {
    EXPECT_EQ(ReadSetup("TestAutomation=255").testAutomation, 127);
    EXPECT_EQ(ReadSetup("TestAutomation=-1").testAutomation, 127);
    EXPECT_EQ(ReadSetup("Flags=65535").flags, 0x1FFF);
    EXPECT_EQ(ReadSetup("Flags=73728").flags, 0x0000);  // 0x12000: bits 13 and 16 only
    EXPECT_EQ(ReadSetup("Flags=-1").flags, 0x1FFF);
}

TEST(TestSettingsFile, ValuesTheControlsCannotHoldAreLeftOutAndNamed) {
    const struct {
        const char* lines;
        Field field;
        int64_t expected;  // -1000: left out
        std::vector<std::string> named;
    } cases[] = {
        // Audio capability bytes: byte 0 bit 7; byte 1 bit 3 and 2 to 8 channels; byte 2 up to 7.
        {"acap0=128", kAcap0, -1000, {"acap0"}},
        {"acap0=255", kAcap0, -1000, {"acap0"}},
        {"acap0=256", kAcap0, -1000, {"acap0"}},
        {"acap0=-1", kAcap0, -1000, {"acap0"}},
        {"acap0=127", kAcap0, 127, {}},
        {"acap0=0", kAcap0, 0, {}},
        {"acap1=40", kAcap1, -1000, {"acap1"}},   // 2 channels with bit 3
        {"acap1=17", kAcap1, -1000, {"acap1"}},   // 1 channel
        {"acap1=145", kAcap1, -1000, {"acap1"}},  // 9 channels
        {"acap1=7", kAcap1, -1000, {"acap1"}},    // no channels
        {"acap1=135", kAcap1, 135, {}},           // 8 channels, every size
        {"acap1=37", kAcap1, 37, {}},
        {"acap2=8", kAcap2, -1000, {"acap2"}},
        {"acap2=7", kAcap2, 7, {}},
        // A time-stamp code that is no byte fits no row.
        {"TSG_R1B=256", kR1B, -1000, {"TSG_R1B"}},
        {"TSG_H4B=-1", kH4B, -1000, {"TSG_H4B"}},
        // A byte goes to the dialog, which refuses a code its row does not offer.
        {"TSG_R1B=2", kR1B, 2, {}},
        // Colorimetry: at most 13 IDs are read; a negative count reads none.
        {"[Colorimetry]\nCount=14\nID_0=0\nID_12=92\nID_13=64", kIdCount, 13, {"Count"}},
        {"[Colorimetry]\nCount=-1\nID_0=64", kIdCount, 0, {"Count"}},
        {"[Colorimetry]\nCount=13", kIdCount, 13, {}},
        // Lane count and rate other than the items leave the boxes unchanged, unnamed.
        {"MaxLanes=3", kLanes, -1000, {}},
        {"MaxRate=20", kRate, -1000, {}},
        // Most-packed indexes go to the dialog's setters as read.
        {"MPT_Index1=7", kMpt1, 7, {}},
        // Several at once are named in the file's order.
        {"[Colorimetry]\nCount=99\n[Setup]\nacap2=9\nAuthTO=0\nTSG_R2B=300\nacap0=200",
         kAcap0,
         -1000,
         {"acap0", "acap2", "AuthTO", "TSG_R2B", "Count"}},
    };
    for (const auto& c : cases) {
        const LoadedTestSettings s = ReadSetup(c.lines);
        EXPECT_EQ(c.field(s), c.expected) << c.lines;
        EXPECT_EQ(s.outOfRange, c.named) << c.lines;
    }
    const LoadedTestSettings many = ReadSetup("[Colorimetry]\nCount=14\nID_0=0\nID_12=92\nID_13=64");
    EXPECT_EQ(many.colorimetryIds.front(), 0);
    EXPECT_EQ(many.colorimetryIds.back(), 92);
}

// AuthTO: a number of 1.0 to 64.0 seconds goes to the edit; another number
// is left out; a text that is no number is read as the default "10.0", as an
// integer key's would be.
TEST(TestSettingsFile, AuthenticationTimeoutIsANumberFrom1To64Seconds) {
    enum Named { kNone, kOutOfRange, kNoNumber };
    const struct {
        const char* text;
        std::optional<std::string> handedOn;
        Named named;
    } cases[] = {
        {"1.0", "1.0", kNone},
        {"1", "1", kNone},
        {"64", "64", kNone},
        {"64.000", "64.000", kNone},
        {"10.05", "10.05", kNone},
        {"  32.5\t", "32.5", kNone},
        {"07.5", "07.5", kNone},
        {"1.", "1.", kNone},
        {"+5", "5", kNone},  // the edit reads no sign
        {"0.9", std::nullopt, kOutOfRange},
        {"0", std::nullopt, kOutOfRange},
        {"64.01", std::nullopt, kOutOfRange},
        {"65", std::nullopt, kOutOfRange},
        {"-5", std::nullopt, kOutOfRange},
        {"-0", std::nullopt, kOutOfRange},
        {".5", std::nullopt, kOutOfRange},
        {"99999999999999999999999", std::nullopt, kOutOfRange},
        {"abc", "10.0", kNoNumber},
        {"", "10.0", kNoNumber},
        {".", "10.0", kNoNumber},
        {"-", "10.0", kNoNumber},
        {"1e1", "10.0", kNoNumber},
        {"10,5", "10.0", kNoNumber},
        {"1.2.3", "10.0", kNoNumber},
        {"5 s", "10.0", kNoNumber},
        {"\xEF\xBC\x91\xEF\xBC\x90.0", "10.0", kNoNumber},  // fullwidth 10.0
        {"1\xD9\xA3.5", "10.0", kNoNumber},                 // 1, Arabic-Indic 3
    };
    for (const auto& c : cases) {
        const LoadedTestSettings s = ReadSetup(std::string("AuthTO=") + c.text);
        EXPECT_EQ(s.authenticationStartTimeout, c.handedOn) << c.text;
        const std::vector<std::string> authTO = {"AuthTO"};
        EXPECT_EQ(s.outOfRange, c.named == kOutOfRange ? authTO : std::vector<std::string>{}) << c.text;
        EXPECT_EQ(s.notNumbers, c.named == kNoNumber ? authTO : std::vector<std::string>{}) << c.text;
    }
}

// The one warning after loading, for the lines of a file: numbers left out
// first, then values that are no numbers and took their defaults, each list
// in the file's key order; a lane count or rate that is no item of its box
// changes nothing and is not named.
TEST(TestSettingsFile, WarningAfterLoadingNamesWhatWasLeftOutOrTookItsDefault) {
    const std::string kLeftOut = "Some settings were not loaded because their values are out of range: ";
    const std::string kDefaults =
        "Some settings were loaded with their defaults because their values are not numbers in the settings file's "
        "form: ";
    const struct {
        const char* lines;
        std::string warning;
    } cases[] = {
        {"", ""},
        {"MaxLanes=3\nMaxRate=20", ""},
        {"AuthTO=64", ""},
        {"AuthTO=0.5", kLeftOut + "AuthTO"},
        {"AuthTO=x", kDefaults + "AuthTO"},
        {"AuthTO=", kDefaults + "AuthTO"},
        {"MaxLanes=four", kDefaults + "MaxLanes"},
        {"acap0=128", kLeftOut + "acap0"},
        {"acap0=4.0", kDefaults + "acap0"},
        {"TOUT=0x10\nHPDLow=1e3", kDefaults + "HPDLow, TOUT"},
        {"TSG_R2B=300\nacap2=9\n[Colorimetry]\nCount=14", kLeftOut + "acap2, TSG_R2B, Count"},
        {"AuthTO=ten\nacap1=17\nMaxRate=20\nFlags=$1\n[Colorimetry]\nCount=2\nID_1=x",
         kLeftOut + "acap1\n" + kDefaults + "Flags, AuthTO, ID_1"},
    };
    for (const auto& c : cases) {
        const LoadedTestSettings s = ReadSetup(c.lines);
        EXPECT_EQ(TestSettingsFile::LoadWarning(s.outOfRange, s.notNumbers), c.warning) << c.lines;
    }
}

TEST(TestSettingsFile, WarningNamesTheKeysInTheFilesOrder) {
    EXPECT_EQ(TestSettingsFile::LoadWarning({}, {}), "");
    EXPECT_EQ(TestSettingsFile::LoadWarning({"acap1"}, {}),
              "Some settings were not loaded because their values are out of range: acap1");
    EXPECT_EQ(TestSettingsFile::LoadWarning({"Count", "TSG_H2B", "MPT_Index4", "AuthTO", "acap0", "MPT_Index1"}, {}),
              "Some settings were not loaded because their values are out of range: "
              "MPT_Index1, MPT_Index4, acap0, AuthTO, TSG_H2B, Count");
    EXPECT_EQ(TestSettingsFile::LoadWarning({}, {"ID_1", "TOUT", "MaxLanes"}),
              "Some settings were loaded with their defaults because their values are not numbers in the settings "
              "file's form: MaxLanes, TOUT, ID_1");
    EXPECT_EQ(TestSettingsFile::LoadWarning({"acap2"}, {"Flags"}),
              "Some settings were not loaded because their values are out of range: acap2\n"
              "Some settings were loaded with their defaults because their values are not numbers in the settings "
              "file's form: Flags");
}

TEST(TestSettingsFile, KeysAndSectionsMatchInAnyLetterCase) {
    const LoadedTestSettings s = ReadText(
        "[SETUP]\ncfg_version=1\nmaxlanes=2\nMAXRATE=10\nhpdlow=900\nAuthto=12.5\nACAP0=1\ntsg_h4b=0\n"
        "[colorimetry]\nCOUNT=1\nid_0=64\n");
    EXPECT_EQ(s.version, Version::kCurrent);
    EXPECT_EQ(s.laneCountItem, 1);
    EXPECT_EQ(s.linkRateItem, 1);
    EXPECT_EQ(s.afterHpdLowMs, 900);
    EXPECT_EQ(s.authenticationStartTimeout, "12.5");
    EXPECT_EQ(s.audioCaps[0], 1);
    EXPECT_EQ(s.timingCodes[5], 0);
    EXPECT_THAT(s.colorimetryIds, ElementsAre(64));
}

TEST(TestSettingsFile, AHandWrittenFileWithOddSpacingLoads) {
    const LoadedTestSettings s = ReadText(
        "; written by hand\r\n"
        "\r\n"
        "   [ Setup ]   \r\n"
        "CFG_Version = 1\r\n"
        "\tMaxLanes\t=\t2\t\r\n"
        "  TOUT   =   300  \r\n"
        "AuthTO=   5.5   \r\n"
        "# a comment\r\n"
        "acap1 =  0x21\r\n"
        "\r\n"
        "[Colorimetry]\r\n"
        "  Count=2  \r\n"
        "ID_0 = 40\r\n"
        "ID_1=   90\r\n");
    EXPECT_EQ(s.version, Version::kCurrent);
    EXPECT_EQ(s.laneCountItem, 1);
    EXPECT_EQ(s.mainLinkDisableTimeoutMs, 300);
    EXPECT_EQ(s.authenticationStartTimeout, "5.5");
    EXPECT_EQ(s.audioCaps[1], 33);  // "0x21" is no decimal integer: the default
    EXPECT_THAT(s.colorimetryIds, ElementsAre(40, 90));
    EXPECT_THAT(s.outOfRange, IsEmpty());
    EXPECT_THAT(s.notNumbers, ElementsAre("acap1"));
}

TEST(TestSettingsFile, SavingOverAFileKeepsItsOtherKeysButNoStaleIds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path file = fs::path(dir.path().toStdString()) / "old.CFG";
    WriteFile(file,
              "[Setup]\nOperator=Ann\nMaxLanes=2\nCFG_Version=1\n\n"
              "[Colorimetry]\nCount=5\nID_0=0\nID_1=32\nID_2=40\nID_3=42\nID_4=44\nNote=stale\n\n"
              "[Notes]\nText=kept\n");
    TestSettings s;
    s.laneCountItem = -1;  // no item selected: MaxLanes is not written, the old one stays
    s.colorimetryIds = {0, 32, 92};
    ASSERT_TRUE(TestSettingsFile::Save(file, s));
    platform::IniFile back;
    ASSERT_TRUE(back.Load(file));
    EXPECT_EQ(back.ReadString("Setup", "Operator", ""), "Ann");
    EXPECT_EQ(back.ReadString("Setup", "MaxLanes", ""), "2");
    EXPECT_THAT(back.Keys("Colorimetry"), ElementsAre("Count", "ID_0", "ID_1", "ID_2"));
    EXPECT_EQ(back.ReadString("Colorimetry", "ID_2", ""), "92");
    EXPECT_EQ(back.ReadString("Notes", "Text", ""), "kept");
    EXPECT_EQ(back.Keys("Setup").size(), 2u + 26u);  // Operator, MaxLanes and the 26 keys written
}

TEST(TestSettingsFile, SaveToAUnicodeNameAndLoadBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path file = fs::path(dir.path().toStdString()) / "Prüfstand Δ 試験.CFG";
    ASSERT_TRUE(TestSettingsFile::Save(file, Changed()));
    EXPECT_TRUE(fs::exists(fs::path(dir.path().toStdString()) / "Pr\xC3\xBC"
                                                                "fstand \xCE\x94 \xE8\xA9\xA6\xE9\xA8\x93.CFG"));
    platform::IniFile ini;
    ASSERT_TRUE(ini.Load(file));
    EXPECT_EQ(TestSettingsFile::Read(ini).colorimetryIds, Changed().colorimetryIds);
}

TEST(TestSettingsFile, ASaveThatFailsLeavesTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path folder = dir.path().toStdString();
    const fs::path file = folder / "kept.CFG";
    const std::string old = "[Setup]\nCFG_Version=1\nMaxLanes=2\n";
    WriteFile(file, old);
    {
        test_support::ReadOnlyFolder readOnly(folder);
        ASSERT_FALSE(readOnly.Writes());
        std::string error;
        EXPECT_FALSE(TestSettingsFile::Save(file, Changed(), &error));
        EXPECT_THAT(error, ::testing::StartsWith("Cannot create "));
    }
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no temporary left";
    // A missing folder and a folder in the file's place fail alike.
    EXPECT_FALSE(TestSettingsFile::Save(folder / "missing" / "x.CFG", Changed()));
    fs::create_directory(folder / "dir.CFG");
    EXPECT_FALSE(TestSettingsFile::Save(folder / "dir.CFG", Changed()));
    EXPECT_TRUE(fs::is_directory(folder / "dir.CFG"));
}

}  // namespace
