// Version information: the numbers and the short version from the file
// version text, and the information the suite's program files carry.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include "sinkmonitor/appresource.h"
#include "support/TextFile.h"

namespace {

namespace fs = std::filesystem;

// The project's version as CMake gives it, with the fourth number the
// version information adds when the project names only three.
std::string ExpectedFileVersion() {
    std::string v = SUITE_PROJECT_VERSION;
    if (std::count(v.begin(), v.end(), '.') == 2) v += ".0";
    return v;
}
std::string ExpectedShortVersion() {
    const std::string v = ExpectedFileVersion();
    return v.substr(0, v.rfind('.'));
}

TEST(appresource_t, FourDecimalNumbersGiveTheNumbersAndTheShortVersion) {
    const struct {
        const char* fileVersion;
        const char* shortVersion;
        uint16_t major, minor, release, build;
    } cases[] = {
        {"1.2.0.0", "1.2.0", 1, 2, 0, 0},
        {"10.20.30.40", "10.20.30", 10, 20, 30, 40},
        {"01.002.3.0004", "1.2.3", 1, 2, 3, 4},
        {"65535.0.65535.1", "65535.0.65535", 65535, 0, 65535, 1},
        // Not four decimal numbers: no short version, all numbers 0.
        {"", "", 0, 0, 0, 0},
        {"1.2.3", "", 0, 0, 0, 0},
        {"1.2.3.4.5", "", 0, 0, 0, 0},
        {"1.2.a.4", "", 0, 0, 0, 0},
        {"1..2.3", "", 0, 0, 0, 0},
        {"1.2.3.", "", 0, 0, 0, 0},
        {"-1.2.3.4", "", 0, 0, 0, 0},
        {"+1.2.3.4", "", 0, 0, 0, 0},
        {" 1.2.3.4", "", 0, 0, 0, 0},
        {"1.2.3.4 ", "", 0, 0, 0, 0},
        {"1,2,3,4", "", 0, 0, 0, 0},
        {"0x1.2.3.4", "", 0, 0, 0, 0},
        {"65536.0.0.0", "", 0, 0, 0, 0},  // beyond the 16 bits of a version number
        {"1.2.3.99999999999999999999", "", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.fileVersion << '"');
        const appresource_t res("/opt/tool", {{"FileVersion", c.fileVersion}, {"CompanyName", "Merovan"}});
        EXPECT_EQ(res.short_version(), c.shortVersion);
        EXPECT_EQ(res.major_version(), c.major);
        EXPECT_EQ(res.minor_version(), c.minor);
        EXPECT_EQ(res.release_number(), c.release);
        EXPECT_EQ(res.build_number(), c.build);
        // The string values stay as they were read.
        EXPECT_EQ(res.file_version(), c.fileVersion);
        EXPECT_EQ(res.company_name(), "Merovan");
    }
}

TEST(appresource_t, StringValuesByNameEmptyWhenAbsent) {
    const appresource_t res("/opt/tool", {{"Comments", "c"}, {"LegalCopyright", "(c)"}, {"ProductVersion", "9"}});
    EXPECT_EQ(res.query_string("Comments"), "c");
    EXPECT_EQ(res.comments(), "c");
    EXPECT_EQ(res.legal_copyright(), "(c)");
    EXPECT_EQ(res.product_version(), "9");
    EXPECT_EQ(res.query_string("comments"), "") << "value names are exact";
    EXPECT_EQ(res.company_name(), "");
    EXPECT_EQ(res.file_name(), "/opt/tool");
}

// A folder that holds program files of the given names.
class ProgramFolder : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("appresource_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Make(const std::string& name) {
        EXPECT_TRUE(test_support::WriteFile(dir_ / name, "#!/bin/sh\n"));
        return (dir_ / name).string();
    }
    fs::path dir_;
};

TEST_F(ProgramFolder, TheSuitesProgramsCarryTheProjectsVersion) {
    for (const auto& [file, product] : {std::pair{"pallumo", "Pallumo"}, std::pair{"selvitra", "Selvitra"}}) {
        SCOPED_TRACE(file);
        const appresource_t res(Make(file));
        EXPECT_EQ(res.product_name(), product);
        EXPECT_EQ(res.company_name(), "Merovan");
        EXPECT_EQ(res.file_version(), ExpectedFileVersion());
        EXPECT_EQ(res.short_version(), ExpectedShortVersion());
    }
}

TEST_F(ProgramFolder, AMissingFileOrAnotherFileHasNoVersionInformation) {
    const std::string others[] = {(dir_ / "pallumo").string(), Make("vardeko-notes"), Make("pallumo.exe"),
                                  dir_.string()};
    for (const auto& file : others) {
        SCOPED_TRACE(file);
        const appresource_t res(file);
        EXPECT_EQ(res.file_version(), "");
        EXPECT_EQ(res.product_name(), "");
        EXPECT_EQ(res.short_version(), "");
        EXPECT_EQ(res.major_version(), 0);
        EXPECT_EQ(res.build_number(), 0);
    }
}

TEST(GetAppResource, TheRunningProgramsOwnVersionInformation) {
    const appresource_t& res = GetAppResource();
    EXPECT_EQ(&res, &GetAppResource());
    EXPECT_EQ(res.product_name(), "Selvitra");
    EXPECT_EQ(res.file_version(), ExpectedFileVersion());
    EXPECT_EQ(res.short_version(), ExpectedShortVersion());
}

}  // namespace
