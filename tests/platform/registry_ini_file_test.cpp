#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/RegistryIniFile.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

namespace fs = std::filesystem;
using platform::RegistryIniFile;

namespace {

// Points XDG_CONFIG_HOME at a fresh folder for the test's life.
class ConfigHomeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldXdg_ = old;
        std::string pattern = (fs::temp_directory_path() / "registry_test_XXXXXX").string();
        home_ = ::mkdtemp(pattern.data());
        ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        if (oldXdg_) {
            ::setenv("XDG_CONFIG_HOME", oldXdg_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ec;
        fs::remove_all(home_, ec);
    }
    static std::string ReadFile(const fs::path& path) { return test_support::ReadFile(path); }
    static void WriteFile(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        test_support::WriteFile(path, text);
    }

    fs::path home_;
    std::optional<std::string> oldXdg_;
};

}  // namespace

TEST_F(ConfigHomeFixture, KeyPathsMapToFilesUnderTheConfigHome) {
    struct Case {
        const char* key;
        const char* file;  // relative to the config home; "" for none
    };
    const Case cases[] = {
        {"software\\Merovan\\Vardeko", "Merovan/Vardeko.ini"},
        {"\\SOFTWARE\\Merovan\\Tessaly\\Selvitra", "Merovan/Tessaly/Selvitra.ini"},
        {"\\SOFTWARE\\Merovan\\Common\\", "Merovan/Common.ini"},
        {"Merovan\\Vardeko", "Merovan/Vardeko.ini"},
        {"SoftWare\\\\Merovan\\\\X", "Merovan/X.ini"},
        {"software", ""},
        {"", ""},
        {"software\\..\\x", ""},
        {"software\\a/b", ""},
    };
    for (const Case& c : cases) {
        const fs::path expected = c.file[0] ? home_ / c.file : fs::path();
        EXPECT_EQ(RegistryIniFile(c.key).FilePath(), expected) << c.key;
    }
}

TEST_F(ConfigHomeFixture, WritesCreateTheFoldersAndReadBack) {
    RegistryIniFile reg("software\\Merovan\\Vardeko");
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_WindowDiv", 460), 460);
    ASSERT_TRUE(reg.WriteString("CTS", "Vardeko_COM_Device", "/dev/pts/7"));
    ASSERT_TRUE(reg.WriteInteger("CTS", "Vardeko_Timeout", 30));
    EXPECT_EQ(ReadFile(home_ / "Merovan/Vardeko.ini"), "[CTS]\nVardeko_COM_Device=/dev/pts/7\nVardeko_Timeout=30\n");
    // Another object on the same key in other case sees the values at once.
    RegistryIniFile other("\\SOFTWARE\\MEROVAN\\vardeko\\");
    EXPECT_EQ(other.ReadString("cts", "vardeko_com_device", ""), "/dev/pts/7");
    ASSERT_TRUE(other.WriteBool("CTS", "Flag", true));
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_Timeout", 0), 30) << "a write keeps the other values";
    EXPECT_TRUE(reg.ReadBool("CTS", "Flag", false));
    EXPECT_THAT(reg.Keys("CTS"), ::testing::ElementsAre("Vardeko_COM_Device", "Vardeko_Timeout", "Flag"));
    ASSERT_TRUE(reg.DeleteKey("CTS", "Flag"));
    EXPECT_FALSE(reg.ValueExists("CTS", "Flag"));
    ASSERT_TRUE(reg.EraseSection("CTS"));
    EXPECT_FALSE(reg.SectionExists("CTS"));
}

TEST_F(ConfigHomeFixture, ExistingFoldersAndFilesAreFoundWhateverTheirCase) {
    WriteFile(home_ / "MEROVAN" / "tessaly" / "SELVITRA.INI", "[COM]\nPortName=Sink\n");
    RegistryIniFile reg("\\SOFTWARE\\Merovan\\Tessaly\\Selvitra");
    EXPECT_EQ(reg.FilePath(), home_ / "MEROVAN" / "tessaly" / "SELVITRA.INI");
    EXPECT_EQ(reg.ReadString("COM", "PortName", ""), "Sink");
    ASSERT_TRUE(reg.WriteString("Window", "Left", "5"));
    EXPECT_EQ(ReadFile(home_ / "MEROVAN" / "tessaly" / "SELVITRA.INI"), "[COM]\nPortName=Sink\n\n[Window]\nLeft=5\n");
    EXPECT_FALSE(fs::exists(home_ / "Merovan")) << "no second folder in another case";
}

TEST_F(ConfigHomeFixture, SectionNamesStayPlain) {
    RegistryIniFile reg("\\SOFTWARE\\Merovan\\Common\\");
    ASSERT_TRUE(reg.WriteInteger("GUI Colors", "ControlMatchColor", 65280));
    EXPECT_EQ(ReadFile(home_ / "Merovan/Common.ini"), "[GUI Colors]\nControlMatchColor=65280\n");
}

TEST_F(ConfigHomeFixture, BadFilesGiveDefaults) {
    RegistryIniFile reg("software\\Merovan\\Vardeko");
    WriteFile(home_ / "Merovan/Vardeko.ini", "[CTS]\nVardeko_Left\nVardeko_Top=abc\ngarbage line\nVardeko_Width=900\n");
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_Left", 11), 11);
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_Top", 22), 22);
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_Width", 0), 900);
    // A folder where the file should be: nothing reads, nothing writes.
    fs::remove(home_ / "Merovan/Vardeko.ini");
    fs::create_directory(home_ / "Merovan/Vardeko.ini");
    EXPECT_EQ(reg.ReadString("CTS", "Vardeko_COM_Device", "none"), "none");
    EXPECT_FALSE(reg.WriteString("CTS", "Vardeko_COM_Device", "/dev/ttyS0"));
    // A FIFO there: never opened (the open would wait for a writer), read as
    // no file, and not replaced.
    fs::remove(home_ / "Merovan/Vardeko.ini");
    test_support::TrapFifo fifo(home_ / "Merovan/Vardeko.ini");
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(reg.ReadInteger("CTS", "Vardeko_Width", 780), 780);
    EXPECT_FALSE(reg.ValueExists("CTS", "Vardeko_Width"));
    EXPECT_FALSE(reg.WriteInteger("CTS", "Vardeko_Width", 900));
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened for reading";
}

// A settings file whose lines end in CR CR LF reads as one with LF, and a
// digit that is not ASCII makes no number.
TEST_F(ConfigHomeFixture, CarriageReturnsAndNonAsciiDigits) {
    WriteFile(home_ / "Merovan/Tessaly/Selvitra.ini",
              "[Window]\r\r\nLeft=12\r\r\nTop=\xEF\xBC\x93\r\r\nWidth=\xD9\xA3\xD9\xA0\xD9\xA0\r\r\n"
              "[COM]\r\r\nPortName=Sink 1\r\r\n");
    RegistryIniFile reg("\\SOFTWARE\\Merovan\\Tessaly\\Selvitra");
    EXPECT_EQ(reg.ReadInteger("Window", "Left", 0), 12);
    EXPECT_EQ(reg.ReadInteger("Window", "Top", 0), 0) << "fullwidth 3";
    EXPECT_EQ(reg.ReadInteger("Window", "Width", -1), -1) << "Arabic-Indic 300";
    EXPECT_EQ(reg.ReadString("COM", "PortName", ""), "Sink 1");
    ASSERT_TRUE(reg.WriteInteger("Window", "Left", 13));
    EXPECT_EQ(ReadFile(home_ / "Merovan/Tessaly/Selvitra.ini"),
              "[Window]\nLeft=13\nTop=\xEF\xBC\x93\nWidth=\xD9\xA3\xD9\xA0\xD9\xA0\n\n[COM]\nPortName=Sink 1\n");
}

TEST_F(ConfigHomeFixture, ChangesThatChangeNothingLeaveTheFileAlone) {
    RegistryIniFile reg("software\\Merovan\\Vardeko");
    ASSERT_TRUE(reg.DeleteKey("CTS", "Vardeko_Left"));
    ASSERT_TRUE(reg.EraseSection("CTS"));
    EXPECT_TRUE(fs::is_empty(home_)) << "no file and no folder for nothing";
    // A hand-edited file keeps its comments until a value really changes.
    WriteFile(home_ / "Merovan/Vardeko.ini", "; mine\n[CTS]\nVardeko_Left=5\n");
    ASSERT_TRUE(reg.WriteInteger("CTS", "Vardeko_Left", 5));
    EXPECT_EQ(ReadFile(home_ / "Merovan/Vardeko.ini"), "; mine\n[CTS]\nVardeko_Left=5\n");
    ASSERT_TRUE(reg.WriteInteger("CTS", "Vardeko_Left", 6));
    EXPECT_EQ(ReadFile(home_ / "Merovan/Vardeko.ini"), "[CTS]\nVardeko_Left=6\n");
}

TEST_F(ConfigHomeFixture, KeysThatNameNoFileReadDefaultsAndRefuseWrites) {
    RegistryIniFile reg("SOFTWARE");
    EXPECT_EQ(reg.ReadString("S", "k", "d"), "d");
    EXPECT_FALSE(reg.WriteString("S", "k", "v"));
    EXPECT_TRUE(fs::is_empty(home_));
}

TEST_F(ConfigHomeFixture, WithoutXdgConfigHomeTheHomeConfigFolderIsUsed) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(RegistryIniFile("software\\Merovan\\Vardeko").FilePath(), home_ / ".config/Merovan/Vardeko.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryIniFile::ConfigHome(), home_ / ".config");
    if (oldHome) {
        ::setenv("HOME", savedHome.c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
}
