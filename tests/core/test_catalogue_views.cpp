// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/storage/settings.h"
#include "tests/support/test_support.h"

namespace kelvarn {
namespace {

using test::sampleRecord;
using test::TempFolder;

constexpr double kToday = 46000;

// The record numbers a grid shows, in order; the placeholder row shows as nothing.
std::vector<int> numbers(const RecordGrid& grid) {
    std::vector<int> out;
    for (int r = 1; r < grid.rowCount(); ++r) {
        EXPECT_TRUE(grid.isRecordRow(r)) << "row " << r << " of " << grid.rowCount();
        out.push_back(std::stoi(std::string(grid.cell(kColNumber, r))));
    }
    return out;
}

bool holdsOnlyPlaceholder(const RecordGrid& grid) {
    return grid.rowCount() == 2 && grid.row(1).isEmpty();
}

struct LoadedCatalogue {
    TempFolder folder;
    CatalogueViews views;

    void load(const std::vector<MixRecord>& records, ViewFilter filter) {
        test::writeCatalogue(folder.file("Base.vlt"), records);
        loadViews(CatalogueFile(folder.file("Base.vlt")), filter, views);
        copyTableToSwap(views);
    }
};

MixRecord added(const std::string& id, double daysAgo, bool hasFile = false) {
    MixRecord r = sampleRecord(id, 1, kToday - daysAgo);
    r.HasFile = hasFile ? 1 : 0;
    return r;
}

TEST(CatalogueLoad, EmptyCatalogueLeavesEveryGridWithItsPlaceholderRow) {
    LoadedCatalogue c;
    c.load({}, ViewFilter{false, false, 0, kToday});
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Table));
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Favourites));
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.RecycleBin));
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Swap));
    EXPECT_EQ(c.views.Table.cell(kColTitle, 0), "Название"_cp);
}

TEST(CatalogueLoad, RecordsGoToRecycleBinFavouritesOrCatalogueInFileOrder) {
    LoadedCatalogue c;
    std::vector<MixRecord> records;
    for (int i = 1; i <= 6; ++i) {
        records.push_back(added(std::to_string(i), 0));
    }
    records[1].InRecycleBin = 1;
    records[2].IsFavourite = 1;
    records[3].InRecycleBin = 1;
    records[3].IsFavourite = 1;  // the recycle bin wins
    records[5].IsFavourite = 7;  // any non-zero byte is set
    c.load(records, ViewFilter{false, false, 0, kToday});
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 5}));
    EXPECT_EQ(numbers(c.views.RecycleBin), (std::vector<int>{2, 4}));
    EXPECT_EQ(numbers(c.views.Favourites), (std::vector<int>{3, 6}));
    EXPECT_EQ(c.views.RecycleBin.cell(kColId, 2), "4");
}

TEST(CatalogueLoad, FavouritesAndRecycledRecordsAreNeverFiltered) {
    LoadedCatalogue c;
    MixRecord oldFavourite = added("1", 365, true);
    oldFavourite.IsFavourite = 1;
    MixRecord oldRecycled = added("2", 400, true);
    oldRecycled.InRecycleBin = 1;
    c.load({oldFavourite, oldRecycled, added("3", 365, true)}, ViewFilter{true, true, 7, kToday});
    EXPECT_EQ(numbers(c.views.Favourites), (std::vector<int>{1}));
    EXPECT_EQ(numbers(c.views.RecycleBin), (std::vector<int>{2}));
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Table));
}

TEST(CatalogueLoad, TheFourFilterCombinations) {
    // 1: new, not downloaded; 2: new, downloaded; 3: old, not downloaded; 4: old, downloaded.
    std::vector<MixRecord> records = {added("1", 0), added("2", 1, true), added("3", 30),
                                      added("4", 30, true)};
    struct Case {
        bool onlyNew, notDownloaded;
        std::vector<int> shown;
    };
    for (const Case& k : {Case{true, true, {1}}, Case{false, true, {1, 3}},
                          Case{true, false, {1, 2}}, Case{false, false, {1, 2, 3, 4}}}) {
        LoadedCatalogue c;
        c.load(records, ViewFilter{k.onlyNew, k.notDownloaded, 1, kToday});
        EXPECT_EQ(numbers(c.views.Table), k.shown) << k.onlyNew << k.notDownloaded;
    }
}

TEST(CatalogueLoad, NewDaysBoundaries) {
    std::vector<MixRecord> records = {added("today", 0), added("yesterday", 1), added("7 days", 7),
                                      added("8 days", 8), added("tomorrow", -1)};
    {
        LoadedCatalogue c;
        c.load(records, ViewFilter{true, false, 0, kToday});
        EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 5}));
    }
    {
        LoadedCatalogue c;
        c.load(records, ViewFilter{true, false, 7, kToday});
        EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 2, 3, 5}));
    }
    // The comparison is made on the stored doubles: late on the eighth day is still too old.
    MixRecord edge = added("edge", 7);
    edge.AddedDate = kToday - 7.999;
    EXPECT_TRUE(passesViewFilter(edge.as<std::string_view>(), ViewFilter{true, false, 7, kToday}));
    edge.AddedDate = kToday - 8;
    EXPECT_FALSE(passesViewFilter(edge.as<std::string_view>(), ViewFilter{true, false, 7, kToday}));
}

TEST(CatalogueLoad, FilterReadsDayFromTheSettingsAtEveryLoad) {
    TempFolder folder;
    Settings settings(folder.path());
    EXPECT_EQ(viewFilterFor(true, false, settings, kToday).days, 0);
    test::writeBytes(folder.file("Setting.ini"), "[Main]\r\nDay=3\r\n");
    ViewFilter filter = viewFilterFor(true, false, settings, kToday);
    EXPECT_EQ(filter.days, 3);
    EXPECT_TRUE(filter.onlyNew);
    EXPECT_FALSE(filter.notDownloaded);
}

TEST(CatalogueLoad, ObserverSeesTheCountEveryRecordAndTheEnd) {
    struct Recorder : LoadObserver {
        std::vector<std::uint32_t> events;
        void loadStarted(std::uint32_t count) override { events.push_back(1000 + count); }
        void recordLoaded(std::uint32_t n) override { events.push_back(n); }
        void loadFinished() override { events.push_back(9999); }
    } recorder;
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), {added("1", 0), added("2", 0), added("3", 0)});
    CatalogueViews views;
    loadViews(CatalogueFile(folder.file("Base.vlt")), ViewFilter{}, views, &recorder);
    EXPECT_EQ(recorder.events, (std::vector<std::uint32_t>{1003, 1, 2, 3, 9999}));
}

TEST(CatalogueLoad, MissingCatalogueRaisesFileNotFoundAndLeavesThePlaceholders) {
    TempFolder folder;
    CatalogueViews views;
    EXPECT_THROW(loadViews(CatalogueFile(folder.file("Base.vlt")), ViewFilter{}, views), IoError);
    EXPECT_TRUE(holdsOnlyPlaceholder(views.Table));
}

TEST(CatalogueLoad, RandomBytesLoadWithoutHarm) {
    TempFolder folder;
    std::string junk;
    std::uint32_t state = 99;
    for (std::size_t i = 0; i < kRecordSize * 500 + 17; ++i) {
        state = state * 1664525u + 1013904223u;
        junk.push_back(static_cast<char>(state >> 24));
    }
    test::writeBytes(folder.file("Base.vlt"), junk);
    CatalogueViews views;
    loadViews(CatalogueFile(folder.file("Base.vlt")), ViewFilter{false, false, 0, kToday}, views);
    int shown = 0;
    for (const RecordGrid* grid : {&views.Table, &views.Favourites, &views.RecycleBin}) {
        for (int r = 1; r < grid->rowCount(); ++r) {
            shown += grid->isRecordRow(r) ? 1 : 0;
        }
    }
    EXPECT_EQ(shown, 500);
    EXPECT_EQ(test::readBytes(folder.file("Base.vlt")), junk);
}

TEST(CatalogueLoad, ReloadRebuildsEveryViewAndSwapMatchesTable) {
    LoadedCatalogue c;
    c.load({added("1", 0), added("2", 0)}, ViewFilter{false, false, 0, kToday});
    CatalogueFile file(c.folder.file("Base.vlt"));
    file.update(1, [](MixRecord& r) { r.IsFavourite = 1; });
    file.append(added("3", 0));
    reloadViews(file, ViewFilter{false, false, 0, kToday}, c.views);
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{2, 3}));
    EXPECT_EQ(numbers(c.views.Swap), (std::vector<int>{2, 3}));
    EXPECT_EQ(numbers(c.views.Favourites), (std::vector<int>{1}));
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.RecycleBin));
    EXPECT_TRUE(c.views.Swap.row(0).isEmpty());
    for (int col = 0; col < kGridColumns; ++col) {
        EXPECT_EQ(c.views.Table.cell(col, 2), c.views.Swap.cell(col, 2));
    }
}

TEST(StyleTree, StyleNodeShowsSwapRowsOfThatStyleOrThePlaceholder) {
    LoadedCatalogue c;
    c.load(
        {sampleRecord("1", 0, kToday), sampleRecord("2", 4, kToday), sampleRecord("3", 0, kToday)},
        ViewFilter{false, false, 0, kToday});
    EXPECT_EQ(selectStyleNode(c.views, 0), VisibleGrid::Table);
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 3}));

    EXPECT_EQ(selectStyleNode(c.views, 1), VisibleGrid::Table);
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Table));

    EXPECT_EQ(selectStyleNode(c.views, kKeyAllStyles), VisibleGrid::Table);
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 2, 3}));
}

TEST(StyleTree, AllStylesRestoresSwapIncludingLaterAdditions) {
    LoadedCatalogue c;
    c.load({sampleRecord("1", 2, kToday)}, ViewFilter{false, false, 0, kToday});
    c.views.Swap.appendRow(RecordToRow(9, sampleRecord("9", 2, kToday)));
    selectStyleNode(c.views, 2);
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 9}));
    selectStyleNode(c.views, 5);
    selectStyleNode(c.views, kKeyAllStyles);
    EXPECT_EQ(numbers(c.views.Table), (std::vector<int>{1, 9}));
}

TEST(StyleTree, RecycleBinAndFavouritesShowTheirOwnGridsUnfilteredAndClearTable) {
    LoadedCatalogue c;
    MixRecord fav = sampleRecord("2", 3, kToday);
    fav.IsFavourite = 1;
    MixRecord bin = sampleRecord("3", 4, kToday);
    bin.InRecycleBin = 1;
    c.load({sampleRecord("1", 0, kToday), fav, bin}, ViewFilter{false, false, 0, kToday});
    EXPECT_EQ(selectStyleNode(c.views, kKeyRecycleBin), VisibleGrid::RecycleBin);
    EXPECT_TRUE(holdsOnlyPlaceholder(c.views.Table));
    EXPECT_EQ(numbers(c.views.RecycleBin), (std::vector<int>{3}));
    EXPECT_EQ(selectStyleNode(c.views, kKeyFavourites), VisibleGrid::Favourites);
    EXPECT_EQ(numbers(c.views.Favourites), (std::vector<int>{2}));
    EXPECT_EQ(numbers(c.views.Swap), (std::vector<int>{1}));
}

// What a reader that walks a view once sees (the list, the HTML export) must be what the window
// shows after a load and a click, for every view, filter and style node.
TEST(StyleTree, ShownGridIsTheWindowsGridAfterALoadAndAClick) {
    std::vector<MixRecord> records;
    for (int i = 0; i < 64; ++i) {
        MixRecord r = added(std::to_string(i), i % 5 * 3, i % 3 == 0);
        r.Style = static_cast<std::uint8_t>(i % 7 == 6 ? 200 : i % kStyleCount);
        r.InRecycleBin = i % 11 == 0 ? 1 : 0;
        r.IsFavourite = i % 4 == 1 ? 1 : 0;
        records.push_back(r);
    }
    TempFolder folder;
    test::writeCatalogue(folder.file("Base.vlt"), records);
    const CatalogueFile file(folder.file("Base.vlt"));
    auto cells = [](const RecordGrid& grid) {
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < grid.rowCount(); ++r) {
            rows.emplace_back();
            for (int c = 0; c < kGridColumns; ++c) {
                rows.back().emplace_back(grid.cell(c, r));
            }
        }
        return rows;
    };
    for (const ViewFilter& filter :
         {ViewFilter{false, false, 0, kToday}, ViewFilter{true, true, 6, kToday}}) {
        for (int key = kKeyAllStyles; key < kStyleCount; ++key) {
            CatalogueViews views;
            loadViews(file, filter, views);
            copyTableToSwap(views);
            if (key != kKeyAllStyles) {
                selectStyleNode(views, key);
            }
            EXPECT_EQ(cells(shownGrid(file, filter, VisibleGrid::Table, key)), cells(views.Table))
                << "style key " << key << ", filters " << filter.onlyNew;
            EXPECT_EQ(cells(shownGrid(file, filter, VisibleGrid::Favourites, key)),
                      cells(views.Favourites));
            EXPECT_EQ(cells(shownGrid(file, filter, VisibleGrid::RecycleBin, key)),
                      cells(views.RecycleBin));
        }
    }
}

}  // namespace
}  // namespace kelvarn
