#pragma once
// TColorimetryEdit: the colour formats the source under test supports. Each
// of the thirteen rows is a format with its ID, the DisplayPort MSA MISC0
// byte of that format (bits 7-5 bit depth, bit 4 BT.709, bit 3 CEA range,
// bits 2-1 RGB / YCbCr 4:2:2 / YCbCr 4:4:4). The IDs of the accepted rows,
// in table order, go to the instrument before the tests that need them and
// into the test settings file.
//
// Rows 0 and 1 (RGB 6 and 8 bits, VESA range) are mandatory: they stay
// checked whatever the operator does. Accept (or Enter) takes the check
// marks as the accepted state; Cancel, Esc and the window frame put the
// check marks back to it.

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include <array>
#include <cstdint>

class TColorimetryEdit : public QDialog {
public:
    static constexpr int kRowCount = 13;
    using RowFlags = std::array<bool, kRowCount>;

    explicit TColorimetryEdit(QWidget* parent = nullptr);

    // The format ID of a table row (0 to 12).
    static uint8_t FormatIdOfRow(int row);
    // Whether a row is mandatory (always checked).
    static bool IsMandatoryRow(int row);

    // The accepted state, one flag per row.
    const RowFlags& Accepted() const { return accepted_; }
    // The number of accepted rows (0 to 13).
    int GetFormatCount() const;
    // The format ID of the n-th accepted row in table order, n from 0.
    // Throws E_GenericError("GetFormatID() Out of bounds") when n is not
    // below GetFormatCount().
    uint8_t GetFormatID(int n) const;
    // Check marks and accepted state := the defaults (rows 0 and 1).
    void ResetFormats();
    // Checks and accepts every row whose format ID is `id`; no other row
    // changes. An ID of no row changes nothing.
    void CheckFormatID(int id);

    // Handlers.
    void LV_ColsClick();
    void BTN_AcceptClick();
    void BTN_CancelClick();

    QTreeWidget* LV_Cols;
    QPushButton* BTN_Accept;
    QPushButton* BTN_Cancel;

    // Cancel, Esc and the window frame end here.
    void reject() override;

protected:
    // Enter accepts, Esc cancels, wherever the focus is.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowChecks(const RowFlags& checks);
    RowFlags CheckMarks() const;

    RowFlags accepted_{};
};
