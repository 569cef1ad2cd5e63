// The standalone simulated instrument: it prints the device path it serves,
// answers there, and ends cleanly on SIGTERM and SIGINT; with
// "--test-scripts demo" it plays its demonstration set of test runs.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "link/MV_Comm.h"
#include "link/USerIO.h"
#include "platform/GuiCall.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace {

struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out) std::fclose(out);
    }
};

// Starts the program with `options`; its standard output (and, with
// `errorsToOut`, its standard error) can be read from p.out.
bool StartSim(Program& p, std::vector<std::string> options = {}, bool errorsToOut = false) {
    std::vector<char*> argv{const_cast<char*>(INSTRUMENT_SIM_PROGRAM)};
    for (auto& o : options) argv.push_back(o.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return false;
    p.pid = ::fork();
    if (p.pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        if (errorsToOut) ::dup2(fds[1], STDERR_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(INSTRUMENT_SIM_PROGRAM, argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    p.out = ::fdopen(fds[0], "r");
    return p.pid > 0 && p.out;
}

// The device path the program prints first ("" when none).
std::string ReadPath(Program& p) {
    char line[256] = {};
    if (!std::fgets(line, sizeof line, p.out)) return "";
    std::string path(line);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    return path;
}

// Waits up to 10 s for the program to end; its exit status, or -1.
int WaitForEnd(Program& p) {
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(p.pid, &status, WNOHANG) == p.pid; }, 10000)) return -1;
    p.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstrumentSimProgram, ServesThePathItPrintsAndEndsCleanlyOnEachSignal) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        Program p;
        ASSERT_TRUE(StartSim(p));
        const std::string path = ReadPath(p);
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

        USerIO io(path);
        ASSERT_TRUE(io.IsOpen());
        const uint8_t request[] = {0x04, 0x71, 0x1C, 0x6F};
        ASSERT_EQ(io.Write(request, sizeof request), sizeof request);
        WaitUntil([&] { return io.Available() >= 7; }, 5000);
        uint8_t reply[7] = {};
        ASSERT_EQ(io.Read(reply, 7), 7u);
        EXPECT_EQ(reply[0], 0x07);
        EXPECT_EQ(reply[1], 0x71);
        EXPECT_EQ(reply[2], 0x1C);

        ASSERT_EQ(::kill(p.pid, sig), 0);
        EXPECT_EQ(WaitForEnd(p), 0);
    }
}

// Runs one request of the link to its completion (15 s at most).
LinkResult RunRequest(const std::function<void(MV_Comm::Completion)>& issue) {
    LinkResult result = LINK_INTERNAL_ERROR;
    bool done = false;
    issue([&](LinkResult r) {
        result = r;
        done = true;
    });
    platform::ServeGuiCallsUntil([&] { return done; }, 15000);
    return result;
}

TEST(InstrumentSimProgram, TheDemoScriptsPlayAPromptAndItsOutcomeWithALog) {
    Program p;
    ASSERT_TRUE(StartSim(p, {"--test-scripts", "demo"}));
    const std::string path = ReadPath(p);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    platform::SetGuiThreadToCurrent();
    {
        MV_Comm link(MV_Comm::kModeSerial, 0, path);
        uint8_t params[20] = {};
        uint8_t record[84] = {};
        ASSERT_EQ(RunRequest([&](auto c) { link.StartTest(3, 50, params, c); }), LINK_OK);
        ASSERT_EQ(RunRequest([&](auto c) { link.QueryTestResult(record, c); }), LINK_OK);
        EXPECT_EQ(record[0], 4);
        EXPECT_STREQ(reinterpret_cast<const char*>(record + 4),
                     "Unplug and re-plug the DisplayPort cable, then press Proceed.");
        ASSERT_EQ(RunRequest([&](auto c) { link.SendOperatorResponse(0, c); }), LINK_OK);
        ASSERT_EQ(RunRequest([&](auto c) { link.QueryTestResult(record, c); }), LINK_OK);
        EXPECT_EQ(record[0], 1);
        uint16_t size = 0;
        ASSERT_EQ(RunRequest([&](auto c) { link.QueryLogSize(&size, c); }), LINK_OK);
        EXPECT_GT(size, 0);
    }
    ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(p), 0);
}

TEST(InstrumentSimProgram, PresentsTheEdidFileItIsGiven) {
    const std::string file = std::string(SUITE_EDID_DIR) + "/009.bin";  // two blocks
    const std::string bytes = test_support::ReadFile(file);
    const std::vector<uint8_t> image(bytes.begin(), bytes.end());
    ASSERT_EQ(image.size(), 256u);
    Program p;
    ASSERT_TRUE(StartSim(p, {"--edid", file}));
    const std::string path = ReadPath(p);
    platform::SetGuiThreadToCurrent();
    {
        MV_Comm link(MV_Comm::kModeSerial, 0, path);
        for (uint8_t block = 0; block < 2; ++block) {
            uint8_t bytes[128] = {};
            ASSERT_EQ(RunRequest([&](auto c) { link.ReadEdidBlock(bytes, 0, 128, block * 128, c); }), LINK_OK);
            EXPECT_TRUE(std::equal(bytes, bytes + 128, image.begin() + block * 128)) << int(block);
        }
    }
    ASSERT_EQ(::kill(p.pid, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(p), 0);
}

TEST(InstrumentSimProgram, AnEdidFileThatIsNotWholeBlocksShowsTheUsage) {
    const std::string odd = testing::TempDir() + "odd_edid.bin";
    ASSERT_TRUE(test_support::WriteFile(odd, std::string(130, '\x01')));
    for (const std::string& file : {odd, std::string("/nonexistent/edid.bin")}) {
        SCOPED_TRACE(file);
        Program p;
        ASSERT_TRUE(StartSim(p, {"--edid", file}, true));
        std::string text;
        char line[256];
        while (std::fgets(line, sizeof line, p.out)) text += line;
        EXPECT_NE(text.find("--edid FILE"), std::string::npos) << text;
        EXPECT_EQ(WaitForEnd(p), 2);
    }
}

TEST(InstrumentSimProgram, AnUnknownSetOfTestScriptsShowsTheUsage) {
    for (const char* set : {"other", ""}) {
        SCOPED_TRACE(set);
        Program p;
        std::vector<std::string> options{"--test-scripts"};
        if (*set) options.emplace_back(set);
        ASSERT_TRUE(StartSim(p, options, true));
        std::string text;
        char line[256];
        while (std::fgets(line, sizeof line, p.out)) text += line;
        EXPECT_NE(text.find("--test-scripts demo"), std::string::npos) << text;
        EXPECT_EQ(WaitForEnd(p), 2);
    }
}

}  // namespace
