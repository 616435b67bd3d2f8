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

std::optional<int> moveRecord(CatalogueFile& catalogue, CatalogueViews& views, RecordMove move,
                              int row) {
    RecordGrid& source = moveSource(views, move);
    if (!source.isRecordRow(row)) {
        return std::nullopt;
    }
    const GridRow moved = source.row(row);
    const std::string number(moved.cell(kColNumber));
    catalogue.update(static_cast<std::uint32_t>(cellNumber(source, kColNumber, row)),
                     [move](MixRecord& record) { applyMoveFlags(move, record); });
    moveTarget(views, move).appendRow(moved);
    if (&source == &views.Table) {
        if (std::optional<int> kept = rowOf(views.Swap, number)) {
            removeRow(views.Swap, *kept, 1);
        }
    }
    return removeRow(source, row, lowerBoundOf(move));
}

bool queueRow(QueueFile& queue, const RecordGrid& grid, int row) {
    return queue.appendUnlessQueued(
        {static_cast<std::int32_t>(cellNumber(grid, kColNumber, row)),
         std::string(cutToCapacity(grid.cell(kColId, row), kIdCapacity)),
         trackText(grid.cell(kColAuthor, row), grid.cell(kColTitle, row)),
         static_cast<std::int32_t>(cellNumber(grid, kColSize, row)), 0});
}

int queueAll(QueueFile& queue, const RecordGrid& grid, bool everyRow) {
    int queued = 0;
    for (int r = 1; r < grid.rowCount(); ++r) {
        bool wanted = everyRow ? grid.isRecordRow(r) : grid.cell(kColFile, r) == FileFlagText(0);
        if (wanted && queueRow(queue, grid, r)) {
            ++queued;
        }
    }
    return queued;
}

std::string copiedAddress(std::string_view site, const RecordGrid& grid, int row) {
    return recordPageAddress(site, grid.cell(kColId, row));
}

std::string copiedName(const RecordGrid& grid, int row) {
    std::string name(grid.cell(kColAuthor, row));
    return name.append(" - ").append(grid.cell(kColTitle, row));
}

}  // namespace kelvarn
