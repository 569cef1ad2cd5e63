#pragma once
// TTimingSelection: the most-packed timing per lane count (1, 2 and 4 lanes),
// chosen from a built-in table of 14 timings shown in three lists. The
// choices travel as three table indexes (test parameter block bytes 12 to
// 14, settings file MPT_Index1, MPT_Index2, MPT_Index4): 1 lane 0 to 3,
// 2 lanes 4 to 10, 4 lanes 11 to 13; at start 2, 4 and 12.
//
// Each list always shows exactly one checked row, its chosen row, however
// the operator clicks or toggles check boxes. A click where no row is leaves
// the list without a choice, and Accept (and Enter) then stay refused until
// a row is chosen there. Cancel, Esc and the window frame put back the rows
// of the moment the dialog was shown and always close.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <array>
#include <cstdint>

#include "cts/params/MostPackedTimings.h"

class TTimingSelection : public QDialog {
public:
    using Lanes = MostPackedTimings::Lanes;
    static constexpr Lanes kLane1 = MostPackedTimings::kOneLane;
    static constexpr Lanes kLane2 = MostPackedTimings::kTwoLanes;
    static constexpr Lanes kLane4 = MostPackedTimings::kFourLanes;

    explicit TTimingSelection(QWidget* parent = nullptr);

    // The chosen rows as table indexes (a list without a choice gives its
    // first index - 1).
    int32_t GetLane1Index() const { return TableIndex(kLane1); }
    int32_t GetLane2Index() const { return TableIndex(kLane2); }
    int32_t GetLane4Index() const { return TableIndex(kLane4); }
    // Choose by table index; an index outside the list is refused (false)
    // and the previous choice kept. The check marks follow at the next showing.
    bool SetLane1Index(int32_t tableIndex) { return SetTableIndex(kLane1, tableIndex); }
    bool SetLane2Index(int32_t tableIndex) { return SetTableIndex(kLane2, tableIndex); }
    bool SetLane4Index(int32_t tableIndex) { return SetTableIndex(kLane4, tableIndex); }

    // The selection routine: `row` becomes the list's chosen, selected and
    // only checked row (-1: no row, none checked); then Accept is updated.
    void SelectRow(Lanes list, int row);

    // Handlers.
    void FormShow();
    void BTN_AcceptClick();
    void BTN_CancelClick();

    QLabel* LBL_Lane1;
    QLabel* LBL_Lane2;
    QLabel* LBL_Lane4;
    QTreeWidget* LV_Lane1;
    QTreeWidget* LV_Lane2;
    QTreeWidget* LV_Lane4;
    QPushButton* BTN_Accept;
    QPushButton* BTN_Cancel;

    // Cancel, Esc and the window frame end here.
    void reject() override;

    // Accept and Enter end here: refused while a list has no chosen row.
    void accept() override;

protected:
    // Enter accepts when Accept is enabled; Esc cancels.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int32_t TableIndex(Lanes list) const;
    bool SetTableIndex(Lanes list, int32_t tableIndex);
    QTreeWidget* ListOf(Lanes list) const;
    void UpdateAccept();
    bool AllChosen() const;

    std::array<int32_t, 3> chosen_{};      // row within each list, -1 when none
    std::array<int32_t, 3> remembered_{};  // the rows when the dialog was shown
    bool busy_ = false;
};
