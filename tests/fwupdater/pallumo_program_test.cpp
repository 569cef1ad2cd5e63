// The real pallumo program against the simulated instrument: exit statuses
// as the shell sees them (modulo 256), its console output, and signals
// ignored during an update.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fwupdater/UpdaterNotice.h"
#include "platform/MessageEndpoint.h"
#include "support/RuntimeFolder.h"
#include "support/WaitUntil.h"
#include "tests/fwupdater/UpdaterTestSupport.h"

extern char** environ;

using namespace updater_test;

namespace {

struct Outcome {
    int status = -1000;  // exit status 0 to 255; -1000 when it did not exit
    int signal = 0;      // the signal that ended it, if one did
    std::string out;
};

// Runs pallumo with args; `during` runs while it is running (with its pid).
// Standard output goes to a file read back into Outcome::out, or to
// `stdoutFd` when one is given.
Outcome RunPallumo(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                   const std::function<void(pid_t)>& during = nullptr, int timeoutMs = 60000, int stdoutFd = -1) {
    const std::string outPath = ::testing::TempDir() + "pallumo_out_" + std::to_string(::getpid()) + ".txt";
    std::vector<std::string> argStore = {PALLUMO_BINARY};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The extra variables replace those of the same name.
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
    std::vector<std::string> envStore = extraEnv;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (std::none_of(extraEnv.begin(), extraEnv.end(),
                         [&](const std::string& x) { return nameOf(x) == nameOf(entry); }))
            envStore.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, PALLUMO_BINARY, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome o;
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << PALLUMO_BINARY;
        return o;
    }
    if (during) during(pid);
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "pallumo did not end in time";
    }
    if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
    o.out = test_support::ReadFile(outPath);
    std::remove(outPath.c_str());
    return o;
}

TEST(PallumoProgram, ExitStatusesAreTheCodesModulo256) {
    const std::string file = WriteFile("pallumo_program_fw.hex", FirmwareText({{0x10000, 64}}));
    const std::string notAFolder = WriteFile("pallumo_not_a_folder", "x");
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> env;
        int status;
    };
    const std::vector<Case> cases = {
        {{}, {}, 0},
        {{"-x"}, {}, 248},       // -8
        {{"-c", "0"}, {}, 247},  // -9
        {{"-c"}, {}, 254},       // -2
        {{"-d"}, {}, 253},       // -3
        {{"-q"}, {}, 252},       // -4
        {{"-f"}, {}, 251},       // -5
        {{"-m", "N"}, {}, 249},  // -7
        {{"stray"}, {}, 255},    // -1
        {{"-d", "/dev/no-such-port", "-f", file}, {}, 255},
        {{"-m", "PALLUMO.X", "00000001", "-?"}, {"XDG_RUNTIME_DIR=" + notAFolder}, 246},  // -10
    };
    for (const auto& c : cases) {
        std::string name;
        for (const auto& a : c.args) name += a + " ";
        SCOPED_TRACE(name);
        EXPECT_EQ(RunPallumo(c.args, c.env).status, c.status);
    }
}

TEST(PallumoProgram, UpdatesTheSimulatedInstrumentAndIgnoresSignals) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    const std::string file = WriteFile("pallumo_program_fw2.hex", FirmwareText({{0x10000, 2000}, {0x40000, 40}}));
    const IntelHexDecoder firmware{HexFile{file}};
    const auto loader = firmware_update::DecodeRamLoader();

    // Ctrl+C, termination, hang-up and quit while the update runs.
    const Outcome o = RunPallumo({"-d", sim.instrument.SlavePath(), "-f", file}, {}, [&](pid_t pid) {
        EXPECT_TRUE(WaitUntil([&] { return sim.loader.Count(sim::LoaderSim::Step::Reset) > 0; }, 20000));
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::kill(pid, sig);
    });
    EXPECT_EQ(o.status, 0);
    const uint32_t total = loader->TotalBytes() + firmware.TotalBytes();
    std::string want = "\nMerovan Pallumo - V1.0.0" + std::string(pallumo::kProgressStartText);
    for (uint32_t sent : ChunkProgress(*loader, firmware)) want += pallumo::ProgressText(sent, total);
    want += pallumo::ProgressText(total, total) + "\nCompleted succesfully - Reset device\n";
    EXPECT_EQ(o.out, want);
    EXPECT_EQ(sim.loader.FlashImage(), ImageBytes(firmware));
    EXPECT_EQ(sim.loader.RamImage(), ImageBytes(*loader));
}

// Standard output a pipe whose reader has gone (as in `pallumo ... | head`):
// the console writes fail, and the update runs to its end all the same.
TEST(PallumoProgram, ARunWhoseOutputReaderHasGoneFinishesTheUpdate) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    const std::string file = WriteFile("pallumo_program_fw3.hex", FirmwareText({{0x10000, 1500}}));
    const IntelHexDecoder firmware{HexFile{file}};
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ::close(pipeFds[0]);  // no reader from the first write on
    const Outcome o = RunPallumo({"-d", sim.instrument.SlavePath(), "-f", file}, {}, nullptr, 60000, pipeFds[1]);
    ::close(pipeFds[1]);
    EXPECT_EQ(o.signal, 0) << "ended by signal " << o.signal;
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(sim.loader.FlashImage(), ImageBytes(firmware));
}

// A firmware "file" that is a FIFO or a device: refused at once as a file
// that cannot be opened, without waiting for a writer or reading without end.
TEST(PallumoProgram, OnlyARegularFileIsReadAsFirmware) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    const std::string fifo = ::testing::TempDir() + std::to_string(::getpid()) + "_pallumo_fifo.hex";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        const Outcome o = RunPallumo({"-d", sim.instrument.SlavePath(), "-f", path}, {}, nullptr, 20000);
        EXPECT_EQ(o.status, 255);
        EXPECT_EQ(o.out, "\nMerovan Pallumo - V1.0.0\n*** Cannot open file \"" + path + "\". Not a regular file\n");
    }
    ::unlink(fifo.c_str());
    EXPECT_TRUE(sim.loader.Log().empty());  // nothing was sent
}

// A message name is one folder inside the message root: a name that is the
// root itself or its parent is not registered (exit -10), and the parent
// keeps its mode. The runtime folder here stands in for /tmp, the parent of
// the fallback root.
TEST(PallumoProgram, MessageNamesMustBeAFolderName) {
    std::string tmpl = ::testing::TempDir() + "pallumo_runtime_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string runtime = tmpl;
    ASSERT_EQ(::chmod(runtime.c_str(), 0755), 0);
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const std::vector<std::pair<std::string, int>> cases = {
        {"..", 246}, {".", 246}, {"", 246}, {"../PALLUMO.X", 246}, {"PALLUMO/X", 246}, {"PALLUMO.X", 0}};
    for (const auto& [name, status] : cases) {
        SCOPED_TRACE("'" + name + "'");
        EXPECT_EQ(RunPallumo({"-m", name, "00000001", "-?"}, {"XDG_RUNTIME_DIR=" + runtime}).status, status);
        EXPECT_EQ(mode(runtime), 0755u);
    }
    // The message folder it made went with the name's folder at its end.
    EXPECT_FALSE(std::filesystem::exists(runtime + "/dpsuite-messages"));
    std::error_code ec;
    std::filesystem::remove_all(runtime, ec);
}

// A message name's folder that pallumo made by registering the name is
// removed when it ends, whether the update failed or nothing was updated;
// a folder that a receiver made stays the receiver's.
TEST(PallumoProgram, AMessageFolderItMadeIsRemovedAtItsEnd) {
    std::string tmpl = ::testing::TempDir() + "pallumo_runtime_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string runtime = tmpl;
    const std::string folder = runtime + "/dpsuite-messages/PALLUMO.00000001";
    const std::string file = WriteFile("pallumo_program_fw4.hex", FirmwareText({{0x10000, 64}}));
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime};
    const std::vector<std::string> failed = {"-m", "PALLUMO.00000001", "00000001", "-d", "/dev/no-such-port", "-f",
                                             file};
    EXPECT_EQ(RunPallumo(failed, env).status, 255);
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(RunPallumo({"-m", "PALLUMO.00000001", "00000001", "-?"}, env).status, 0);
    EXPECT_FALSE(std::filesystem::exists(runtime + "/dpsuite-messages"));

    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    {
        auto receiver = platform::MessageEndpoint::Create("PALLUMO.00000001", 1);
        ASSERT_TRUE(receiver);
        EXPECT_EQ(RunPallumo(failed, env).status, 255);
        EXPECT_TRUE(std::filesystem::exists(folder + "/00000001"));
        const auto first = receiver->Receive(0);
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(first->wParam, pallumo::notice::kPort);
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    ::unsetenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    std::filesystem::remove_all(runtime, ec);
}

// What runs killed outright left of the message name (the empty folder of a
// pallumo killed during its update, the socket of a receiver that is gone)
// does not outlive the next run with that name; a live receiver's stays.
TEST(PallumoProgram, AFolderLeftByKilledProgramsIsRemovedByTheNextRun) {
    test_support::ScopedRuntimeFolder runtime;
    ASSERT_TRUE(runtime.Valid());
    const std::vector<std::string> help = {"-m", "PALLUMO.00000001", "00000001", "-?"};

    SimulatedInstrument sim;
    ASSERT_TRUE(sim.started);
    const std::string file = WriteFile("pallumo_program_fw5.hex", FirmwareText({{0x10000, 2000}}));
    const Outcome killed = RunPallumo(
        {"-m", "PALLUMO.00000001", "00000001", "-d", sim.instrument.SlavePath(), "-f", file}, {}, [&](pid_t pid) {
            EXPECT_TRUE(WaitUntil([&] { return sim.loader.Count(sim::LoaderSim::Step::Reset) > 0; }, 20000));
            ::kill(pid, SIGKILL);
        });
    EXPECT_EQ(killed.signal, SIGKILL);
    EXPECT_EQ(runtime.Left(), std::vector<std::string>{"PALLUMO.00000001"});
    EXPECT_EQ(RunPallumo(help).status, 0);
    EXPECT_TRUE(runtime.Left().empty());

    const pid_t receiver = test_support::StartRuntimeFolderHelper({"endpoint", "PALLUMO.00000001", "00000001"});
    ASSERT_GT(receiver, 0);
    ASSERT_TRUE(WaitUntil([] { return platform::PostEndpointMessage("PALLUMO.00000001", 1, 0, 0); }, 20000));
    EXPECT_EQ(RunPallumo(help).status, 0);
    EXPECT_EQ(runtime.Left(), (std::vector<std::string>{"PALLUMO.00000001", "PALLUMO.00000001/00000001"}))
        << "a live receiver keeps its endpoint";
    test_support::KillOutright(receiver);
    EXPECT_EQ(RunPallumo(help).status, 0);
    EXPECT_TRUE(runtime.Left().empty());
}

}  // namespace
