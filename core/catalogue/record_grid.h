// SPDX-License-Identifier: GPL-3.0-or-later
// The record grid: eleven text columns, row 0 the headers, one record a row. Every view of the
// catalogue (and the hidden master copy) is one of these; windows show them through a model.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/catalogue/mix_record.h"

namespace kelvarn {

inline constexpr int kGridColumns = 11;

enum GridColumn : int {
    kColNumber = 0,
    kColId,
    kColAuthor,
    kColTitle,
    kColEmail,
    kColStyle,
    kColSize,
    kColDate,
    kColTime,
    kColRating,
    kColFile,
};

// The eleven texts of a row in one shared block: copying a row between grids copies a pointer,
// and changing a cell makes a new block. An empty row holds no block at all. A block's texts
// never change once made and its count is atomic, so copies of one row may be made, read and
// dropped on any threads at once; a GridRow object itself, like a RecordGrid, is used by one
// thread at a time.
class GridRow {
public:
    GridRow() = default;
    explicit GridRow(const std::array<std::string_view, kGridColumns>& cells);
    GridRow(const GridRow& other) noexcept;
    GridRow(GridRow&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    GridRow& operator=(GridRow other) noexcept;
    ~GridRow();

    std::string_view cell(int column) const;
    void setCell(int column, std::string_view text);
    bool isEmpty() const { return block_ == nullptr; }

private:
    struct Block;
    static Block* makeBlock(const std::array<std::string_view, kGridColumns>& cells);
    Block* block_ = nullptr;
};

class RecordGrid {
public:
    // A grid is created with its header row and one empty row.
    RecordGrid() : rows_(2) {}

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // Added rows are empty; rows past the new count are dropped. Never fewer than one row.
    void setRowCount(int count);
    void reserveRows(int count) { rows_.reserve(static_cast<std::size_t>(count)); }

    const GridRow& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    void setRow(int r, GridRow row) { rows_[static_cast<std::size_t>(r)] = std::move(row); }
    void appendRow(GridRow row) { rows_.push_back(std::move(row)); }
    // The rows below move up by one.
    void removeRow(int r) { rows_.erase(rows_.begin() + r); }

    std::string_view cell(int column, int r) const { return row(r).cell(column); }
    void setCell(int column, int r, std::string_view text) {
        rows_[static_cast<std::size_t>(r)].setCell(column, text);
    }

    // Whether row r names a record: the placeholder row and the header row do not.
    bool isRecordRow(int r) const {
        return r > 0 && r < rowCount() && !cell(kColNumber, r).empty();
    }

private:
    std::vector<GridRow> rows_;
};

// Writes the eleven column headers into row 0.
void SetGridHeaders(RecordGrid& grid);

// The header texts, Windows-1251.
const std::array<std::string_view, kGridColumns>& GridHeaders();

// Room for the cell texts a record does not hold itself. Each is ASCII at the start of a field
// of its own, so a reader may copy a whole field and keep the text's length.
struct RecordCellBuffer {
    char number[16], size[16], date[16], time[16], rating[16];
};

// The eleven cell texts of a record shown under `number`, pointing into the record and `buffer`.
std::array<std::string_view, kGridColumns> recordCells(std::uint32_t number,
                                                       const MixRecordView& record,
                                                       RecordCellBuffer& buffer);

// The same texts as a grid row.
GridRow RecordToRow(std::uint32_t number, const MixRecordView& record);
GridRow RecordToRow(std::uint32_t number, const MixRecord& record);
void RecordToRow(RecordGrid& grid, int row, std::uint32_t number, const MixRecord& record);

// Back to the header and one empty placeholder row.
void ClearGrid(RecordGrid& grid);

}  // namespace kelvarn
