// The main window's own behaviour: the pages and their pictures, the
// geometry switches and the settings round trip, the splitter's limits, the
// status list's popup, the single-instance hook and the parameter block that
// "Run Tests" builds.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>

#include "MainFormFixture.h"
#include "cts/catalogue/TestCatalogue.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/Windows1252.h"

namespace {

using cts_test::MainFormFixture;
using test_support::Probe;

// Whether the part of the picture under `control` shows more than one colour
// (something is drawn there, not an empty area).
bool ShowsSomething(const QImage& shot, QWidget* window, QWidget* control) {
    const QRect r(control->mapTo(window, QPoint(0, 0)), control->size());
    const QRect inside = r.intersected(shot.rect());
    if (inside.width() < 4 || inside.height() < 4) return false;
    const QRgb first = shot.pixel(inside.topLeft());
    for (int y = inside.top(); y <= inside.bottom(); y += 2)
        for (int x = inside.left(); x <= inside.right(); x += 2)
            if (shot.pixel(x, y) != first) return true;
    return false;
}

struct PageCase {
    const char* caption;
    const char* control;  // a control the page shows
    int rows;             // test rows, -1 for the other pages
    int32_t offset;
};

TEST_F(MainFormFixture, EveryPageShowsItsControlsInTheScreenshot) {
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    const PageCase pages[] = {
        {"Link Layer Tests", "CB_SupportTXLanes", 35, 0},
        {"HDCP Tests (for Transmitters)", "ED_AuthenticationStartTO", 16, 128},
        {"HDCP Tests (for Repeaters)", "CH_HDCP_0", 9, 144},
        {"Audio Tests", "Button1", 5, 64},
        {"Link Training", "PNL_LinkTraining", -1, 64},
        {"E-EDID", "PNL_Edid", -1, 64},
    };
    for (int i = 0; i < 6; ++i) {
        const PageCase& page = pages[i];
        SCOPED_TRACE(page.caption);
        form->TC_PagesTabs->setCurrentIndex(i);
        auto* control = Probe<QWidget>(form, page.control);
        EXPECT_TRUE(WaitFor([&] { return control->isVisible(); }));
        EXPECT_EQ(form->TC_PagesTabs->tabText(form->TC_PagesTabs->currentIndex()).toStdString(), page.caption);
        EXPECT_EQ(form->CurrentGroupOffset(), page.offset);
        if (page.rows >= 0) {
            ASSERT_EQ(form->LV_TestList->topLevelItemCount(), page.rows);
            EXPECT_EQ(form->LV_TestList->topLevelItem(0)->text(0), QStringLiteral("1"));
            EXPECT_EQ(form->LV_TestList->topLevelItem(0)->text(1),
                      platform::FromWindows1252(TestCatalogue::TestName(page.offset + 1)));
        } else {
            EXPECT_FALSE(form->PNL_TestListPage->isVisible());
        }
        const QImage shot = form->grab().toImage();
        const QString file = QStringLiteral(CTS_SCREENSHOT_DIR "/vardeko-page-%1.png").arg(i + 1);
        EXPECT_TRUE(shot.save(file));
        EXPECT_TRUE(ShowsSomething(shot, form, form->TC_PagesTabs));
        EXPECT_TRUE(ShowsSomething(shot, form, control)) << "nothing drawn where " << page.control << " is";
    }
    // The E-EDID page holds the embedded editor.
    EXPECT_FALSE(form->PNL_Edid->findChildren<QWidget*>().isEmpty());
}

TEST_F(MainFormFixture, HdcpRowShowsItsConnectionDiagramAndTwoRowsNone) {
    TCTSMainForm* form = OpenConnected();
    form->TC_PagesTabs->setCurrentIndex(1);                 // transmitters, offset 128
    form->LV_TestList->topLevelItem(9)->setSelected(true);  // ID 138
    EXPECT_EQ(form->ConnectionImageIndex(), 1);
    EXPECT_TRUE(form->BTN_RunTests->isEnabled());
    const QImage one = form->IMG_Connections->pixmap().toImage();
    form->LV_TestList->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(form->ConnectionImageIndex(), -1);
    EXPECT_TRUE(form->BTN_RunTests->isEnabled());
    const QImage blank = form->IMG_Connections->pixmap().toImage();
    EXPECT_NE(one, blank);
    EXPECT_EQ(blank.pixel(5, 5), blank.pixel(150, 150));
    form->LV_TestList->clearSelection();
    EXPECT_FALSE(form->BTN_RunTests->isEnabled());
}

struct GeometryCase {
    const char* name;
    QStringList arguments;
    QRect expected;
};

class GeometrySwitches : public MainFormFixture, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(GeometrySwitches, SetTheStoredGeometry) {
    platform::RegistryIniFile ini = Settings();
    ini.WriteInteger("CTS", "Vardeko_Left", 40);
    ini.WriteInteger("CTS", "Vardeko_Top", 30);
    ini.WriteInteger("CTS", "Vardeko_Width", 1000);
    ini.WriteInteger("CTS", "Vardeko_Height", 700);
    TCTSMainForm* form = Open(GetParam().arguments);
    EXPECT_EQ(form->geometry(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeometrySwitches,
    ::testing::Values(GeometryCase{"Stored", {"vardeko"}, QRect(40, 30, 1000, 700)},
                      GeometryCase{
                          "AllFour", {"vardeko", "-x100", "-y$20", "-w0x400", "-h1,000"}, QRect(100, 32, 1024, 1000)},
                      GeometryCase{"UpperCaseCounts", {"vardeko", "-W900"}, QRect(40, 30, 900, 700)},
                      GeometryCase{"TooSmallIsRaised", {"vardeko", "-w500", "-h400"}, QRect(40, 30, 800, 600)},
                      GeometryCase{"BadNumberKeeps", {"vardeko", "-h12a", "-y", "-x", "77"}, QRect(40, 30, 1000, 700)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormFixture, SettingsRoundTripAndTheDividerKeptWhileStatusIsHidden) {
    platform::RegistryIniFile ini = Settings();
    ini.WriteInteger("CTS", "Vardeko_Timeout", 45);
    ini.WriteInteger("CTS", "Vardeko_TestDelay", 3);
    ini.WriteInteger("CTS", "Vardeko_WindowDiv", 500);
    {
        TCTSMainForm* form = Open({"vardeko", "-x10", "-y20", "-w1100", "-h800"});
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        EXPECT_EQ(form->PNL_UpperContainer->height(), 500);
        form->setGeometry(15, 25, 1050, 780);
        ASSERT_TRUE(WaitFor([&] { return form->size() == QSize(1050, 780); }));
        const int upper = form->PNL_UpperContainer->height();
        form->close();
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Left", 0), 15);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Top", 0), 25);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Width", 0), 1050);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Height", 0), 780);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_WindowDiv", 0), upper);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_Timeout", 0), 45);
        EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_TestDelay", -1), 3);
    }
    form_.reset();
    ini.WriteInteger("CTS", "Vardeko_WindowDiv", 470);
    TCTSMainForm* form = Open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QTest::mouseClick(form->BTN_ShowHideStatus, Qt::LeftButton);
    EXPECT_EQ(form->BTN_ShowHideStatus->text(), QStringLiteral("Show Status"));
    EXPECT_EQ(form->PNL_UpperContainer->height(),
              form->SPL_UpperLower->height() - 36 - form->SPL_UpperLower->handleWidth());
    form->close();
    EXPECT_EQ(ini.ReadInteger("CTS", "Vardeko_WindowDiv", 0), 470);
}

TEST_F(MainFormFixture, SplitterKeepsItsLimitsAndTheStatusButtonRestoresTheHeight) {
    TCTSMainForm* form = Open({"vardeko", "-h800"});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const int client = form->SPL_UpperLower->height();
    const int handle = form->SPL_UpperLower->handleWidth();
    EXPECT_EQ(form->SPL_UpperLowerCanResize(300), 459);
    EXPECT_EQ(form->SPL_UpperLowerCanResize(500), 500);
    EXPECT_EQ(form->SPL_UpperLowerCanResize(client - handle - 80), -1);
    EXPECT_EQ(form->SPL_UpperLowerCanResize(client - handle - 81), client - handle - 81);

    const int before = form->PNL_UpperContainer->height();
    QTest::mouseClick(form->BTN_ShowHideStatus, Qt::LeftButton);
    EXPECT_EQ(form->SPL_UpperLowerCanResize(500), -1);  // no dragging while hidden
    QTest::mouseClick(form->BTN_ShowHideStatus, Qt::LeftButton);
    EXPECT_EQ(form->BTN_ShowHideStatus->text(), QStringLiteral("Hide Status"));
    EXPECT_EQ(form->PNL_UpperContainer->height(), before);
}

Qt::KeyboardModifiers g_held = Qt::NoModifier;
Qt::KeyboardModifiers Held() { return g_held; }

TEST_F(MainFormFixture, ShowPrintPacketsNeedsShiftAndCtrlAndALink) {
    const auto previous = TCTSMainForm::SetModifierReader(&Held);
    TCTSMainForm* form = OpenConnected();
    form->DisconnectCOM1->trigger();  // no link
    const struct {
        Qt::KeyboardModifiers held;
        bool visible;
    } cases[] = {{Qt::NoModifier, false},
                 {Qt::ShiftModifier, false},
                 {Qt::ControlModifier, false},
                 {Qt::ShiftModifier | Qt::ControlModifier, true}};
    for (const auto& c : cases) {
        g_held = c.held;
        form->PopupMenu1Popup();
        EXPECT_EQ(form->Showprintpackets1->isVisible(), c.visible) << c.held.toInt();
    }
    form->Showprintpackets1->trigger();  // no link: no effect
    EXPECT_FALSE(form->Showprintpackets1->isChecked());
    form_.reset();

    TCTSMainForm* connected = OpenConnected();
    g_held = Qt::ShiftModifier | Qt::ControlModifier;
    connected->PopupMenu1Popup();
    connected->Showprintpackets1->trigger();
    EXPECT_TRUE(connected->Showprintpackets1->isChecked());
    EXPECT_TRUE(connected->Link()->ShowPrintPackets());
    g_held = Qt::NoModifier;
    connected->PopupMenu1Popup();
    EXPECT_TRUE(connected->Showprintpackets1->isVisible());  // stays once checked
    TCTSMainForm::SetModifierReader(previous);
}

TEST_F(MainFormFixture, InstanceMessageRestoresTheWindow) {
    TCTSMainForm* form = Open();
    for (Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized}) {
        form->setWindowState(state);
        form->OnInstanceMessage();
        EXPECT_FALSE(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) << state;
        EXPECT_TRUE(form->isVisible());
    }
}

// ---- the parameter block

struct BlockCase {
    const char* name;
    int tab;                                        // page shown
    std::function<void(TCTSMainForm*)> set;         // what the operator does
    std::vector<std::pair<size_t, uint8_t>> bytes;  // expected block bytes
    int32_t extraTimeout;
    QString shownTout;  // what ED_Tout (or the time-out edit of the page) shows afterwards
};

void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class ParameterBlock : public MainFormFixture, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(ParameterBlock, HoldsWhatTheWindowShows) {
    const BlockCase& c = GetParam();
    TCTSMainForm* form = OpenConnected();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    form->TC_PagesTabs->setCurrentIndex(c.tab);
    form->LV_TestList->topLevelItem(0)->setSelected(true);
    c.set(form);
    platform::MessageBoxInterceptor boxes;
    QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
    EXPECT_TRUE(boxes.Texts().empty());
    const auto& block = form->LastBuild().block;
    for (auto [index, value] : c.bytes) EXPECT_EQ(block[index], value) << "byte " << index;
    EXPECT_EQ(form->LastBuild().extraTimeout100ms, c.extraTimeout);
    QLineEdit* shown = c.tab == 1 || c.tab == 2 ? form->ED_AuthenticationStartTO : form->ED_Tout;
    EXPECT_EQ(shown->text(), c.shownTout);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParameterBlock,
    ::testing::Values(
        BlockCase{
            "Defaults",
            0,
            [](TCTSMainForm*) {},
            {{0, 0}, {1, 1}, {2, 0}, {3, 0x06}, {6, 0}, {8, 0x02}, {9, 0xBC}, {10, 0}, {11, 0}, {15, 0x07}, {16, 0xD0}},
            20,
            "2000"},
        BlockCase{"EditsNormalisedBeforeTheBuild",
                  0,
                  [](TCTSMainForm* f) {
                      f->CB_SupportTXLanes->setCurrentIndex(2);
                      f->CB_SupportTXLinkRate->setCurrentIndex(1);
                      Type(f->ED_AfterHPDLow, "3");
                      Type(f->ED_AfterHPDHi, "1234");
                      Type(f->ED_Tout, "25049");  // still in the edit when "Run Tests" is pressed
                  },
                  {{1, 4}, {3, 0x0A}, {8, 0}, {9, 5}, {10, 0x04}, {11, 0xCE}, {15, 0x4E}, {16, 0x20}},
                  200,
                  "20000"},
        BlockCase{"AudioPageMirrors",
                  3,
                  [](TCTSMainForm* f) {
                      f->CB_SupportTXLanes2->setCurrentIndex(1);
                      Type(f->ED_Tout2, "351");
                  },
                  {{1, 2}, {15, 0x01}, {16, 0x90}},
                  4,
                  "400"},
        BlockCase{"HdcpTimeoutTruncated",
                  1,
                  [](TCTSMainForm* f) {
                      f->CH_HDCP[0]->setChecked(true);
                      f->CH_HDCP[2]->setChecked(true);
                      Type(f->ED_AuthenticationStartTO, "10.57");
                  },
                  {{6, 0x05}, {15, 0x29}, {16, 0x04}},
                  105,
                  "10.5"},
        BlockCase{"HdcpTimeoutDecimal",
                  2,
                  [](TCTSMainForm* f) { Type(f->ED_AuthenticationStartTO, "32.3"); },
                  {{6, 0}, {15, 0x7E}, {16, 0x2C}},
                  323,
                  "32.3"},
        BlockCase{"HdcpTimeoutKeptInRange",
                  2,
                  [](TCTSMainForm* f) { Type(f->ED_AuthenticationStartTO, "99"); },
                  {{15, 0xFA}, {16, 0x00}},
                  640,
                  "64.0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormFixture, RunTestsWithoutLaneCountOrLinkRateSaysSo) {
    TCTSMainForm* form = OpenConnected();
    form->LV_TestList->topLevelItem(0)->setSelected(true);
    platform::MessageBoxInterceptor boxes;
    form->CB_SupportTXLanes->setCurrentIndex(-1);
    QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
    form->CB_SupportTXLanes->setCurrentIndex(0);
    form->CB_SupportTXLinkRate->setCurrentIndex(-1);
    QTest::mouseClick(form->BTN_RunTests, Qt::LeftButton);
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{"Choose a max lane count first", "Choose a max link rate first"}));
    EXPECT_EQ(form->LastBuild().block[1], 0);  // nothing built
}

}  // namespace
