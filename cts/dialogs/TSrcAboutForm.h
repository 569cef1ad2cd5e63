#pragma once
// TSrcAboutForm: the about box. Shows the product name and the application
// version; the version text also goes into the test report.

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <string>

class TSrcAboutForm : public QDialog {
public:
    explicit TSrcAboutForm(QWidget* parent = nullptr);

    // The program's file version without its build number, "major.minor.release",
    // or "Vx.x.x" when the program carries no readable version.
    static QString GetVersionText();
    // The same for a file version text: four decimal numbers of at most
    // 16 bits joined by dots; anything else gives "Vx.x.x".
    static QString VersionTextOf(const std::string& fileVersion);

    // Handlers.
    void FormShow();
    void Button1Click();

    QLabel* Label1;      // the product name
    QLabel* LBL_AppVer;  // "Application Version " + the version text
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;
};
