#pragma once
// TDPCD_Access: reads or writes one byte of the sink's DPCD registers by
// hand. The operator types the address and the data byte in hexadecimal;
// the dialog checks both, and "Read" and "Write" hand them to the main
// window through ReadRequest and WriteRequest. The main window answers with
// ShowReadResult or ShowWriteResult, which add the outcome to the status
// line of the operation.
//
// Created once, shown modelessly above the other windows; "Close" (or Esc) only hides
// it, and the edits and the status line stay for the next showing.
//
// Every operation has a ticket (Operation()), current until the next
// operation starts. A requester that may answer late keeps the ticket of the
// operation it serves and answers only while it is current, so an outcome
// never lands on the status line of a later operation.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringView>

#include <cstdint>
#include <functional>

#include "platform/Epoch.h"

class TDPCD_Access : public QDialog {
public:
    // The link carries a 16-bit DPCD address.
    static constexpr uint32_t kAddressLimit = 0x10000;
    static constexpr uint32_t kDataLimit = 0x100;
    // ParseHex's answer for a text that is no hexadecimal number.
    static constexpr uint32_t kInvalid = 0xFFFFFFFFu;

    using ReadRequestFn = std::function<void(uint32_t address)>;
    using WriteRequestFn = std::function<void(uint32_t address, uint8_t data)>;

    explicit TDPCD_Access(QWidget* parent = nullptr);

    // A hexadecimal text (digits 0-9, a-f, A-F, no prefix) as a number; 0 for
    // the empty text; kInvalid for any other character or for more than
    // eight digits.
    static uint32_t ParseHex(QStringView text);

    // Handlers.
    void ED_AddressChange();  // either edit changed: parse, colour, enable
    void BTN_ReadClick();
    void BTN_WriteClick();
    void BTN_CloseClick();

    // The outcome of the current operation: a read adds " (=$xx)" or
    // " - Failed", a write " - OK" or " - Failed".
    void ShowReadResult(bool ok, uint8_t value);
    void ShowWriteResult(bool ok);

    // The operation the status line shows (before the first: none), as a
    // ticket that stops being current when the next operation starts.
    platform::Epoch::Ticket Operation() const { return operation_.Stamp(); }

    // Whether the main window takes a request now. While it does not (this
    // dialog's request, or another of the window's, is out) "Read" and
    // "Write" are disabled, whatever the edits hold.
    void SetRequestsAllowed(bool allowed);

    // Set by the main window each time it shows the dialog.
    ReadRequestFn ReadRequest;
    WriteRequestFn WriteRequest;

    // The values parsed from the edits (kInvalid when not a number).
    uint32_t Address = 0;
    uint32_t Data = 0;

    QLabel* Label1;
    QLineEdit* ED_Address;
    QLabel* Label2;
    QLineEdit* ED_Data;
    QPushButton* BTN_Read;
    QPushButton* BTN_Write;
    QPushButton* BTN_Close;
    QLabel* LBL_Status;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The key filter of both edits; true when the key is taken here.
    bool EditKeyPress(QKeyEvent* event, QPushButton* enterTarget);
    void StartOperation(const QString& status);

    platform::Epoch operation_;  // advances with every operation
    bool requestsAllowed_ = true;
};
