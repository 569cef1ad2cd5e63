#pragma once
// TDUTCfg: video time-stamp generation. For each of the six link
// configurations (RBR or HBR with 1, 2 or 4 lanes) the additional video
// timing of the video time-stamp test, one choice per row. 640x480 is always
// used and shown checked in every row.
//
// The choice travels as a 12-byte record: bytes 0, 2, .. 10 are 0, bytes 1,
// 3, .. 11 the timing codes of RBR 1, 2, 4 lanes and HBR 1, 2, 4 lanes
// (0 none, 1 848x480, 2 1280x720, 3 1920x1080, 4 1280x960, 5 1920x1440).
// There is no Cancel: the radio buttons are the dialog's state.

#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <cstdint>

class TDUTCfg : public QDialog {
public:
    static constexpr int kRowCount = 6;
    static constexpr int kColumnCount = 7;
    using TimingRecord = std::array<uint8_t, 12>;

    explicit TDUTCfg(QWidget* parent = nullptr);

    // The record from the six rows: the code of each row's checked cell.
    TimingRecord GetTimingRecord() const;
    // For each row, checks the cell whose code is the row's odd byte when
    // the row offers that code; another value leaves the row unchanged. The
    // even bytes are not read. Says per row whether it took its value.
    std::array<bool, kRowCount> SetTimingRecord(const TimingRecord& record);

    // Handlers.
    void FormShow();
    void BitBtn1Click();

    // The seven column labels and six row labels.
    std::array<QLabel*, kColumnCount> ColumnLabels{};
    std::array<QLabel*, kRowCount> RowLabels{};
    // The cells, named RB_<row>_<column> with the rows R1, R2, R4, H1, H2,
    // H4 and the columns 1 to 7 (column 1: 640x480, always checked and
    // disabled; column 7: None). Cells a row does not offer are disabled.
    std::array<std::array<QRadioButton*, kColumnCount>, kRowCount> Cells{};
    // One group of the offered cells per row; a button's id is its timing code.
    std::array<QButtonGroup*, kRowCount> RowGroups{};
    QPushButton* BitBtn1;  // "Accept"

protected:
    void showEvent(QShowEvent* event) override;
};
