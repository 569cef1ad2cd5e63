// The settings of the main window and the colour scheme, as files under
// XDG_CONFIG_HOME; and an offscreen screenshot of every page.
#include <QImage>
#include <QTreeWidget>

#include "SelvitraFixture.h"
#include "platform/IniFile.h"
#include "sinkmonitor/GUIColorSchemeSettings.h"
#include "support/TrapFifo.h"

namespace selvitra_test {
namespace {

platform::IniFile Ini(const fs::path& path) {
    platform::IniFile ini;
    ini.Load(path);
    return ini;
}

TEST_F(SelvitraTest, SettingsAreReadAtStartAndWrittenAtExit) {
    StoreSettings("[Window]\nWidth=900\nHeight=640\nState=0\n[COM]\nPortName=" + sim.SlavePath() +
                  "\n[MSAClmns]\nClmn2=77\n[SDPClmns]\nClmn6=99\n");
    Open();
    EXPECT_EQ(window->size(), QSize(900, 640));
    EXPECT_EQ(Control<QTreeWidget>("lvMSA")->columnWidth(1), 77);
    EXPECT_EQ(Control<QTreeWidget>("lvMSA")->columnWidth(0), 70);
    EXPECT_EQ(Control<QTreeWidget>("lvSDP")->columnWidth(5), 99);
    EXPECT_TRUE(window->Connected());
    window->resize(1000, 700);
    Control<QTreeWidget>("lvMSA")->setColumnWidth(16, 33);
    window.reset();

    const platform::IniFile ini = Ini(SettingsFile());
    EXPECT_EQ(ini.ReadInteger("Window", "Width", 0), 1000);
    EXPECT_EQ(ini.ReadInteger("Window", "Height", 0), 700);
    EXPECT_TRUE(ini.ValueExists("Window", "Spltpos"));
    EXPECT_EQ(ini.ReadInteger("Window", "State", -5), 0);  // kept, never written
    EXPECT_EQ(ini.ReadString("COM", "PortName", ""), sim.SlavePath());
    EXPECT_EQ(ini.ReadInteger("MSAClmns", "Clmn17", 0), 33);
    EXPECT_EQ(ini.ReadInteger("MSAClmns", "Clmn2", 0), 77);
    EXPECT_EQ(ini.ReadInteger("SDPClmns", "Clmn1", 0), 70);
}

// A FIFO as the settings file is never opened (its open would wait for a
// writer, and the window would never come up): the window comes up with the
// settings absent, without a box, and the FIFO stays as it is at exit.
TEST_F(SelvitraTest, AFifoAsTheSettingsFileCountsAsNoSettings) {
    fs::create_directories(SettingsFile().parent_path());
    test_support::TrapFifo fifo(SettingsFile());
    ASSERT_TRUE(fifo.Made());
    Open();
    EXPECT_FALSE(window->Connected());
    EXPECT_EQ(Control<PortComboBox>("cbComPort")->currentIndex(), -1);
    EXPECT_EQ(Control<QTreeWidget>("lvMSA")->columnWidth(0), 70);
    EXPECT_EQ(Control<QTreeWidget>("lvSDP")->columnWidth(5), 50);
    EXPECT_EQ(Boxes(), "");
    window.reset();
    EXPECT_TRUE(fifo.StillAFifo());
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened";
}

TEST_F(SelvitraTest, AnEmptyDropDownKeepsTheStoredPortName) {
    StoreSettings("[COM]\nPortName=/dev/ttyGone\n");
    Open();
    window.reset();
    EXPECT_EQ(Ini(SettingsFile()).ReadString("COM", "PortName", ""), "/dev/ttyGone");
}

TEST_F(SelvitraTest, TheChosenPortOfSeveralIsTheOneConnected) {
    sim::SinkSim second;
    ASSERT_TRUE(second.Start());
    SetPorts(sim.SlavePath() + ":" + second.SlavePath());
    Open();
    auto* combo = Control<PortComboBox>("cbComPort");
    // Extra ports are named by their path, so the two names differ here.
    ASSERT_EQ(combo->count(), combo->findText(QString::fromStdString(second.SlavePath())) + 1);
    combo->setCurrentIndex(combo->count() - 1);
    emit combo->activated(combo->count() - 1);
    EXPECT_TRUE(window->Connected());
    EXPECT_GT(second.CommandCount(0x1C), 0u);
    EXPECT_EQ(sim.CommandCount(), 0u);
}

TEST_F(SelvitraTest, ColourSchemeIsReadFromTheCommonKey) {
    const fs::path file = config / "Merovan" / "Common.ini";
    fs::create_directories(file.parent_path());
    const auto rgb = [](TGUIColorScheme::rgb_t c) { return QColor(c.red, c.green, c.blue); };
    {
        ASSERT_TRUE(test_support::WriteFile(file,
                                            "[GUI Colors]\nControlMatchingEnabled=1\nControlUnmatchColor=0x00ff00\n"
                                            "ControlUnmatchTextColor=$ff0000\nControlMatchColor=clBlue\n"));
        const TGUIColorScheme scheme = LoadGUIColorScheme();
        EXPECT_EQ(rgb(scheme.ControlUnmatchColor()), QColor(0, 0xFF, 0));
        EXPECT_EQ(rgb(scheme.ControlUnmatchTextColor()), QColor(0, 0, 0xFF));
        EXPECT_EQ(rgb(scheme.ControlMatchColor()), QColor(0, 0, 0xFF));
        EXPECT_EQ(rgb(scheme.ControlMatchTextColor()), QApplication::palette().color(QPalette::Text));
    }
    {
        ASSERT_TRUE(
            test_support::WriteFile(file, "[GUI Colors]\nControlMatchingEnabled=0\nControlUnmatchColor=0x00ff00\n"));
        const TGUIColorScheme scheme = LoadGUIColorScheme();
        EXPECT_EQ(scheme.ControlUnmatchColor(), scheme.ControlMatchColor());
        EXPECT_EQ(rgb(scheme.ControlUnmatchColor()), QApplication::palette().color(QPalette::Base));
    }
    {
        fs::remove(file);
        const TGUIColorScheme scheme = LoadGUIColorScheme();
        EXPECT_EQ(rgb(scheme.ControlUnmatchColor()), QColor(0xFF, 0xD0, 0xD0));
        EXPECT_EQ(rgb(scheme.ControlUnmatchTextColor()), QColor(0, 0, 0));
    }
}

// Whether the picture shows more than one colour inside rect.
bool ShowsSomething(const QImage& image, const QRect& rect) {
    const QRect r = rect.intersected(image.rect());
    if (r.isEmpty()) return false;
    const QRgb first = image.pixel(r.topLeft());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) != first) return true;
    return false;
}

TEST_F(SelvitraTest, ScreenshotOfEveryPage) {
    sim.QueueSdp(0x82, 0x00, 0x02, {0x00, 0x10, 0xA8, 0x00, 0x10});
    OpenConnected();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    Click("btnUpdateLinkStatus");
    Control<QCheckBox>("cbMSAEnable")->setChecked(true);
    ASSERT_TRUE(WaitFor([&] { return Control<QTreeWidget>("lvMSA")->topLevelItemCount() == 1; }));
    struct Page {
        QWidget* page;
        const char* caption;
        const char* control;
    };
    const Page pages[] = {{window->tbsMain, "Main", "lvMSA"},
                          {window->tbsEDID, "EDID", "BTN_ReadEDID"},
                          {window->tbsSDP, "SDP", "lvSDP"},
                          {window->tbsAudio, "Audio", "btnUpdateAudioStatus"},
                          {window->tbsVarious, "Various", "lbAUXTest"}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.caption);
        window->pgMain->setCurrentWidget(p.page);
        if (p.page == window->tbsSDP) {
            Control<QCheckBox>("cbSDPEnable")->setChecked(true);
            ASSERT_TRUE(WaitFor([&] { return Control<QTreeWidget>("lvSDP")->topLevelItemCount() == 1; }));
        }
        if (p.page == window->tbsAudio) Click("btnUpdateAudioStatus");
        if (p.page == window->tbsVarious) Click("btnAUXTest");
        auto* control = Control<QWidget>(p.control);
        ASSERT_TRUE(WaitFor([&] { return control->isVisible(); }));
        const QRect where(control->mapTo(window.get(), QPoint(0, 0)), control->size());
        QImage shot;
        EXPECT_TRUE(WaitFor([&] {
            shot = window->grab().toImage();
            return ShowsSomething(shot, where);
        })) << p.control;
        shot.save(QString::fromLatin1(SELVITRA_SCREENSHOT_DIR "/selvitra-page-") + p.caption + ".png");
        EXPECT_EQ(window->pgMain->tabText(window->pgMain->indexOf(p.page)), p.caption);
        EXPECT_TRUE(window->rect().contains(where)) << "the control lies outside the window";
        // The tab bar shows the captions.
        auto* tabs = window->pgMain->tabBar();
        EXPECT_TRUE(ShowsSomething(shot, QRect(tabs->mapTo(window.get(), QPoint(0, 0)), tabs->size())));
    }
}

}  // namespace
}  // namespace selvitra_test
