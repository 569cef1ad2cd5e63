// The E-EDID transfer of the main window against the simulated instrument:
// the editor's Read EDID and Write EDID buttons, the status lines, the
// boxes, refusals and silence in the middle of a transfer (the editor keeps
// its image), blocks the library refuses, the empty write, the blocks a
// write takes when it is confirmed, and the window while a block's reply is
// held back: its own controls disabled, its dialogs not, painting, dropping
// input, its close held back by a write, and ended once by a freed link or
// by a link kept for a run's start. The transfer's requests (segment and
// offset of each block, where a failure stops it) are tested without a
// window in engine/edid_transfer_test.cpp.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "MainFormFixture.h"
#include "RunFixture.h"
#include "cts/dialogs/TDPCD_Access.h"
#include "edid/ECLibrary.h"
#include "engine/EdidImages.h"
#include "platform/GuiCall.h"
#include "platform/MessageBox.h"
#include "platform/MessageBoxInterceptor.h"
#include "platform/gui/MessageList.h"
#include "support/EdidFixtures.h"
#include "support/WaitUntil.h"

namespace {

using cts_test::MainFormFixture;
using edid_images::Address;
using edid_images::Block;
using edid_images::Bytes;
using edid_images::Extension;
using edid_images::FaultOnRequest;
using edid_images::Image;
using edid_images::kRead;
using edid_images::kWrite;
using edid_images::ReadAddresses;
using test_support::Probe;

constexpr int kEdidPage = 5;

const std::string kWriteQuestion =
    "This operation will over-write the E-EDID in the attached SINK device.\r\nThe existing data will be "
    "lost.\r\n\r\nWrite E-EDID?";
const std::string kReportQuestion =
    "Report not saved.\r\n\r\nWould you like to save the report of the test run before closing program?";

class EdidTransfer : public MainFormFixture {
protected:
    void SetUp() override {
        MainFormFixture::SetUp();
        if (HasFatalFailure()) return;
        form_ptr_ = OpenConnected();
        ASSERT_TRUE(form_ptr_->TC_Pages->isVisible());
        form_ptr_->TC_PagesTabs->setCurrentIndex(kEdidPage);
        ASSERT_NE(form_ptr_->EdidHandle(), nullptr);
        ClearStatus();
    }

    TCTSMainForm* Form() const { return form_ptr_; }
    ECHandle Edid() const { return form_ptr_->EdidHandle(); }
    QPushButton* ReadButton() { return Probe<QPushButton>(Form(), "BTN_ReadEDID"); }
    QPushButton* WriteButton() { return Probe<QPushButton>(Form(), "BTN_WriteEDID"); }
    void ClearStatus() { Form()->LB_StatusLines->clear(); }
    // The main window's own controls and menus take input (no transfer
    // blocks them).
    bool InputOpen() const { return Form()->centralWidget()->isEnabled() && Form()->menuBar()->isEnabled(); }

    // The blocks the library holds now.
    std::vector<Block> Library() const {
        std::vector<Block> blocks;
        Block b{};
        while (ECGetBlock(Edid(), static_cast<int32_t>(blocks.size()), b.data(), 128) == 128) blocks.push_back(b);
        return blocks;
    }
    void SetLibrary(const std::vector<Block>& blocks) {
        ECClearBlocks(Edid());
        for (const Block& b : blocks) ASSERT_GE(ECAddBlock(Edid(), b.data(), 128), 0);
        ASSERT_EQ(Library().size(), blocks.size());
    }

    std::vector<Address> Addresses(uint8_t code) const { return edid_images::Addresses(sim_, code); }
    std::vector<std::string> StatusLines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < Form()->LB_StatusLines->count(); ++i)
            lines.push_back(Form()->LB_StatusLines->item(i)->text().toStdString());
        return lines;
    }

    // Arms a fault on the nth request of a code (1: the first from now).
    void FaultOn(uint8_t code, int nth, sim::Fault fault) {
        fault_ = std::make_unique<FaultOnRequest>(sim_, code, nth, fault);
        sim_.SetExtension(fault_.get());
    }

    // A DPCD read from the DPCD dialog, its reply held back by the instrument.
    void HoldDpcdReadFromTheDialog() {
        constexpr uint8_t kDpcdRead = 0x1A;
        Form()->MENU_DPCDAccess->trigger();
        Probe<QLineEdit>(dialogs_.dpcd, "ED_Address")->setText(QStringLiteral("0001"));
        sim_.SetFault(kDpcdRead, sim::FaultSpec{sim::Fault::Hold, 0, 1});
        QTest::mouseClick(dialogs_.dpcd->BTN_Read, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    }

    // Clicks an editor button and waits until the transfer it starts has
    // ended, its box included.
    void Transfer(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));
    }

    // Declared before the fixture's simulator is stopped, destroyed after it.
    std::unique_ptr<FaultOnRequest> fault_;
    TCTSMainForm* form_ptr_ = nullptr;
};

// ---- reading

// A read hands every block to the editor at its end, shows its lines in the
// status list and no box, and leaves the window open for input.
TEST_F(EdidTransfer, AReadReplacesTheEditorsImage) {
    const std::vector<Block> image = Image(1);
    sim_.SetEdid(Bytes(image));
    SetLibrary({edid_fixtures::AnalogBase13()});
    platform::MessageBoxInterceptor boxes;

    Transfer(ReadButton());

    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_EQ(Library(), image);
    EXPECT_EQ(StatusLines(), (std::vector<std::string>{"> Read E-EDID Block #0", "> Read E-EDID Block #0 -1",
                                                       "> Read E-EDID Block #1"}));
    EXPECT_TRUE(InputOpen());
}

struct ReadFailure {
    const char* name;
    int nth;  // the failing request, 1 for block 0
    sim::Fault fault;
    const char* box;
};

class EdidReadFailure : public EdidTransfer, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(EdidReadFailure, StopsThereAndTheEditorKeepsItsImage) {
    const ReadFailure& c = GetParam();
    sim_.SetEdid(Bytes(Image(3)));
    SetLibrary({edid_fixtures::AnalogBase13(), Extension(9)});
    const std::vector<Block> before = Library();
    FaultOn(kRead, c.nth, c.fault);
    platform::MessageBoxInterceptor boxes;
    sim_.ClearReceived();

    Transfer(ReadButton());

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.box});
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(Library(), before);
    EXPECT_TRUE(InputOpen());
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, EdidReadFailure,
                         ::testing::Values(ReadFailure{"Block0Refused", 1, sim::Fault::Refuse, "Request refused"},
                                           ReadFailure{"Block1Refused", 2, sim::Fault::Refuse, "Request refused"},
                                           ReadFailure{"Block2Silent", 3, sim::Fault::Silent, "Read failed"},
                                           ReadFailure{"Block1AnsweredWithAnotherReply", 2, sim::Fault::Short,
                                                       "Read failed"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EdidTransfer, ABlockTheLibraryRefusesStopsTheAddingAndKeepsTheBlocksBeforeIt) {
    // Block 2 of four is all zeros, which the library does not take as a block.
    std::vector<Block> image = Image(3);
    image[2] = Block{};
    sim_.SetEdid(Bytes(image));
    SetLibrary({edid_fixtures::AnalogBase13()});
    platform::MessageBoxInterceptor boxes;

    Transfer(ReadButton());

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"EDID block #2 was refused by the EDID library."});
    const std::vector<Block> held = Library();
    ASSERT_EQ(held.size(), 2u);
    // The library keeps the base block's extension count in step with the
    // blocks it holds.
    EXPECT_TRUE(std::equal(held[0].begin(), held[0].begin() + 126, image[0].begin()));
    EXPECT_EQ(held[1], image[1]);
    EXPECT_EQ(Addresses(kRead).size(), 4u) << "every announced block is read first";
}

TEST_F(EdidTransfer, WithoutALinkNothingHappens) {
    SetLibrary({edid_fixtures::AnalogBase13()});
    Form()->DisconnectCOM1Click();
    ASSERT_EQ(Form()->Link(), nullptr);
    platform::MessageBoxInterceptor boxes;
    sim_.ClearReceived();

    ReadButton()->click();
    WriteButton()->click();

    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(Library(), std::vector<Block>{edid_fixtures::AnalogBase13()});
    EXPECT_TRUE(StatusLines().empty());
    EXPECT_EQ(sim_.CountReceived(kRead) + sim_.CountReceived(kWrite), 0u);
}

// ---- writing

TEST_F(EdidTransfer, WriteAsksThenReportsItsSuccess) {
    const std::vector<Block> image = Image(3);
    SetLibrary(image);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    sim_.ClearReceived();

    Transfer(WriteButton());

    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, "Completed succesfully"}));
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(boxes.Boxes()[1].icon, platform::MsgIcon::Information);
    EXPECT_EQ(sim_.CountReceived(kWrite), 4u);
    EXPECT_EQ(StatusLines().size(), 4u);
    EXPECT_TRUE(InputOpen());
}

TEST_F(EdidTransfer, WriteAnsweredNoSendsNothing) {
    SetLibrary(Image(1));
    platform::MessageBoxInterceptor boxes(platform::MsgResult::No);
    sim_.ClearReceived();

    Transfer(WriteButton());

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kWriteQuestion});
    EXPECT_EQ(sim_.CountReceived(kWrite), 0u);
    EXPECT_TRUE(StatusLines().empty());
}

TEST_F(EdidTransfer, WriteWithNoBlocksSaysSoBeforeAnyQuestionAndSendsNothing) {
    ECClearBlocks(Edid());
    ASSERT_TRUE(Library().empty());
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    sim_.ClearReceived();

    Transfer(WriteButton());

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"No EDID data to write."});
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(sim_.CountReceived(kWrite), 0u);
    EXPECT_TRUE(StatusLines().empty());
}

struct WriteFailure {
    const char* name;
    int nth;
    sim::Fault fault;
    const char* box;
};

class EdidWriteFailure : public EdidTransfer, public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(EdidWriteFailure, ShowsItsBoxAndOpensTheWindowAgain) {
    const WriteFailure& c = GetParam();
    SetLibrary(Image(3));
    FaultOn(kWrite, c.nth, c.fault);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);

    Transfer(WriteButton());

    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, c.box}));
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].icon, platform::MsgIcon::Error);
    EXPECT_TRUE(InputOpen());
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, EdidWriteFailure,
                         ::testing::Values(WriteFailure{"Block1Refused", 2, sim::Fault::Refuse, "Request refused"},
                                           WriteFailure{"Block2Silent", 3, sim::Fault::Silent, "Write failed"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The editor's request names more blocks than the library gives (the
// editor changed after it asked): the write fails before anything of it
// goes out, and the next write works.
TEST_F(EdidTransfer, ABlockTheLibraryCannotGiveFailsTheWriteBeforeAnythingIsSent) {
    const struct {
        const char* name;
        size_t held;
        uint32_t asked;
    } cases[] = {{"TheLastBlockMissing", 2, 3}, {"EveryBlockMissing", 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Block> image = Image(1);
        SetLibrary(std::vector<Block>(image.begin(), image.begin() + static_cast<long>(c.held)));
        platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
        sim_.ClearReceived();
        ClearStatus();

        TCTSMainForm::OnEdidEditorEvent(Form(), EC_HOST_WRITE_EDID, c.asked, nullptr);
        ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));

        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, "Write failed"}));
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].icon, platform::MsgIcon::Error);
        EXPECT_EQ(sim_.CountReceived(kWrite), 0u);
        EXPECT_TRUE(StatusLines().empty());
        EXPECT_TRUE(InputOpen());

        boxes.Clear();
        SetLibrary(image);
        Transfer(WriteButton());
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, "Completed succesfully"}));
        EXPECT_EQ(Addresses(kWrite), ReadAddresses(2));
    }
}

// A write writes the image the operator confirmed, whatever the editor holds
// by the time each block goes out: a 1-block image loaded while the write
// waits for a DPCD read, or while block 0's reply is held back.
struct ConfirmedCase {
    const char* name;
    bool waitsForDpcd;
};
void PrintTo(const ConfirmedCase& c, std::ostream* os) { *os << c.name; }

class EdidWriteConfirmed : public EdidTransfer, public ::testing::WithParamInterface<ConfirmedCase> {};

TEST_P(EdidWriteConfirmed, SendsTheBlocksOfTheConfirmation) {
    const std::vector<Block> confirmed = Image(1);
    sim_.SetEdid(Bytes(Image(3)));
    SetLibrary(confirmed);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    sim_.ClearReceived();

    if (GetParam().waitsForDpcd) {
        ASSERT_NO_FATAL_FAILURE(HoldDpcdReadFromTheDialog());
        QTest::mouseClick(WriteButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 1; })) << "the question";
        EXPECT_EQ(sim_.CountReceived(kWrite), 0u) << "the write waits for the DPCD read";
    } else {
        sim_.SetFault(kWrite, sim::FaultSpec{sim::Fault::Hold, 0, 1});
        QTest::mouseClick(WriteButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    }
    // The operator's new image, as a file load leaves it in the library.
    SetLibrary({edid_fixtures::AnalogBase13()});
    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));

    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, "Completed succesfully"}));
    EXPECT_EQ(Addresses(kWrite), ReadAddresses(2));
    const sim::Bytes held = sim_.Edid();
    ASSERT_GE(held.size(), 2u * 128);
    EXPECT_EQ(sim::Bytes(held.begin(), held.begin() + 2 * 128), Bytes(confirmed));
    EXPECT_EQ(StatusLines(), (std::vector<std::string>{"> Write E-EDID Block #0", "> Write E-EDID Block #1"}));
}

INSTANTIATE_TEST_SUITE_P(EditorChanged, EdidWriteConfirmed,
                         ::testing::Values(ConfirmedCase{"WhileTheWriteWaitsForADpcdRead", true},
                                           ConfirmedCase{"WhileBlock0IsOut", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A confirmed write that waits for a DPCD read, ended by the link being
// freed, fails as the write it is, after a read and before any.
TEST_F(EdidTransfer, AWaitingWriteEndedByAFreedLinkFailsAsAWrite) {
    for (bool readBefore : {false, true}) {
        SCOPED_TRACE(readBefore ? "after a read" : "first transfer");
        if (!Form()->Link()) {
            Form()->BTN_TryConnectionClick();
            ASSERT_TRUE(WaitConnected());
            Form()->TC_PagesTabs->setCurrentIndex(kEdidPage);
        }
        const std::vector<Block> image = Image(1);
        sim_.SetEdid(Bytes(image));
        platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
        if (readBefore) Transfer(ReadButton());
        SetLibrary(image);
        boxes.Clear();
        sim_.ClearReceived();

        ASSERT_NO_FATAL_FAILURE(HoldDpcdReadFromTheDialog());
        QTest::mouseClick(WriteButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 1; })) << "the question";
        Form()->DisconnectCOM1Click();
        ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));
        sim_.ReleaseHeld();

        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kWriteQuestion, "Write failed"}));
        EXPECT_EQ(sim_.CountReceived(kWrite), 0u);
        EXPECT_TRUE(InputOpen());
    }
}

// ---- the window during a transfer

// Counts the events of one type that reach a widget, and of those the ones
// that came while `window` (the main window's client area) was disabled
// (during a transfer).
class EventCounter : public QObject {
public:
    EventCounter(QWidget* watched, QEvent::Type type, const QWidget* window)
        : watched_(watched), type_(type), window_(window) {
        watched_->installEventFilter(this);
    }
    ~EventCounter() override { watched_->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) {
            ++all;
            if (!window_->isEnabled()) ++whileDisabled;
        }
        return false;
    }
    int all = 0;
    int whileDisabled = 0;

private:
    QWidget* watched_;
    QEvent::Type type_;
    const QWidget* window_;
};

// A click as the window system delivers it: queued, handled by the event loop.
void PostClick(QWidget* widget) {
    const QPointF at = QPointF(widget->rect().center());
    const QPointF global = QPointF(widget->mapToGlobal(widget->rect().center()));
    QCoreApplication::postEvent(
        widget, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        widget, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

struct DuringCase {
    const char* name;
    bool write;
};

class EdidTransferWindow : public EdidTransfer, public ::testing::WithParamInterface<DuringCase> {
protected:
    uint8_t Code() const { return GetParam().write ? kWrite : kRead; }
    QPushButton* Button() { return GetParam().write ? WriteButton() : ReadButton(); }
    std::string FirstLine() const { return GetParam().write ? "> Write E-EDID Block #0" : "> Read E-EDID Block #0"; }
};

// While block 0's reply is held back the window is disabled but alive: a
// 10 ms timer ticks, the status list paints, and a click on "Read EDID"
// is dropped (it sends nothing, now or after the transfer).
TEST_P(EdidTransferWindow, PaintsAndDropsInputWhileABlockIsHeldBack) {
    const std::vector<Block> image = Image(2);
    sim_.SetEdid(Bytes(image));
    SetLibrary(image);
    sim_.SetFault(Code(), sim::FaultSpec{sim::Fault::Hold, 0, 1});
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    QTimer ticker;
    ticker.setInterval(10);
    int ticksWhileDisabled = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksWhileDisabled += InputOpen() ? 0 : 1; });
    ticker.start();
    EventCounter paints(Form()->LB_StatusLines->viewport(), QEvent::Paint, Form()->centralWidget());
    sim_.ClearReceived();

    QTest::mouseClick(Button(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    EXPECT_FALSE(Form()->centralWidget()->isEnabled()) << "the transfer is still on";
    EXPECT_FALSE(Form()->menuBar()->isEnabled());
    // The windows the main window owns stay usable (a box or dialog the
    // operator opens meanwhile works); the DPCD dialog sends nothing.
    for (const auto& window : ownedDialogs_) EXPECT_TRUE(window->isEnabled()) << window->objectName().toStdString();
    EXPECT_FALSE(dialogs_.dpcd->BTN_Read->isEnabled()) << "the DPCD dialog, a window of its own, asks nothing";
    EXPECT_EQ(StatusLines(), std::vector<std::string>{FirstLine()});
    EventCounter clicks(ReadButton(), QEvent::MouseButtonRelease, Form()->centralWidget());
    PostClick(ReadButton());
    Form()->LB_StatusLines->viewport()->update();
    EXPECT_TRUE(WaitFor([&] { return ticksWhileDisabled >= 5 && paints.whileDisabled > 0 && clicks.all > 0; }))
        << ticksWhileDisabled << " ticks, " << paints.whileDisabled << " paints, " << clicks.all << " clicks";
    EXPECT_EQ(clicks.whileDisabled, clicks.all) << "the click reached the disabled window";
    EXPECT_EQ(boxes.Texts().size(), GetParam().write ? 1u : 0u) << "only the write's question so far";

    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));
    EXPECT_TRUE(InputOpen());
    EXPECT_EQ(Addresses(Code()), ReadAddresses(3));
    EXPECT_EQ(sim_.CountReceived(GetParam().write ? kRead : kWrite), 0u) << "the dropped click sent nothing";
    EXPECT_EQ(StatusLines().size(), GetParam().write ? 3u : 4u);
    EXPECT_EQ(Library(), image);
}

// The link freed while block 1's reply is held back: the transfer ends at
// once as failed, with one box; nothing of it remains, so the next link
// reads again.
TEST_P(EdidTransferWindow, ALinkFreedWhileABlockIsHeldBackEndsItAsFailedOnce) {
    const std::vector<Block> image = Image(3);
    sim_.SetEdid(Bytes(image));
    const std::vector<Block> before = {edid_fixtures::AnalogBase13()};
    SetLibrary(GetParam().write ? image : before);
    FaultOn(Code(), 2, sim::Fault::Hold);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);

    QTest::mouseClick(Button(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    ASSERT_FALSE(InputOpen()) << "the transfer is still on";
    const std::vector<std::string> asked = boxes.Texts();
    ASSERT_EQ(asked.size(), GetParam().write ? 1u : 0u);
    Form()->DisconnectCOM1Click();

    ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));
    std::vector<std::string> expected = asked;
    expected.push_back(GetParam().write ? "Write failed" : "Read failed");
    EXPECT_EQ(boxes.Texts(), expected);
    EXPECT_EQ(Form()->Link(), nullptr);
    EXPECT_TRUE(InputOpen());
    EXPECT_EQ(Library(), GetParam().write ? image : before);

    // The held reply reaches no one; a new link transfers again.
    sim_.ReleaseHeld();
    sim_.SetExtension(nullptr);
    Form()->BTN_TryConnectionClick();
    ASSERT_TRUE(WaitConnected());
    Form()->TC_PagesTabs->setCurrentIndex(kEdidPage);
    sim_.ClearReceived();
    Transfer(Button());
    expected.push_back(GetParam().write ? kWriteQuestion : std::string());
    if (GetParam().write) expected.push_back("Completed succesfully");
    else expected.pop_back();
    EXPECT_EQ(boxes.Texts(), expected);
    EXPECT_EQ(Library(), image);
}

INSTANTIATE_TEST_SUITE_P(ReadAndWrite, EdidTransferWindow,
                         ::testing::Values(DuringCase{"Read", false}, DuringCase{"Write", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- closing during a transfer

struct CloseCase {
    const char* name;
    bool write;
    bool waitsForDpcd;   // the write waits for a DPCD read of the dialog, whose reply is held back
    bool reportUnsaved;  // a run's report is not saved: the close asks about it (answered No)
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class EdidTransferClose : public EdidTransfer, public ::testing::WithParamInterface<CloseCase> {};

// The window closed while block 0's reply is held back (the instrument has
// the new block 0 and still the old block 1), or while a confirmed write
// waits for the link: a write refuses the close without a word, writes
// every block, and the window closes once it has ended. A read does not
// hold the close back.
TEST_P(EdidTransferClose, AConfirmedWriteHoldsTheCloseUntilItHasEnded) {
    const CloseCase& c = GetParam();
    sim_.SetEdid(Bytes(Image(1)));
    std::vector<Block> image = {edid_fixtures::AnalogBase13(), Extension(30)};
    image[0][126] = 1;
    edid_fixtures::FixChecksum(image[0]);
    SetLibrary(image);
    Form()->SetReportSaved(!c.reportUnsaved);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    sim_.ClearReceived();

    if (c.waitsForDpcd) {
        ASSERT_NO_FATAL_FAILURE(HoldDpcdReadFromTheDialog());
        QTest::mouseClick(WriteButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 1; })) << "the question";
        EXPECT_EQ(sim_.CountReceived(kWrite), 0u) << "the write waits for the DPCD read";
    } else {
        sim_.SetFault(c.write ? kWrite : kRead, sim::FaultSpec{sim::Fault::Hold, 0, 1});
        QTest::mouseClick(c.write ? WriteButton() : ReadButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    }
    const std::vector<std::string> asked = boxes.Texts();
    boxes.SetAnswer(platform::MsgResult::No);  // the report question

    const bool closed = Form()->close();

    EXPECT_EQ(closed, !c.write);
    EXPECT_EQ(Form()->isVisible(), c.write);
    std::vector<std::string> expected = asked;
    if (!c.write && c.reportUnsaved) expected.push_back(kReportQuestion);
    EXPECT_EQ(boxes.Texts(), expected) << "a write refuses the close without a question";
    if (!c.waitsForDpcd) {
        EXPECT_EQ(StatusLines(),
                  std::vector<std::string>{c.write ? "> Write E-EDID Block #0" : "> Read E-EDID Block #0"})
            << "the status list shows the progress";
    }

    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitFor([this] { return !Form()->EdidTransferActive(); }));
    if (!c.write) return;
    expected.push_back("Completed succesfully");
    EXPECT_EQ(boxes.Texts(), expected);
    EXPECT_EQ(Addresses(kWrite), ReadAddresses(2));
    const sim::Bytes held = sim_.Edid();
    ASSERT_GE(held.size(), 2u * 128);
    EXPECT_EQ(sim::Bytes(held.begin(), held.begin() + 2 * 128), Bytes(image)) << "the whole new image";

    // Once the write has ended the window closes, asking about the report as ever.
    boxes.Clear();
    EXPECT_TRUE(Form()->close());
    EXPECT_EQ(boxes.Texts(), c.reportUnsaved ? std::vector<std::string>{kReportQuestion} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(WhileBlocksAreOut, EdidTransferClose,
                         ::testing::Values(CloseCase{"WriteWithBlock0Out", true, false, false},
                                           CloseCase{"WriteWithBlock0OutAndTheReportUnsaved", true, false, true},
                                           CloseCase{"WriteWaitingForADpcdRead", true, true, false},
                                           CloseCase{"WriteWaitingForADpcdReadAndTheReportUnsaved", true, true, true},
                                           CloseCase{"ReadWithBlock0Out", false, false, false},
                                           CloseCase{"ReadWithBlock0OutAndTheReportUnsaved", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a transfer that meets a waiting run start

// A DPCD read of the dialog is out (its reply held back) and "Run Tests"
// waits for it, so the link is kept for the run: an E-EDID transfer asked for
// meanwhile fails as a busy link does, with its box, and sends nothing; the
// run then goes out.
class EdidTransferMeetsAWaitingRun : public cts_test::RunFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(EdidTransferMeetsAWaitingRun, FailsWithItsBoxAndTheRunGoesOut) {
    constexpr uint8_t kDpcdRead = 0x1A, kVersion = 0x1C;
    const bool write = GetParam();
    TCTSMainForm* form = OpenForRuns();
    ASSERT_TRUE(form->TC_Pages->isVisible());
    ECClearBlocks(form->EdidHandle());
    for (const Block& b : Image(1)) ASSERT_GE(ECAddBlock(form->EdidHandle(), b.data(), 128), 0);
    platform::MessageBoxInterceptor boxes(platform::MsgResult::Yes);
    form->MENU_DPCDAccess->trigger();
    Probe<QLineEdit>(dialogs_.dpcd, "ED_Address")->setText(QStringLiteral("0001"));
    sim_.SetFault(kDpcdRead, sim::FaultSpec{sim::Fault::Hold, 0, 1});
    QTest::mouseClick(dialogs_.dpcd->BTN_Read, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return sim_.HeldCount() == 1; }));
    sim_.ClearReceived();
    form->LB_StatusLines->clear();
    Select(form, {5});
    form->UD_IterationCount->setValue(1);
    form->BTN_RunTests->click();
    ASSERT_EQ(sim_.CountReceived(kVersion), 0u) << "the run's start waits for the DPCD read";

    form->TC_PagesTabs->setCurrentIndex(kEdidPage);
    ASSERT_EQ(form->TC_PagesTabs->currentIndex(), kEdidPage);
    QTest::mouseClick(Probe<QPushButton>(form, write ? "BTN_WriteEDID" : "BTN_ReadEDID"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([form] { return !form->EdidTransferActive(); }));

    const std::vector<std::string> expected =
        write ? std::vector<std::string>{kWriteQuestion, "Write failed"} : std::vector<std::string>{"Read failed"};
    EXPECT_EQ(boxes.Texts(), expected);
    ASSERT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(boxes.Boxes().back().icon, platform::MsgIcon::Error);
    EXPECT_EQ(sim_.CountReceived(kRead) + sim_.CountReceived(kWrite), 0u);
    EXPECT_TRUE(StatusLines(form).empty());
    EXPECT_TRUE(form->centralWidget()->isEnabled() && form->menuBar()->isEnabled());

    boxes.Clear();
    sim_.ReleaseHeld();
    ASSERT_TRUE(WaitEnded(form, boxes));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Testing Sequence Complete."});
    const std::vector<sim::Bytes> starts = ReceivedOf(kStart);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0][2], 5) << "the test of the row the click chose";
}

INSTANTIATE_TEST_SUITE_P(ReadAndWrite, EdidTransferMeetsAWaitingRun, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Write" : "Read"); });

// ---- library messages

TEST_F(EdidTransfer, OnlyFileErrorsOfTheLibraryAreShown) {
    platform::MessageBoxInterceptor boxes;
    const struct {
        uint32_t kind;
        bool shown;
    } kinds[] = {
        {EC_MSG_INFORMATION, false}, {EC_MSG_WARNING, false}, {EC_MSG_ERROR, false}, {EC_MSG_FILE_ERROR, true}};
    for (const auto& k : kinds) {
        boxes.Clear();
        TCTSMainForm::OnEdidEditorEvent(Form(), EC_HOST_MESSAGE, k.kind, u"Cannot open file \"x.ecd\"");
        EXPECT_EQ(boxes.Texts().size(), k.shown ? 1u : 0u) << "kind " << k.kind;
    }
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Cannot open file \"x.ecd\"");
}

// ---- what the operator sees

TEST_F(EdidTransfer, ScreenshotOfTheEdidPageAfterARead) {
    const std::vector<Block> image = Image(2);
    sim_.SetEdid(Bytes(image));
    platform::MessageBoxInterceptor boxes;
    Transfer(ReadButton());
    ASSERT_EQ(Library(), image);
    // The collection opened, as the operator would, to show the blocks read.
    auto* tree = Probe<QTreeWidget>(Form(), "LV_EDID_tree");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    tree->topLevelItem(0)->setExpanded(true);
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 3 + 1) << "the block count and the three blocks";
    const QImage shot = Form()->grab().toImage();
    EXPECT_TRUE(shot.save(QStringLiteral(CTS_SCREENSHOT_DIR "/vardeko-edid-after-read.png")));
}

}  // namespace
