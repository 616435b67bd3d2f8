// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "core/catalogue/record_grid.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

std::vector<std::string> cells(const GridRow& row) {
    std::vector<std::string> out;
    out.reserve(kGridColumns);
    for (int c = 0; c < kGridColumns; ++c) {
        out.emplace_back(row.cell(c));
    }
    return out;
}

TEST(RecordGrid, RowShowsTheElevenCellsOfARecord) {
    MixRecord r;
    r.Id = "654321";
    r.Author = "Вася"_cp;
    r.Title = "Ночь"_cp;
    r.Email = "v@ya.ru";
    r.Style = 13;
    r.Size = -5;
    r.AddedDate = oleDateFromCivil(2024, 3, 9);
    r.AddedTime = (13 * 3600 + 5 * 60 + 7) / 86400.0;
    r.Rating = 10;
    r.HasFile = 0;
    EXPECT_EQ(
        cells(RecordToRow(42, r)),
        (std::vector<std::string>{"42", "654321", std::string("Вася"_cp), std::string("Ночь"_cp),
                                  "v@ya.ru", std::string("Другое"_cp), "-5", "09.03.2024",
                                  "13:05:07", "10", std::string("Нет"_cp)}));
}

TEST(RecordGrid, StyleOutsideTheTableIsEmptyAndAnyNonZeroFileFlagShowsYes) {
    MixRecord r = test::sampleRecord("1", 15);
    r.HasFile = 2;
    GridRow row = RecordToRow(1, r);
    EXPECT_EQ(row.cell(kColStyle), "");
    EXPECT_EQ(row.cell(kColFile), "Есть"_cp);
    r.Style = 255;
    EXPECT_EQ(RecordToRow(1, r).cell(kColStyle), "");
    EXPECT_EQ(StyleName(14), "Неизвестный"_cp);
    EXPECT_EQ(StyleName(0), "Trance");
}

TEST(RecordGrid, DatesAndTimesPrintAsDayMonthYearAndHoursMinutesSeconds) {
    EXPECT_EQ(formatOleDate(0), "30.12.1899");
    EXPECT_EQ(formatOleDate(2), "01.01.1900");
    EXPECT_EQ(formatOleDate(oleDateFromCivil(2000, 2, 29)), "29.02.2000");
    EXPECT_EQ(formatOleDate(45000.9), formatOleDate(45000));
    EXPECT_EQ(formatOleTime(0), "00:00:00");
    EXPECT_EQ(formatOleTime(0.5), "12:00:00");
    EXPECT_EQ(formatOleTime(45000.25), "06:00:00");
    EXPECT_EQ(formatOleTime(-0.75), "18:00:00");
    EXPECT_EQ(formatOleTime(86399.4 / 86400.0), "23:59:59");
}

TEST(RecordGrid, ValuesThatAreNoDateShowEmptyCells) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(formatOleDate(nan), "");
    EXPECT_EQ(formatOleDate(1e300), "");
    EXPECT_EQ(formatOleDate(-1e9), "");
    EXPECT_EQ(formatOleTime(std::numeric_limits<double>::infinity()), "");
    EXPECT_EQ(formatOleTime(nan), "");
    EXPECT_EQ(formatOleDate(oleDateFromCivil(9999, 12, 31)), "31.12.9999");
    EXPECT_EQ(formatOleDate(oleDateFromCivil(9999, 12, 31) + 1), "");
}

TEST(RecordGrid, NewAndClearedGridsHoldTheHeaderAndOnePlaceholderRow) {
    RecordGrid grid;
    SetGridHeaders(grid);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(kColNumber, 0), "№"_cp);
    EXPECT_EQ(grid.cell(kColId, 0), "ID микса"_cp);
    EXPECT_EQ(grid.cell(kColFile, 0), "Файл"_cp);
    EXPECT_FALSE(grid.isRecordRow(1));

    grid.setRowCount(4);
    RecordToRow(grid, 1, 1, test::sampleRecord("1"));
    RecordToRow(grid, 3, 3, test::sampleRecord("3"));
    ClearGrid(grid);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_TRUE(grid.row(1).isEmpty());
    EXPECT_EQ(grid.cell(kColAuthor, 0), "Автор"_cp);
}

TEST(RecordGrid, ChangingACellLeavesCopiesOfTheRowAlone) {
    GridRow original = RecordToRow(7, test::sampleRecord("7"));
    GridRow copy = original;
    copy.setCell(kColAuthor, "Другой"_cp);
    EXPECT_EQ(original.cell(kColAuthor), "Author 7");
    EXPECT_EQ(copy.cell(kColAuthor), "Другой"_cp);
    EXPECT_EQ(copy.cell(kColTitle), "Title 7");
    EXPECT_EQ(copy.cell(kColNumber), "7");

    GridRow empty;
    empty.setCell(kColNumber, "9");
    EXPECT_EQ(empty.cell(kColNumber), "9");
    EXPECT_EQ(empty.cell(kColId), "");
}

TEST(RecordGrid, CopiesOfOneRowMadeAndDroppedOnTwoThreadsLeaveItWhole) {
    RecordGrid grid;
    grid.setRow(1, RecordToRow(5, test::sampleRecord("5")));
    auto copyMany = [&grid] {
        for (int round = 0; round < 200; ++round) {
            std::vector<GridRow> copies(500, grid.row(1));
            EXPECT_EQ(copies.back().cell(kColId), "5");
        }
    };
    std::thread first(copyMany), second(copyMany);
    first.join();
    second.join();
    EXPECT_EQ(grid.cell(kColAuthor, 1), "Author 5");
}

}  // namespace
}  // namespace kelvarn
