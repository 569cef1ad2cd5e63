// A reply that comes after its command timed out, as the main window shows
// the next command: DPCD 0001 holds 0x14 and 0002 holds 0x84; the read of
// 0001 times out, and the read of 0002 shows 0x84 (or fails), never 0x14.
#include <QLineEdit>
#include <QPushButton>

#include "SelvitraFixture.h"
#include "sinkmonitor/QtPrint.h"

namespace selvitra_test {
namespace {

struct LateCase {
    const char* name;
    sim::SinkFaultPlan fault;
    bool release;  // the held reply comes as the read of 0002 begins
};

class SelvitraLateReply : public SelvitraTest, public ::testing::WithParamInterface<LateCase> {};

TEST_P(SelvitraLateReply, TheReadOfTheNextRegisterNeverShowsTheLateData) {
    const LateCase& c = GetParam();
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsVarious);  // where the operator reads DPCD; no HDCP polling
    ASSERT_EQ(sim.Dpcd(0x0001), 0x14);
    ASSERT_EQ(sim.Dpcd(0x0002), 0x84);
    window->lbTextOut->clear();
    sim.InjectFault(c.fault);
    auto* address = Control<QLineEdit>("edDPCDAddress");
    address->setText("0001");
    Click("btnDPCDRead");  // times out after 2 s
    EXPECT_EQ(Messages(), QStringList{"Error: Reception timeouted. Device doesn't respond."});
    EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: None");
    if (c.release) {
        ASSERT_TRUE(sim.ReplyHeld());
        sim.ReleaseHeld();
    }
    address->setText("0002");
    Click("btnDPCDRead");
    EXPECT_EQ(Text("lblDPCDStatus"), "Previous action: Read of address $0002, Data: $84");
    EXPECT_EQ(Control<QLineEdit>("edDPCDData")->text(), "84");
    EXPECT_EQ(Messages(), (QStringList{"Error: Reception timeouted. Device doesn't respond.",
                                       "Read of DPCD address $0002, Data: $84"}));
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

INSTANTIATE_TEST_SUITE_P(Replies, SelvitraLateReply,
                         ::testing::Values(LateCase{"TheLateReplyComes", sim::SinkFaultPlan::Held(0x1A), true},
                                           LateCase{"TheLateReplyNeverComes",
                                                    sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x1A), false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace selvitra_test
