// The EDID page: the sink build's editor embedded in the main window, its
// Read EDID and Write EDID buttons served by the window against the sim.
#include <QPushButton>

#include "SelvitraFixture.h"
#include "support/EdidFixtures.h"
#include "support/ModalBoxes.h"

namespace selvitra_test {
namespace {

using edid_fixtures::Block;

// A CEA-861 block with a video data block (VIC 16, 4, 3) and the 1080p
// detailed timing.
Block CeaBlock() { return edid_fixtures::MakeCea({{0x43, 0x90, 0x04, 0x03}}, {edid_fixtures::Dtd1080p()}); }

Block BaseWithExtensions(uint8_t count) {
    Block b = edid_fixtures::BaseBlock();
    b[126] = count;
    edid_fixtures::FixChecksum(b);
    return b;
}

Block Held(ECHandle edid, int index) {
    Block b{};
    EXPECT_EQ(ECGetBlock(edid, index, b.data(), 128), 128) << "block " << index;
    return b;
}

TEST_F(SelvitraTest, TheEditorIsEmbeddedInTheEdidPageWithItsReadAndWriteButtons) {
    Open();
    auto* write = Control<QPushButton>("BTN_WriteEDID");
    auto* read = Control<QPushButton>("BTN_ReadEDID");
    EXPECT_TRUE(window->tbsEDID->pnlEDIDContainer->isAncestorOf(write));
    EXPECT_FALSE(write->isHidden());
    EXPECT_FALSE(read->isHidden());
}

TEST_F(SelvitraTest, ReadEdidReadsBlockZeroAndTheExtensionsItAnnounces) {
    const Block base = BaseWithExtensions(1), cea = CeaBlock();
    sim.SetEdidBlock(0, base);
    sim.SetEdidBlock(1, cea);
    OpenConnected();
    Click("BTN_ReadEDID");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "EDID read will replace existing data. Do you want to proceed?");
    EXPECT_EQ(boxes.Boxes()[0].title, "Warning");
    EXPECT_EQ(Held(window->EdidInstance(), 0), base);
    EXPECT_EQ(Held(window->EdidInstance(), 1), cea);
    std::vector<std::vector<uint8_t>> reads;
    for (const auto& c : sim.Commands())
        if (c[0] == 0x16) reads.push_back(c);
    EXPECT_EQ(reads, (std::vector<std::vector<uint8_t>>{{0x16, 0, 0x00, 128}, {0x16, 0, 0x80, 128}}));
}

TEST_F(SelvitraTest, ReadEdidStopsAtABlockTheLibraryRefuses) {
    Block displayId{};
    displayId[0] = 0x70;  // a DisplayID block: this build has no codec for it
    edid_fixtures::FixChecksum(displayId);
    sim.SetEdidBlock(0, BaseWithExtensions(2));
    sim.SetEdidBlock(1, displayId);
    sim.SetEdidBlock(2, CeaBlock());
    OpenConnected();
    Click("BTN_ReadEDID");
    EXPECT_TRUE(Messages().contains("EDID block #1 was refused by the EDID library."))
        << Messages().join("|").toStdString();
    // Block 0 stays; the library keeps its extension count (byte 126) to the
    // blocks it holds.
    const Block held = Held(window->EdidInstance(), 0), sent = BaseWithExtensions(2);
    EXPECT_TRUE(std::equal(held.begin(), held.begin() + 126, sent.begin()));
    EXPECT_EQ(held[126], 0);
    EXPECT_EQ(sim.CommandCount(0x16), 2u);  // block 2 is not read
}

TEST_F(SelvitraTest, WriteEdidSendsEveryBlockAtItsSegmentAndOffset) {
    OpenConnected();
    ECHandle edid = window->EdidInstance();
    ECClearBlocks(edid);
    const Block base = BaseWithExtensions(2), cea = CeaBlock();
    ASSERT_GE(ECAddBlock(edid, base.data(), 128), 0);
    ASSERT_GE(ECAddBlock(edid, cea.data(), 128), 0);
    ASSERT_GE(ECAddBlock(edid, cea.data(), 128), 0);

    boxes.SetAnswer(platform::MsgResult::Cancel);
    Click("BTN_WriteEDID");
    EXPECT_EQ(sim.CommandCount(0x17), 0u);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "EDID data is to be written to the device. Do you want to continue?");

    boxes.SetAnswer(platform::MsgResult::Ok);
    window->lbTextOut->clear();
    Click("BTN_WriteEDID");
    std::vector<std::pair<uint8_t, uint8_t>> places;
    for (const auto& c : sim.Commands())
        if (c[0] == 0x17) places.emplace_back(c[1], c[2]);
    EXPECT_EQ(places, (std::vector<std::pair<uint8_t, uint8_t>>{{0, 0x00}, {0, 0x80}, {1, 0x00}}));
    Block written{};
    ASSERT_TRUE(sim.EdidBlock(2, written));
    EXPECT_EQ(written, Held(edid, 2));
    EXPECT_EQ(Messages(), (QStringList{"Writing EDID block #0", "Writing EDID block #1", "Writing EDID block #2",
                                       "EDID write finished."}));
}

// The line is lost while the write's question is open (a real box in its
// modal loop). The poller finds the port lost under the box; its teardown
// waits until the handler has returned: after OK the write fails at once on
// the broken port, and then the window is torn down once, with no box of a
// port that is not set.
TEST_F(SelvitraTest, TheLineLostUnderTheWritesQuestionIsTornDownAfterTheWrite) {
    sim.SetHdcpStatus(1, 0);
    OpenConnected();
    ASSERT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == platform::Lamp::State::On; }));
    ECHandle edid = window->EdidInstance();
    ECClearBlocks(edid);
    const Block base = BaseWithExtensions(1), cea = CeaBlock();
    ASSERT_GE(ECAddBlock(edid, base.data(), 128), 0);
    ASSERT_GE(ECAddBlock(edid, cea.data(), 128), 0);
    window->lbTextOut->clear();

    const std::string question = "EDID data is to be written to the device. Do you want to continue?";
    test_support::ModalBoxes modal;
    modal.WhileOpen([&](const std::string& text) {
        if (text != question) return;
        sim.HangUp();
        // The poller's failed query is handed over under the box; the
        // teardown it asks for must not run here.
        EXPECT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == platform::Lamp::State::Off; }));
        EXPECT_FALSE(WaitFor([&] { return !window->Connected(); }, 200)) << "torn down under the box";
    });
    Click("BTN_WriteEDID");
    EXPECT_EQ(modal.Texts(), std::vector<std::string>{question});
    ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }));
    EXPECT_EQ(
        Messages().join(u'|').toStdString(),
        std::string("Writing EDID block #0|") + dpprotocol_t::kTextSendFailed + "|" + TfrmMain::kTextConnectionLost);
    EXPECT_EQ(Text("lblFWVersion"), TfrmMain::kTextNotConnected);
    EXPECT_EQ(modal.Texts(), std::vector<std::string>{question}) << "no other box";
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    EXPECT_EQ(sim.CommandCount(0x17), 0u);
}

TEST_F(SelvitraTest, WriteEdidWithNoBlocksSaysSo) {
    OpenConnected();
    window->OnEdidEditorEvent(EC_HOST_WRITE_EDID, 0, nullptr);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "No EDID data to write.");
}

TEST_F(SelvitraTest, EdidTransfersNeedAConnection) {
    Open();
    Click("BTN_ReadEDID");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "COM connection failed.\nTry re-select the COM port or try another one.");
}

}  // namespace
}  // namespace selvitra_test
