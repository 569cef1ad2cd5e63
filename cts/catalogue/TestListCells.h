#pragma once
// The texts of the test list (`LV_TestList`): its columns, the cells of a
// freshly filled row, the counter cells from the test records and the
// "Status" cells. The list widget of the main window shows what these give.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "cts/catalogue/TestCatalogue.h"
#include "cts/catalogue/UCTSTest.h"

struct TestListColumn {
    const char* caption;
    int width;  // pixels, or TestListCells::kWidthFill / kWidthDefault
};

class TestListCells {
public:
    enum Column { kId = 0, kName, kPass, kFail, kSkip, kTimeout, kRun, kStatus, kColumnCount };
    static constexpr int kWidthFill = -1;     // takes the width the others leave
    static constexpr int kWidthDefault = -2;  // the list's default column width

    // "ID" 25, "Test Name" fill, "Pass" 35, "Fail" 35, "Skip" 35,
    // "Timeout" default, "Run" 35, "Status" 45.
    static const std::array<TestListColumn, kColumnCount>& Columns();

    // The eight cells of row `row` (from 0) of a freshly filled page: the
    // row number from 1 (not the test ID), the name, "0" five times, "Idle".
    static QStringList FreshRow(const TestGroup& group, int row);

    static QString StatusText(bool running) { return running ? QStringLiteral("Run") : QStringLiteral("Idle"); }

    // The row (from 0) of a test on the page of `groupOffset`, or -1 when it
    // is not on that page's `rowCount` rows.
    static int RowOfTest(int32_t testId, int32_t groupOffset, int rowCount);

    // The "Pass", "Fail", "Skip", "Timeout" and "Run" cells of one record.
    using CounterTexts = std::array<QString, 5>;
    static CounterTexts CountersOf(const UCTSTest& record);
    // The counter cells of every row of the page: "0" everywhere, then each
    // record's counters in its row; records of other pages are skipped.
    static std::vector<CounterTexts> CounterCells(const std::vector<std::unique_ptr<UCTSTest>>& records,
                                                  int32_t groupOffset, int rowCount);
};
