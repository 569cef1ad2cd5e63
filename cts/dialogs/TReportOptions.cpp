#include "cts/dialogs/TReportOptions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/gui/FileDialog.h"
#include "platform/gui/FormKit.h"

using platform::Button;
using platform::Named;
using platform::PlainLabel;

namespace {

// A caption and its edit as one row of a group's grid.
QLineEdit* AddRow(QGridLayout* grid, QWidget* parent, const char* labelName, const QString& caption,
                  const char* editName) {
    const int row = grid->rowCount();
    auto* label = PlainLabel(parent, labelName, caption);
    auto* edit = Named<QLineEdit>(parent, editName);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

}  // namespace

TReportOptions::TReportOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReportOptions"));
    setWindowTitle(QStringLiteral("Additional Data for Report"));
    setModal(true);

    GroupBox1 = Named<QGroupBox>(this, "GroupBox1", QStringLiteral(" DP Source DUT "));
    auto* dut = new QGridLayout(GroupBox1);
    dut->setColumnStretch(1, 1);
    ED_DUT_DeviceName = AddRow(dut, GroupBox1, "Label1", QStringLiteral("Device Name:"), "ED_DUT_DeviceName");
    ED_DUT_CustomerModel = AddRow(dut, GroupBox1, "Label2", QStringLiteral("Model:"), "ED_DUT_CustomerModel");
    ED_DUT_Serial = AddRow(dut, GroupBox1, "Label3", QStringLiteral("Serial Number:"), "ED_DUT_Serial");
    ED_DUT_Driver = AddRow(dut, GroupBox1, "Label4", QStringLiteral("Driver Revision:"), "ED_DUT_Driver");

    GroupBox2 = Named<QGroupBox>(this, "GroupBox2", QStringLiteral("  DP Reference Sink TE "));
    auto* ref = new QGridLayout(GroupBox2);
    ref->setColumnStretch(1, 1);
    ED_REF_CustomerModel = AddRow(ref, GroupBox2, "Label5", QStringLiteral("Model:"), "ED_REF_CustomerModel");
    ED_REF_Serial = AddRow(ref, GroupBox2, "Label6", QStringLiteral("Serial Number:"), "ED_REF_Serial");
    ED_REF_Driver = AddRow(ref, GroupBox2, "Label7", QStringLiteral("Driver Revision:"), "ED_REF_Driver");

    GroupBox3 = Named<QGroupBox>(this, "GroupBox3", QStringLiteral(" Additional Comments "));
    auto* comments = new QVBoxLayout(GroupBox3);
    MEMO_Comments = Named<QPlainTextEdit>(GroupBox3, "MEMO_Comments");
    MEMO_Comments->setTabChangesFocus(true);
    MEMO_Comments->setMinimumHeight(90);
    comments->addWidget(MEMO_Comments);

    LBL_SaveFile = PlainLabel(this, "LBL_SaveFile", QStringLiteral("Save to File:"));
    ED_SaveFile = Named<QLineEdit>(this, "ED_SaveFile");
    LBL_SaveFile->setBuddy(ED_SaveFile);
    Button1 = Button(this, "Button1", QStringLiteral("..."));
    Button1->setFixedWidth(Button1->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    BTN_Save = Button(this, "BTN_Save", QStringLiteral("Save Report"));
    BTN_Cancel = Button(this, "BTN_Cancel", QStringLiteral("Cancel"));

    SaveDialog1 = Named<QFileDialog>(this, "SaveDialog1");
    SaveDialog1->setWindowTitle(QStringLiteral("Choose save file ..."));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setNameFilters(
        {QStringLiteral("HTML File (*.HTM *.html)"), QStringLiteral("Plain Text File (*.TXT)")});
    SaveDialog1->selectNameFilter(QStringLiteral("HTML File (*.HTM *.html)"));
    SaveDialog1->setDefaultSuffix(QStringLiteral("HTM"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, false);
    platform::UseCaseInsensitiveFilters(*SaveDialog1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    layout->addWidget(GroupBox3, 1);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(LBL_SaveFile);
    fileRow->addWidget(ED_SaveFile, 1);
    fileRow->addWidget(Button1);
    layout->addLayout(fileRow);
    layout->addLayout(platform::ButtonRow({BTN_Save, BTN_Cancel}));
    resize(440, sizeHint().height());

    connect(ED_SaveFile, &QLineEdit::textChanged, this, [this] { ED_SaveFileChange(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(BTN_Save, &QPushButton::clicked, this, [this] { BTN_SaveClick(); });
    connect(BTN_Cancel, &QPushButton::clicked, this, [this] { BTN_CancelClick(); });

    FormShow();
}

std::string TReportOptions::GetSaveFileName() const { return ED_SaveFile->text().toStdString(); }

bool TReportOptions::SaveFileChosenInDialog() const {
    return !chosenName_.isEmpty() && ED_SaveFile->text() == chosenName_;
}

void TReportOptions::FormShow() {
    MEMO_Comments->setPlainText(Comments);
    chosenName_.clear();
    ED_SaveFileChange();
}

void TReportOptions::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TReportOptions::ED_SaveFileChange() { BTN_Save->setEnabled(!ED_SaveFile->text().isEmpty()); }

void TReportOptions::Button1Click() {
    if (!ED_SaveFile->text().isEmpty()) SaveDialog1->selectFile(ED_SaveFile->text());
    const QString name = platform::RunFileDialog(*SaveDialog1);
    if (name.isEmpty()) return;
    ED_SaveFile->setText(name);
    chosenName_ = name;
}

void TReportOptions::BTN_SaveClick() { accept(); }

void TReportOptions::BTN_CancelClick() { reject(); }
