#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/Crc16.h"
#include "link/FirmwareUpdate.h"
#include "link/InstrumentFrame.h"
#include "platform/Clock.h"
#include "support/HexRecord.h"

using Bytes = std::vector<uint8_t>;
namespace fu = firmware_update;

namespace {

constexpr uint32_t kHangMs = 15000;  // more real time than a step can take without hanging

// A scripted instrument behind the transport: it numbers the commands as
// they complete (a framed command, or a flash block after its 10 header)
// and answers each with 0C unless told otherwise. When nothing is queued,
// waiting moves the millisecond clock on by the time waited, so time-outs
// pass at once.
class ScriptedLink : public fu::Transport {
public:
    enum class Answer { Ack, Refuse, Silent };
    std::map<int, Answer> answers;  // by command number, from 1
    std::map<int, Bytes> before;    // a payload sent before the command's answer
    int failWrite = -1;             // index of the write that comes up short
    bool stopOnWait = false;

    std::vector<Bytes> writes;
    std::vector<std::string> events;  // texts, sleeps, progress, in order
    std::vector<uint32_t> progress;
    std::vector<Bytes> others;
    uint32_t waitedMs = 0;
    uint32_t lastCommandTick = 0;  // clock (virtual waits included) at the last command

    ~ScriptedLink() override { platform::SetTickOffsetForTest(0); }

    bool Write(const uint8_t* b, size_t n) override {
        writes.emplace_back(b, b + n);
        const bool ok = static_cast<int>(writes.size()) - 1 != failWrite;
        const Bytes header = {0x03, 0x10, 0xED};
        if (writes.back() == header) return ok;  // the block follows
        ++commands_;
        lastCommandTick = platform::TickCountMs();
        if (before.count(commands_)) queue_.push_back(before[commands_]);
        const Answer a = answers.count(commands_) ? answers[commands_] : Answer::Ack;
        if (a == Answer::Ack) queue_.push_back({fu::kAck});
        if (a == Answer::Refuse) queue_.push_back({fu::kRefuse});
        return ok;
    }
    fu::Poll NextPayload(uint32_t waitMs, uint8_t* p, size_t* n) override {
        if (stopOnWait) return fu::Poll::Stop;
        if (queue_.empty()) {
            waitedMs += waitMs;
            offset_ += waitMs;
            platform::SetTickOffsetForTest(offset_);
            return fu::Poll::Nothing;
        }
        const Bytes b = queue_.front();
        queue_.pop_front();
        std::copy(b.begin(), b.end(), p);
        *n = b.size();
        return fu::Poll::Payload;
    }
    void OtherPayload(const uint8_t* p, size_t n) override { others.emplace_back(p, p + n); }
    bool Sleep(uint32_t ms) override {
        events.push_back("sleep " + std::to_string(ms));
        return true;
    }
    void StepText(const std::string& t) override { events.push_back("> " + t); }
    void FailureText(const std::string& t) override { events.push_back("fail " + t); }
    void Progress(uint32_t sent) override { progress.push_back(sent); }

    int Commands() const { return commands_; }

private:
    int commands_ = 0;
    std::deque<Bytes> queue_;
    uint32_t offset_ = 0;
};

// Images built directly as Intel HEX text.
std::string Rec(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    return test_hex::Record(type, address, data);
}

// One segment of `size` bytes at 0x10000 (segment 0x1000).
std::string Firmware(size_t size) {
    std::string text = Rec(2, 0, {0x10, 0x00});
    for (size_t pos = 0; pos < size; pos += 16) {
        Bytes d;
        for (size_t i = pos; i < std::min(size, pos + 16); ++i) d.push_back(static_cast<uint8_t>(i * 7 + 1));
        text += Rec(0, static_cast<uint16_t>(pos), d);
    }
    return text + ":00000001FF\n";
}

uint32_t Be32(const Bytes& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

class FirmwareUpdateTest : public testing::Test {
protected:
    std::unique_ptr<IntelHexDecoder> loader = fu::DecodeRamLoader();
    IntelHexDecoder firmware{Firmware(1200)};
    ScriptedLink link;
};

TEST_F(FirmwareUpdateTest, WritesLoaderAndFirmwareInTheStepOrder) {
    ASSERT_EQ(fu::Run(*loader, firmware, link), fu::Outcome::Ok);

    // Debug On, Reset, 22 RAM frames, RunCode, Erase, 3 x (header + block).
    ASSERT_EQ(link.writes.size(), 2u + 22 + 2 + 6);
    EXPECT_EQ(link.writes[0], (Bytes{0x03, 0x09, 0xF4}));
    EXPECT_EQ(link.writes[1], (Bytes{0x04, 0x20, 0x00, 0xDC}));

    // The RAM frames: 5; 17 of 250 and one of 26; 11; 2; 2 bytes, each
    // at its segment's address plus its offset; together the loader.
    std::vector<size_t> sizes;
    std::map<uint32_t, uint8_t> ram;
    for (size_t i = 2; i < 24; ++i) {
        const Bytes& f = link.writes[i];
        ASSERT_EQ(f[0], f.size());
        ASSERT_EQ(frame::Checksum(f.data(), f.size() - 1), f.back());
        ASSERT_EQ(f[1], fu::kCmdRamWrite);
        const uint32_t address = (uint32_t{f[2]} << 8) | f[3];
        sizes.push_back(f.size() - 5);
        for (size_t k = 4; k + 1 < f.size(); ++k) ram[address + static_cast<uint32_t>(k - 4)] = f[k];
    }
    std::vector<size_t> want = {5};
    want.insert(want.end(), 17, 250);
    want.insert(want.end(), {26, 11, 2, 2});
    EXPECT_EQ(sizes, want);
    EXPECT_EQ(link.writes[2].size(), 10u);
    EXPECT_EQ(link.writes[3].size(), 255u);  // a full RAM frame is the frame maximum
    for (const auto& s : loader->Segments())
        for (uint32_t k = 0; k < s.size(); ++k) ASSERT_EQ(ram.at(s.startAddress + k), s.data[k]) << k;
    EXPECT_EQ(ram.size(), loader->TotalBytes());

    EXPECT_EQ(link.writes[24], (Bytes{0x05, 0x1D, 0x05, 0x00, 0xD9}));
    EXPECT_EQ(link.writes[25], (Bytes{0x05, 0x19, 0xFF, 0xFF, 0xE4}));

    // Flash: 500, 500 and 200 bytes at 0x10000, 0x101F4 and 0x103E8.
    const std::vector<std::pair<uint32_t, uint32_t>> blocks = {{0x10000, 500}, {0x101F4, 500}, {0x103E8, 200}};
    Bytes flash;
    for (size_t b = 0; b < blocks.size(); ++b) {
        EXPECT_EQ(link.writes[26 + 2 * b], (Bytes{0x03, 0x10, 0xED}));
        const Bytes& blk = link.writes[27 + 2 * b];
        ASSERT_EQ(blk.size(), blocks[b].second + 12);
        EXPECT_EQ(Be32(blk, 0), blocks[b].first);
        EXPECT_EQ(Be32(blk, 4), blocks[b].second);
        EXPECT_EQ(Be32(blk, 8 + blocks[b].second), Crc16(blk.data() + 8, blocks[b].second));
        flash.insert(flash.end(), blk.begin() + 8, blk.end() - 4);
    }
    EXPECT_EQ(flash, firmware.Segments()[0].data);

    EXPECT_EQ(link.events, (std::vector<std::string>{
                               "> Debug On ...", "> Reset ...", "sleep 600", "> Writing RAM loader ...",
                               "> RamWrite: Success; Wrote 5 segments", "> RunCode ...", "sleep 500", "> Erase ...",
                               "> Writing Flash Segments ...", "> FlashWrite: Success; Wrote 1 segments",
                               "> Firmware update completed succesfully. Reset target."}));

    // Progress per chunk, reaching the total with the last flash block.
    ASSERT_EQ(link.progress.size(), 22u + 3);
    EXPECT_EQ(link.progress[0], 5u);
    EXPECT_EQ(link.progress[21], 4296u);
    EXPECT_EQ(link.progress[23], 4296u + 1000);
    EXPECT_EQ(link.progress.back(), loader->TotalBytes() + firmware.TotalBytes());
    EXPECT_EQ(link.waitedMs, 0u);
}

TEST_F(FirmwareUpdateTest, ARefusedStepEndsTheUpdateWithItsText) {
    // Commands: 1 Debug On, 2 Reset, 3-24 RAM frames, 25 RunCode, 26 Erase, 27-29 flash blocks.
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "Debug On command failed"},
        {2, "Reset command failed"},
        {3, "RamWrite failed at RAM Segment 0, Write Offset $0"},
        {5, "RamWrite failed at RAM Segment 1, Write Offset $fa"},
        {22, "RamWrite failed at RAM Segment 2, Write Offset $0"},
        {25, "RunCode command failed"},
        {26, "Erase command failed"},
        {28, "FlashWrite failed at Segment 0, Write Offset $1f4"},
    };
    for (const auto& [command, text] : cases) {
        SCOPED_TRACE(text);
        ScriptedLink l;
        l.answers[command] = ScriptedLink::Answer::Refuse;
        EXPECT_EQ(fu::Run(*loader, firmware, l), fu::Outcome::Refused);
        EXPECT_EQ(l.Commands(), command);  // nothing is sent after the refusal
        ASSERT_FALSE(l.events.empty());
        EXPECT_EQ(l.events.back(), "fail " + text);
        EXPECT_EQ(std::count_if(l.events.begin(), l.events.end(), [](auto& e) { return e.rfind("fail", 0) == 0; }), 1);
    }
}

TEST_F(FirmwareUpdateTest, AnUnansweredStepEndsAfterItsTimeOutWithoutText) {
    const std::vector<std::pair<int, uint32_t>> cases = {{1, 2000}, {4, 2000}, {26, 2000}, {27, 5000}, {29, 5000}};
    for (const auto& [command, limit] : cases) {
        SCOPED_TRACE(command);
        ScriptedLink l;
        l.answers[command] = ScriptedLink::Answer::Silent;
        EXPECT_EQ(fu::Run(*loader, firmware, l), fu::Outcome::NoResponse);
        EXPECT_EQ(l.Commands(), command);
        // Strictly more than the time-out since the command, on the clock the
        // sequence reads (the fake's waits move it; real time passes too).
        // Not much more: the fake's waits, the only time the sequence asks
        // for, stay within the time-out (real time is bounded only against
        // a hang, as a loaded machine adds to it).
        const uint32_t elapsed = platform::TickCountMs() - l.lastCommandTick;
        EXPECT_GT(elapsed, limit);
        EXPECT_LE(elapsed, limit + kHangMs);
        EXPECT_LE(l.waitedMs, limit + 2);
        for (const auto& e : l.events) EXPECT_NE(e.rfind("fail", 0), 0u) << e;
    }
}

TEST_F(FirmwareUpdateTest, OtherPayloadsGoToTheTransportAndTheWaitGoesOn) {
    const Bytes print = {0x0D, '%', 'd', 0x00, 0x2A, 0x01};
    link.before[4] = print;
    link.before[27] = {0x71, 0x22, 0x01};
    link.before[28] = {0x0C, 0x0C};  // not a one-byte acknowledgement
    ASSERT_EQ(fu::Run(*loader, firmware, link), fu::Outcome::Ok);
    EXPECT_EQ(link.others, (std::vector<Bytes>{print, {0x71, 0x22, 0x01}, {0x0C, 0x0C}}));
    EXPECT_EQ(link.Commands(), 29);
}

TEST_F(FirmwareUpdateTest, WriteFailures) {
    // Ending the step at once: no wait; a failed header still sends its block.
    {
        ScriptedLink l;
        l.failWrite = 26;  // the first flash header
        l.answers[27] = ScriptedLink::Answer::Silent;
        EXPECT_EQ(fu::Run(*loader, firmware, l, fu::Options{true}), fu::Outcome::NoResponse);
        ASSERT_EQ(l.writes.size(), 28u);
        EXPECT_EQ(l.writes[27].size(), 512u);
        EXPECT_EQ(l.waitedMs, 0u);
    }
    {
        ScriptedLink l;
        l.failWrite = 1;  // Reset
        EXPECT_EQ(fu::Run(*loader, firmware, l, fu::Options{true}), fu::Outcome::NoResponse);
        EXPECT_EQ(l.writes.size(), 2u);
    }
    // Waiting for the reply all the same: a reply that still arrives counts.
    {
        ScriptedLink l;
        l.failWrite = 1;
        EXPECT_EQ(fu::Run(*loader, firmware, l), fu::Outcome::Ok);
    }
}

TEST_F(FirmwareUpdateTest, StopEndsAtOnceWithoutText) {
    link.stopOnWait = true;
    EXPECT_EQ(fu::Run(*loader, firmware, link), fu::Outcome::Stopped);
    EXPECT_EQ(link.writes.size(), 1u);
    EXPECT_EQ(link.events, (std::vector<std::string>{"> Debug On ..."}));
}

TEST(FirmwareUpdateParts, FlashBlockLayoutAndClock) {
    const Bytes data = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(fu::FlashBlock(0x000103E8, data.data(), data.size()),
              (Bytes{0x00, 0x01, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x09, '1',  '2', '3',
                     '4',  '5',  '6',  '7',  '8',  '9',  0x00, 0x00, 0x5E, 0x86}));
    EXPECT_EQ(fu::ElapsedMs(1000, 1501), 501u);
    EXPECT_EQ(fu::ElapsedMs(0xFFFFFF00u, 0x000000F5u), 0x1F4u);  // across the wrap
    EXPECT_EQ(fu::FirmwareDecodedText("a.hex", IntelHexDecoder{Firmware(20)}), "Loaded 'a.hex', 1 Segments, 20 Bytes");
}

}  // namespace
