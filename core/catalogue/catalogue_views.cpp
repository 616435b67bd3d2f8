// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/catalogue_views.h"

#include <array>

#include "core/catalogue/styles.h"
#include "core/storage/settings.h"

namespace kelvarn {
namespace {

// A grid filled by a load: each record takes the blank row at the end, and a new blank row stays
// below it until the load ends.
class LoadedRows {
public:
    explicit LoadedRows(RecordGrid& grid) : grid_(grid) {}

    void append(std::uint32_t number, const MixRecordView& record) {
        ++count_;
        grid_.setRowCount(count_ + 2);
        grid_.setRow(count_, RecordToRow(number, record));
    }

    // Drops the blank row below the last record; a grid without records keeps it as its
    // placeholder.
    void finish() {
        if (count_ > 0) {
            grid_.setRowCount(grid_.rowCount() - 1);
        }
    }

private:
    RecordGrid& grid_;
    int count_ = 0;
};

void copyRows(const RecordGrid& from, RecordGrid& to) {
    to.setRowCount(from.rowCount());
    for (int r = 1; r < from.rowCount(); ++r) {
        to.setRow(r, from.row(r));
    }
}

}  // namespace

CatalogueViews::CatalogueViews() {
    SetGridHeaders(Table);
    SetGridHeaders(Favourites);
    SetGridHeaders(RecycleBin);
}

ViewFilter viewFilterFor(bool onlyNew, bool notDownloaded, const Settings& settings, double today) {
    return ViewFilter{onlyNew, notDownloaded, settings.read(keys::Day), today};
}

bool passesViewFilter(const MixRecordView& record, const ViewFilter& filter) {
    bool isNew = filter.today - record.AddedDate < static_cast<double>(filter.days) + 1;
    bool notDownloaded = record.HasFile == 0;
    return (!filter.onlyNew || isNew) && (!filter.notDownloaded || notDownloaded);
}

std::optional<VisibleGrid> loadedInto(const MixRecordView& record, const ViewFilter& filter) {
    if (record.InRecycleBin != 0) {
        return VisibleGrid::RecycleBin;
    }
    if (record.IsFavourite != 0) {
        return VisibleGrid::Favourites;
    }
    if (passesViewFilter(record, filter)) {
        return VisibleGrid::Table;
    }
    return std::nullopt;
}

void loadViews(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
               LoadObserver* observer) {
    // In the order of VisibleGrid.
    std::array<LoadedRows, 3> loaded{LoadedRows(views.Table), LoadedRows(views.Favourites),
                                     LoadedRows(views.RecycleBin)};
    auto finishAll = [&] {
        for (LoadedRows& rows : loaded) {
            rows.finish();
        }
    };
    try {
        file.forEach(
            [&](std::uint32_t count) {
                views.Table.reserveRows(static_cast<int>(count) + 2);
                if (observer != nullptr) {
                    observer->loadStarted(count);
                }
            },
            [&](std::uint32_t number, const MixRecordView& record) {
                if (std::optional<VisibleGrid> grid = loadedInto(record, filter)) {
                    loaded[static_cast<std::size_t>(*grid)].append(number, record);
                }
                if (observer != nullptr) {
                    observer->recordLoaded(number);
                }
            });
    } catch (...) {
        finishAll();
        throw;
    }
    if (observer != nullptr) {
        observer->loadFinished();
    }
    finishAll();
}

void copyTableToSwap(CatalogueViews& views) {
    copyRows(views.Table, views.Swap);
}

void reloadViews(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
                 LoadObserver* observer) {
    ClearGrid(views.Table);
    ClearGrid(views.RecycleBin);
    ClearGrid(views.Swap);
    ClearGrid(views.Favourites);
    loadViews(file, filter, views, observer);
    copyTableToSwap(views);
}

void appendNewerToSwap(const CatalogueFile& file, const ViewFilter& filter, RecordGrid& swap,
                       std::uint32_t& known) {
    file.forEachFrom(known + 1, [&](std::uint32_t number, const MixRecordView& record) {
        if (loadedInto(record, filter) == VisibleGrid::Table) {
            swap.appendRow(RecordToRow(number, record));
        }
        known = number;
    });
}

VisibleGrid selectStyleNode(CatalogueViews& views, int key) {
    RecordGrid& table = views.Table;
    const RecordGrid& swap = views.Swap;
    ClearGrid(table);
    if (key == kKeyAllStyles) {
        copyRows(swap, table);
        return VisibleGrid::Table;
    }
    // A row's style cell is the name of its record's code, and the names differ: equal names are
    // equal codes, the rule forEachShown applies to the records themselves.
    const bool isStyle = key >= 0 && key < kStyleCount;
    const std::string_view name = isStyle ? StyleName(static_cast<std::uint8_t>(key)) : "";
    bool matched = false;
    for (int r = 1; isStyle && r < swap.rowCount(); ++r) {
        if (swap.cell(kColStyle, r) == name) {
            table.setRow(table.rowCount() - 1, swap.row(r));
            table.setRowCount(table.rowCount() + 1);
            matched = true;
        }
    }
    if (key == kKeyRecycleBin) {
        return VisibleGrid::RecycleBin;
    }
    if (key == kKeyFavourites) {
        return VisibleGrid::Favourites;
    }
    if (matched) {
        table.setRowCount(table.rowCount() - 1);
    }
    return VisibleGrid::Table;
}

namespace {

// Whether a record is one of the view's rows.
auto shownIn(const ViewFilter& filter, VisibleGrid grid, int styleKey) {
    // A style cell equals its node's text exactly when the codes are equal: the names differ.
    const bool anyStyle = grid != VisibleGrid::Table || styleKey == kKeyAllStyles;
    return [&filter, grid, styleKey, anyStyle](const MixRecordView& record) {
        return loadedInto(record, filter) == grid && (anyStyle || record.Style == styleKey);
    };
}

}  // namespace

void forEachShown(const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid,
                  int styleKey,
                  const std::function<void(std::uint32_t number, const MixRecordView&)>& visit) {
    const auto shown = shownIn(filter, grid, styleKey);
    file.forEach(nullptr, [&](std::uint32_t number, const MixRecordView& record) {
        if (shown(record)) {
            visit(number, record);
        }
    });
}

void forEachShownRecord(
    const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid, int styleKey,
    const std::function<void(std::uint32_t number, const MixRecordView& inPlace)>& visit,
    const std::function<void()>& released) {
    const auto shown = shownIn(filter, grid, styleKey);
    file.forEachBlock(
        nullptr,
        [&](std::uint32_t first, std::span<const unsigned char> block) {
            for (std::size_t at = 0; at + kRecordSize <= block.size(); at += kRecordSize) {
                const unsigned char* record = block.data() + at;
                // The page cache is read a cache line at a time: ask for the next records' lines
                // while this one is written out.
                __builtin_prefetch(record + 4 * kRecordSize);
                __builtin_prefetch(record + 4 * kRecordSize + 64);
                __builtin_prefetch(record + 4 * kRecordSize + 128);
                const MixRecordView decoded = decodeRecordView(record);
                if (shown(decoded)) {
                    visit(first + static_cast<std::uint32_t>(at / kRecordSize), decoded);
                }
            }
        },
        released);
}

RecordGrid shownGrid(const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid,
                     int styleKey) {
    RecordGrid shown;
    SetGridHeaders(shown);
    LoadedRows rows(shown);
    forEachShown(
        file, filter, grid, styleKey,
        [&](std::uint32_t number, const MixRecordView& record) { rows.append(number, record); });
    rows.finish();
    return shown;
}

}  // namespace kelvarn
