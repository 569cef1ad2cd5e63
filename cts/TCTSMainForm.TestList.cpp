// The pages of the main window and the test list: the tab bar with the
// panels it switches, the list of the shown test group with its counters,
// the connection diagram of the HDCP tests and "Clear Results".
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "cts/TCTSMainForm.h"
#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/TestListCells.h"
#include "platform/MessageBox.h"
#include "platform/Windows1252.h"
#include "platform/gui/FormKit.h"

namespace {

using platform::Named;

constexpr int kDiagramWidth = 192;
constexpr int kDiagramHeight = 200;

// One connection diagram: the boxes of a set-up from top to bottom, joined
// by DisplayPort links.
QPixmap Diagram(std::initializer_list<const char*> boxes) {
    QPixmap picture(kDiagramWidth, kDiagramHeight);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const int n = static_cast<int>(boxes.size());
    const int boxHeight = 36;
    const int gap = (kDiagramHeight - n * boxHeight) / (n + 1);
    int y = gap;
    int i = 0;
    for (const char* text : boxes) {
        const QRect box(16, y, kDiagramWidth - 32, boxHeight);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(i == 0 ? QColor(0xD0, 0xE4, 0xFF) : QColor(0xE8, 0xE8, 0xE8));
        p.drawRoundedRect(box, 5, 5);
        p.drawText(box, Qt::AlignCenter, QString::fromLatin1(text));
        if (i + 1 < n) {
            const int x = kDiagramWidth / 2;
            p.setPen(QPen(Qt::darkBlue, 2));
            p.drawLine(x, y + boxHeight, x, y + boxHeight + gap);
            p.drawLine(x, y + boxHeight + gap, x - 4, y + boxHeight + gap - 6);
            p.drawLine(x, y + boxHeight + gap, x + 4, y + boxHeight + gap - 6);
        }
        y += boxHeight + gap;
        ++i;
    }
    return picture;
}

// ImgListing: transmitter with a receiver, transmitter with a repeater, the
// repeater under test with a receiver and with a repeater downstream.
const std::array<QPixmap, 4>& ImgListing() {
    static const std::array<QPixmap, 4> pictures = {
        Diagram({"Transmitter (DUT)", "TE as Receiver"}),
        Diagram({"Transmitter (DUT)", "TE as Repeater", "Receiver"}),
        Diagram({"TE as Transmitter", "Repeater (DUT)", "TE as Receiver"}),
        Diagram({"TE as Transmitter", "Repeater (DUT)", "TE as Repeater", "Receiver"}),
    };
    return pictures;
}

}  // namespace

QWidget* TCTSMainForm::BuildPagesArea() {
    auto* pages = platform::Panel(PNL_UpperContainer, "TC_Pages");
    auto* layout = new QVBoxLayout(pages);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    TC_PagesTabs = Named<QTabBar>(pages, "TC_PagesTabs");
    TC_PagesTabs->setExpanding(false);
    layout->addWidget(TC_PagesTabs);

    PNL_TestListPage = platform::Panel(pages, "PNL_TestListPage");
    PNL_LinkTraining = platform::Panel(pages, "PNL_LinkTraining");
    PNL_Edid = platform::Panel(pages, "PNL_Edid");
    PNL_Edid->installEventFilter(this);
    for (QFrame* panel : {PNL_TestListPage, PNL_LinkTraining, PNL_Edid}) {
        panel->setFrameShape(QFrame::StyledPanel);
        layout->addWidget(panel, 1);
        panel->hide();
    }
    BuildTestListPage();
    BuildLinkTrainingPage();

    connect(TC_PagesTabs, &QTabBar::currentChanged, this, [this](int index) {
        // A page change is refused while a run is in progress.
        if (run_.Running() && shownTab_ >= 0 && index != shownTab_) {
            const QSignalBlocker block(TC_PagesTabs);
            TC_PagesTabs->setCurrentIndex(shownTab_);
            return;
        }
        TC_PagesChange(index);
    });
    return pages;
}

void TCTSMainForm::BuildTestListPage() {
    auto* row = new QHBoxLayout(PNL_TestListPage);
    row->setContentsMargins(4, 4, 4, 4);
    auto* left = new QVBoxLayout;
    row->addLayout(left, 1);

    LV_TestList = Named<QTreeWidget>(PNL_TestListPage, "LV_TestList");
    LV_TestList->setRootIsDecorated(false);
    LV_TestList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV_TestList->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_TestList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_TestList->setUniformRowHeights(true);
    LV_TestList->setAllColumnsShowFocus(true);
    QStringList headers;
    for (const TestListColumn& column : TestListCells::Columns()) headers << QString::fromLatin1(column.caption);
    LV_TestList->setHeaderLabels(headers);
    QHeaderView* header = LV_TestList->header();
    header->setStretchLastSection(false);
    for (int c = 0; c < TestListCells::kColumnCount; ++c) {
        const int width = TestListCells::Columns()[static_cast<size_t>(c)].width;
        if (width == TestListCells::kWidthFill) {
            header->setSectionResizeMode(c, QHeaderView::Stretch);
        } else {
            header->setSectionResizeMode(c, QHeaderView::Fixed);
            header->resizeSection(c, width == TestListCells::kWidthDefault ? header->defaultSectionSize() : width);
        }
    }
    header->resizeSection(TestListCells::kTimeout, 55);
    left->addWidget(LV_TestList, 1);

    auto* runRow = new QHBoxLayout;
    LBL_IterationCount = platform::PlainLabel(PNL_TestListPage, "LBL_IterationCount", QStringLiteral("Test Runs:"));
    ED_IterationCount = Named<QLineEdit>(PNL_TestListPage, "ED_IterationCount", QStringLiteral("1"));
    ED_IterationCount->setReadOnly(true);
    ED_IterationCount->setToolTip(QStringLiteral("Number of times to repeat selected tests"));
    ED_IterationCount->setFixedWidth(60);
    ED_IterationCount->installEventFilter(this);
    UD_IterationCount = Named<QSpinBox>(PNL_TestListPage, "UD_IterationCount");
    UD_IterationCount->setRange(ParameterEdits::kIterationCountRange.min, ParameterEdits::kIterationCountRange.max);
    UD_IterationCount->setValue(ParameterEdits::kIterationCountRange.start);
    UD_IterationCount->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    UD_IterationCount->setFixedWidth(20);
    connect(UD_IterationCount, &QSpinBox::valueChanged, this,
            [this](int v) { ED_IterationCount->setText(QString::number(v)); });
    BTN_RunTests = platform::Button(PNL_TestListPage, "BTN_RunTests", QStringLiteral("Run Tests"));
    BTN_RunTests->setEnabled(false);
    BTN_Abort = platform::Button(PNL_TestListPage, "BTN_Abort", QStringLiteral("Abort"));
    BTN_Abort->hide();
    BTN_ClearTestResults = platform::Button(PNL_TestListPage, "BTN_ClearTestResults", QStringLiteral("Clear Results"));
    runRow->addWidget(LBL_IterationCount);
    runRow->addWidget(ED_IterationCount);
    runRow->addWidget(UD_IterationCount);
    runRow->addSpacing(12);
    runRow->addWidget(BTN_RunTests);
    runRow->addWidget(BTN_Abort);
    runRow->addStretch(1);
    runRow->addWidget(BTN_ClearTestResults);
    left->addLayout(runRow);

    auto* side = new QVBoxLayout;
    side->setContentsMargins(0, 0, 0, 0);
    row->addLayout(side);
    BuildSourceSidePanel(PNL_TestListPage);
    BuildAudioSidePanel(PNL_TestListPage);
    BuildHdcpSidePanel(PNL_TestListPage);
    for (QFrame* panel : {PNL_DUTCaps_SourceTest, PNL_AudioDutCaps, PNL_DUTCaps_HDCPTest}) {
        panel->setFixedWidth(280);
        panel->hide();
        side->addWidget(panel);
    }
    ConnectParameterHandlers();

    connect(LV_TestList, &QTreeWidget::itemSelectionChanged, this, [this] { LV_TestListSelectItem(); });
    connect(LV_TestList, &QTreeWidget::itemClicked, this, [this] { LV_TestListSelectItem(); });
    connect(BTN_RunTests, &QPushButton::clicked, this, [this] { BTN_RunTestsClick(); });
    connect(BTN_Abort, &QPushButton::clicked, this, [this] { BTN_AbortClick(); });
    connect(BTN_ClearTestResults, &QPushButton::clicked, this, [this] { BTN_ClearTestResultsClick(); });
}

void TCTSMainForm::TC_PagesChange(int index) {
    if (index < 0) return;
    shownTab_ = index;
    const QString caption = TC_PagesTabs->tabText(index);
    const auto only = [](std::initializer_list<QWidget*> hide, std::initializer_list<QWidget*> show) {
        for (QWidget* w : hide) w->hide();
        for (QWidget* w : show) w->show();
    };
    if (const TestGroup* group = TestCatalogue::GroupByCaption(caption)) {
        if (group->idOffset == TestCatalogue::kAudioOffset) {
            only({PNL_DUTCaps_SourceTest, PNL_DUTCaps_HDCPTest, PNL_Edid, PNL_LinkTraining},
                 {PNL_AudioDutCaps, PNL_TestListPage});
        } else if (group->idOffset == TestCatalogue::kLinkLayerOffset) {
            only({PNL_AudioDutCaps, PNL_DUTCaps_HDCPTest, PNL_Edid, PNL_LinkTraining},
                 {PNL_DUTCaps_SourceTest, PNL_TestListPage});
        } else {
            only({PNL_AudioDutCaps, PNL_DUTCaps_SourceTest, PNL_Edid, PNL_LinkTraining},
                 {PNL_DUTCaps_HDCPTest, PNL_TestListPage});
        }
        FillTestList(*group);
        return;
    }
    if (caption == QStringLiteral("Link Training")) {
        only({PNL_AudioDutCaps, PNL_Edid, PNL_TestListPage}, {PNL_LinkTraining});
    } else if (caption == QStringLiteral("E-EDID")) {
        only({PNL_AudioDutCaps, PNL_TestListPage, PNL_LinkTraining}, {PNL_Edid});
        PNL_EdidResize();
    }
}

void TCTSMainForm::FillTestList(const TestGroup& group) {
    LV_TestList->clear();
    QList<QTreeWidgetItem*> rows;
    for (int row = 0; row < group.TestCount(); ++row) rows << new QTreeWidgetItem(TestListCells::FreshRow(group, row));
    LV_TestList->addTopLevelItems(rows);
    groupOffset_ = group.idOffset;
    RefreshTestCounters();
    LV_TestListSelectItem();
}

void TCTSMainForm::RefreshTestCounters() {
    const int rowCount = LV_TestList->topLevelItemCount();
    const auto cells = TestListCells::CounterCells(tests_, groupOffset_, rowCount);
    LV_TestList->setUpdatesEnabled(false);
    for (int row = 0; row < rowCount && row < static_cast<int>(cells.size()); ++row) {
        QTreeWidgetItem* item = LV_TestList->topLevelItem(row);
        for (int i = 0; i < 5; ++i) item->setText(TestListCells::kPass + i, cells[static_cast<size_t>(row)][i]);
    }
    LV_TestList->setUpdatesEnabled(true);
}

void TCTSMainForm::ShowRunningRow(int row) {
    LV_TestList->setUpdatesEnabled(false);
    const int rowCount = LV_TestList->topLevelItemCount();
    for (int r = 0; r < rowCount; ++r)
        LV_TestList->topLevelItem(r)->setText(TestListCells::kStatus, TestListCells::StatusText(false));
    if (row >= 0 && row < rowCount) {
        LV_TestList->clearSelection();
        LV_TestList->topLevelItem(row)->setSelected(true);
        LV_TestList->topLevelItem(row)->setText(TestListCells::kStatus, TestListCells::StatusText(true));
    }
    LV_TestList->setUpdatesEnabled(true);
}

int TCTSMainForm::ConnectionImageIndex() const {
    const QList<QTreeWidgetItem*> selected = LV_TestList->selectedItems();
    if (selected.size() != 1) return -1;
    return TestCatalogue::ConnectionImageIndex(LV_TestList->indexOfTopLevelItem(selected[0]) + 1 + groupOffset_);
}

void TCTSMainForm::LV_TestListSelectItem() {
    const int selected = static_cast<int>(LV_TestList->selectedItems().size());
    SetRunTestsEnabled(selected >= 1);
    const int picture = selected == 1 ? ConnectionImageIndex() : -1;
    if (picture >= 0) {
        IMG_Connections->setPixmap(ImgListing()[static_cast<size_t>(picture)]);
    } else {
        QPixmap blank(kDiagramWidth, kDiagramHeight);
        blank.fill(palette().color(QPalette::Button));
        IMG_Connections->setPixmap(blank);
    }
}

void TCTSMainForm::BTN_ClearTestResultsClick() {
    if (!reportSaved_) {
        const auto answer = platform::ShowMessageBox(
            "Report not saved.\r\n\r\nWould you like to save the report of the previous test run before clearing "
            "results?",
            windowTitle().toStdString(), platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, this);
        // Yes clears only when the report was written.
        if (answer == platform::MsgResult::Yes && !MENU_SaveReportClick()) return;
        if (answer != platform::MsgResult::Yes && answer != platform::MsgResult::No) return;
    }
    reportSaved_ = true;
    tests_.clear();
    RefreshTestCounters();
}
