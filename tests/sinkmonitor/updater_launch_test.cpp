// The firmware-update launcher's rules: the updater's arguments, its notices
// as the dialog shows them, and its exit status.
#include <gtest/gtest.h>

#include "sinkmonitor/QtPrint.h"
#include "sinkmonitor/UpdaterLaunch.h"

namespace {

using namespace selvitra;

TEST(UpdaterExitCode, TheLowEightBitsReadAsASignedNumber) {
    const std::pair<int, int> cases[] = {{0, 0},     {1, 1},    {127, 127}, {128, -128}, {245, -11},
                                         {246, -10}, {252, -4}, {255, -1},  {256, 0},    {0x1FF, -1}};
    for (const auto& [status, code] : cases) EXPECT_EQ(UpdaterExitCode(status), code) << status;
}

TEST(DecodeUpdaterExit, InitialisationAndResourceFailuresAndSuccessAloneShowSomething) {
    const struct {
        int code;
        const char* text;
        bool attention;
    } cases[] = {
        {-11, "Error: pallumo failed to initialize.", false},
        {-10, "Error: Internal error. System out of resources.", false},
        {0, "", true},
        {-1, "", false},
        {-4, "", false},
        {1, "", false},
        {-128, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const auto view = DecodeUpdaterExit(c.code);
        EXPECT_EQ(view.text, c.text);
        EXPECT_EQ(view.attention, c.attention);
    }
    EXPECT_STREQ(kTextUpdateSuccessful, "Update successful.\nPlease reset the device before continuing.");
    EXPECT_STREQ(kTitleUpdateSuccessful, "Attention");
}

TEST(DecodeUpdaterNotice, EachNoticeShowsItsTextOrProgress) {
    const struct {
        uint32_t kind, value;
        const char* text;
        bool showBar;
    } texts[] = {
        {0, 1, "Error: Invalid serial port.", false},
        {0, 2, "Error: Port used by another application. Please close the other application and try again.", false},
        {1, 1, "Error: File not found.", false},
        {1, 2, "Error: File cannot be opened.", false},
        {1, 3, "Error: File format is invalid. It's not a valid firmware file.", false},
        {1, 4, "Error: Corrupted file.", false},
        {2, 0, "Update started.", true},
        {2, 1, "Error: Device detection failed.", false},
        {2, 2, "Error: Update failed.", false},
        {2, 3, "Update was successful. Please reset the device.", false},
        // Notices that show nothing.
        {0, 0, "", false},
        {1, 0, "", false},
        {0, 3, "", false},
        {1, 5, "", false},
        {2, 4, "", false},
        {4, 0, "", false},
        {0xFFFFFFFF, 1, "", false},
    };
    for (const auto& c : texts) {
        SCOPED_TRACE(testing::Message() << "(" << c.kind << ", " << c.value << ")");
        const auto view = DecodeUpdaterNotice(c.kind, c.value);
        EXPECT_EQ(view.text, c.text);
        EXPECT_EQ(view.showProgressBar, c.showBar);
        EXPECT_FALSE(view.progress);
    }
    for (uint32_t percent : {0u, 1u, 57u, 100u}) {
        const auto view = DecodeUpdaterNotice(3, percent);
        EXPECT_EQ(view.progress, percent);
        EXPECT_TRUE(view.text.isEmpty());
        EXPECT_FALSE(view.showProgressBar);
    }
}

TEST(UpdaterArguments, EndpointNameIdDeviceAndFileAsSeparateArguments) {
    EXPECT_EQ(
        UpdaterArguments(0x00AB12CD, "/dev/pts/3", "/home/op/new fw \"v2\".hex"),
        QStringList({"-m", "PALLUMO.00AB12CD", "00AB12CD", "-d", "/dev/pts/3", "-f", "/home/op/new fw \"v2\".hex"}));
    EXPECT_EQ(UpdaterArguments(0, "/dev/ttyACM0", "a.hex"),
              QStringList({"-m", "PALLUMO.00000000", "00000000", "-d", "/dev/ttyACM0", "-f", "a.hex"}));
    EXPECT_EQ(UpdaterMessageName(0xFFFFFFFE), "PALLUMO.FFFFFFFE");
    EXPECT_EQ(UpdaterMessageName(0xdeadbeef), "PALLUMO.DEADBEEF");
}

TEST(UpdaterPath, TheUpdaterBesideTheRunningProgramAndItsTexts) {
    EXPECT_EQ(UpdaterPath("/opt/suite/bin/selvitra"), "/opt/suite/bin/pallumo");
    EXPECT_EQ(UpdaterNotFoundText("/opt/suite/bin/pallumo"), "/opt/suite/bin/pallumo not found.");
    EXPECT_EQ(UpdaterStartFailedText(13), "pallumo couldn't be started (error 13)");
    EXPECT_STREQ(kTextUpdaterEndedAbnormally, "Error: pallumo ended abnormally.");
}

}  // namespace
