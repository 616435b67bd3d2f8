// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the catalogue into its views: the catalogue view `Table` (filtered by the two view
// filters), `Favourites`, the `RecycleBin`, and the hidden master copy `Swap` from which a style
// selection rebuilds `Table`.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/record_grid.h"

namespace kelvarn {

class Settings;

struct CatalogueViews {
    CatalogueViews();

    RecordGrid Table;
    RecordGrid Favourites;
    RecordGrid RecycleBin;
    RecordGrid Swap;
};

// The two switches of the "Показать" menu and the new-days value, as of the start of a load.
struct ViewFilter {
    bool onlyNew = true;        // "Только новинки"
    bool notDownloaded = true;  // "Не скаченные"
    int days = 0;               // "Main"/"Day"
    double today = 0;           // today's date, whole days
};

// The filter a load uses: the two check marks, and "Day" read anew from the settings.
ViewFilter viewFilterFor(bool onlyNew, bool notDownloaded, const Settings& settings, double today);

// Whether a record of the catalogue view goes into `Table`.
bool passesViewFilter(const MixRecordView& record, const ViewFilter& filter);

// What a load reports as it goes; the window shows its splash progress bar and paces the load.
class LoadObserver {
public:
    virtual ~LoadObserver() = default;
    virtual void loadStarted(std::uint32_t /*count*/) {}
    virtual void recordLoaded(std::uint32_t /*number*/) {}
    virtual void loadFinished() {}
};

enum class VisibleGrid { Table, Favourites, RecycleBin };

// The grid a load puts the record in; nothing for a catalogue record the filter leaves out.
std::optional<VisibleGrid> loadedInto(const MixRecordView& record, const ViewFilter& filter);

// Fills Table, Favourites and RecycleBin from the file, which hold their two rows as created or
// cleared. A record in the recycle bin goes there even when it is a favourite; favourites and
// recycled records are never filtered. On a file error the grids stay as far as they were filled.
void loadViews(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
               LoadObserver* observer = nullptr);

// Swap becomes a copy of Table.
void copyTableToSwap(CatalogueViews& views);

// "Перезагрузка базы": clears the four grids, loads and copies again.
void reloadViews(const CatalogueFile& file, const ViewFilter& filter, CatalogueViews& views,
                 LoadObserver* observer = nullptr);

// Records past number `known`, which another process appended since the load (its import, its
// manual entry), each the load would have put in Table going into Swap; `known` follows each one.
// Favourites and the recycle bin are left to the next load.
void appendNewerToSwap(const CatalogueFile& file, const ViewFilter& filter, RecordGrid& swap,
                       std::uint32_t& known);

// The view keys of the style tree's nodes.
inline constexpr int kKeyAllStyles = -1;
inline constexpr int kKeyRecycleBin = 15;
inline constexpr int kKeyFavourites = 16;
inline constexpr int kKeySearch = 17;

// A click on a style tree node with view key `key`: rebuilds Table from Swap and says which grid
// to show. A style's node keeps Swap's rows of that style; "Все стили" copies Swap whole;
// "Корзина" and "Избранное" leave Table cleared behind their own grids.
VisibleGrid selectStyleNode(CatalogueViews& views, int key);

// The records `grid` holds after a load and, for Table, a click on the style node with view key
// `styleKey` (kKeyAllStyles or a style code), in grid order, read straight from the file: a
// reader that walks a view once needs neither the grids nor the master copy.
void forEachShown(const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid,
                  int styleKey,
                  const std::function<void(std::uint32_t number, const MixRecordView&)>& visit);

// The same for a reader that writes the records out itself, a block at a time: `visit` gets
// each record decoded in place, its texts pointing into its 176 bytes, while its block is mapped
// under the file's lock (as in CatalogueFile::forEachBlock), so it must not wait on anything;
// `released` runs after each block's lock is let go.
void forEachShownRecord(
    const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid, int styleKey,
    const std::function<void(std::uint32_t number, const MixRecordView& inPlace)>& visit,
    const std::function<void()>& released);

// That view as the window's grid: the headers, then the records or the placeholder row.
RecordGrid shownGrid(const CatalogueFile& file, const ViewFilter& filter, VisibleGrid grid,
                     int styleKey);

}  // namespace kelvarn
