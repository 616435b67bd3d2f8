// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/statistics.h"

#include <gtest/gtest.h>

#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::sampleRecord;
using test::TempFolder;

MixRecord record(const std::string& id, std::uint8_t style, bool downloaded = false) {
    MixRecord r = sampleRecord(id, style);
    r.HasFile = downloaded ? 1 : 0;
    return r;
}

Statistics countIn(const TempFolder& folder) {
    return countStatistics(CatalogueFile(folder.file("Base.vlt")));
}

TEST(Statistics, AnEmptyCatalogueCountsNothing) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {});
    Statistics s = countIn(folder);
    for (int code = 0; code < kStyleCount; ++code) {
        EXPECT_EQ(s.styles[code], 0u) << "style " << code;
    }
    EXPECT_EQ(s.downloaded, 0u);
    EXPECT_EQ(s.notDownloaded, 0u);
    EXPECT_EQ(s.total, 0u);
}

TEST(Statistics, EveryRecordCountsWhateverItsBinAndFavouriteFlags) {
    TempFolder folder;
    MixRecord recycled = record("2", 4, true);
    recycled.InRecycleBin = 1;
    MixRecord favourite = record("3", 14);
    favourite.IsFavourite = 1;
    test::writeCatalogue(folder.file("Base.vlt"), {record("1", 4), recycled, favourite});
    Statistics s = countIn(folder);
    EXPECT_EQ(s.total, 3u);
    EXPECT_EQ(s.downloaded, 1u);
    EXPECT_EQ(s.notDownloaded, 2u);
    EXPECT_EQ(s.styles[4], 2u);
    EXPECT_EQ(s.styles[14], 1u);
    EXPECT_EQ(s.styles[0], 0u);
}

TEST(Statistics, AnUnknownStyleCountsOnlyInTheTotals) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"),
                         {record("1", 15, true), record("2", 200), record("3", 0)});
    Statistics s = countIn(folder);
    std::uint32_t byStyle = 0;
    for (std::uint32_t n : s.styles) {
        byStyle += n;
    }
    EXPECT_EQ(byStyle, 1u);
    EXPECT_EQ(s.styles[0], 1u);
    EXPECT_EQ(s.downloaded, 1u);
    EXPECT_EQ(s.notDownloaded, 2u);
    EXPECT_EQ(s.total, 3u);
}

TEST(Statistics, CountingAgainStartsFromNothing) {
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {record("1", 2, true), record("2", 2)});
    CatalogueFile file(folder.file("Base.vlt"));
    countStatistics(file);
    Statistics again = countStatistics(file);
    EXPECT_EQ(again.styles[2], 2u);
    EXPECT_EQ(again.downloaded, 1u);
    EXPECT_EQ(again.total, 2u);
}

TEST(Statistics, AMissingCatalogueIsAFileError) {
    TempFolder folder;
    try {
        countIn(folder);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "File not found: " + folder.file("Base.vlt"));
    }
}

StatisticsRow row(std::string_view name, std::string_view count) {
    return {std::string(name), std::string(count)};
}

TEST(StatisticsGrid, RowsHoldHeadersStylesABlankRowAndTotals) {
    Statistics s;
    for (int code = 0; code < kStyleCount; ++code) {
        s.styles[code] = static_cast<std::uint32_t>(code * 10);
    }
    s.downloaded = 7;
    s.notDownloaded = 1234567;
    s.total = 1234574;
    StatisticsGrid grid = statisticsGrid(s);
    EXPECT_EQ(grid[0], row("Записи"_cp, "Кол-во"_cp));
    EXPECT_EQ(grid[1], row("Trance", "0"));
    EXPECT_EQ(grid[5], row("Drum & Bass", "40"));
    EXPECT_EQ(grid[14], row("Другое"_cp, "130"));
    EXPECT_EQ(grid[15], row("Неизвестный"_cp, "140"));
    EXPECT_EQ(grid[16], row("", ""));
    EXPECT_EQ(grid[17], row("Скаченных"_cp, "7"));
    EXPECT_EQ(grid[18], row("Нескаченных"_cp, "1234567"));
    EXPECT_EQ(grid[19], row("Всего"_cp, "1234574"));
}

}  // namespace
}  // namespace kelvarn
