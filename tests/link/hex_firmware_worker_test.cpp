// The firmware-update sequence run by the compliance-test link's worker
// against the simulated instrument: texts with their "> ", progress, the
// images received, and the results.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/FirmwareUpdateWorker.h"
#include "link/MV_Comm.h"
#include "platform/Clock.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/Windows1252Bytes.h"
#include "sim/InstrumentSim.h"
#include "sim/LoaderSim.h"
#include "support/HexRecord.h"
#include "support/TextFile.h"

namespace {

constexpr int kGenerousMs = 60000;

std::string Rec(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    return test_hex::Record(type, address, data);
}

// 1,200 bytes at 0x10000.
std::string Firmware() {
    std::string text = Rec(2, 0, {0x10, 0x00});
    for (uint16_t pos = 0; pos < 1200; pos += 16) {
        std::vector<uint8_t> d;
        for (int i = 0; i < 16; ++i) d.push_back(static_cast<uint8_t>(pos * 3 + i));
        text += Rec(0, pos, d);
    }
    return text + ":00000001FF\n";
}

class WorkerUpdate : public testing::Test {
protected:
    void SetUp() override {
        platform::SetGuiThreadToCurrent();
        instrument.SetExtension(&loaderSim);
        ASSERT_TRUE(instrument.Start());
        link = std::make_unique<MV_Comm>(MV_Comm::kModeSerial, 0, instrument.SlavePath());
        link->SetOnMessage([this](const std::string& t) { texts.push_back(t); });
        link->SetOnProgress([this](uint32_t sent) { progress.push_back(sent); });
    }
    void TearDown() override {
        link.reset();
        instrument.Stop();
        instrument.SetExtension(nullptr);
    }
    LinkResult Update() {
        auto loader = firmware_update::DecodeRamLoader();
        auto firmware = std::make_unique<IntelHexDecoder>(std::string_view(Firmware()));
        expectedFlash.clear();
        for (const auto& s : firmware->Segments())
            for (uint32_t i = 0; i < s.size(); ++i) expectedFlash[s.startAddress + i] = s.data[i];
        total = loader->TotalBytes() + firmware->TotalBytes();
        std::vector<LinkResult> results;
        link->RunWorkerSequence(firmware_update::OnLinkWorker(std::move(loader), std::move(firmware)),
                                [&](LinkResult r) { results.push_back(r); });
        EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs));
        return results.empty() ? LINK_INTERNAL_ERROR : results.front();
    }

    sim::InstrumentSim instrument;
    sim::LoaderSim loaderSim;
    std::unique_ptr<MV_Comm> link;
    std::vector<std::string> texts;
    std::vector<uint32_t> progress;
    std::map<uint32_t, uint8_t> expectedFlash;
    uint32_t total = 0;
};

TEST_F(WorkerUpdate, SuccessfulUpdateWithTextsAndProgress) {
    instrument.SendPrintPacket("ignored while not shown %d", 1);
    EXPECT_EQ(Update(), LINK_OK);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"> Debug On ...", "> Reset ...", "> Writing RAM loader ...",
                                        "> RamWrite: Success; Wrote 5 segments", "> RunCode ...", "> Erase ...",
                                        "> Writing Flash Segments ...", "> FlashWrite: Success; Wrote 1 segments",
                                        "> Firmware update completed succesfully. Reset target."}));
    ASSERT_EQ(progress.size(), 22u + 3);
    EXPECT_EQ(progress.back(), total);
    EXPECT_EQ(loaderSim.FlashImage(), expectedFlash);
    EXPECT_EQ(loaderSim.FlashBlocks().size(), 3u);

    // The link is idle and usable afterwards.
    uint8_t version[3] = {};
    std::vector<LinkResult> r;
    link->QueryFirmwareVersion(version, [&](LinkResult x) { r.push_back(x); });
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return !r.empty(); }, kGenerousMs));
    EXPECT_EQ(r.front(), LINK_OK);
}

TEST_F(WorkerUpdate, PrintPacketsDuringTheUploadAreShown) {
    link->SetShowPrintPackets(true);
    // The answer to the third RAM frame comes after a print packet.
    loaderSim.SetFault(sim::LoaderSim::Step::RamWrite, sim::LoaderSim::Fault::Silence, 2);
    std::atomic<bool> stop{false};
    std::thread answer([&] {
        while (!stop && loaderSim.Count(sim::LoaderSim::Step::RamWrite) < 3) platform::SleepMs(1);
        if (stop) return;
        instrument.SendPrintPacket("Loader %d", 298);
        const uint8_t ack = 0x0C;
        instrument.SendPayload({ack});
    });
    EXPECT_EQ(Update(), LINK_OK);
    stop = true;
    answer.join();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Loader 298"), texts.end());
    EXPECT_EQ(loaderSim.FlashImage(), expectedFlash);
}

TEST_F(WorkerUpdate, RefusalAndSilence) {
    loaderSim.SetFault(sim::LoaderSim::Step::FlashWrite, sim::LoaderSim::Fault::Refuse, 1);
    EXPECT_EQ(Update(), LINK_REFUSED);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "> FlashWrite failed at Segment 0, Write Offset $1f4");

    loaderSim.ClearFaults();
    loaderSim.Reset();
    texts.clear();
    loaderSim.SetFault(sim::LoaderSim::Step::DebugOn, sim::LoaderSim::Fault::Silence);
    EXPECT_EQ(Update(), LINK_NO_RESPONSE);
    EXPECT_EQ(texts, std::vector<std::string>{"> Debug On ..."});
}

// MV_Comm::UpdateFirmware as the firmware-update dialog calls it: from a
// file name, with the decode texts and the total before the worker's texts.
class UpdateFromFile : public WorkerUpdate {
protected:
    void SetUp() override {
        WorkerUpdate::SetUp();
        char tmpl[] = "/tmp/fw-update-XXXXXX";
        dir = mkdtemp(tmpl);
        link->SetOnUpdateStart([this](uint32_t t) { starts.push_back(t); });
    }
    void TearDown() override {
        WorkerUpdate::TearDown();
        std::remove(file().c_str());
        ::rmdir(dir.c_str());
    }
    std::string file() const { return dir + "/fw.hex"; }
    LinkResult UpdateFile(const std::string& name) {
        std::vector<LinkResult> results;
        link->UpdateFirmware(name, [&](LinkResult r) { results.push_back(r); });
        EXPECT_TRUE(platform::ServeGuiCallsUntil([&] { return !results.empty(); }, kGenerousMs));
        EXPECT_EQ(results.size(), 1u);
        return results.empty() ? LINK_INTERNAL_ERROR : results.front();
    }
    std::string dir;
    std::vector<uint32_t> starts;
};

TEST_F(UpdateFromFile, WritesTheFileIntoTheFlash) {
    ASSERT_TRUE(test_support::WriteFile(file(), Firmware()));
    EXPECT_EQ(UpdateFile(file()), LINK_OK);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "> RamWrite [internal], 5 Segments, 4296 Bytes");
    EXPECT_EQ(texts[1], "> Loaded '" + file() + "', 1 Segments, 1200 Bytes");
    EXPECT_EQ(texts[2], "> Debug On ...");
    EXPECT_EQ(starts, std::vector<uint32_t>{4296u + 1200u});
    std::map<uint32_t, uint8_t> want;
    IntelHexDecoder fw{std::string_view(Firmware())};
    for (const auto& s : fw.Segments())
        for (uint32_t i = 0; i < s.size(); ++i) want[s.startAddress + i] = s.data[i];
    EXPECT_EQ(loaderSim.FlashImage(), want);
}

// The "Loaded" line is an 8-bit text, read as Windows-1252 by the status
// list: a non-ASCII file name reads as the file system spells it, and a
// character the code page has no byte for reads as "?".
TEST_F(UpdateFromFile, TheLoadedLineNamesANonAsciiFileInWindows1252) {
    const std::string name = dir + "/Pr\u00fcfung \u2013 \u20ac \u0394.hex";
    ASSERT_TRUE(test_support::WriteFile(name, Firmware()));
    const LinkResult result = UpdateFile(name);
    std::remove(name.c_str());
    EXPECT_EQ(result, LINK_OK);
    ASSERT_GE(texts.size(), 2u);
    std::u32string read;
    for (char b : texts[1]) read += platform::Windows1252ToCodePoint(static_cast<unsigned char>(b));
    const std::u32string tmpDir(dir.begin(), dir.end());  // mkdtemp's name is ASCII
    EXPECT_EQ(read, U"> Loaded '" + tmpDir + U"/Pr\u00fcfung \u2013 \u20ac ?.hex', 1 Segments, 1200 Bytes");
}

TEST_F(UpdateFromFile, AFileThatDoesNotDecodeEndsAtOnceWithABox) {
    platform::MessageBoxInterceptor boxes;
    EXPECT_EQ(UpdateFile(dir + "/missing.hex"), LINK_RETRIES_EXCEEDED);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("Flash HEX File read failed with error message: '", 0), 0u);
    EXPECT_EQ(texts, std::vector<std::string>{"> RamWrite [internal], 5 Segments, 4296 Bytes"});
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(loaderSim.Count(sim::LoaderSim::Step::DebugOn), 0);

    // A bad record: the box names the decoder's own text.
    ASSERT_TRUE(test_support::WriteFile(file(), ":020000021000EC\n:0400000001020304F3\n:00000001FF\n"));
    texts.clear();
    EXPECT_EQ(UpdateFile(file()), LINK_RETRIES_EXCEEDED);
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1],
              "Flash HEX File read failed with error message: 'Record checksum check failed on line #1'.");
    EXPECT_EQ(boxes.Boxes()[1].icon, platform::MsgIcon::Error);
    EXPECT_EQ(texts, std::vector<std::string>{"> RamWrite [internal], 5 Segments, 4296 Bytes"});
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(instrument.Received().empty()) << "no frame is sent";

    // Records without a data byte: refused like a text without records,
    // before the flash would be erased.
    ASSERT_TRUE(test_support::WriteFile(file(), ":020000021000EC\n:00000001FF\n"));
    texts.clear();
    EXPECT_EQ(UpdateFile(file()), LINK_RETRIES_EXCEEDED);
    ASSERT_EQ(boxes.Texts().size(), 3u);
    EXPECT_EQ(boxes.Texts()[2],
              "Flash HEX File read failed with error message: 'File does not contain IntelHex records'.");
    EXPECT_EQ(texts, std::vector<std::string>{"> RamWrite [internal], 5 Segments, 4296 Bytes"});
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(instrument.Received().empty()) << "no frame is sent";

    // The link stays idle: the next request is served.
    std::vector<LinkResult> next;
    link->ClearLog([&](LinkResult r) { next.push_back(r); });
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return !next.empty(); }, kGenerousMs));
    EXPECT_EQ(next, std::vector<LinkResult>{LINK_OK});
}

TEST_F(UpdateFromFile, BusyWhileARequestIsPending) {
    instrument.SetFault(0x1C, {sim::Fault::Silent, 0, 1});
    std::vector<LinkResult> first;
    uint8_t v[3];
    link->QueryFirmwareVersion(v, [&](LinkResult r) { first.push_back(r); });
    EXPECT_EQ(UpdateFile(file()), LINK_BUSY);
    EXPECT_TRUE(texts.empty());
    ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return !first.empty(); }, kGenerousMs));
}

}  // namespace
