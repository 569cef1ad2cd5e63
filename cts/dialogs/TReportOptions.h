#pragma once
// TReportOptions: the report options dialog ("Additional Data for Report").
// The operator names the DUT and the reference TE, edits the comments and
// picks the report's file. Created once at start-up; the edits keep their
// texts from one showing to the next.
//
// The main window's order: set Comments and the two group captions, show it
// modally; on Accepted read the edits, GetSaveFileName() and
// SaveFileChosenInDialog().

#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

#include <string>

class TReportOptions : public QDialog {
public:
    explicit TReportOptions(QWidget* parent = nullptr);

    // The comments the next showing puts into MEMO_Comments.
    QString Comments;

    // The file name of ED_SaveFile as UTF-8.
    std::string GetSaveFileName() const;
    // Whether ED_SaveFile holds, unchanged, a name the operator chose in
    // SaveDialog1 during this showing (that dialog has asked about
    // overwriting it already).
    bool SaveFileChosenInDialog() const;

    // Handlers.
    void FormShow();
    void ED_SaveFileChange();
    void Button1Click();
    void BTN_SaveClick();
    void BTN_CancelClick();

    QGroupBox* GroupBox1;  // DUT identification
    QLineEdit* ED_DUT_DeviceName;
    QLineEdit* ED_DUT_CustomerModel;
    QLineEdit* ED_DUT_Serial;
    QLineEdit* ED_DUT_Driver;
    QGroupBox* GroupBox2;  // reference TE identification
    QLineEdit* ED_REF_CustomerModel;
    QLineEdit* ED_REF_Serial;
    QLineEdit* ED_REF_Driver;
    QGroupBox* GroupBox3;  // " Additional Comments "
    QPlainTextEdit* MEMO_Comments;
    QLabel* LBL_SaveFile;
    QLineEdit* ED_SaveFile;
    QPushButton* Button1;  // "...": SaveDialog1
    QPushButton* BTN_Save;
    QPushButton* BTN_Cancel;
    QFileDialog* SaveDialog1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString chosenName_;  // the name SaveDialog1 gave in this showing
};
