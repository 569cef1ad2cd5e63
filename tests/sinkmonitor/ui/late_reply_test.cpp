// A reply that comes after its command timed out, as the main window shows
// the next command. DPCD 0001 holds 0x14 and 0002 holds 0x84; the link
// status is one the test sets. The sink holds the first command's reply back
// until the next transaction has reached it (proof that nothing waits for
// the late reply), then sends it; the next command shows its own reply,
// never the late one. The sink acknowledges the commands without data with
// their own code or with 71 0C.
#include <QLineEdit>
#include <QPushButton>

#include <ostream>
#include <tuple>
#include <vector>

#include <QCheckBox>

#include "HeldReply.h"
#include "SelvitraFixture.h"
#include "sinkmonitor/QtPrint.h"
#include "support/EdidFixtures.h"

namespace selvitra_test {
namespace {

constexpr const char* kTimedOut = "Error: Reception timeouted. Device doesn't respond.";
constexpr const char* kWriteBox = "EDID data is to be written to the device. Do you want to continue?";
constexpr const char* kReadBox = "EDID read will replace existing data. Do you want to proceed?";

// The command that times out: its reply is held back.
enum class First { DpcdRead, AuxLevel, MsaQuery, EdidRead, EdidWrite };
// The command that follows it.
enum class Next { DpcdRead, LinkStatus, EdidRead, DpcdWrite };

struct LateCase {
    const char* name;
    First first;
    Next next;
};
void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }

uint8_t CodeOf(First f) {
    switch (f) {
        case First::DpcdRead:
            return 0x1A;
        case First::AuxLevel:
            return 0x38;
        case First::MsaQuery:
            return 0x27;
        case First::EdidRead:
            return 0x16;
        case First::EdidWrite:
            return 0x17;
    }
    return 0;
}

// Lanes 0 to 2 locked, lane 3 without symbol lock; swing 400, 600, 800,
// 1200 mVpp; pre-emphasis 9.5, 6.0, 3.5, 0 dB; 4 lanes at 5.40 Gbps,
// enhanced framing, scrambling on.
const std::vector<uint8_t> kLinkStatus = {0x77, 0x37, 0, 1, 2, 3, 3, 2, 1, 0, 4, 20, 1, 0, 1, 0, 0};

using LateParam = std::tuple<LateCase, sim::SinkSim::Ack>;

class SelvitraLateReply : public SelvitraTest, public ::testing::WithParamInterface<LateParam> {
protected:
    // The E-EDID of the sink: a base block announcing one CTA-861 block.
    void PrepareEdid() {
        base = edid_fixtures::BaseBlock();
        base[126] = 1;
        edid_fixtures::FixChecksum(base);
        cea = edid_fixtures::MakeCea({{0x43, 0x90, 0x04, 0x03}}, {edid_fixtures::Dtd1080p()});
        sim.SetEdidBlock(0, base);
        sim.SetEdidBlock(1, cea);
    }
    // Runs the command that times out; returns the lines it adds.
    QStringList RunFirst(First first) {
        switch (first) {
            case First::DpcdRead:
                Control<QLineEdit>("edDPCDAddress")->setText("0001");
                Click("btnDPCDRead");  // times out after 2 s
                EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: None");
                return {kTimedOut};
            case First::AuxLevel:
                Control<QLineEdit>("edtASTStart")->setText("400");
                Control<QLineEdit>("edtASTStop")->setText("400");
                Click("btnAUXTest");  // one level, run in a turn of its own; times out after 7.5 s
                EXPECT_TRUE(WaitFor([&] { return window->isEnabled(); }, 60000));
                EXPECT_EQ(window->tbsVarious->lbAUXTest->AllLines().split(u'\n', Qt::SkipEmptyParts),
                          QStringList{"Testing 400 mVpp... FAILED"});
                return {"Testing AUX channel sensitivity...", kTimedOut};
            case First::MsaQuery: {
                // The poller's query, quiet; capture goes off again once it
                // is out, so that the poller asks nothing more.
                const size_t before = sim.CommandCount(0x27);
                Control<QCheckBox>("cbMSAEnable")->setChecked(true);
                EXPECT_TRUE(WaitFor([&] { return sim.CommandCount(0x27) > before && sim.ReplyHeld(); }));
                Control<QCheckBox>("cbMSAEnable")->setChecked(false);
                window->lbTextOut->clear();  // the capture's own lines
                return {};
            }
            case First::EdidRead:
                window->pgMain->setCurrentWidget(window->tbsEDID);
                Click("BTN_ReadEDID");  // block 0 comes, block 1 times out after 2 s
                EXPECT_LE(ECGetBlock(window->EdidInstance(), 1, scratch.data(), 128), 0);
                boxes.Clear();
                window->pgMain->setCurrentWidget(window->tbsVarious);
                return {kTimedOut};
            case First::EdidWrite: {
                window->pgMain->setCurrentWidget(window->tbsEDID);
                ECClearBlocks(window->EdidInstance());
                EXPECT_GE(ECAddBlock(window->EdidInstance(), base.data(), 128), 0);
                Click("BTN_WriteEDID");  // times out after 20 s
                EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kWriteBox});
                boxes.Clear();
                window->pgMain->setCurrentWidget(window->tbsVarious);
                return {"Writing EDID block #0", kTimedOut};
            }
        }
        return {};
    }
    // Runs the next command; returns the lines it adds when it gets its own
    // reply.
    QStringList RunNext(Next next) {
        switch (next) {
            case Next::DpcdRead:
                Control<QLineEdit>("edDPCDAddress")->setText("0002");
                Click("btnDPCDRead");
                EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Read of address $0002, Data: $84");
                EXPECT_EQ(Control<QLineEdit>("edDPCDData")->text(), "84");
                return {"Read of DPCD address $0002, Data: $84"};
            case Next::DpcdWrite:
                Control<QLineEdit>("edDPCDAddress")->setText("0003");
                Control<QLineEdit>("edDPCDData")->setText("5A");
                Click("btnDPCDWrite");
                EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Write to address $0003, Data: $5A");
                EXPECT_EQ(sim.Dpcd(0x0003), 0x5A);
                return {"Write to DPCD address $0003, Data: $5A"};
            case Next::EdidRead: {
                window->pgMain->setCurrentWidget(window->tbsEDID);
                Click("BTN_ReadEDID");
                EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kReadBox});
                boxes.Clear();
                window->pgMain->setCurrentWidget(window->tbsVarious);
                ECHandle edid = window->EdidInstance();
                edid_fixtures::Block got{};
                EXPECT_LE(ECGetBlock(edid, 2, got.data(), 128), 0);
                EXPECT_EQ(ECGetBlock(edid, 0, got.data(), 128), 128);
                EXPECT_EQ(got, base);
                EXPECT_EQ(ECGetBlock(edid, 1, got.data(), 128), 128);
                EXPECT_EQ(got, cea);
                return {};
            }
            case Next::LinkStatus: {
                Click("btnUpdateLinkStatus");
                using S = platform::Lamp::State;
                const char* lamps[] = {"shCR", "shCE", "shSL"};
                for (int lane = 0; lane < 4; ++lane)
                    for (const char* row : lamps) {
                        const std::string name = row + std::to_string(lane);
                        const bool on = lane < 3 || std::string(row) != "shSL";
                        EXPECT_EQ(Lamp(name.c_str()), on ? S::On : S::Off) << name;
                    }
                const char* swing[] = {"400", "600", "800", "1200"};
                const char* pre[] = {"9.5", "6.0", "3.5", "0"};
                for (int lane = 0; lane < 4; ++lane) {
                    EXPECT_EQ(Text(("lblVS" + std::to_string(lane)).c_str()), swing[lane]);
                    EXPECT_EQ(Text(("lblPRE" + std::to_string(lane)).c_str()), pre[lane]);
                }
                EXPECT_EQ(Text("lblLSLaneCount"), "4");
                EXPECT_EQ(Text("lblLSBitRate"), "5.40");
                EXPECT_EQ(Text("lblLSFramingMode"), "Enhanced");
                EXPECT_EQ(Text("lblLSScrambling"), "Enabled");
                return {"Updating link status...", TfrmMain::kTextCommandSuccessful, "Updating error count...",
                        TfrmMain::kTextCommandSuccessful};
            }
        }
        return {};
    }

    edid_fixtures::Block base{}, cea{}, scratch{};
};

TEST_P(SelvitraLateReply, TheNextCommandGoesOutAtOnceAndShowsItsOwnReply) {
    const auto& [c, ack] = GetParam();
    sim.SetAck(ack);
    PrepareEdid();
    OpenConnected();
    // The operator works on the Various page: no HDCP polling.
    window->pgMain->setCurrentWidget(window->tbsVarious);
    ASSERT_EQ(sim.Dpcd(0x0001), 0x14);
    ASSERT_EQ(sim.Dpcd(0x0002), 0x84);
    sim.SetLinkStatus(kLinkStatus);
    window->lbTextOut->clear();
    sim::SinkFaultPlan held = sim::SinkFaultPlan::Held(CodeOf(c.first));
    if (c.first == First::EdidRead) held.skip = 1;  // block 1's reply
    sim.InjectFault(held);
    QStringList expected = RunFirst(c.first);
    EXPECT_EQ(Messages(), expected);
    ASSERT_TRUE(sim.ReplyHeld());
    {
        ReleaseOnNextCommand release(sim);
        expected += RunNext(c.next);
        EXPECT_TRUE(release.Join()) << "the next command waited for the late reply";
    }
    EXPECT_EQ(Messages(), expected);
    EXPECT_FALSE(sim.ReplyHeld());
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    EXPECT_TRUE(window->Connected());
}

// E-EDID write rows wait out the write's 20 s time-out, AUX rows the 7.5 s
// of a level.
INSTANTIATE_TEST_SUITE_P(
    Replies, SelvitraLateReply,
    ::testing::Combine(::testing::Values(LateCase{"DpcdRead_DpcdRead", First::DpcdRead, Next::DpcdRead},
                                         LateCase{"AuxLevel_DpcdRead", First::AuxLevel, Next::DpcdRead},
                                         LateCase{"MsaQuery_LinkStatus", First::MsaQuery, Next::LinkStatus},
                                         LateCase{"EdidRead_ReRead", First::EdidRead, Next::EdidRead},
                                         LateCase{"EdidWrite_DpcdRead", First::EdidWrite, Next::DpcdRead},
                                         LateCase{"EdidWrite_LinkStatus", First::EdidWrite, Next::LinkStatus},
                                         LateCase{"EdidWrite_DpcdWrite", First::EdidWrite, Next::DpcdWrite}),
                       ::testing::Values(sim::SinkSim::Ack::OwnCode, sim::SinkSim::Ack::Ack0C)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == sim::SinkSim::Ack::Ack0C ? "_Ack0C" : "_OwnCode");
    });

// A NACK held back for a DPCD read comes while the link status waits: the
// link status fails with it and its own reply, held back too, comes during
// the next read, which shows its own value.
TEST_F(SelvitraTest, ALateNackFailsTheCommandThatWaitsAndTheNextShowsItsOwnValue) {
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsVarious);
    window->lbTextOut->clear();
    sim.InjectFault(sim::SinkFaultPlan::HeldNack(0x1A));
    sim.InjectFault(sim::SinkFaultPlan::Held(0x15));
    Control<QLineEdit>("edDPCDAddress")->setText("0001");
    Click("btnDPCDRead");
    ASSERT_TRUE(sim.ReplyHeld());
    const QString lanes = Text("lblLSLaneCount");
    {
        ReleaseOnNextCommand release(sim);
        Click("btnUpdateLinkStatus");
        EXPECT_TRUE(release.Join());
    }
    EXPECT_EQ(Text("lblLSLaneCount"), lanes);
    ASSERT_TRUE(WaitFor([&] { return sim.ReplyHeld(); }));
    {
        ReleaseOnNextCommand release(sim);
        Control<QLineEdit>("edDPCDAddress")->setText("0002");
        Click("btnDPCDRead");
        EXPECT_TRUE(release.Join());
    }
    EXPECT_EQ(Messages(), (QStringList{kTimedOut, "Updating link status...", dpprotocol_t::kTextNack,
                                       "Read of DPCD address $0002, Data: $84"}));
    EXPECT_TRUE(window->Connected());
}

}  // namespace
}  // namespace selvitra_test
