#include "cts/dialogs/TDUTCfg.h"

#include <QGridLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

struct Column {
    const char* label;
    int code;  // -1: the always-used 640x480
};

constexpr std::array<Column, TDUTCfg::kColumnCount> kColumns = {{
    {"640x480\n60 Hz, 18 bpp\n25.175 MHz", -1},
    {"848x480\n60 Hz, 24 bpp\n33.750 MHz", 1},
    {"1280x720\n60 Hz, 24 bpp\n74.250 MHz", 2},
    {"1280x960\n60 Hz, 24 bpp\n108.000MHz", 4},
    {"1920x1080\n60 Hz, 24 bpp\n148.500 MHz", 3},
    {"1920x1440\n60 Hz, 24 bpp\n234.000 MHz", 5},
    {"None", 0},
}};

struct Row {
    const char* name;  // in the cells' object names
    const char* caption;
    std::initializer_list<int> codes;  // the codes offered
    int start;
};

const std::array<Row, TDUTCfg::kRowCount> kRows = {{
    {"R1", "RBR 1 Lane", {1, 0}, 1},
    {"R2", "RBR 2 Lanes", {1, 2, 0}, 2},
    {"R4", "RBR 4 Lanes", {1, 2, 4, 3, 0}, 3},
    {"H1", "HBR 1 Lane", {1, 2, 0}, 2},
    {"H2", "HBR 2 Lanes", {1, 2, 4, 0}, 4},
    {"H4", "HBR 4 Lanes", {1, 2, 4, 3, 5, 0}, 5},
}};

bool Offers(const Row& row, int code) { return std::find(row.codes.begin(), row.codes.end(), code) != row.codes.end(); }

}  // namespace

TDUTCfg::TDUTCfg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DUTCfg"));
    setWindowTitle(QStringLiteral("Video Time Stamp Generation"));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    for (int c = 0; c < kColumnCount; ++c) {
        const std::string name = "LBL_Col" + std::to_string(c + 1);
        ColumnLabels[c] = PlainLabel(this, name.c_str());
        ColumnLabels[c]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        grid->addWidget(ColumnLabels[c], 0, c + 1);
    }
    for (int r = 0; r < kRowCount; ++r) {
        const Row& row = kRows[r];
        RowLabels[r] = PlainLabel(this, ("LBL_" + std::string(row.name)).c_str(), QString::fromLatin1(row.caption));
        grid->addWidget(RowLabels[r], r + 1, 0);
        RowGroups[r] = new QButtonGroup(this);
        RowGroups[r]->setObjectName(QStringLiteral("RG_%1").arg(QLatin1StringView(row.name)));
        for (int c = 0; c < kColumnCount; ++c) {
            const std::string name = "RB_" + std::string(row.name) + "_" + std::to_string(c + 1);
            auto* cell = Named<QRadioButton>(this, name.c_str());
            cell->setAutoExclusive(false);  // the row's group decides
            const int code = kColumns[c].code;
            if (code < 0) {
                cell->setChecked(true);  // always used
                cell->setEnabled(false);
            } else if (Offers(row, code)) {
                RowGroups[r]->addButton(cell, code);
                cell->setChecked(code == row.start);
            } else {
                cell->setEnabled(false);
            }
            Cells[r][c] = cell;
            grid->addWidget(cell, r + 1, c + 1, Qt::AlignHCenter);
        }
    }
    BitBtn1 = Button(this, "BitBtn1", QStringLiteral("Accept"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(platform::ButtonRow({BitBtn1}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    FormShow();
}

void TDUTCfg::FormShow() {
    for (int c = 0; c < kColumnCount; ++c) ColumnLabels[c]->setText(QString::fromLatin1(kColumns[c].label));
}

void TDUTCfg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TDUTCfg::BitBtn1Click() { accept(); }

TDUTCfg::TimingRecord TDUTCfg::GetTimingRecord() const {
    TimingRecord record{};
    for (int r = 0; r < kRowCount; ++r) {
        const int code = RowGroups[r]->checkedId();  // -1 when no cell is checked
        record[2 * r + 1] = static_cast<uint8_t>(code > 0 ? code : 0);
    }
    return record;
}

std::array<bool, TDUTCfg::kRowCount> TDUTCfg::SetTimingRecord(const TimingRecord& record) {
    std::array<bool, kRowCount> taken{};
    for (int r = 0; r < kRowCount; ++r) {
        const int code = record[2 * r + 1];
        if (!Offers(kRows[r], code)) continue;
        RowGroups[r]->button(code)->setChecked(true);
        taken[r] = true;
    }
    return taken;
}
