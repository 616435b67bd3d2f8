// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/record_commands.h"

#include <charconv>

#include "core/catalogue/styles.h"
#include "core/net/site_address.h"

namespace kelvarn {
namespace {

std::int64_t cellNumber(const RecordGrid& grid, int column, int row) {
    std::string_view text = grid.cell(column, row);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

RecordGrid& moveTarget(CatalogueViews& views, RecordMove move) {
    switch (move) {
        case RecordMove::Recycle:
        case RecordMove::RecycleFavourite:
            return views.RecycleBin;
        case RecordMove::Favourite:
            return views.Favourites;
        case RecordMove::Unfavourite:
        case RecordMove::Restore:
            break;
    }
    return views.Swap;
}

// A record that goes back to the catalogue view lands in Swap, where row 2 and above keep no
// highlight; the other moves keep it from row 2 on.
int lowerBoundOf(RecordMove move) {
    return move == RecordMove::Unfavourite || move == RecordMove::Restore ? 2 : 1;
}

// The row of the grid that shows record `number`, if any.
std::optional<int> rowOf(const RecordGrid& grid, std::string_view number) {
    for (int r = 1; r < grid.rowCount(); ++r) {
        if (grid.cell(kColNumber, r) == number) {
            return r;
        }
    }
    return std::nullopt;
}

}  // namespace

RecordGrid& moveSource(CatalogueViews& views, RecordMove move) {
    switch (move) {
        case RecordMove::Recycle:
        case RecordMove::Favourite:
            return views.Table;
        case RecordMove::RecycleFavourite:
        case RecordMove::Unfavourite:
            return views.Favourites;
        case RecordMove::Restore:
            break;
    }
    return views.RecycleBin;
}

void applyMoveFlags(RecordMove move, MixRecord& record) {
    switch (move) {
        case RecordMove::Recycle:
            record.InRecycleBin = 1;
            break;
        case RecordMove::Favourite:
            record.IsFavourite = 1;
            break;
        case RecordMove::RecycleFavourite:
            record.IsFavourite = 0;
            record.InRecycleBin = 1;
            break;
        case RecordMove::Unfavourite:
            record.IsFavourite = 0;
            break;
        case RecordMove::Restore:
            record.InRecycleBin = 0;
            break;
    }
}

bool isInMoveSource(RecordMove move, const MixRecordView& record) {
    const bool recycled = record.InRecycleBin != 0;
    const bool favourite = !recycled && record.IsFavourite != 0;
    switch (move) {
        case RecordMove::Recycle:
        case RecordMove::Favourite:
            return !recycled && !favourite;
        case RecordMove::RecycleFavourite:
        case RecordMove::Unfavourite:
            return favourite;
        case RecordMove::Restore:
            break;
    }
    return recycled;
}

std::optional<int> removeRow(RecordGrid& grid, int r, int lowerBound) {
    if (grid.rowCount() == 2) {
        ClearGrid(grid);
        return std::nullopt;
    }
    grid.removeRow(r);
    const int count = grid.rowCount();
    std::optional<int> highlight;
    if (r == count - 1) {
        highlight = r - 1;
    }
    if (r == 1) {
        highlight = 1;
    }
    if (lowerBound < r && r < count - 1) {
        highlight = r;
    }
    return highlight;
}

RecordRef recordRefOf(const RecordGrid& grid, int row) {
    return {static_cast<std::uint32_t>(cellNumber(grid, kColNumber, row)),
            std::string(grid.cell(kColId, row))};
}

CheckedWrite writeMove(CatalogueFile& catalogue, const RecordRef& ref, RecordMove move) {
    return catalogue.updateIfHolds(ref, [move](MixRecord& record) {
        if (!isInMoveSource(move, record.as<std::string_view>())) {
            return false;
        }
        applyMoveFlags(move, record);
        return true;
    });
}

MoveOutcome moveRecord(CatalogueFile& catalogue, CatalogueViews& views, RecordMove move, int row) {
    RecordGrid& source = moveSource(views, move);
    if (!source.isRecordRow(row)) {
        return {CheckedWrite::Written, std::nullopt};
    }
    const CheckedWrite write = writeMove(catalogue, recordRefOf(source, row), move);
    if (write != CheckedWrite::Written) {
        return {write, std::nullopt};
    }
    const GridRow moved = source.row(row);
    moveTarget(views, move).appendRow(moved);
    if (&source == &views.Table) {
        if (std::optional<int> kept = rowOf(views.Swap, moved.cell(kColNumber))) {
            removeRow(views.Swap, *kept, 1);
        }
    }
    return {write, removeRow(source, row, lowerBoundOf(move))};
}

QueueOutcome queueRecords(const CatalogueFile& catalogue, QueueFile& queue,
                          std::span<const RecordRef> refs, bool onlyNotDownloaded) {
    QueueOutcome outcome;
    catalogue.readIfHolding(refs, [&](std::span<const std::optional<MixRecord>> records) {
        std::vector<QueueEntry> entries;
        for (std::size_t i = 0; i < refs.size(); ++i) {
            const std::optional<MixRecord>& record = records[i];
            if (!record || record->InRecycleBin != 0) {
                outcome.changed.push_back(refs[i]);
            } else if (!onlyNotDownloaded || record->HasFile == 0) {
                entries.push_back({static_cast<std::int32_t>(refs[i].number), record->Id,
                                   trackText(record->Author, record->Title), record->Size, 0});
            }
        }
        // Base.vlt, then List.dnl: the order every writer of both takes them in.
        outcome.queued = queue.appendUnlessQueued(entries);
    });
    return outcome;
}

QueueOutcome queueRow(const CatalogueFile& catalogue, QueueFile& queue, const RecordGrid& grid,
                      int row) {
    const RecordRef ref = recordRefOf(grid, row);
    return queueRecords(catalogue, queue, std::span(&ref, 1));
}

QueueOutcome queueAll(const CatalogueFile& catalogue, QueueFile& queue, const RecordGrid& grid,
                      bool everyRow) {
    std::vector<RecordRef> refs;
    for (int r = 1; r < grid.rowCount(); ++r) {
        if (grid.isRecordRow(r)) {
            refs.push_back(recordRefOf(grid, r));
        }
    }
    return queueRecords(catalogue, queue, refs, !everyRow);
}

std::string copiedAddress(std::string_view site, const RecordGrid& grid, int row) {
    return recordPageAddress(site, grid.cell(kColId, row));
}

std::string copiedName(const RecordGrid& grid, int row) {
    std::string name(grid.cell(kColAuthor, row));
    return name.append(" - ").append(grid.cell(kColTitle, row));
}

}  // namespace kelvarn
