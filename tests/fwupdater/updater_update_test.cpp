// The updater's program logic run in this process against the simulated
// instrument on a pseudo-terminal: console output, notices on a message
// endpoint, the images the instrument received, and the failures.
#include <gtest/gtest.h>

#include <cerrno>

#include "fwupdater/ConsoleEnvironment.h"
#include "fwupdater/MV_Comm.h"
#include "fwupdater/USerIO.h"
#include "fwupdater/Updater.h"
#include "fwupdater/UpdaterNotice.h"
#include "platform/Clock.h"
#include "platform/PseudoTerminal.h"
#include "tests/fwupdater/UpdaterTestSupport.h"

using namespace updater_test;
using sim::LoaderSim;

namespace {

// The real environment with standard output captured.
class CapturingEnvironment : public pallumo::ConsoleEnvironment {
public:
    std::string out;
    void Print(const std::string& text) override { out += text; }
};

const std::string kBanner = "\nMerovan Pallumo - V1.0.0";
const std::string kFailed = "\n*** Firmware update failed!\n - Please, contact Merovan for further instructions";

class UpdaterRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.started);
        firmwareFile = WriteFile("updater_update_fw.hex", FirmwareText({{0x10000, 1200}, {0x20100, 300}}));
        firmware = std::make_unique<IntelHexDecoder>(HexFile{firmwareFile});
        loader = firmware_update::DecodeRamLoader();
        total = loader->TotalBytes() + firmware->TotalBytes();
    }
    int Run(std::vector<std::string> args) {
        pallumo::Updater u(env, {1, 0, 0});
        return u.Run(args);
    }
    std::vector<std::string> Args() { return {"-d", sim.instrument.SlavePath(), "-f", firmwareFile}; }

    // Console output of the progress up to and including chunk `chunks`.
    std::string Progress(size_t chunks) {
        std::string s = pallumo::kProgressStartText;
        const auto sent = ChunkProgress(*loader, *firmware);
        for (size_t i = 0; i < chunks && i < sent.size(); ++i) s += pallumo::ProgressText(sent[i], total);
        return s;
    }

    SimulatedInstrument sim;
    CapturingEnvironment env;
    std::string firmwareFile;
    std::unique_ptr<IntelHexDecoder> firmware, loader;
    uint32_t total = 0;
};

TEST_F(UpdaterRun, SuccessfulUpdateWritesBothImagesAndPrintsTheProgress) {
    ASSERT_EQ(Run(Args()), 0);
    const size_t chunks = ChunkProgress(*loader, *firmware).size();
    EXPECT_EQ(env.out, kBanner + Progress(chunks) + pallumo::ProgressText(total, total) +
                           "\nCompleted succesfully - Reset device\n");
    EXPECT_EQ(sim.loader.FlashImage(), ImageBytes(*firmware));
    EXPECT_EQ(sim.loader.RamImage(), ImageBytes(*loader));
    const std::vector<std::pair<uint32_t, uint32_t>> blocks = {
        {0x10000, 500}, {0x101F4, 500}, {0x103E8, 200}, {0x20100, 300}};
    EXPECT_EQ(sim.loader.FlashBlocks(), blocks);
    const auto log = sim.loader.Log();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], "DebugOn");
    EXPECT_EQ(log[1], "Reset");
    EXPECT_EQ(log[2], "RamWrite 0500 5");
    EXPECT_EQ(log[24], "RunCode 0500");
    EXPECT_EQ(log[25], "Erase");
}

TEST_F(UpdaterRun, NoticesReachTheEndpoint) {
    const std::string name = UniqueName("PALLUMO.TEST");
    NoticeCollector collector(name, 0x0000BEEF);
    ASSERT_TRUE(collector.Ok());
    ASSERT_EQ(Run({"-m", name, "0000BEEF", "-d", sim.instrument.SlavePath(), "-f", firmwareFile}), 0);
    EXPECT_EQ(env.out, "");  // -m turns every output off
    Notices want = {{0, 0}, {1, 0}, {1, 0}, {2, 0}};
    for (uint32_t sent : ChunkProgress(*loader, *firmware)) want.emplace_back(3, pallumo::ProgressPercent(sent, total));
    want.insert(want.end(), {{3, 100}, {2, 3}});
    EXPECT_EQ(collector.Stop(), want);
}

TEST_F(UpdaterRun, BroadcastReachesEveryEndpointOfTheName) {
    const std::string name = UniqueName("PALLUMO.TEST");
    NoticeCollector a(name, 1), b(name, 2);
    ASSERT_TRUE(a.Ok() && b.Ok());
    sim.loader.SetFault(LoaderSim::Step::DebugOn, LoaderSim::Fault::Refuse);
    EXPECT_EQ(Run({"-m", name, "FFFFFFFF", "-d", sim.instrument.SlavePath(), "-f", firmwareFile}), -1);
    const Notices want = {{0, 0}, {1, 0}, {1, 0}, {2, 0}, {3, 100}, {3, 100}, {2, 2}};
    EXPECT_EQ(a.Stop(), want);
    EXPECT_EQ(b.Stop(), want);
}

TEST_F(UpdaterRun, RefusedAndUnansweredSteps) {
    struct Case {
        LoaderSim::Step step;
        LoaderSim::Fault fault;
        int occurrence;
        size_t chunksBefore;    // progress lines before the failure
        std::string errorText;  // "" when no error text is reported
    };
    const std::vector<Case> cases = {
        {LoaderSim::Step::DebugOn, LoaderSim::Fault::Refuse, 0, 0, "Debug On command failed"},
        {LoaderSim::Step::Reset, LoaderSim::Fault::Refuse, 0, 0, "Reset command failed"},
        {LoaderSim::Step::RamWrite, LoaderSim::Fault::Refuse, 2, 3,
         "RamWrite failed at RAM Segment 1, Write Offset $fa"},
        {LoaderSim::Step::RunCode, LoaderSim::Fault::Refuse, 0, 22, "RunCode command failed"},
        {LoaderSim::Step::Erase, LoaderSim::Fault::Refuse, 0, 22, "Erase command failed"},
        {LoaderSim::Step::FlashWrite, LoaderSim::Fault::Refuse, 1, 24,
         "FlashWrite failed at Segment 0, Write Offset $1f4"},
        {LoaderSim::Step::FlashWrite, LoaderSim::Fault::BadCrc, 3, 26,
         "FlashWrite failed at Segment 1, Write Offset $0"},
        {LoaderSim::Step::Erase, LoaderSim::Fault::Silence, 0, 22, ""},
        {LoaderSim::Step::RamWrite, LoaderSim::Fault::CloseLine, 0, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errorText.empty() ? "silent step" : c.errorText);
        SimulatedInstrument s;
        ASSERT_TRUE(s.started);
        s.loader.SetFault(c.step, c.fault, c.occurrence);
        env.out.clear();
        EXPECT_EQ(Run({"-d", s.instrument.SlavePath(), "-f", firmwareFile}), -1);
        std::string want = kBanner + Progress(c.chunksBefore);
        if (!c.errorText.empty()) want += pallumo::ProgressText(total, total) + "\n*** " + c.errorText;
        want += pallumo::ProgressText(total, total) + kFailed + "\n";
        EXPECT_EQ(env.out, want);
        EXPECT_TRUE(s.loader.FlashImage().empty() || c.step == LoaderSim::Step::FlashWrite);
    }
}

// A stray length byte on the line during the update announces more bytes
// than ever come: once nothing more has arrived for the inter-byte gap it is
// given up, and the answer behind it is taken within the step's 2 s.
TEST_F(UpdaterRun, AStalledPartialFrameDoesNotBlockTheAnswers) {
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        while (!stop && sim.loader.Count(LoaderSim::Step::DebugOn) == 0) platform::SleepMs(1);
        if (!stop) sim.instrument.SendRawBytes({0x20});  // a frame of 32 bytes, never completed
    });
    const int code = Run(Args());
    stop = true;
    noise.join();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(sim.loader.FlashImage(), ImageBytes(*firmware));
}

// A line that is gone after the port was opened: the first write fails
// with its text and the update ends at once, without the reply time-out.
TEST(UpdaterLink, AWriteFailureEndsTheStepAtOnce) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    std::vector<std::pair<uint32_t, uint32_t>> notices;
    pallumo::MV_Comm link(pty.SlavePath(), [&](uint32_t k, uint32_t v) { notices.emplace_back(k, v); });
    std::vector<std::string> errors;
    std::vector<uint32_t> progress;
    link.onError = [&](const std::string& t) { errors.push_back(t); };
    link.onProgress = [&](uint32_t sent) { progress.push_back(sent); };
    uint32_t announced = 0;
    link.onUpdateStart = [&](uint32_t total) { announced = total; };
    pty.Close();  // the cable is pulled

    const std::string file = WriteFile("updater_link_fw.hex", FirmwareText({{0x10000, 100}}));
    std::vector<LinkResult> results;
    const uint32_t start = platform::TickCountMs();
    link.UpdateFirmware(file, [&](LinkResult r) { results.push_back(r); });
    // Bounded only against a hang: a loaded machine adds to any wait.
    EXPECT_LT(platform::TickCountMs() - start, 15000u);
    EXPECT_EQ(results, std::vector<LinkResult>{LINK_NO_RESPONSE});
    EXPECT_EQ(errors, std::vector<std::string>{"RS-Port write error - Check cabling"});
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(announced, 4296u + 100u);
    EXPECT_EQ(notices, (Notices{{0, 0}, {1, 0}, {1, 0}}));
}

// The hooks run while the update is out; one that frees the caller's file
// name (the first decoding's notice comes before the file is read) or its
// completion (the start hook) changes nothing: the update keeps its own.
TEST(UpdaterLink, TheUpdateKeepsItsOwnFileNameAndCompletion) {
    platform::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    const std::string file = WriteFile("updater_link_own_fw.hex", FirmwareText({{0x10000, 100}}));
    auto name = std::make_unique<std::string>(file);
    std::vector<LinkResult> results;
    auto completion = std::make_unique<pallumo::MV_Comm::CompletionHook>([&](LinkResult r) { results.push_back(r); });
    pallumo::MV_Comm link(pty.SlavePath(), [&](uint32_t kind, uint32_t) {
        if (kind == pallumo::notice::kFile) name.reset();
    });
    uint32_t announced = 0;
    link.onUpdateStart = [&](uint32_t total) {
        announced = total;
        completion.reset();
    };
    pty.Close();  // the first write fails: the update ends at once

    link.UpdateFirmware(*name, *completion);
    EXPECT_EQ(announced, 4296u + 100u) << "the file was read under its own name";
    EXPECT_EQ(results, std::vector<LinkResult>{LINK_NO_RESPONSE});
}

TEST_F(UpdaterRun, UndecodableFilesAreReportedBeforeAnyUpdate) {
    struct Case {
        std::string file;
        std::string error;
        uint32_t notice;
    };
    auto text = [n = 0](const std::string& content) mutable {
        return WriteFile("updater_bad" + std::to_string(++n) + ".hex", content);
    };
    const std::vector<Case> cases = {
        {text(":020000021000EC\n:0400000001020304F3\n"), "Record checksum check failed on line #1", 4},
        {text("no records here\n"), "File does not contain IntelHex records", 3},
        // Records without any data: nothing to write, so nothing is erased.
        {text(":00000001FF\n"), "File does not contain IntelHex records", 3},
        {text(":020000021000EC\n:00000001FF\n"), "File does not contain IntelHex records", 3},
        {text(":0400000001020304F2\n"), "Data record without segment", 4},
        {text(":020000040001F9\n:0400000001020304F2\n"), "Extended linear address records are not supported", 4},
        // Only a regular file is read: a device or a folder cannot be opened.
        {"/dev/null", "Cannot open file \"/dev/null\". Not a regular file", 2},
        {::testing::TempDir(), "Cannot open file \"" + ::testing::TempDir() + "\". Is a directory", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        env.out.clear();
        EXPECT_EQ(Run({"-d", sim.instrument.SlavePath(), "-f", c.file}), -1);
        EXPECT_EQ(env.out, kBanner + "\n*** " + c.error + "\n");

        const std::string name = UniqueName("PALLUMO.TEST");
        NoticeCollector collector(name, 7);
        env.out.clear();
        EXPECT_EQ(Run({"-m", name, "00000007", "-d", sim.instrument.SlavePath(), "-f", c.file}), -1);
        EXPECT_EQ(env.out, "");
        EXPECT_EQ(collector.Stop(), (Notices{{0, 0}, {1, 0}, {1, c.notice}}));
    }
    EXPECT_TRUE(sim.loader.Log().empty());  // nothing was sent
}

TEST_F(UpdaterRun, PortFailures) {
    const std::string name = UniqueName("PALLUMO.TEST");
    {
        NoticeCollector collector(name, 9);
        EXPECT_EQ(Run({"-m", name, "00000009", "-d", "/dev/no-such-port", "-f", firmwareFile}), -1);
        EXPECT_EQ(collector.Stop(), (Notices{{0, 1}}));
        env.out.clear();
        EXPECT_EQ(Run({"-d", "/dev/no-such-port", "-f", firmwareFile}), -1);
        EXPECT_EQ(env.out, kBanner + "\n*** COM Port opend failed: Could not open port \n");
    }
    // Access denied or a port in use elsewhere: (0, 2) first.
    const std::vector<std::pair<int, std::vector<uint32_t>>> cases = {
        {EACCES, {2, 1}}, {EBUSY, {2, 1}}, {EPERM, {2, 1}}, {ENOENT, {1}}, {ENOTTY, {1}}, {EIO, {1}}};
    for (const auto& [error, values] : cases) EXPECT_EQ(pallumo::PortFailureNotices(error), values) << error;
}

}  // namespace
