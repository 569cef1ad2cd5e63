// The options dialog: port choice by device path, the two up-downs, and the
// state put back on Cancel, Esc and the window frame.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QTimer>

#include <memory>

#include "DialogTestSupport.h"
#include "cts/dialogs/TOptionsForm.h"

using namespace dialog_test;

namespace {

class OptionsFormTest : public ::testing::Test {
protected:
    // The ports the dialog's listing finds; tests change it to plug and unplug.
    std::vector<platform::SerialPortInfo> present = {
        {"/dev/ttyUSB0", "Instrument A"},
        {"/dev/ttyUSB1", "Instrument B"},
        {"/dev/pts/7", "/dev/pts/7"},
    };
    TOptionsForm form{nullptr, [this] { return present; }};

    std::vector<std::string> Items() const {
        std::vector<std::string> items;
        for (int i = 0; i < form.CB_ComSelect->count(); ++i)
            items.push_back(form.CB_ComSelect->itemText(i).toStdString());
        return items;
    }
};

TEST_F(OptionsFormTest, ControlsHaveTheirCaptionsRangesAndStartValues) {
    EXPECT_EQ(form.windowTitle(), "Options");
    EXPECT_EQ(Probe<QLabel>(&form, "Label1")->text(), "Connect using:");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_TimeoutLen")->text(), "Time-Out (Secs):");
    EXPECT_EQ(Probe<QLabel>(&form, "LBL_TestDelay")->text(), "Delay between tests (Secs):");
    EXPECT_EQ(Probe<QPushButton>(&form, "BitBtn2")->text(), "Ok");
    EXPECT_EQ(Probe<QPushButton>(&form, "BitBtn1")->text(), "Cancel");
    EXPECT_EQ(Probe<QSpinBox>(&form, "UD_TestDelay")->toolTip(), "Affects test sequences only");

    auto* timeout = Probe<QSpinBox>(&form, "UD_TimeoutLen");
    EXPECT_EQ(timeout->minimum(), 1);
    EXPECT_EQ(timeout->maximum(), 60);
    EXPECT_EQ(timeout->singleStep(), 1);
    EXPECT_EQ(timeout->value(), 30);
    EXPECT_EQ(Probe<QLineEdit>(&form, "ED_TimeoutLen")->text(), "30");
    auto* delay = Probe<QSpinBox>(&form, "UD_TestDelay");
    EXPECT_EQ(delay->minimum(), 0);
    EXPECT_EQ(delay->maximum(), 60);
    EXPECT_EQ(delay->value(), 1);
    EXPECT_EQ(Probe<QLineEdit>(&form, "ED_TestDelay")->text(), "1");

    // Values beyond the range are kept in it.
    timeout->setValue(61);
    EXPECT_EQ(timeout->value(), 60);
    delay->setValue(-1);
    EXPECT_EQ(delay->value(), 0);
}

TEST_F(OptionsFormTest, SelectDeviceFindsThePathInAnyLetterCase) {
    form.SelectDevice("/dev/ttyusb1");
    EXPECT_EQ(form.CB_ComSelect->currentIndex(), 1);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB1");

    form.SelectDevice("/dev/ttyACM3");  // not present
    EXPECT_EQ(form.CB_ComSelect->currentIndex(), -1);
    EXPECT_EQ(form.GetSelectedDevice(), "");

    present.clear();
    form.SelectDevice("/dev/ttyUSB0");
    EXPECT_EQ(form.CB_ComSelect->count(), 0);
    EXPECT_EQ(form.GetSelectedDevice(), "");
}

TEST_F(OptionsFormTest, PortsOfOneNameAreToldApartByTheirDevicePaths) {
    present = {{"/dev/ttyUSB0", "Instrument"}, {"/dev/ttyUSB1", "Other"}, {"/dev/ttyUSB2", "Instrument"}};
    form.SelectDevice("/dev/ttyUSB2");
    EXPECT_EQ(Items(), (std::vector<std::string>{"Instrument (/dev/ttyUSB0)", "Other", "Instrument (/dev/ttyUSB2)"}));
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB2");
}

TEST_F(OptionsFormTest, OpeningTheListBuildsItAgainAndKeepsTheChoiceByDevicePath) {
    form.SelectDevice("/dev/ttyUSB1");
    Open(form);

    // A port plugged in before the selected one, with the selected port's name.
    present.insert(present.begin(), {"/dev/ttyACM0", "Instrument B"});
    form.CB_ComSelect->showPopup();
    form.CB_ComSelect->hidePopup();
    EXPECT_EQ(Items(), (std::vector<std::string>{"Instrument B (/dev/ttyACM0)", "Instrument A",
                                                 "Instrument B (/dev/ttyUSB1)", "/dev/pts/7"}));
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB1");

    // The selected port unplugged: nothing selected.
    present.erase(present.begin() + 2);
    form.CB_ComSelect->showPopup();
    form.CB_ComSelect->hidePopup();
    EXPECT_EQ(form.CB_ComSelect->count(), 3);
    EXPECT_EQ(form.CB_ComSelect->currentIndex(), -1);
    EXPECT_EQ(form.GetSelectedDevice(), "");
    form.reject();
}

TEST_F(OptionsFormTest, OkKeepsTheChangesForTheNextShowing) {
    form.SelectDevice("/dev/ttyUSB0");
    Open(form);
    form.CB_ComSelect->setCurrentIndex(2);
    form.UD_TimeoutLen->setValue(45);
    form.UD_TestDelay->setValue(7);
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/pts/7");
    EXPECT_EQ(form.UD_TimeoutLen->value(), 45);
    EXPECT_EQ(form.UD_TestDelay->value(), 7);

    // Shown again and cancelled: the accepted values stay.
    Open(form);
    form.UD_TimeoutLen->setValue(12);
    form.reject();
    EXPECT_EQ(form.UD_TimeoutLen->value(), 45);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/pts/7");
}

TEST_F(OptionsFormTest, ExecReturnsAcceptedForOk) {
    form.SelectDevice("/dev/ttyUSB1");
    QTimer::singleShot(0, &form, [this] { form.BitBtn2->click(); });
    bool stuck = false;
    QTimer::singleShot(10000, &form, [&] { stuck = form.isVisible(), form.done(-1); });  // never left blocking
    EXPECT_EQ(form.exec(), QDialog::Accepted);
    EXPECT_FALSE(stuck);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB1");
}

class OptionsFormCloseTest : public OptionsFormTest, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(OptionsFormCloseTest, ClosingWithoutOkPutsBackWhatWasShown) {
    form.SelectDevice("/dev/ttyUSB1");
    Open(form);
    // Changed, and the list built again with the shown port moved.
    form.CB_ComSelect->setCurrentIndex(0);
    form.UD_TimeoutLen->setValue(45);
    form.UD_TestDelay->setValue(9);
    present.insert(present.begin(), {"/dev/ttyACM0", "New"});
    form.CB_ComSelect->showPopup();
    form.CB_ComSelect->hidePopup();

    CloseWithout(form, GetParam(), "BitBtn1");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB1");
    EXPECT_EQ(form.CB_ComSelect->currentText(), "Instrument B");
    EXPECT_EQ(form.UD_TimeoutLen->value(), 30);
    EXPECT_EQ(form.UD_TestDelay->value(), 1);

    // The next showing starts from the same values.
    Open(form);
    EXPECT_EQ(form.UD_TimeoutLen->value(), 30);
    EXPECT_EQ(form.GetSelectedDevice(), "/dev/ttyUSB1");
    form.reject();
}

TEST_P(OptionsFormCloseTest, APortUnpluggedMeanwhileIsNotPutBack) {
    form.SelectDevice("/dev/ttyUSB0");
    Open(form);
    present.erase(present.begin());
    form.CB_ComSelect->showPopup();
    form.CB_ComSelect->hidePopup();
    form.CB_ComSelect->setCurrentIndex(0);
    CloseWithout(form, GetParam(), "BitBtn1");
    EXPECT_EQ(form.CB_ComSelect->currentIndex(), -1);
    EXPECT_EQ(form.GetSelectedDevice(), "");
}

INSTANTIATE_TEST_SUITE_P(Ways, OptionsFormCloseTest,
                         ::testing::Values(CloseWay::CancelButton, CloseWay::Escape, CloseWay::WindowFrame),
                         [](const auto& info) { return Name(info.param); });

}  // namespace

namespace {

// The two time edits take ASCII digits only, whatever the user's locale: a
// locale of other digits (here Arabic, with the Arabic-Indic ones) changes
// neither what they show nor what they read.
TEST(OptionsFormDigits, TheTimeEditsReadAndShowAsciiDigitsOnly) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    {
        TOptionsForm form(nullptr, [] { return std::vector<platform::SerialPortInfo>{}; });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_EQ(form.ED_TimeoutLen->text(), QStringLiteral("30"));
        const struct {
            const char* what;
            const char* text;  // UTF-8
            int timeout;
        } cases[] = {
            {"Arabic-Indic four five", "\xD9\xA4\xD9\xA5", 30},
            {"fullwidth four five", "\xEF\xBC\x94\xEF\xBC\x95", 30},
            {"ASCII four five", "45", 45},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            form.UD_TimeoutLen->setValue(30);
            form.ED_TimeoutLen->selectAll();
            QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8(c.text));
            QApplication::sendEvent(form.ED_TimeoutLen, &typed);
            form.UD_TimeoutLen->interpretText();
            EXPECT_EQ(form.UD_TimeoutLen->value(), c.timeout);
        }
        form.close();
    }
    QLocale::setDefault(before);
}

}  // namespace
