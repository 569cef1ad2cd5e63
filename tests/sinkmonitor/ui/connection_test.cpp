// The connection sequence of the main window: a sink, a source-type device,
// a silent device, a port that cannot be opened; the port of the last session;
// the debug switch; teardown when the port goes away.
#include <QCheckBox>
#include <QPushButton>
#include <QStatusBar>

#include "SelvitraFixture.h"

namespace selvitra_test {
namespace {

using State = platform::Lamp::State;

TEST_F(SelvitraTest, ConnectsToTheStoredPortAtStartAndShowsTheFirmwareVersion) {
    sim.SetFirmwareVersion("2A7");
    OpenConnected();
    EXPECT_EQ(Text("lblFWVersion"), "Firmware version: 2.A.7");
    EXPECT_EQ(window->sbStatusPanels[0]->text(), "Firmware version: 2.A.7");
    EXPECT_EQ(window->sbStatusPanels[1]->text(), QString::fromStdString(sim.SlavePath()));
    EXPECT_EQ(Control<QComboBox>("cbComPort")->currentText(), QString::fromStdString(sim.SlavePath()));
    EXPECT_FALSE(Control<QPushButton>("btnRefreshVersion")->isHidden());
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    EXPECT_TRUE(window->windowTitle().startsWith("Selvitra v")) << window->windowTitle().toStdString();
    EXPECT_TRUE(window->windowTitle().endsWith(" - Merovan"));
    // The poller runs with HDCP polling: the sim reports authenticated.
    EXPECT_TRUE(WaitFor([&] { return Lamp("shHDCPAuth") == State::On; }));
}

TEST_F(SelvitraTest, WithoutAStoredPortNothingIsSelectedOrConnected) {
    StoreSettings("[COM]\nPortName=/dev/no-such-port\n");
    Open();
    EXPECT_FALSE(window->Connected());
    EXPECT_EQ(Control<QComboBox>("cbComPort")->currentIndex(), -1);
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
    EXPECT_EQ(sim.CommandCount(), 0u);
}

struct RefusalCase {
    const char* name;
    std::function<void(sim::SinkSim&)> arrange;
    const char* box;
    const char* label;  // nullptr: the label keeps its text
};

class ConnectionRefused : public SelvitraTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConnectionRefused, ShowsItsBoxAndStaysUnconnected) {
    GetParam().arrange(sim);
    StoreSettings("[COM]\nPortName=" + sim.SlavePath() + "\n");
    Open();
    EXPECT_FALSE(window->Connected());
    ASSERT_EQ(boxes.Boxes().size(), 1u) << Boxes();
    EXPECT_EQ(boxes.Boxes()[0].text, GetParam().box);
    EXPECT_EQ(boxes.Boxes()[0].title, "Error");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    if (GetParam().label) {
        EXPECT_EQ(Text("lblFWVersion"), GetParam().label);
    }
    EXPECT_EQ(Control<QLabel>("lblFWVersion")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(Control<QPushButton>("btnRefreshVersion")->isHidden());
    // Not connected: a command refuses with the connection box.
    boxes.Clear();
    Click("btnUpdateVideoCRC");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "COM connection failed.\nTry re-select the COM port or try another one.");
}

INSTANTIATE_TEST_SUITE_P(Devices, ConnectionRefused,
                         ::testing::Values(RefusalCase{"Source", [](sim::SinkSim& s) { s.SetDeviceRole(0); },
                                                       "Trying to use Selvitra with a source-type DP device!",
                                                       "CONNECTED TO A DP-SOURCE!"},
                                           RefusalCase{"Silent",
                                                       [](sim::SinkSim& s) {
                                                           auto f =
                                                               sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x1C);
                                                           s.InjectFault(f);
                                                       },
                                                       "Can't communicate with the DP device.", "NOT CONNECTED."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelvitraTest, APortThatCannotBeOpenedShowsTheBoxAndLeavesNoPort) {
    // A device path that is no serial device cannot be opened, as a port in
    // use by another program cannot.
    const auto notASerialPort = config / "ttyBusy";
    ASSERT_TRUE(test_support::WriteFile(notASerialPort, "x"));
    SetPorts(notASerialPort.string());
    StoreSettings("[COM]\nPortName=" + notASerialPort.string() + "\n");
    Open();
    EXPECT_FALSE(window->Connected());
    ASSERT_EQ(boxes.Texts().size(), 1u) << Boxes();
    EXPECT_EQ(boxes.Texts()[0], "Failed to open the port. Be sure that the port is not in use by another application.");
    EXPECT_EQ(window->sbStatusPanels[1]->text(), "");
}

TEST_F(SelvitraTest, ADeviceThatDoesNotAnswerTheRoleQueryCountsAsASink) {
    sim.InjectFault(sim::SinkFaultPlan::Of(sim::SinkFault::Silence, 0x28));
    OpenConnected();
    EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

TEST_F(SelvitraTest, ChoosingThePortAgainReconnectsAndOpeningTheListClearsTheSelection) {
    OpenConnected();
    auto* combo = Control<PortComboBox>("cbComPort");
    const size_t versionQueries = sim.CommandCount(0x1C);
    window->cbComPortDropDown();
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_TRUE(window->Connected());  // the connection stays until a port is chosen
    const int index = combo->findText(QString::fromStdString(sim.SlavePath()));
    ASSERT_GE(index, 0);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    EXPECT_TRUE(window->Connected()) << Boxes();
    EXPECT_EQ(sim.CommandCount(0x1C), versionQueries + 1);
}

TEST_F(SelvitraTest, TheDebugSwitchShowsTheSinksDebugTexts) {
    OpenConnected({"selvitra", "-debug"});
    sim.SendDebugText("Lane %u locked", 3);
    EXPECT_TRUE(WaitFor([&] { return Messages().contains("Lane 3 locked"); })) << Messages().join("|").toStdString();
}

TEST_F(SelvitraTest, ALostPortIsTornDownOnceAfterTheCommandThatFoundIt) {
    OpenConnected();
    window->pgMain->setCurrentWidget(window->tbsVarious);  // no HDCP polling
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return Lamp("shVideoValid") == State::On; }));
    Click("btnUpdateLinkStatus");
    ASSERT_EQ(Lamp("shCR0"), State::On);

    sim.HangUp();
    Click("btnUpdateVideoCRC");
    ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }));
    EXPECT_EQ(Text("lblFWVersion"), "NOT CONNECTED.");
    EXPECT_EQ(window->sbStatusPanels[0]->text(), "");
    EXPECT_EQ(window->sbStatusPanels[1]->text(), "");
    for (auto* lamp : window->tbsMain->Lamps())
        EXPECT_EQ(lamp->Color(), QColor(128, 128, 128)) << lamp->objectName().toStdString();
    EXPECT_FALSE(Control<QCheckBox>("cbMSAEnable")->isChecked());
    ASSERT_TRUE(WaitFor([&] { return Messages().contains("Error: Connection to the device lost."); }));
    QTest::qWait(50);  // a fixed time, as it shows an absence: no second message
    EXPECT_EQ(Messages().count("Error: Connection to the device lost."), 1) << Messages().join("|").toStdString();
    // The labels keep their texts.
    EXPECT_EQ(Text("lblLSLaneCount"), "4");
}

TEST_F(SelvitraTest, ALostPortFoundByThePollerIsTornDown) {
    OpenConnected();
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return Lamp("shVideoValid") == State::On; }));
    sim.HangUp();
    ASSERT_TRUE(WaitFor([&] { return !window->Connected(); }));
    EXPECT_EQ(Lamp("shVideoValid"), State::Off);
    EXPECT_EQ(Lamp("shHDCPAuth"), State::Off);
    EXPECT_EQ(Messages().count("Error: Connection to the device lost."), 1);
}

}  // namespace
}  // namespace selvitra_test
