// The live displays against the simulated sink: the HDCP lamp per page, the
// MSA log and lamps, the SDP log with its bursts and capture box, the audio
// page, and the logs' clipboard texts.
#include <QCheckBox>
#include <QClipboard>
#include <QTreeWidget>

#include "SelvitraFixture.h"

namespace selvitra_test {
namespace {

using State = platform::Lamp::State;

QStringList Row(QTreeWidget* list, int i) {
    QStringList cells;
    const QTreeWidgetItem* item = list->topLevelItem(i);
    for (int c = 0; c < item->columnCount(); ++c) cells << item->text(c);
    return cells;
}

TEST_F(SelvitraTest, HdcpIsPolledOnlyWhileTheMainPageShows) {
    OpenConnected();
    ASSERT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == State::On; }));
    window->pgMain->setCurrentWidget(window->tbsSDP);
    EXPECT_EQ(Lamp("shHDCPAuth"), State::Off);  // switched off at once
    const size_t queries = sim.CommandCount(0x22);
    QTest::qWait(1200);                              // two poller cycles
    EXPECT_LE(sim.CommandCount(0x22), queries + 1);  // at most the cycle in progress
    window->pgMain->setCurrentWidget(window->tbsMain);
    sim.SetHdcpStatus(0, 0);
    const size_t again = sim.CommandCount(0x22);
    ASSERT_TRUE(WaitFor([&] { return sim.CommandCount(0x22) > again; }));
    sim.SetHdcpStatus(1, 0);
    EXPECT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == State::On; }));
}

TEST_F(SelvitraTest, MsaCaptureAddsARowPerChangeAndLampsFollowTheStream) {
    OpenConnected();
    auto* list = Control<QTreeWidget>("lvMSA");
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 1; }));
    EXPECT_EQ(Lamp("shVideoValid"), State::On);
    EXPECT_EQ(Lamp("shMSAUnstable"), State::Off);
    const QStringList row = Row(list, 0);
    ASSERT_EQ(row.size(), 17);
    EXPECT_EQ(row.mid(1), (QStringList{"Async", "RGB", "VESA", "ITU-R BT601-5", "8", "Prog", "192", "2200", "1920",
                                       "Pos", "44", "41", "1125", "1080", "Pos", "5"}));
    // A stable stream gives no further row.
    const size_t queries = sim.CommandCount(0x27);
    ASSERT_TRUE(WaitFor([&] { return sim.CommandCount(0x27) >= queries + 2; }));
    EXPECT_EQ(list->topLevelItemCount(), 1);

    // An unstable stream: red lamp, no row.
    std::array<uint8_t, 19> unstable{};
    unstable[0] = 0x03;
    sim.SetMsa(unstable);
    ASSERT_TRUE(WaitFor([&] { return Lamp("shMSAUnstable") == State::Fault; }));
    EXPECT_EQ(list->topLevelItemCount(), 1);
    // No stream: one "Video invalid" row.
    sim.SetMsa({});
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 2; }));
    EXPECT_EQ(Row(list, 1).mid(1), QStringList{"Video invalid"});
    EXPECT_EQ(Lamp("shVideoValid"), State::Off);
    EXPECT_EQ(Lamp("shMSAUnstable"), State::Off);

    // The copy: title, header and the rows, each cell followed by ";".
    Click("btnMSACopy");
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "Selvitra");
    EXPECT_EQ(lines[1], "Main stream attributes (MSA)");
    EXPECT_TRUE(lines[3].startsWith("Time stamp;CLK;FORMAT;"));
    EXPECT_TRUE(lines[5].endsWith(";Video invalid;"));

    // Switching capture off greys both lamps.
    Control<QCheckBox>("cbMSAEnable")->setChecked(false);
    EXPECT_EQ(Lamp("shVideoValid"), State::Off);
}

TEST_F(SelvitraTest, MsaLogIsClearedAfterConfirmationAndTheNextRecordMakesARow) {
    OpenConnected();
    auto* list = Control<QTreeWidget>("lvMSA");
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 1; }));
    boxes.SetAnswer(platform::MsgResult::Cancel);
    Click("btnMSAClear");
    EXPECT_EQ(list->topLevelItemCount(), 1);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "The MSA log list will be cleared. Do you want to continue?");
    boxes.SetAnswer(platform::MsgResult::Ok);
    Click("btnMSAClear");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 1; }));

    list->topLevelItem(0)->setSelected(true);
    window->pmiDeleteClick();
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(SelvitraTest, CaptureBoxesNeedAConnection) {
    Open();
    for (const char* name : {"cbMSAEnable", "cbSDPEnable"}) {
        boxes.Clear();
        auto* box = Control<QCheckBox>(name);
        box->setChecked(true);
        EXPECT_FALSE(box->isChecked()) << name;
        ASSERT_EQ(boxes.Texts().size(), 1u) << name << Boxes();
        EXPECT_EQ(boxes.Texts()[0], "COM connection failed.\nTry re-select the COM port or try another one.");
    }
}

TEST_F(SelvitraTest, SdpPacketsOfABurstShareTheirTimeStamp) {
    // Three packets waiting: reported with status 2, 2 and 1.
    sim.QueueSdp(0x82, 0x00, 0x02, {0x00, 0x10, 0xA8, 0x00, 0x10, 1, 2, 3, 4, 5, 6, 7, 8});
    sim.QueueSdp(0x84, 0x01, 0x01, {0x01});
    sim.QueueSdp(0x07, 0x02, 0x03, {});
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsSDP);
    auto* list = Control<QTreeWidget>("lvSDP");
    Control<QCheckBox>("cbSDPEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 3; }));
    EXPECT_EQ(Row(list, 0).mid(1),
              (QStringList{"0x82 (AVI)", "0x00", "0x02", "13", "00 10 A8 00 10 01 02 03 04 05 06 07 08"}));
    EXPECT_EQ(Row(list, 1).mid(1), (QStringList{"0x84 (AIF)", "0x01", "0x01", "1", "01"}));
    EXPECT_EQ(Row(list, 2).value(1), "0x07");
    EXPECT_EQ(Row(list, 2).size(), 6);
    EXPECT_EQ(Row(list, 0)[0], Row(list, 1)[0]);
    EXPECT_FALSE(Row(list, 2)[0].isEmpty());

    // Switching capture off hands the last record over again: no new row.
    Control<QCheckBox>("cbSDPEnable")->setChecked(false);
    Control<QCheckBox>("cbSDPEnable")->setChecked(true);
    EXPECT_EQ(list->topLevelItemCount(), 3);

    Click("btnSDPCopy");
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[1], "Secondary data packets (SDP)");
    EXPECT_EQ(lines[3], "Time stamp;Type;ID;Version;Size;Data;");
    EXPECT_TRUE(lines[5].endsWith(";0x84 (AIF);0x01;0x01;1;01;"));
}

TEST_F(SelvitraTest, SdpCaptureResumesAfterAReconnection) {
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsSDP);
    Control<QCheckBox>("cbSDPEnable")->setChecked(true);
    window->pgMain->setCurrentWidget(window->tbsMain);
    auto* combo = Control<PortComboBox>("cbComPort");
    emit combo->activated(combo->currentIndex());
    ASSERT_TRUE(window->Connected());
    EXPECT_TRUE(Control<QCheckBox>("cbSDPEnable")->isChecked());
    sim.QueueSdp(0x83, 0x00, 0x01, {0x41});
    EXPECT_TRUE(WaitFor([&] { return Control<QTreeWidget>("lvSDP")->topLevelItemCount() == 1; }));
}

// The poller's query of a kind is out when its polling is switched off; its
// answer (held back by the sim) arrives after the switch and is handed over
// by the cycle in progress: it adds no row and lights no lamp.
TEST_F(SelvitraTest, AResultArrivingAfterItsCaptureWasSwitchedOffShowsNothing) {
    using sim::SinkFaultPlan;
    struct Case {
        const char* name;
        uint8_t query;      // the query whose answer arrives late
        uint8_t nextQuery;  // a query the poller sends after that hand-over
        std::function<void()> switchOn, switchOff;
        const char* lamp;  // nullptr: none of its own
        const char* list;
    };
    const Case cases[] = {
        {"MSA box unchecked", 0x27, 0x22, [&] { Control<QCheckBox>("cbMSAEnable")->setChecked(true); },
         [&] { Control<QCheckBox>("cbMSAEnable")->setChecked(false); }, "shVideoValid", "lvMSA"},
        {"Main page left", 0x22, 0x2E,
         [&] {
             // The SDP query follows the HDCP hand-over in a cycle.
             Control<QCheckBox>("cbSDPEnable")->setChecked(true);
         },
         [&] { window->pgMain->setCurrentWidget(window->tbsAudio); }, "shHDCPAuth", nullptr},
        {"SDP box unchecked", 0x2E, 0x22,
         [&] {
             sim.QueueSdp(0x82, 0x00, 0x02, {0x01});
             Control<QCheckBox>("cbSDPEnable")->setChecked(true);
         },
         [&] { Control<QCheckBox>("cbSDPEnable")->setChecked(false); }, nullptr, "lvSDP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetHdcpStatus(1, 0);
        OpenConnected();
        if (c.query == 0x22) {
            ASSERT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == State::On; }));
        }
        sim.InjectFault(SinkFaultPlan::Late(c.query, 1000));
        const size_t asked = sim.CommandCount(c.query);
        c.switchOn();
        ASSERT_TRUE(WaitFor([&] { return sim.CommandCount(c.query) > asked; }));
        // The answer is still held back: nothing of it shows yet.
        if (c.list) {
            ASSERT_EQ(Control<QTreeWidget>(c.list)->topLevelItemCount(), 0);
        }
        c.switchOff();
        if (c.lamp) {
            EXPECT_EQ(Lamp(c.lamp), State::Off);
        }
        const size_t next = sim.CommandCount(c.nextQuery);
        ASSERT_TRUE(WaitFor([&] { return sim.CommandCount(c.nextQuery) > next; }));
        if (c.lamp) {
            EXPECT_EQ(Lamp(c.lamp), State::Off);
        }
        if (c.list) {
            EXPECT_EQ(Control<QTreeWidget>(c.list)->topLevelItemCount(), 0);
        }
        EXPECT_EQ(Lamp("shMSAUnstable"), State::Off);
        progress.reset();
        window.reset();
        sim.ClearFaults();
    }
}

TEST_F(SelvitraTest, AudioPageShowsTheChannelStatus) {
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsAudio);
    // Locked, consumer LPCM, no copyright asserted, clock accuracy level I.
    sim.SetAudioStatus({2, 2, 24, 0x44, 0xAC, 0x00, 0x00, 0x04, 0x01, 0x21, 0x10, 0x02, 0x00});
    Click("btnUpdateAudioStatus");
    EXPECT_EQ(Lamp("shASInState"), State::On);
    EXPECT_EQ(Text("lblASInState"), "Locked");
    EXPECT_EQ(Text("lblASStandard"), "(IEC-60958-3)");
    EXPECT_EQ(Text("lblASUse"), "Consumer");
    EXPECT_EQ(Text("lblASCoding"), "LPCM");
    EXPECT_EQ(Text("lblASCopyright"), "No");
    EXPECT_EQ(Text("lblASClockAccuracy"), "Level I");
    EXPECT_EQ(Text("lblASSampleFrequency"), "44100");
    EXPECT_EQ(Text("lblASSourceNumber"), "1");
    EXPECT_EQ(Text("lblASChannelNumber"), "2");
    EXPECT_EQ(Text("lblASRawData"), "04 01 21 10 02 00");
    EXPECT_TRUE(Control<QLabel>("lblASClockAccuracy")->isEnabled());
    EXPECT_TRUE(Control<QLabel>("lblASClockAccuracyCaption")->isEnabled());
    EXPECT_EQ(Messages().last(), "Command successful.");

    // Professional use: the consumer fields stay "N/A" and disabled.
    sim.SetAudioStatus({2, 2, 24, 0x44, 0xAC, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0});
    Click("btnUpdateAudioStatus");
    EXPECT_EQ(Text("lblASStandard"), "(IEC-60958-4)");
    EXPECT_EQ(Text("lblASUse"), "Professional");
    EXPECT_EQ(Text("lblASClockAccuracy"), "N/A");
    EXPECT_FALSE(Control<QLabel>("lblASClockAccuracyCaption")->isEnabled());

    // A failed query leaves the page reset.
    sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Nack, 0x2D));
    Click("btnUpdateAudioStatus");
    EXPECT_EQ(Text("lblASInState"), "No input");
    EXPECT_EQ(Text("lblASUse"), "N/A");
    EXPECT_FALSE(Control<QLabel>("lblASUse")->isEnabled());
    EXPECT_EQ(Lamp("shASInState"), State::Off);
}

}  // namespace
}  // namespace selvitra_test
