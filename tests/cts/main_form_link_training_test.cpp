// The link-training page against the simulated instrument: "Update Status"
// fills the lamps and texts of the four lanes from one link-status record,
// keeps the page on a refused or failed request, and is usable again after
// a reconnection that dropped its request.
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

#include <array>
#include <string>
#include <vector>

#include "MainFormFixture.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/Lamp.h"

namespace {

using cts_test::MainFormFixture;
using test_support::Probe;

constexpr uint8_t kLinkStatus = 0x19;
constexpr int kLinkTrainingPage = 4;

const QColor kGreen(0, 255, 0);
const QColor kGrey(128, 128, 128);

// One record: per lane the three flags and the four levels.
struct Lanes {
    std::array<uint8_t, 4> cr, sl, ce, swingRequested, preRequested, swing, pre;
};

sim::Bytes Record(const Lanes& l) {
    sim::Bytes r;
    for (const auto* part : {&l.cr, &l.sl, &l.ce, &l.swingRequested, &l.preRequested, &l.swing, &l.pre})
        r.insert(r.end(), part->begin(), part->end());
    return r;
}

// What the page shows per lane.
struct Shown {
    std::array<bool, 4> cr, sl, ce;  // green
    std::array<const char*, 4> cd, pe, acd, ape;
};

struct RecordCase {
    const char* name;
    Lanes record;
    Shown shown;
};

class LinkTrainingPage : public MainFormFixture {
protected:
    TCTSMainForm* OpenPage() {
        TCTSMainForm* form = OpenConnected();
        form->TC_PagesTabs->setCurrentIndex(kLinkTrainingPage);
        return form;
    }
    // Presses "Update Status" and waits until the request has completed.
    void Update(TCTSMainForm* form) {
        auto* button = Probe<QPushButton>(form, "BTN_UpdateLinkTraining");
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(button->isEnabled()) << "disabled while the request is pending";
        ASSERT_TRUE(WaitFor([button] { return button->isEnabled(); }));
    }

    static void ExpectShown(TCTSMainForm* form, const Shown& s) {
        for (int lane = 0; lane < 4; ++lane) {
            SCOPED_TRACE("lane " + std::to_string(lane));
            const std::string n = "_L" + std::to_string(lane + 1);
            const auto lamp = [&](const char* prefix) {
                return Probe<platform::Lamp>(form, (prefix + n).c_str())->Color();
            };
            const auto text = [&](const char* prefix) {
                return Probe<QLabel>(form, (prefix + n).c_str())->text().toStdString();
            };
            const auto i = static_cast<size_t>(lane);
            EXPECT_EQ(lamp("SH_CR"), s.cr[i] ? kGreen : kGrey);
            EXPECT_EQ(lamp("SH_SL"), s.sl[i] ? kGreen : kGrey);
            EXPECT_EQ(lamp("SH_CE"), s.ce[i] ? kGreen : kGrey);
            EXPECT_EQ(text("LB_CD"), s.cd[i]);
            EXPECT_EQ(text("LB_PE"), s.pe[i]);
            EXPECT_EQ(text("LB_ACD"), s.acd[i]);
            EXPECT_EQ(text("LB_APE"), s.ape[i]);
        }
    }
};

const Shown kFresh = {{},
                      {},
                      {},
                      {"N/A", "N/A", "N/A", "N/A"},
                      {"N/A", "N/A", "N/A", "N/A"},
                      {"N/A", "N/A", "N/A", "N/A"},
                      {"N/A", "N/A", "N/A", "N/A"}};

class LinkStatusRecords : public LinkTrainingPage, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(LinkStatusRecords, FillTheLampsAndTextsOfEachLane) {
    const RecordCase& c = GetParam();
    sim_.SetLinkStatus(Record(c.record));
    platform::MessageBoxInterceptor boxes;
    TCTSMainForm* form = OpenPage();
    ExpectShown(form, kFresh);
    sim_.ClearReceived();

    Update(form);

    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(sim_.CountReceived(kLinkStatus), 1u);
    ExpectShown(form, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Records, LinkStatusRecords,
    ::testing::Values(
        // Trained at level 2 / 1 on every lane: twelve green lamps.
        RecordCase{"AllLanesTrained",
                   {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {2, 2, 2, 2}, {1, 1, 1, 1}, {2, 2, 2, 2}, {1, 1, 1, 1}},
                   {{1, 1, 1, 1},
                    {1, 1, 1, 1},
                    {1, 1, 1, 1},
                    {"800", "800", "800", "800"},
                    {"3.5", "3.5", "3.5", "3.5"},
                    {"800", "800", "800", "800"},
                    {"3.5", "3.5", "3.5", "3.5"}}},
        // Any non-zero byte lights a lamp; every level and the values past 3.
        RecordCase{
            "EachLaneItsOwn",
            {{1, 0, 0xFF, 0}, {0, 2, 0, 0x80}, {0, 0, 1, 1}, {0, 1, 2, 3}, {3, 2, 1, 0}, {4, 0xFF, 3, 0}, {1, 0, 9, 2}},
            {{1, 0, 1, 0},
             {0, 1, 0, 1},
             {0, 0, 1, 1},
             {"N/A", "N/A", "1200", "400"},
             {"3.5", "0", "N/A", "6"},
             {"400", "600", "800", "1200"},
             {"9.5", "6", "3.5", "0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTrainingPage, ARefusedOrFailedRequestKeepsThePageAndSaysWhy) {
    const Lanes trained = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {2, 2, 2, 2},
                           {1, 1, 1, 1}, {2, 2, 2, 2}, {1, 1, 1, 1}};
    const Shown shown = {{1, 1, 1, 1},
                         {1, 1, 1, 1},
                         {1, 1, 1, 1},
                         {"800", "800", "800", "800"},
                         {"3.5", "3.5", "3.5", "3.5"},
                         {"800", "800", "800", "800"},
                         {"3.5", "3.5", "3.5", "3.5"}};
    sim_.SetLinkStatus(Record(trained));
    platform::MessageBoxInterceptor boxes;
    TCTSMainForm* form = OpenPage();
    Update(form);
    ExpectShown(form, shown);
    // A changed record that does not arrive.
    sim_.SetLinkStatus(sim::Bytes(28, 0));

    const struct {
        sim::Fault fault;
        const char* box;
    } failures[] = {{sim::Fault::Refuse, "Link status query was refused"},
                    {sim::Fault::Short, "Link status query failed"},
                    {sim::Fault::Silent, "Link status query failed"}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.box);
        boxes.Clear();
        sim_.SetFault(kLinkStatus, sim::FaultSpec{f.fault, 0, 1});
        Update(form);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{f.box});
        ExpectShown(form, shown);
    }
}

TEST_F(LinkTrainingPage, ARequestDroppedByADisconnectionLeavesTheButtonUsable) {
    TCTSMainForm* form = OpenPage();
    auto* button = Probe<QPushButton>(form, "BTN_UpdateLinkTraining");
    // The link sends the request 200 ms after taking it: freed before that,
    // it never completes.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled());
    form->DisconnectCOM1Click();
    EXPECT_TRUE(button->isEnabled()) << "the request ended with its link";

    QTest::mouseClick(form->BTN_TryConnection, Qt::LeftButton);
    ASSERT_TRUE(WaitConnected());
    EXPECT_TRUE(button->isEnabled());
    form->TC_PagesTabs->setCurrentIndex(kLinkTrainingPage);
    platform::MessageBoxInterceptor boxes;
    sim_.ClearReceived();
    Update(form);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(sim_.CountReceived(kLinkStatus), 1u) << "the new link takes the request";
}

TEST_F(LinkTrainingPage, ScreenshotShowsTheLanesLampsAndTexts) {
    sim_.SetLinkStatus(
        Record({{1, 1, 1, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}, {2, 2, 3, 0}, {1, 1, 0, 0}, {2, 2, 2, 0}, {1, 1, 0, 0}}));
    platform::MessageBoxInterceptor boxes;
    TCTSMainForm* form = OpenPage();
    Update(form);
    auto* group = Probe<QGroupBox>(form, "GB_SourceSinkStatus");
    EXPECT_EQ(group->title(), QStringLiteral(" Source / Sink Status "));
    EXPECT_TRUE(group->isVisible());
    const QImage shot = form->grab().toImage();
    EXPECT_TRUE(shot.save(QStringLiteral(CTS_SCREENSHOT_DIR "/vardeko-link-training.png")));
    // A lit lamp is drawn green in the picture.
    auto* lamp = Probe<platform::Lamp>(form, "SH_CR_L1");
    const QPoint centre = lamp->mapTo(form, lamp->rect().center());
    EXPECT_EQ(QColor(shot.pixel(centre)), kGreen);
}

}  // namespace
