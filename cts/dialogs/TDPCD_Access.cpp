#include "cts/dialogs/TDPCD_Access.h"

#include <QColor>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPalette>
#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

constexpr int kMaxDigits = 8;

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

void ShowValid(QLineEdit* edit, bool valid) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, valid ? QColor(Qt::white) : QColor(Qt::red));
    edit->setPalette(palette);
}

QLineEdit* HexEdit(QWidget* parent, const char* name) {
    auto* edit = Named<QLineEdit>(parent, name);
    edit->setToolTip(QStringLiteral("Hexadecimal values"));
    return edit;
}

}  // namespace

TDPCD_Access::TDPCD_Access(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DPCD_Access"));
    setWindowTitle(QStringLiteral("DPCD Read / Write"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    // Left open, it does not keep the program running once the main window
    // has closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    Label1 = PlainLabel(this, "Label1", QStringLiteral("Source / Target Address:"));
    ED_Address = HexEdit(this, "ED_Address");
    Label2 = PlainLabel(this, "Label2", QStringLiteral("Data:"));
    ED_Data = HexEdit(this, "ED_Data");
    Label1->setBuddy(ED_Address);
    Label2->setBuddy(ED_Data);
    BTN_Read = Button(this, "BTN_Read", QStringLiteral("Read"));
    BTN_Write = Button(this, "BTN_Write", QStringLiteral("Write"));
    BTN_Close = Button(this, "BTN_Close", QStringLiteral("Close"));
    LBL_Status = PlainLabel(this, "LBL_Status", QStringLiteral("Previous Op: None"));
    LBL_Status->setFrameShape(QFrame::StyledPanel);
    LBL_Status->setFrameShadow(QFrame::Sunken);
    // Room for the longest status line, so the window keeps its size.
    const QFontMetrics metrics(LBL_Status->font());
    LBL_Status->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("Previous Op: Write $ff -> $ffff - Failed")) +
                                2 * LBL_Status->frameWidth() + 8);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ED_Address, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(ED_Data, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(platform::ButtonRow({BTN_Read, BTN_Write, BTN_Close}));
    layout->addWidget(LBL_Status);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ED_Address->installEventFilter(this);
    ED_Data->installEventFilter(this);
    connect(ED_Address, &QLineEdit::textChanged, this, [this] { ED_AddressChange(); });
    connect(ED_Data, &QLineEdit::textChanged, this, [this] { ED_AddressChange(); });
    connect(BTN_Read, &QPushButton::clicked, this, [this] { BTN_ReadClick(); });
    connect(BTN_Write, &QPushButton::clicked, this, [this] { BTN_WriteClick(); });
    connect(BTN_Close, &QPushButton::clicked, this, [this] { BTN_CloseClick(); });
    ED_AddressChange();
}

uint32_t TDPCD_Access::ParseHex(QStringView text) {
    if (text.size() > kMaxDigits) return kInvalid;
    uint32_t value = 0;
    for (QChar c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return kInvalid;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

void TDPCD_Access::ED_AddressChange() {
    Address = ParseHex(ED_Address->text());
    Data = ParseHex(ED_Data->text());
    const bool addressValid = Address < kAddressLimit;
    const bool dataValid = Data < kDataLimit;
    ShowValid(ED_Address, addressValid);
    ShowValid(ED_Data, dataValid);
    BTN_Read->setEnabled(requestsAllowed_ && addressValid);
    BTN_Write->setEnabled(requestsAllowed_ && addressValid && dataValid);
}

void TDPCD_Access::SetRequestsAllowed(bool allowed) {
    requestsAllowed_ = allowed;
    ED_AddressChange();
}

void TDPCD_Access::StartOperation(const QString& status) {
    operation_.Advance();
    LBL_Status->setText(status);
}

void TDPCD_Access::BTN_ReadClick() {
    StartOperation(QString::asprintf("Previous Op: Read $%.4x", Address));
    ED_Address->setFocus();
    if (ReadRequest) ReadRequest(Address);
}

void TDPCD_Access::BTN_WriteClick() {
    StartOperation(QString::asprintf("Previous Op: Write $%.2x -> $%.4x", Data, Address));
    ED_Data->setFocus();
    if (WriteRequest) WriteRequest(Address, static_cast<uint8_t>(Data & 0xFF));
}

void TDPCD_Access::BTN_CloseClick() { hide(); }

void TDPCD_Access::ShowReadResult(bool ok, uint8_t value) {
    if (ok) LBL_Status->setText(LBL_Status->text() + QString::asprintf(" (=$%.2x)", value));
    else LBL_Status->setText(LBL_Status->text() + QStringLiteral(" - Failed"));
}

void TDPCD_Access::ShowWriteResult(bool ok) {
    LBL_Status->setText(LBL_Status->text() + (ok ? QStringLiteral(" - OK") : QStringLiteral(" - Failed")));
}

bool TDPCD_Access::EditKeyPress(QKeyEvent* event, QPushButton* enterTarget) {
    const QString text = event->text();
    // Enter arrives as the character CR (Return, Enter, Ctrl+M) or LF (Ctrl+J):
    // it moves on to the button without pressing it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                       text == QStringLiteral("\r") || text == QStringLiteral("\n");
    if (enter) {
        if (enterTarget->isEnabled()) enterTarget->setFocus();
        return true;
    }
    // The Esc key closes the dialog from the edits too, as it does from the
    // buttons (and as it closes every other dialog).
    if (event->matches(QKeySequence::Cancel)) {
        reject();
        return true;
    }
    // Keys that type no character (arrows, Home, Delete, whose text Qt gives
    // as DEL) are the edit's own. Of the characters, the control characters
    // 1 to 26 (Backspace, Tab, the clipboard shortcuts) and the hexadecimal
    // digits pass; every other one is dropped (Ctrl+[, which types the
    // Esc character, too: it is not the Esc key).
    if (event->key() == Qt::Key_Delete) return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 1 && u <= 26) continue;
        if (HexDigit(c) < 0) return true;
    }
    return false;
}

bool TDPCD_Access::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == ED_Address) return EditKeyPress(key, BTN_Read);
        if (watched == ED_Data) return EditKeyPress(key, BTN_Write);
    }
    return QDialog::eventFilter(watched, event);
}
