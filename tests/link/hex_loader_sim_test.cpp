// The simulated instrument's loader side on its own: the order of the
// loader commands, raw flash blocks arriving in pieces, and the CRC check.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "link/FirmwareUpdate.h"
#include "sim/LoaderSim.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct RecordingWire : sim::InstrumentWire {
    std::vector<Bytes> sent;
    int closed = 0;
    void SendPayload(const uint8_t* p, size_t n) override { sent.emplace_back(p, p + n); }
    void SendRaw(const uint8_t* p, size_t n) override { sent.emplace_back(p, p + n); }
    void CloseLine() override { ++closed; }
};

// Offers a payload; the one-byte answer, 0 when none was sent.
uint8_t Command(sim::LoaderSim& s, RecordingWire& w, const Bytes& p) {
    const size_t before = w.sent.size();
    EXPECT_TRUE(s.OnPayload(p.data(), p.size(), w));
    return w.sent.size() > before ? w.sent.back()[0] : 0;
}

// Sends a flash block after its 10 header, `piece` bytes at a time.
uint8_t Block(sim::LoaderSim& s, RecordingWire& w, const Bytes& block, size_t piece) {
    const size_t before = w.sent.size();
    EXPECT_TRUE(s.OnPayload(Bytes{0x10}.data(), 1, w));
    size_t at = 0;
    while (s.RawBytesWanted() > 0 && at < block.size()) {
        const size_t n = std::min({piece, s.RawBytesWanted(), block.size() - at});
        s.OnRawBytes(block.data() + at, n, w);
        at += n;
    }
    EXPECT_EQ(at, block.size());
    return w.sent.size() > before ? w.sent.back()[0] : 0;
}

TEST(LoaderSim, FollowsTheLoaderSequenceAndChecksTheCrc) {
    sim::LoaderSim s;
    RecordingWire w;
    EXPECT_FALSE(s.OnPayload(Bytes{0x71, 0x1C}.data(), 2, w));  // not a loader command
    EXPECT_EQ(Command(s, w, {0x13, 0x05, 0x00, 1}), 0x0B);      // RAM write before Reset
    EXPECT_EQ(Command(s, w, {0x20, 0x00}), 0x0B);               // Reset before Debug On
    EXPECT_EQ(Command(s, w, {0x09}), 0x0C);
    EXPECT_EQ(Command(s, w, {0x20, 0x00}), 0x0C);
    EXPECT_EQ(Command(s, w, {0x19, 0xFF, 0xFF}), 0x0B);  // Erase before the loader runs
    EXPECT_EQ(Command(s, w, {0x1D, 0x05, 0x00}), 0x0B);  // nothing loaded at 0x0500
    EXPECT_EQ(Command(s, w, {0x13, 0x05, 0x00, 0xAA, 0xBB}), 0x0C);
    EXPECT_EQ(Command(s, w, {0x1D, 0x06, 0x00}), 0x0B);  // not the entry point
    EXPECT_EQ(Command(s, w, {0x1D, 0x05, 0x00}), 0x0C);
    const Bytes data = {1, 2, 3, 4, 5};
    EXPECT_EQ(Block(s, w, firmware_update::FlashBlock(0x10000, data.data(), data.size()), 1), 0x0B);  // not erased
    EXPECT_EQ(Command(s, w, {0x19, 0xFF, 0xFF}), 0x0C);

    EXPECT_EQ(Block(s, w, firmware_update::FlashBlock(0x10000, data.data(), data.size()), 1), 0x0C);
    Bytes bad = firmware_update::FlashBlock(0x20000, data.data(), data.size());
    bad[9] ^= 0x01;  // a data bit flipped on the line
    EXPECT_EQ(Block(s, w, bad, 3), 0x0B);
    EXPECT_EQ(s.RamImage(), (std::map<uint32_t, uint8_t>{{0x500, 0xAA}, {0x501, 0xBB}}));
    EXPECT_EQ(s.FlashImage(),
              (std::map<uint32_t, uint8_t>{{0x10000, 1}, {0x10001, 2}, {0x10002, 3}, {0x10003, 4}, {0x10004, 5}}));
    EXPECT_EQ(s.FlashBlocks(), (std::vector<std::pair<uint32_t, uint32_t>>{{0x10000, 5}}));
}

TEST(LoaderSim, FaultsPerStepAndOccurrence) {
    sim::LoaderSim s;
    RecordingWire w;
    s.SetFault(sim::LoaderSim::Step::DebugOn, sim::LoaderSim::Fault::Refuse, 0);
    s.SetFault(sim::LoaderSim::Step::DebugOn, sim::LoaderSim::Fault::Silence, 1);
    s.SetFault(sim::LoaderSim::Step::DebugOn, sim::LoaderSim::Fault::CloseLine, 2);
    EXPECT_EQ(Command(s, w, {0x09}), 0x0B);
    EXPECT_EQ(Command(s, w, {0x09}), 0);
    EXPECT_EQ(Command(s, w, {0x09}), 0);
    EXPECT_EQ(w.closed, 1);
    EXPECT_EQ(Command(s, w, {0x09}), 0x0C);
    EXPECT_EQ(s.Count(sim::LoaderSim::Step::DebugOn), 4);
    // A block length the loader cannot take is refused after its header.
    EXPECT_EQ(Command(s, w, {0x20, 0x00}), 0x0C);
    const Bytes header = {0, 1, 0, 0, 0, 0, 0x01, 0xF5};  // 501 bytes
    EXPECT_TRUE(s.OnPayload(Bytes{0x10}.data(), 1, w));
    s.OnRawBytes(header.data(), header.size(), w);
    EXPECT_EQ(w.sent.back(), Bytes{0x0B});
    EXPECT_EQ(s.RawBytesWanted(), 0u);
}

}  // namespace
