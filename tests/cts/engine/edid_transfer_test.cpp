// The E-EDID transfer without a window, against the simulated instrument on
// a pseudo-terminal (the link's worker thread; the test's thread serves the
// link's GUI-thread calls): where each block travels, the requests of a read
// and a write and their status lines, and the ends: done, refused, silent or
// answered wrongly, a busy link, ended by its owner (the link refused or
// freed) while it waits or has a block out, and blocks the editor's library
// will not take. A reply that comes after the end is dropped.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "EdidImages.h"
#include "cts/engine/EdidTransfer.h"
#include "link/link_support.h"
#include "platform/GuiCall.h"

namespace {

using edid_images::Address;
using edid_images::Addresses;
using edid_images::Block;
using edid_images::Bytes;
using edid_images::Extension;
using edid_images::FaultOnRequest;
using edid_images::FifthBytes;
using edid_images::Image;
using edid_images::kRead;
using edid_images::kWrite;
using edid_images::ReadAddresses;

constexpr uint8_t kDpcdRead = 0x1A;

TEST(EdidTransferAddressing, BlockNTravelsAtSegmentNHalfAndOffsetNMod2Times128) {
    const struct {
        int32_t block;
        int segment, offset;
    } cases[] = {{0, 0, 0}, {1, 0, 128}, {2, 1, 0}, {3, 1, 128}, {200, 100, 0}, {255, 127, 128}};
    for (const auto& c : cases) {
        EXPECT_EQ(EdidTransfer::SegmentOf(c.block), c.segment) << "block " << c.block;
        EXPECT_EQ(EdidTransfer::OffsetOf(c.block), c.offset) << "block " << c.block;
    }
}

TEST(EdidTransferStates, LinkResultsGiveDoneRefusedOrFailed) {
    EXPECT_EQ(EdidTransfer::StateOf(LINK_OK), EdidTransfer::kDone);
    EXPECT_EQ(EdidTransfer::StateOf(LINK_REFUSED), EdidTransfer::kRefused);
    for (LinkResult r : {LINK_RETRIES_EXCEEDED, LINK_INVALID_RESPONSE, LINK_INTERNAL_ERROR, LINK_BUSY, LINK_NO_RESPONSE,
                         LINK_OK_LOG_OVERFLOW})
        EXPECT_EQ(EdidTransfer::StateOf(r), EdidTransfer::kFailed) << "result " << r;
}

// What the transfer showed: its status lines and its ends.
class RecordingView : public EdidTransfer::View {
public:
    struct End {
        bool write;
        EdidTransfer::State state;
        std::vector<Block> blocks;
    };
    void StatusLine(const std::string& line) override { lines.push_back(line); }
    void Ended(bool write, EdidTransfer::State state, std::vector<Block> blocks) override {
        ends.push_back({write, state, std::move(blocks)});
    }
    std::vector<std::string> lines;
    std::vector<End> ends;
};

class EdidTransferTest : public linktest::LinkFixture {
protected:
    void TearDown() override {
        linktest::LinkFixture::TearDown();
        sim.SetExtension(nullptr);
    }

    // Serves the link's calls until the transfer has ended.
    bool WaitEnded() {
        return platform::ServeGuiCallsUntil([this] { return !view.ends.empty(); }, linktest::kGenerousMs);
    }
    // Waits until a request of the link's own completes after whatever is
    // out now: every earlier completion has then been delivered (or dropped).
    bool SettleLink() {
        struct State {
            uint8_t reply[3] = {};
            bool sent = false, done = false;
        };
        auto state = std::make_shared<State>();
        return platform::ServeGuiCallsUntil(
            [&] {
                if (!state->sent) {
                    bool busy = false;
                    link->QueryFirmwareVersion(state->reply, [state, &busy](LinkResult r) {
                        // LINK_BUSY comes inside the call only.
                        if (r == LINK_BUSY) busy = true;
                        else state->done = true;
                    });
                    state->sent = !busy;
                }
                return state->done;
            },
            linktest::kGenerousMs);
    }
    void Read() {
        transfer.Read();
        transfer.Start(*link);
    }
    void Write(std::vector<Block> blocks) {
        transfer.Write(std::move(blocks));
        transfer.Start(*link);
    }
    // Arms a fault on the nth request of a code (1: the first from now).
    void FaultOn(uint8_t code, int nth, sim::Fault fault) {
        fault_ = std::make_unique<FaultOnRequest>(sim, code, nth, fault);
        sim.SetExtension(fault_.get());
    }
    // The first `blocks` blocks of the simulator's image.
    std::vector<Block> SimBlocks(size_t blocks) const {
        const sim::Bytes held = sim.Edid();
        std::vector<Block> out(blocks);
        for (size_t n = 0; n < blocks && (n + 1) * 128 <= held.size(); ++n)
            std::copy(held.begin() + static_cast<long>(n * 128), held.begin() + static_cast<long>((n + 1) * 128),
                      out[n].begin());
        return out;
    }

    std::unique_ptr<FaultOnRequest> fault_;
    RecordingView view;
    EdidTransfer transfer{view};
};

// ---- reading

struct ReadCase {
    int extensions;
    std::vector<std::string> lines;  // the status lines, when checked whole
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.extensions << " extensions"; }

class EdidTransferRead : public EdidTransferTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(EdidTransferRead, ReadsEveryAnnouncedBlockAtItsSegmentAndOffset) {
    const ReadCase& c = GetParam();
    const std::vector<Block> image = Image(c.extensions);
    sim.SetEdid(Bytes(image));
    sim.ClearReceived();

    Read();
    ASSERT_TRUE(WaitEnded());

    EXPECT_FALSE(transfer.Active());
    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_FALSE(view.ends[0].write);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kDone);
    EXPECT_EQ(view.ends[0].blocks, image);
    EXPECT_EQ(Addresses(sim, kRead), ReadAddresses(c.extensions + 1));
    EXPECT_EQ(FifthBytes(sim, kRead), std::vector<int>(static_cast<size_t>(c.extensions + 1), 128)) << "the count byte";
    const std::vector<std::string>& lines = view.lines;
    if (!c.lines.empty()) {
        EXPECT_EQ(lines, c.lines);
    }
    ASSERT_EQ(lines.size(), static_cast<size_t>(c.extensions + 2));
    EXPECT_EQ(lines[1], "> Read E-EDID Block #0 -" + std::to_string(c.extensions));
    EXPECT_EQ(lines.back(), c.extensions == 0 ? lines[1] : "> Read E-EDID Block #" + std::to_string(c.extensions));
}

INSTANTIATE_TEST_SUITE_P(
    BlockCounts, EdidTransferRead,
    ::testing::Values(ReadCase{0, {"> Read E-EDID Block #0", "> Read E-EDID Block #0 -0"}},
                      ReadCase{1, {"> Read E-EDID Block #0", "> Read E-EDID Block #0 -1", "> Read E-EDID Block #1"}},
                      ReadCase{3,
                               {"> Read E-EDID Block #0", "> Read E-EDID Block #0 -3", "> Read E-EDID Block #1",
                                "> Read E-EDID Block #2", "> Read E-EDID Block #3"}},
                      // Up to segment 100, offset 0.
                      ReadCase{200, {}},
                      // The most a base block announces: the last block at segment 127, offset 128.
                      ReadCase{255, {}}),
    [](const auto& info) { return "Extensions" + std::to_string(info.param.extensions); });

// A fault of the simulator on one block's request, and the state it ends the transfer in.
struct BlockFailure {
    const char* name;
    int nth;  // the failing request, 1 for block 0
    sim::Fault fault;
    EdidTransfer::State state;
};
void PrintTo(const BlockFailure& c, std::ostream* os) { *os << c.name; }

class EdidTransferReadFailure : public EdidTransferTest, public ::testing::WithParamInterface<BlockFailure> {};

TEST_P(EdidTransferReadFailure, StopsThereAndHandsOverNoBlock) {
    const BlockFailure& c = GetParam();
    sim.SetEdid(Bytes(Image(3)));
    FaultOn(kRead, c.nth, c.fault);
    sim.ClearReceived();

    Read();
    ASSERT_TRUE(WaitEnded());

    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_EQ(view.ends[0].state, c.state);
    EXPECT_TRUE(view.ends[0].blocks.empty()) << "the editor keeps its image";
    EXPECT_EQ(Addresses(sim, kRead), ReadAddresses(c.nth)) << "no request after the failing one";
    // Block 0's line, its extension count (when it arrived), one line per further block tried.
    EXPECT_EQ(view.lines.size(), static_cast<size_t>(c.nth == 1 ? 1 : c.nth + 1));
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, EdidTransferReadFailure,
                         ::testing::Values(BlockFailure{"Block0Refused", 1, sim::Fault::Refuse, EdidTransfer::kRefused},
                                           BlockFailure{"Block1Refused", 2, sim::Fault::Refuse, EdidTransfer::kRefused},
                                           BlockFailure{"Block2Silent", 3, sim::Fault::Silent, EdidTransfer::kFailed},
                                           BlockFailure{"Block1AnsweredWithAnotherReply", 2, sim::Fault::Short,
                                                        EdidTransfer::kFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

// A block the editor's library will not take (all zeros) is the window's to
// refuse: the read reads every announced block first and hands them over as
// they came.
TEST_F(EdidTransferTest, AReadHandsOverEveryBlockAsItCameWhatEverItHolds) {
    std::vector<Block> image = Image(3);
    image[2] = Block{};
    sim.SetEdid(Bytes(image));
    sim.ClearReceived();

    Read();
    ASSERT_TRUE(WaitEnded());

    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kDone);
    EXPECT_EQ(view.ends[0].blocks, image);
    EXPECT_EQ(Addresses(sim, kRead).size(), 4u) << "every announced block is read first";
}

// ---- writing

TEST_F(EdidTransferTest, WriteSendsEveryBlockAtItsSegmentAndOffset) {
    const std::vector<Block> image = Image(3);
    sim.ClearReceived();

    Write(image);
    ASSERT_TRUE(WaitEnded());

    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_TRUE(view.ends[0].write);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kDone);
    EXPECT_TRUE(view.ends[0].blocks.empty());
    EXPECT_EQ(Addresses(sim, kWrite), ReadAddresses(4));
    EXPECT_EQ(FifthBytes(sim, kWrite), std::vector<int>(4, 0x80)) << "the count byte";
    EXPECT_EQ(SimBlocks(4), image);
    EXPECT_EQ(view.lines, (std::vector<std::string>{"> Write E-EDID Block #0", "> Write E-EDID Block #1",
                                                    "> Write E-EDID Block #2", "> Write E-EDID Block #3"}));
}

class EdidTransferWriteFailure : public EdidTransferTest, public ::testing::WithParamInterface<BlockFailure> {};

TEST_P(EdidTransferWriteFailure, StopsAfterTheBlocksBeforeIt) {
    const BlockFailure& c = GetParam();
    const std::vector<Block> old = Image(3);
    sim.SetEdid(Bytes(old));
    std::vector<Block> image = Image(3);
    image[0] = edid_fixtures::AnalogBase13();
    image[0][126] = 3;
    edid_fixtures::FixChecksum(image[0]);
    for (int i = 1; i <= 3; ++i) image[static_cast<size_t>(i)] = Extension(20 + i);
    FaultOn(kWrite, c.nth, c.fault);
    sim.ClearReceived();

    Write(image);
    ASSERT_TRUE(WaitEnded());

    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_EQ(view.ends[0].state, c.state);
    EXPECT_EQ(Addresses(sim, kWrite), ReadAddresses(c.nth));
    ASSERT_EQ(view.lines.size(), static_cast<size_t>(c.nth));
    EXPECT_EQ(view.lines.back(), "> Write E-EDID Block #" + std::to_string(c.nth - 1));
    // The blocks before the failing one were written, none after it (the
    // simulator stores the failing block itself before it answers).
    const std::vector<Block> held = SimBlocks(4);
    for (int n = 0; n < 4; ++n) {
        if (n == c.nth - 1) continue;
        const std::vector<Block>& expected = n < c.nth - 1 ? image : old;
        EXPECT_EQ(held[static_cast<size_t>(n)], expected[static_cast<size_t>(n)]) << "block " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, EdidTransferWriteFailure,
                         ::testing::Values(BlockFailure{"Block1Refused", 2, sim::Fault::Refuse, EdidTransfer::kRefused},
                                           BlockFailure{"Block2Silent", 3, sim::Fault::Silent, EdidTransfer::kFailed}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EdidTransferTest, AWriteWithoutBlocksFailsAtOnceAndSendsNothing) {
    sim.ClearReceived();
    Write({});

    ASSERT_EQ(view.ends.size(), 1u) << "ended inside the call";
    EXPECT_TRUE(view.ends[0].write);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kFailed);
    EXPECT_TRUE(view.lines.empty());
    ASSERT_TRUE(SettleLink());
    EXPECT_EQ(sim.CountReceived(kWrite), 0u);
}

// ---- ends the link gives or the owner makes

// The link serves another request (a DPCD read whose reply is held back):
// block 0's request completes LINK_BUSY inside the call, and the transfer
// fails there.
TEST_F(EdidTransferTest, ABusyLinkFailsTheTransferAtBlock0) {
    for (bool write : {false, true}) {
        SCOPED_TRACE(write ? "write" : "read");
        view = {};
        uint8_t dpcd = 0;
        bool dpcdDone = false;
        sim.SetFault(kDpcdRead, sim::FaultSpec{sim::Fault::Hold, 0, 1});
        link->ReadDpcd(&dpcd, 1, [&dpcdDone](LinkResult) { dpcdDone = true; });
        ASSERT_TRUE(sim.WaitForReceived(kDpcdRead, 1, linktest::kGenerousMs));
        sim.ClearReceived();

        if (write) Write(Image(1));
        else Read();

        ASSERT_EQ(view.ends.size(), 1u) << "ended inside the call";
        EXPECT_EQ(view.ends[0].state, EdidTransfer::kFailed);
        EXPECT_EQ(view.lines.size(), 1u);
        sim.ReleaseHeld();
        ASSERT_TRUE(platform::ServeGuiCallsUntil([&] { return dpcdDone; }, linktest::kGenerousMs));
        EXPECT_EQ(sim.CountReceived(kRead) + sim.CountReceived(kWrite), 0u);
    }
}

struct OwnerEndCase {
    const char* name;
    bool write;
    bool started;  // ended with block 1's reply held back; otherwise while it waits for the link
};
void PrintTo(const OwnerEndCase& c, std::ostream* os) { *os << c.name; }

class EdidTransferEndedByItsOwner : public EdidTransferTest, public ::testing::WithParamInterface<OwnerEndCase> {};

// The link refused to the transfer or being freed: the transfer ends at once
// as failed, once; the held reply that comes later is dropped (no second
// end, no further request, no block handed over), and the next transfer on
// the same link runs whole.
TEST_P(EdidTransferEndedByItsOwner, EndsOnceAsFailedAndDropsTheLateReply) {
    const OwnerEndCase& c = GetParam();
    const std::vector<Block> image = Image(3);
    sim.SetEdid(Bytes(image));
    sim.ClearReceived();
    if (c.write) transfer.Write(image);
    else transfer.Read();
    if (c.started) {
        FaultOn(c.write ? kWrite : kRead, 2, sim::Fault::Hold);
        transfer.Start(*link);
        ASSERT_TRUE(platform::ServeGuiCallsUntil([this] { return sim.HeldCount() == 1; }, linktest::kGenerousMs));
        EXPECT_TRUE(transfer.Running());
    }
    EXPECT_EQ(transfer.Writing(), c.write);
    const size_t linesBefore = view.lines.size();

    transfer.Fail();

    EXPECT_FALSE(transfer.Active());
    EXPECT_FALSE(transfer.Writing());
    ASSERT_EQ(view.ends.size(), 1u) << "ended inside the call";
    EXPECT_EQ(view.ends[0].write, c.write);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kFailed);
    EXPECT_TRUE(view.ends[0].blocks.empty());
    transfer.Fail();
    EXPECT_EQ(view.ends.size(), 1u) << "an ended transfer ends no more";

    sim.ReleaseHeld();
    ASSERT_TRUE(SettleLink());
    EXPECT_EQ(view.ends.size(), 1u);
    EXPECT_EQ(view.lines.size(), linesBefore);
    EXPECT_EQ(Addresses(sim, c.write ? kWrite : kRead), ReadAddresses(c.started ? 2 : 0));

    sim.SetExtension(nullptr);
    sim.ClearReceived();
    view = {};
    if (c.write) Write(image);
    else Read();
    ASSERT_TRUE(WaitEnded());
    ASSERT_EQ(view.ends.size(), 1u);
    EXPECT_EQ(view.ends[0].state, EdidTransfer::kDone);
    EXPECT_EQ(Addresses(sim, c.write ? kWrite : kRead), ReadAddresses(4));
    if (!c.write) {
        EXPECT_EQ(view.ends[0].blocks, image);
    }
}

INSTANTIATE_TEST_SUITE_P(ReadAndWrite, EdidTransferEndedByItsOwner,
                         ::testing::Values(OwnerEndCase{"ReadWaitingForTheLink", false, false},
                                           OwnerEndCase{"ReadWithBlock1Out", false, true},
                                           OwnerEndCase{"WriteWaitingForTheLink", true, false},
                                           OwnerEndCase{"WriteWithBlock1Out", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
