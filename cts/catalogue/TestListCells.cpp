#include "cts/catalogue/TestListCells.h"

#include <algorithm>

#include "platform/Windows1252.h"

namespace {

const std::array<TestListColumn, TestListCells::kColumnCount> kColumns = {{
    {"ID", 25},
    {"Test Name", TestListCells::kWidthFill},
    {"Pass", 35},
    {"Fail", 35},
    {"Skip", 35},
    {"Timeout", TestListCells::kWidthDefault},
    {"Run", 35},
    {"Status", 45},
}};

}  // namespace

const std::array<TestListColumn, TestListCells::kColumnCount>& TestListCells::Columns() { return kColumns; }

QStringList TestListCells::FreshRow(const TestGroup& group, int row) {
    const QString zero = QStringLiteral("0");
    return {QString::number(row + 1),
            platform::FromWindows1252(group.names[static_cast<size_t>(row)]),
            zero,
            zero,
            zero,
            zero,
            zero,
            StatusText(false)};
}

int TestListCells::RowOfTest(int32_t testId, int32_t groupOffset, int rowCount) {
    const int64_t row = int64_t{testId} - groupOffset - 1;
    return (row >= 0 && row < rowCount) ? static_cast<int>(row) : -1;
}

TestListCells::CounterTexts TestListCells::CountersOf(const UCTSTest& record) {
    return {QString::number(record.Passes()), QString::number(record.Fails()), QString::number(record.Skips()),
            QString::number(record.Timeouts()), QString::number(record.Runs())};
}

std::vector<TestListCells::CounterTexts> TestListCells::CounterCells(
    const std::vector<std::unique_ptr<UCTSTest>>& records, int32_t groupOffset, int rowCount) {
    const QString zero = QStringLiteral("0");
    std::vector<CounterTexts> cells(static_cast<size_t>(std::max(rowCount, 0)), {zero, zero, zero, zero, zero});
    for (const auto& record : records) {
        const int row = RowOfTest(record->TestId(), groupOffset, rowCount);
        if (row >= 0) cells[static_cast<size_t>(row)] = CountersOf(*record);
    }
    return cells;
}
