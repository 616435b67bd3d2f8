#include "core/catalogue/catalogue_views.h"

#include "core/storage/settings.h"

namespace kelvarn {
namespace {

// Appends a record during a load: the record takes the blank row at the end and a new blank row
// stays below it until the load trims it.
void appendLoaded(RecordGrid& grid, int& count, std::uint32_t number, const MixRecordView& record) {
    ++count;
    grid.setRowCount(count + 2);
    grid.setRow(count, RecordToRow(number, record));
}

void trimBlankRow(RecordGrid& grid, int count) {
    if (count > 0) {
        grid.setRowCount(grid.rowCount() - 1);
    }
}

void copyRows(const RecordGrid& from, RecordGrid& to) {
    to.setRowCount(from.rowCount());
    for (int r = 1; r < from.rowCount(); ++r) {
        to.setRow(r, from.row(r));
    }
}

}  // namespace

CatalogueViews::CatalogueViews() {
    SetGridHeaders(Table);
    SetGridHeaders(Favorit);
    SetGridHeaders(Recucled);
}

ViewFilter viewFilterFor(bool onlyNew, bool notDownloaded, const Settings& settings, double today) {
    return ViewFilter{onlyNew, notDownloaded, settings.read(keys::Day), today};
}

bool SortBase(const MixRecordView& record, const ViewFilter& filter) {
    bool isNew = filter.today - record.AddedDate < static_cast<double>(filter.days) + 1;
    bool notDownloaded = record.HasFile == 0;
    return (!filter.onlyNew || isNew) && (!filter.notDownloaded || notDownloaded);
}

void ReadBase(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
              LoadObserver* observer) {
    int inTable = 0;
    int inFavorit = 0;
    int inRecucled = 0;
    auto trimAll = [&] {
        trimBlankRow(views.Table, inTable);
        trimBlankRow(views.Recucled, inRecucled);
        trimBlankRow(views.Favorit, inFavorit);
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
                if (record.InRecycleBin != 0) {
                    appendLoaded(views.Recucled, inRecucled, number, record);
                } else if (record.IsFavourite != 0) {
                    appendLoaded(views.Favorit, inFavorit, number, record);
                } else if (SortBase(record, filter)) {
                    appendLoaded(views.Table, inTable, number, record);
                }
                if (observer != nullptr) {
                    observer->recordLoaded(number);
                }
            });
    } catch (...) {
        trimAll();
        throw;
    }
    if (observer != nullptr) {
        observer->loadFinished();
    }
    trimAll();
}

void CopyTable(CatalogueViews& views) {
    copyRows(views.Table, views.Swap);
}

void reloadViews(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
                 LoadObserver* observer) {
    ClearGrid(views.Table);
    ClearGrid(views.Recucled);
    ClearGrid(views.Swap);
    ClearGrid(views.Favorit);
    ReadBase(file, filter, views, observer);
    CopyTable(views);
}

VisibleGrid selectStyleNode(CatalogueViews& views, int key, std::string_view nodeText) {
    RecordGrid& table = views.Table;
    const RecordGrid& swap = views.Swap;
    ClearGrid(table);
    if (key == kKeyAllStyles) {
        copyRows(swap, table);
        return VisibleGrid::Table;
    }
    bool matched = false;
    for (int r = 1; r < swap.rowCount(); ++r) {
        if (swap.cell(kColStyle, r) == nodeText) {
            table.setRow(table.rowCount() - 1, swap.row(r));
            table.setRowCount(table.rowCount() + 1);
            matched = true;
        }
    }
    if (key == kKeyRecycleBin) {
        return VisibleGrid::Recucled;
    }
    if (key == kKeyFavourites) {
        return VisibleGrid::Favorit;
    }
    if (matched) {
        table.setRowCount(table.rowCount() - 1);
    }
    return VisibleGrid::Table;
}

}  // namespace kelvarn
