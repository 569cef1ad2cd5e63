// The video time-stamp generation dialog: one timing per link configuration,
// as a 12-byte record.
#include <QLabel>
#include <QRadioButton>

#include "DialogTestSupport.h"
#include "cts/dialogs/TDUTCfg.h"

using namespace dialog_test;

namespace {

using Record = TDUTCfg::TimingRecord;
const Record kStart = {0, 1, 0, 2, 0, 3, 0, 2, 0, 4, 0, 5};

QRadioButton* Cell(TDUTCfg& form, const char* row, int column) {
    const std::string name = "RB_" + std::string(row) + "_" + std::to_string(column);
    return Probe<QRadioButton>(&form, name.c_str());
}

TEST(DUTCfgTest, GridShowsItsLabelsAndTheStartChoice) {
    TDUTCfg form;
    EXPECT_EQ(form.windowTitle(), "Video Time Stamp Generation");
    const char* columns[] = {"640x480\n60 Hz, 18 bpp\n25.175 MHz",
                             "848x480\n60 Hz, 24 bpp\n33.750 MHz",
                             "1280x720\n60 Hz, 24 bpp\n74.250 MHz",
                             "1280x960\n60 Hz, 24 bpp\n108.000MHz",
                             "1920x1080\n60 Hz, 24 bpp\n148.500 MHz",
                             "1920x1440\n60 Hz, 24 bpp\n234.000 MHz",
                             "None"};
    Open(form);
    for (int c = 0; c < 7; ++c) {
        const std::string name = "LBL_Col" + std::to_string(c + 1);
        EXPECT_EQ(Probe<QLabel>(&form, name.c_str())->text(), columns[c]);
    }
    const std::pair<const char*, const char*> rows[] = {{"R1", "RBR 1 Lane"},  {"R2", "RBR 2 Lanes"},
                                                        {"R4", "RBR 4 Lanes"}, {"H1", "HBR 1 Lane"},
                                                        {"H2", "HBR 2 Lanes"}, {"H4", "HBR 4 Lanes"}};
    for (const auto& [row, caption] : rows)
        EXPECT_EQ(Probe<QLabel>(&form, ("LBL_" + std::string(row)).c_str())->text(), caption);
    EXPECT_EQ(Probe<QPushButton>(&form, "BitBtn1")->text(), "Accept");

    // The cells each row offers (columns by timing code: 2 848x480 (1),
    // 3 1280x720 (2), 4 1280x960 (4), 5 1920x1080 (3), 6 1920x1440 (5), 7 None).
    const std::pair<const char*, std::vector<int>> offered[] = {
        {"R1", {2, 7}},    {"R2", {2, 3, 7}},    {"R4", {2, 3, 4, 5, 7}},
        {"H1", {2, 3, 7}}, {"H2", {2, 3, 4, 7}}, {"H4", {2, 3, 4, 5, 6, 7}},
    };
    for (const auto& [row, columnsOffered] : offered) {
        EXPECT_TRUE(Cell(form, row, 1)->isChecked()) << row;  // 640x480 is always used
        EXPECT_FALSE(Cell(form, row, 1)->isEnabled()) << row;
        for (int c = 2; c <= 7; ++c) {
            const bool offers = std::find(columnsOffered.begin(), columnsOffered.end(), c) != columnsOffered.end();
            EXPECT_EQ(Cell(form, row, c)->isEnabled(), offers) << row << " column " << c;
        }
    }
    EXPECT_EQ(form.GetTimingRecord(), kStart);
    form.reject();
}

TEST(DUTCfgTest, ClickedCellsGiveTheirTimingCodes) {
    TDUTCfg form;
    Open(form);
    QTest::mouseClick(Cell(form, "R4", 5), Qt::LeftButton);  // 1920x1080
    EXPECT_EQ(form.GetTimingRecord()[5], 3);
    QTest::mouseClick(Cell(form, "R4", 4), Qt::LeftButton);  // 1280x960
    EXPECT_EQ(form.GetTimingRecord()[5], 4);
    EXPECT_FALSE(Cell(form, "R4", 5)->isChecked());
    QTest::mouseClick(Cell(form, "H4", 7), Qt::LeftButton);  // None
    QTest::mouseClick(Cell(form, "R1", 5), Qt::LeftButton);  // not offered: no change
    EXPECT_EQ(form.GetTimingRecord(), (Record{0, 1, 0, 2, 0, 4, 0, 2, 0, 4, 0, 0}));
    EXPECT_TRUE(Cell(form, "H4", 1)->isChecked());  // 640x480 stays checked

    // No Cancel: Esc and the frame close it, and the choice stays.
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    Open(form);
    QTest::mouseClick(Cell(form, "H1", 3), Qt::LeftButton);
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.GetTimingRecord(), (Record{0, 1, 0, 2, 0, 4, 0, 2, 0, 4, 0, 0}));
    Open(form);
    QTest::mouseClick(Cell(form, "H1", 2), Qt::LeftButton);
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetTimingRecord(), (Record{0, 1, 0, 2, 0, 4, 0, 1, 0, 4, 0, 0}));
}

TEST(DUTCfgTest, SetTimingRecordTakesOnlyTheCodesARowOffers) {
    struct Case {
        const char* what;
        Record set;
        std::array<bool, 6> taken;
        Record after;
    };
    const Case cases[] = {
        {"start record", kStart, {true, true, true, true, true, true}, kStart},
        {"RBR 1 lane offers no 1280x720",
         {0, 2, 0, 2, 0, 3, 0, 2, 0, 4, 0, 5},
         {false, true, true, true, true, true},
         kStart},
        {"HBR 2 lanes offers no 1920x1080",
         {0, 1, 0, 2, 0, 3, 0, 2, 0, 3, 0, 5},
         {true, true, true, true, false, true},
         kStart},
        {"all none, even bytes not read",
         {9, 0, 9, 0, 9, 0, 9, 0, 9, 0, 9, 0},
         {true, true, true, true, true, true},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"codes beyond the table",
         {0, 6, 0, 255, 0, 4, 0, 1, 0, 2, 0, 3},
         {false, false, true, true, true, true},
         {0, 1, 0, 2, 0, 4, 0, 1, 0, 2, 0, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TDUTCfg form;
        EXPECT_EQ(form.SetTimingRecord(c.set), c.taken);
        EXPECT_EQ(form.GetTimingRecord(), c.after);
    }
}

}  // namespace
