// A reply that comes after its command timed out, as the main window shows
// the next command. DPCD 0001 holds 0x14 and 0002 holds 0x84; the link
// status is one the test sets. The command that times out is a DPCD read of
// 0001, an E-EDID block write or an AUX sensitivity level; the next command,
// a read of 0002 or "Update" on the link status, shows its own reply (or
// fails), never the late one.
#include <QLineEdit>
#include <QPushButton>

#include <ostream>
#include <vector>

#include "SelvitraFixture.h"
#include "sinkmonitor/QtPrint.h"
#include "support/EdidFixtures.h"

namespace selvitra_test {
namespace {

constexpr const char* kTimedOut = "Error: Reception timeouted. Device doesn't respond.";
constexpr const char* kWriteBox = "EDID data is to be written to the device. Do you want to continue?";

// The command that times out.
enum class First { DpcdRead, EdidWrite, AuxLevel };
// The command that follows it.
enum class Next { DpcdRead, LinkStatus };

struct LateCase {
    const char* name;
    First first;
    sim::SinkFaultPlan fault;
    bool release;  // the held reply comes as the next command begins
    Next next;
};
void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }

// Lanes 0 to 2 locked, lane 3 without symbol lock; swing 400, 600, 800,
// 1200 mVpp; pre-emphasis 9.5, 6.0, 3.5, 0 dB; 4 lanes at 5.40 Gbps,
// enhanced framing, scrambling on.
const std::vector<uint8_t> kLinkStatus = {0x77, 0x37, 0, 1, 2, 3, 3, 2, 1, 0, 4, 20, 1, 0, 1, 0, 0};

class SelvitraLateReply : public SelvitraTest, public ::testing::WithParamInterface<LateCase> {
protected:
    // Runs the command that times out; returns the lines it adds.
    QStringList RunFirst(First first) {
        switch (first) {
            case First::DpcdRead:
                window->pgMain->setCurrentWidget(window->tbsVarious);
                Control<QLineEdit>("edDPCDAddress")->setText("0001");
                Click("btnDPCDRead");  // times out after 2 s
                EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: None");
                return {kTimedOut};
            case First::EdidWrite: {
                window->pgMain->setCurrentWidget(window->tbsEDID);
                const edid_fixtures::Block base = edid_fixtures::BaseBlock();
                ECClearBlocks(window->EdidInstance());
                EXPECT_GE(ECAddBlock(window->EdidInstance(), base.data(), 128), 0);
                Click("BTN_WriteEDID");  // times out after 20 s
                EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kWriteBox});
                boxes.Clear();
                return {"Writing EDID block #0", kTimedOut};
            }
            case First::AuxLevel:
                window->pgMain->setCurrentWidget(window->tbsVarious);
                Control<QLineEdit>("edtASTStart")->setText("400");
                Control<QLineEdit>("edtASTStop")->setText("400");
                Click("btnAUXTest");  // one level, run in a turn of its own; times out after 7.5 s
                EXPECT_TRUE(WaitFor([&] { return window->isEnabled(); }, 60000));
                EXPECT_EQ(window->tbsVarious->lbAUXTest->AllLines().split(u'\n', Qt::SkipEmptyParts),
                          QStringList{"Testing 400 mVpp... FAILED"});
                return {"Testing AUX channel sensitivity...", kTimedOut};
        }
        return {};
    }
    // Runs the next command; returns the lines it adds when it gets its own
    // reply.
    QStringList RunNext(Next next) {
        switch (next) {
            case Next::DpcdRead:
                window->pgMain->setCurrentWidget(window->tbsVarious);
                Control<QLineEdit>("edDPCDAddress")->setText("0002");
                Click("btnDPCDRead");
                EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Read of address $0002, Data: $84");
                EXPECT_EQ(Control<QLineEdit>("edDPCDData")->text(), "84");
                return {"Read of DPCD address $0002, Data: $84"};
            case Next::LinkStatus: {
                window->pgMain->setCurrentWidget(window->tbsMain);
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
};

TEST_P(SelvitraLateReply, TheNextCommandNeverShowsTheLateReply) {
    const LateCase& c = GetParam();
    OpenConnected();
    // Where the operator runs the commands; HDCP polling only for the link
    // status, whose page is the Main page.
    window->pgMain->setCurrentWidget(window->tbsVarious);
    ASSERT_EQ(sim.Dpcd(0x0001), 0x14);
    ASSERT_EQ(sim.Dpcd(0x0002), 0x84);
    sim.SetLinkStatus(kLinkStatus);
    window->lbTextOut->clear();
    sim.InjectFault(c.fault);
    QStringList expected = RunFirst(c.first);
    EXPECT_EQ(Messages(), expected);
    if (c.release) {
        ASSERT_TRUE(sim.ReplyHeld());
        sim.ReleaseHeld();
    }
    expected += RunNext(c.next);
    EXPECT_EQ(Messages(), expected);
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    EXPECT_TRUE(window->Connected());
}

// Late by 1.5 s and 3 s after the time-out of 2 s (DPCD), 20 s (E-EDID write:
// these rows take about 25 s each) and 7.5 s (AUX level). A DPCD read
// answered 3 s after its time-out is left out: the next command waits for as
// long as the read's own time-out, 2 s, and by their order alone a reply
// that comes later than that cannot be told from the next command's own.
INSTANTIATE_TEST_SUITE_P(
    Replies, SelvitraLateReply,
    ::testing::Values(LateCase{"DpcdRead_TheLateReplyComes", First::DpcdRead, sim::SinkFaultPlan::Held(0x1A), true,
                               Next::DpcdRead},
                      LateCase{"DpcdRead_TheLateReplyNeverComes", First::DpcdRead,
                               sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x1A), false, Next::DpcdRead},
                      LateCase{"DpcdRead_By1500", First::DpcdRead, sim::SinkFaultPlan::Late(0x1A, 2000 + 1500), false,
                               Next::DpcdRead},
                      LateCase{"EdidWrite_By1500", First::EdidWrite, sim::SinkFaultPlan::Late(0x17, 20000 + 1500),
                               false, Next::LinkStatus},
                      LateCase{"EdidWrite_By3000", First::EdidWrite, sim::SinkFaultPlan::Late(0x17, 20000 + 3000),
                               false, Next::LinkStatus},
                      LateCase{"AuxLevel_By1500", First::AuxLevel, sim::SinkFaultPlan::Late(0x38, 7500 + 1500), false,
                               Next::DpcdRead},
                      LateCase{"AuxLevel_By3000", First::AuxLevel, sim::SinkFaultPlan::Late(0x38, 7500 + 3000), false,
                               Next::DpcdRead}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace selvitra_test
