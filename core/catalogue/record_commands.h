// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of the record grids' context menus, on the views the main window shows: moving a
// record between the catalogue, the favourites and the recycle bin, queuing rows for download,
// and the texts the copy commands put on the clipboard.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/queue_file.h"

namespace kelvarn {

enum class RecordMove {
    Recycle,           // "Удалить" in the catalogue view
    Favourite,         // "Добавить в Избранное"
    RecycleFavourite,  // "Удалить" in the favourites
    Unfavourite,       // "Убрать из Избранного"
    Restore,           // "Восстановить"
};

// The grid a move takes its row from.
RecordGrid& moveSource(CatalogueViews& views, RecordMove move);

// The record's flags as the move leaves them.
void applyMoveFlags(RecordMove move, MixRecord& record);

// Whether a record with these flags is in the view the move starts from: the recycle bin when it
// is recycled, else the favourites when it is one, else the catalogue view.
bool isInMoveSource(RecordMove move, const MixRecordView& record);

// Takes row `r` out of the grid: a grid with that row alone goes back to its placeholder row.
// Returns the row to highlight afterwards, if any (the row now at r, one up for the last but one,
// row 1 for the first, nothing for the last; rows at or below `lowerBound` keep no highlight).
std::optional<int> removeRow(RecordGrid& grid, int r, int lowerBound);

// The record a grid row shows, as the row shows it.
RecordRef recordRefOf(const RecordGrid& grid, int row);

// Writes the move's flags into the record `ref` names, under the file's lock: only when it still
// holds the row's ID (else Replaced) and is in the move's source view (else Declined).
CheckedWrite writeMove(CatalogueFile& catalogue, const RecordRef& ref, RecordMove move);

struct MoveOutcome {
    CheckedWrite write = CheckedWrite::Written;
    std::optional<int> highlight;  // the row to highlight afterwards
};

// Moves the record of row `row` of the move's source grid: its flags are written to Base.vlt
// first (writeMove; when it writes nothing, or throws an IoError, every grid stays as it was),
// then the row goes to the end of the target grid, leaves Swap too when it came from Table, and
// leaves its grid. A row that names no record (the placeholder, one gone meanwhile) changes
// nothing.
MoveOutcome moveRecord(CatalogueFile& catalogue, CatalogueViews& views, RecordMove move, int row);

struct QueueOutcome {
    std::size_t queued = 0;
    // The rows whose record number holds another mix now, or a recycled one: nothing queued.
    std::vector<RecordRef> changed;
};

// Queues the records `refs` name, each built from the record as the file holds it (ID, track,
// size) under its lock, unless its ID is in the queue already, taken off or not.
// `onlyNotDownloaded` leaves out records the file marks downloaded.
QueueOutcome queueRecords(const CatalogueFile& catalogue, QueueFile& queue,
                          std::span<const RecordRef> refs, bool onlyNotDownloaded = false);

// "Закачать": the record of the row.
QueueOutcome queueRow(const CatalogueFile& catalogue, QueueFile& queue, const RecordGrid& grid,
                      int row);

// "Закачать Все": every record row (`everyRow`, the answer Yes), or only those not downloaded.
QueueOutcome queueAll(const CatalogueFile& catalogue, QueueFile& queue, const RecordGrid& grid,
                      bool everyRow);

// What the copy commands put on the clipboard (Windows-1251).
std::string copiedAddress(std::string_view site, const RecordGrid& grid, int row);
std::string copiedName(const RecordGrid& grid, int row);

}  // namespace kelvarn
