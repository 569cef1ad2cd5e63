// The about box: product name and the version without its build number.
#include <QLabel>

#include "DialogTestSupport.h"
#include "cts/dialogs/TSrcAboutForm.h"

using namespace dialog_test;

namespace {

TEST(AboutFormTest, VersionTextDropsTheBuildNumberAndRefusesWhatIsNoFileVersion) {
    const std::pair<const char*, const char*> cases[] = {
        {"1.1.2.7", "1.1.2"},      {"1.0.0.0", "1.0.0"},   {"65535.0.9.1", "65535.0.9"},
        {"1.2.3", "Vx.x.x"},       {"", "Vx.x.x"},         {"1.2.3.4.5", "Vx.x.x"},
        {"1.2.65536.0", "Vx.x.x"}, {"1.-2.3.4", "Vx.x.x"}, {"1.2.3.4 ", "Vx.x.x"},
    };
    for (const auto& [fileVersion, shown] : cases)
        EXPECT_EQ(TSrcAboutForm::VersionTextOf(fileVersion).toStdString(), shown) << fileVersion;
}

TEST(AboutFormTest, ShowsTheProductAndTheProgramsVersion) {
    // The program carries the project's version with a fourth number 0.
    EXPECT_EQ(TSrcAboutForm::GetVersionText().toStdString(), SUITE_PROJECT_VERSION);

    TSrcAboutForm about;
    EXPECT_EQ(about.windowTitle(), "Vardeko");
    EXPECT_EQ(Probe<QLabel>(&about, "Label1")->text(), "Vardeko");
    EXPECT_TRUE(Probe<QLabel>(&about, "Label1")->font().bold());
    EXPECT_EQ(Probe<QPushButton>(&about, "Button1")->text(), "Close");

    Open(about);
    EXPECT_EQ(Probe<QLabel>(&about, "LBL_AppVer")->text(),
              QStringLiteral("Application Version ") + QString::fromLatin1(SUITE_PROJECT_VERSION));
    QTest::mouseClick(about.Button1, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Rejected);
}

}  // namespace
