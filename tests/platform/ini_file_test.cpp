#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/IniFile.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

namespace fs = std::filesystem;
using platform::IniFile;
using ::testing::ElementsAre;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "ini_test_XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

using test_support::ReadFile;
using test_support::WriteFile;

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

constexpr rlim_t kLowestFreeDescriptor = RLIM_INFINITY;

// Runs `save` in a child process under a resource limit (which holds for
// root too) and gives its result: 1 saved, 0 refused.
int SaveInChildUnderLimit(int resource, rlim_t limit, const std::function<bool()>& save) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the size limit fails with EFBIG instead
        if (limit == kLowestFreeDescriptor) {
            const int fd = ::open("/dev/null", O_RDONLY);
            ::close(fd);
            limit = static_cast<rlim_t>(fd);
        }
        const rlimit lim{limit, limit};
        if (::setrlimit(resource, &lim) != 0) ::_exit(3);
        ::_exit(save() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(IniFile, ReadsWhatIsIniAndIgnoresEveryOtherLine) {
    IniFile ini;
    ini.Parse(
        "\xEF\xBB\xBF"
        "orphan=before any section\n"
        "; comment\n"
        "# comment too\n"
        "[CTS]\r\n"
        "  Vardeko_Left = 12  \r\n"
        "no equals sign here\n"
        "=no key\n"
        "Vardeko_COM_Device=/dev/ttyUSB0\n"
        "Vardeko_Left=99\n"
        "Empty=\n"
        "Eq=a=b\n"
        "\n"
        "[GUI Colors]\n"
        "ControlMatchColor=$00FF00\n"
        "[broken\n"
        "lost=1\n"
        "[]\n"
        "lost2=2\n"
        "[cts]\n"
        "Vardeko_Top=7\n");
    EXPECT_THAT(ini.Sections(), ElementsAre("CTS", "GUI Colors"));
    EXPECT_THAT(ini.Keys("CTS"), ElementsAre("Vardeko_Left", "Vardeko_COM_Device", "Empty", "Eq", "Vardeko_Top"));
    EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Left", -1), 12) << "first of a doubled key counts";
    EXPECT_EQ(ini.ReadString("cts", "VARDEKO_COM_DEVICE", ""), "/dev/ttyUSB0");
    EXPECT_EQ(ini.ReadString("CTS", "Empty", "dflt"), "");
    EXPECT_EQ(ini.ReadString("CTS", "Eq", ""), "a=b");
    EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Top", -1), 7) << "a repeated section adds to the first";
    EXPECT_EQ(ini.ReadInteger("GUI Colors", "ControlMatchColor", -1), 0x00FF00);
    EXPECT_FALSE(ini.ValueExists("GUI Colors", "lost"));
    EXPECT_EQ(ini.ReadString("CTS", "orphan", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nowhere", "x", "dflt"), "dflt");
}

TEST(IniFile, IntegerAndBoolValues) {
    struct Case {
        const char* text;
        int32_t integer;  // read with default -7
        bool boolean;     // read with default true
    };
    const Case cases[] = {
        {"0", 0, false},
        {"42", 42, true},
        {" -42 ", -42, true},
        {"+5", 5, true},
        {"0x1F", 31, true},
        {"0X1f", 31, true},
        {"$ff", 255, true},
        {"2147483647", 2147483647, true},
        {"-2147483648", INT32_MIN, true},
        {"2147483648", -7, true},
        {"0xFFFFFFFF", -1, true},
        {"0x100000000", -7, true},
        {"12abc", -7, true},
        {"1.5", -7, true},
        {"", -7, true},
        {"-", -7, true},
        {"0x", -7, true},
        {"$", -7, true},
        {"true", -7, true},
        {"FALSE", -7, false},
        {"yes", -7, true},
        // Only ASCII digits are digits: fullwidth, Arabic-Indic and
        // superscript ones are no number.
        {"\xEF\xBC\x91", -7, true},    // fullwidth 1
        {"1\xEF\xBC\x92", -7, true},   // 1, fullwidth 2
        {"\xD9\xA3", -7, true},        // Arabic-Indic 3
        {"0x\xEF\xBC\xA1", -7, true},  // 0x, fullwidth A
        {"\xC2\xB9", -7, true},        // superscript 1
        {"-\xDB\xB4", -7, true},       // minus, extended Arabic-Indic 4
    };
    for (const Case& c : cases) {
        IniFile ini;
        ini.Parse(std::string("[S]\nv=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "v", -7), c.integer) << '"' << c.text << '"';
        EXPECT_EQ(ini.ReadBool("S", "v", true), c.boolean) << '"' << c.text << '"';
    }
    IniFile none;
    EXPECT_FALSE(none.ReadBool("S", "v", false));
}

// A file passed through two line-end conversions ends its lines in CR CR LF;
// a carriage return at the end of a line, a name or a value is a blank, so
// it reads as the file did before.
TEST(IniFile, CarriageReturnsAtTheEndsAreBlanks) {
    IniFile ini;
    ini.Parse(
        "[Setup]\r\r\n"
        "MaxLanes=4\r\r\n"
        "AuthTO=10.0\r\r\r\n"
        "Name \r= Ann \r\n"
        "Inner=a\rb\r\r\n"
        "\r\r\n"
        "[ Colorimetry\r]\r\n"
        "Count=2\r");
    EXPECT_THAT(ini.Sections(), ElementsAre("Setup", "Colorimetry"));
    EXPECT_THAT(ini.Keys("Setup"), ElementsAre("MaxLanes", "AuthTO", "Name", "Inner"));
    EXPECT_EQ(ini.ReadString("Setup", "MaxLanes", ""), "4");
    EXPECT_EQ(ini.ReadInteger("Setup", "MaxLanes", 1), 4);
    EXPECT_EQ(ini.ReadString("Setup", "AuthTO", ""), "10.0");
    EXPECT_EQ(ini.ReadString("Setup", "Name", ""), "Ann");
    EXPECT_EQ(ini.ReadString("Setup", "Inner", ""), "a\rb") << "only the ends are trimmed";
    EXPECT_EQ(ini.ReadInteger("Colorimetry", "Count", 0), 2);
    EXPECT_EQ(ini.Text(), "[Setup]\nMaxLanes=4\nAuthTO=10.0\nName=Ann\nInner=a\rb\n\n[Colorimetry]\nCount=2\n");
}

TEST(IniFile, WritesPlainIniThatReadsBack) {
    IniFile ini;
    EXPECT_TRUE(ini.WriteString("GUI Colors", "ControlMatchColor", "65280"));
    EXPECT_TRUE(ini.WriteBool("GUI Colors", "ControlMatchingEnabled", true));
    EXPECT_TRUE(ini.WriteInteger("CTS", "Vardeko_Left", -3));
    EXPECT_TRUE(ini.WriteString("CTS", "Path", "  /dev/pts/3 "));
    EXPECT_TRUE(ini.WriteString("gui colors", "CONTROLMATCHCOLOR", "255")) << "same entry, names ignore case";
    EXPECT_EQ(ini.Text(),
              "[GUI Colors]\nControlMatchColor=255\nControlMatchingEnabled=1\n"
              "\n[CTS]\nVardeko_Left=-3\nPath=/dev/pts/3\n");
    IniFile again;
    again.Parse(ini.Text());
    EXPECT_EQ(again.Text(), ini.Text());
    EXPECT_TRUE(again.ReadBool("GUI Colors", "ControlMatchingEnabled", false));

    ini.DeleteKey("ctS", "vardeko_left");
    ini.EraseSection("gui COLORS");
    EXPECT_EQ(ini.Text(), "[CTS]\nPath=/dev/pts/3\n");
}

TEST(IniFile, RefusesWhatOneIniLineCannotHold) {
    struct Case {
        const char* name;
        std::string section, key, value;
    };
    const Case cases[] = {
        {"line break in value", "S", "k", "a\nb"},
        {"carriage return in value", "S", "k", "a\rb"},
        {"empty key", "S", "", "v"},
        {"key with =", "S", "a=b", "v"},
        {"key like a section", "S", "[k", "v"},
        {"key like a comment", "S", ";k", "v"},
        {"key with blanks around", "S", " k", "v"},
        {"empty section", "", "k", "v"},
        {"section with line break", "S\nT", "k", "v"},
    };
    for (const Case& c : cases) {
        IniFile ini;
        EXPECT_FALSE(ini.WriteString(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(ini.Text(), "") << c.name;
    }
}

TEST(IniFile, UnreadableFileGivesDefaults) {
    TempFolder dir;
    IniFile ini;
    ini.Parse("[S]\nk=1\n");
    EXPECT_FALSE(ini.Load(dir.Path() / "missing.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);
    ini.Parse("[S]\nk=1\n");
    EXPECT_FALSE(ini.Load(dir.Path())) << "a folder is no file";
    EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);
    // Not text at all: nothing of it counts.
    WriteFile(dir.Path() / "binary.ini", std::string("\0\1\2[\xff]\0=\0", 10));
    EXPECT_TRUE(ini.Load(dir.Path() / "binary.ini"));
    EXPECT_TRUE(ini.Sections().empty());
}

// Only a regular file is read or replaced. A FIFO (whose open would wait
// for a writer), a socket, a device or a folder is refused with the reason,
// without being opened, and a save leaves it as it is.
TEST(IniFile, OnlyARegularFileIsReadOrReplaced) {
    TempFolder dir;
    test_support::TrapFifo fifo(dir.Path() / "fifo.ini");
    ASSERT_TRUE(fifo.Made());
    const fs::path socketPath = dir.Path() / "socket.ini";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const struct {
        const char* what;
        fs::path path;
        std::string reason;  // of the refused load; empty: there is no file
        bool save;           // also saved over (never a device: the test may run as root)
    } cases[] = {
        {"FIFO", fifo.Path(), "Not a regular file", true},    {"socket", socketPath, "Not a regular file", true},
        {"device", "/dev/null", "Not a regular file", false}, {"folder", dir.Path(), "Is a directory", false},
        {"missing", dir.Path() / "missing.ini", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IniFile ini;
        ini.Parse("[S]\nk=1\n");
        std::string error = "not set";
        EXPECT_FALSE(ini.Load(c.path, &error));
        EXPECT_EQ(error, c.reason);
        EXPECT_EQ(ini.ReadInteger("S", "k", 5), 5);
        if (!c.save) continue;
        ini.WriteString("S", "k", "2");
        EXPECT_FALSE(ini.Save(c.path, &error));
        EXPECT_EQ(error, "Cannot replace " + c.path.string() + ": Not a regular file");
    }
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_THAT(FolderEntries(dir.Path()), ElementsAre("fifo.ini", "socket.ini")) << "nothing replaced or left";
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened for reading";
    ::close(sock);
}

TEST(IniFile, SaveReplacesTheFileAndLeavesNothingElse) {
    TempFolder dir;
    const fs::path file = dir.Path() / "Vardeko.ini";
    WriteFile(file, "[old]\nx=1\n");
    ::chmod(file.c_str(), 0640);
    IniFile ini;
    ini.WriteString("CTS", "Vardeko_COM_Device", "/dev/ttyS0");
    ASSERT_TRUE(ini.Save(file));
    EXPECT_EQ(ReadFile(file), "[CTS]\nVardeko_COM_Device=/dev/ttyS0\n");
    EXPECT_THAT(FolderEntries(dir.Path()), ElementsAre("Vardeko.ini"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its permissions";
    IniFile back;
    ASSERT_TRUE(back.Load(file));
    EXPECT_EQ(back.ReadString("CTS", "Vardeko_COM_Device", ""), "/dev/ttyS0");
}

TEST(IniFile, FailedSaveLeavesTheOldFile) {
    TempFolder dir;
    const fs::path file = dir.Path() / "Settings.ini";
    const std::string old = "[CTS]\nVardeko_Left=10\n";
    IniFile ini;
    ini.WriteString("CTS", "Vardeko_Left", "20");
    ini.WriteString("CTS", "Padding", std::string(4000, 'p'));

    struct Case {
        const char* name;
        int resource;
        rlim_t limit;
        std::string error;
    };
    const Case cases[] = {
        // No descriptor left: the temporary file cannot be created.
        {"temporary file cannot be created", RLIMIT_NOFILE, kLowestFreeDescriptor, "Cannot create "},
        // The disk "fills up" after 100 bytes: a write fails half-way.
        {"write fails half-way", RLIMIT_FSIZE, 100, "Cannot write " + file.string() + ": File too large"},
    };
    for (const Case& c : cases) {
        WriteFile(file, old);
        const int saved = SaveInChildUnderLimit(c.resource, c.limit, [&] {
            std::string error;
            const bool ok = ini.Save(file, &error);
            return ok || error.rfind(c.error, 0) != 0;  // a refusal with another text counts as saved
        });
        EXPECT_EQ(saved, 0) << c.name;
        EXPECT_EQ(ReadFile(file), old) << c.name;
        EXPECT_THAT(FolderEntries(dir.Path()), ElementsAre("Settings.ini")) << c.name << ": no temporary left";
    }
    // Without a limit the same save succeeds.
    EXPECT_TRUE(ini.Save(file));
    EXPECT_EQ(ReadFile(file).substr(0, 22), "[CTS]\nVardeko_Left=20\n");
}

TEST(IniFile, SaveThatCannotReplaceFails) {
    TempFolder dir;
    IniFile ini;
    ini.WriteString("S", "k", "v");
    std::string error;
    EXPECT_FALSE(ini.Save(dir.Path() / "no" / "such" / "folder.ini", &error));
    EXPECT_EQ(error.rfind("Cannot create " + (dir.Path() / "no" / "such").string(), 0), 0u) << error;
    fs::create_directory(dir.Path() / "folder.ini");
    EXPECT_FALSE(ini.Save(dir.Path() / "folder.ini", &error)) << "a folder is not replaced by a file";
    EXPECT_EQ(error, "Cannot replace " + (dir.Path() / "folder.ini").string() + ": Is a directory");
    EXPECT_THAT(FolderEntries(dir.Path()), ElementsAre("folder.ini"));
}
