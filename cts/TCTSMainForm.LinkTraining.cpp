// The link-training page: the DisplayPort link state the instrument reports
// for its four lanes. One link-status request fills the whole page: clock
// recovery, symbol lock and channel equalization per lane as lamps, and the
// voltage swing and pre-emphasis levels in use and requested by the sink
// (DPCD ADJUST_REQUEST_LANEx) as texts.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "cts/TCTSMainForm.h"
#include "platform/MessageBox.h"
#include "platform/gui/FormKit.h"
#include "platform/gui/Lamp.h"

namespace {

using platform::Named;

// Where each quantity sits in the 28-byte link-status record: four bytes per
// quantity, one per lane.
constexpr size_t kClockRecoveryAt = 0;
constexpr size_t kSymbolLockAt = 4;
constexpr size_t kChannelEqualizationAt = 8;
constexpr size_t kSwingRequestedAt = 12;
constexpr size_t kPreEmphasisRequestedAt = 16;
constexpr size_t kSwingAt = 20;
constexpr size_t kPreEmphasisAt = 24;

constexpr const char* kNotAvailable = "N/A";

// The DisplayPort voltage swing levels 0 to 3 in mVpp.
QString SwingLevelText(uint8_t level) {
    static constexpr const char* kTexts[] = {"400", "600", "800", "1200"};
    return QString::fromLatin1(level < 4 ? kTexts[level] : kNotAvailable);
}

// The DisplayPort pre-emphasis levels 0 to 3 in dB.
QString PreEmphasisLevelText(uint8_t level) {
    static constexpr const char* kTexts[] = {"0", "3.5", "6", "9.5"};
    return QString::fromLatin1(level < 4 ? kTexts[level] : kNotAvailable);
}

}  // namespace

void TCTSMainForm::BuildLinkTrainingPage() {
    auto* page = new QVBoxLayout(PNL_LinkTraining);
    page->setContentsMargins(8, 8, 8, 8);
    GB_SourceSinkStatus = Named<QGroupBox>(PNL_LinkTraining, "GB_SourceSinkStatus");
    GB_SourceSinkStatus->setTitle(QStringLiteral(" Source / Sink Status "));
    auto* grid = new QGridLayout(GB_SourceSinkStatus);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(10);
    grid->setContentsMargins(12, 16, 12, 12);

    // Column headings: the lanes as the DisplayPort standard numbers them.
    for (int lane = 0; lane < 4; ++lane) {
        const QByteArray name = "LBL_LinkTrainingLane" + QByteArray::number(lane);
        QLabel* heading = platform::PlainLabel(GB_SourceSinkStatus, name.constData(), QStringLiteral("L%1").arg(lane));
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 0, lane + 1);
    }

    int row = 1;
    const auto caption = [&](const char* name, const char* text) {
        grid->addWidget(platform::PlainLabel(GB_SourceSinkStatus, name, QString::fromLatin1(text)), row, 0);
    };
    const auto lampRow = [&](std::array<platform::Lamp*, 4>& lamps, const char* prefix, const char* name,
                             const char* text) {
        caption(name, text);
        for (int lane = 0; lane < 4; ++lane) {
            const QByteArray lampName = QByteArray(prefix) + "_L" + QByteArray::number(lane + 1);
            auto* lamp = Named<platform::Lamp>(GB_SourceSinkStatus, lampName.constData());
            lamp->setFixedSize(18, 18);
            lamps[static_cast<size_t>(lane)] = lamp;
            grid->addWidget(lamp, row, lane + 1, Qt::AlignCenter);
        }
        ++row;
    };
    const auto labelRow = [&](std::array<QLabel*, 4>& labels, const char* prefix, const char* name, const char* text) {
        caption(name, text);
        for (int lane = 0; lane < 4; ++lane) {
            const QByteArray labelName = QByteArray(prefix) + "_L" + QByteArray::number(lane + 1);
            QLabel* label =
                platform::PlainLabel(GB_SourceSinkStatus, labelName.constData(), QString::fromLatin1(kNotAvailable));
            label->setAlignment(Qt::AlignCenter);
            label->setMinimumWidth(48);
            labels[static_cast<size_t>(lane)] = label;
            grid->addWidget(label, row, lane + 1);
        }
        ++row;
    };
    lampRow(SH_CR, "SH_CR", "LBL_ClockRecovery", "Clock Recovery");
    lampRow(SH_SL, "SH_SL", "LBL_SymbolLock", "Symbol Lock");
    lampRow(SH_CE, "SH_CE", "LBL_ChannelEqualization", "Channel Equalization");
    labelRow(LB_CD, "LB_CD", "LBL_VoltageSwing", "Voltage swing (mVpp)");
    labelRow(LB_PE, "LB_PE", "LBL_PreEmphasis", "Pre-emphasis (dB)");
    labelRow(LB_ACD, "LB_ACD", "LBL_VoltageSwingRequested", "Voltage swing adj. requested (mVpp)");
    labelRow(LB_APE, "LB_APE", "LBL_PreEmphasisRequested", "Pre-emphasis adj. requested (dB)");

    BTN_UpdateLinkTraining =
        platform::Button(GB_SourceSinkStatus, "BTN_UpdateLinkTraining", QStringLiteral("Update Status"));
    grid->addWidget(BTN_UpdateLinkTraining, row, 1, 1, 4, Qt::AlignRight);

    auto* top = new QHBoxLayout;
    top->addWidget(GB_SourceSinkStatus);
    top->addStretch(1);
    page->addLayout(top);
    page->addStretch(1);

    connect(BTN_UpdateLinkTraining, &QPushButton::clicked, this, [this] { BTN_UpdateLinkTrainingClick(); });
}

void TCTSMainForm::BTN_UpdateLinkTrainingClick() {
    // Taking the link disables the button until the completion.
    if (!TakeLink(WindowRequest::LinkStatus)) return;
    link_->QueryLinkStatus(linkStatusRecord_.data(), [this](LinkResult result) { OnLinkStatus(result); });
}

void TCTSMainForm::OnLinkStatus(LinkResult result) {
    ReleaseLink(WindowRequest::LinkStatus);
    if (result == LINK_REFUSED) {
        platform::ShowMessageBox("Link status query was refused", windowTitle().toStdString(), platform::MsgIcon::None,
                                 platform::MsgButtons::Ok, this);
        return;
    }
    if (result != LINK_OK) {
        platform::ShowMessageBox("Link status query failed", windowTitle().toStdString(), platform::MsgIcon::None,
                                 platform::MsgButtons::Ok, this);
        return;
    }
    const auto& r = linkStatusRecord_;
    const auto lamp = [](platform::Lamp* l, uint8_t flag) {
        l->SetState(flag != 0 ? platform::Lamp::State::On : platform::Lamp::State::Off);
    };
    for (size_t lane = 0; lane < 4; ++lane) {
        lamp(SH_CR[lane], r[kClockRecoveryAt + lane]);
        lamp(SH_SL[lane], r[kSymbolLockAt + lane]);
        lamp(SH_CE[lane], r[kChannelEqualizationAt + lane]);
        LB_ACD[lane]->setText(SwingLevelText(r[kSwingRequestedAt + lane]));
        LB_APE[lane]->setText(PreEmphasisLevelText(r[kPreEmphasisRequestedAt + lane]));
        LB_CD[lane]->setText(SwingLevelText(r[kSwingAt + lane]));
        LB_PE[lane]->setText(PreEmphasisLevelText(r[kPreEmphasisAt + lane]));
    }
}
