// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/record_grid.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <new>

#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"

namespace kelvarn {

struct GridRow::Block {
    std::atomic<std::uint32_t> refs{1};
    std::uint16_t ends[kGridColumns]{};  // end offset of each cell in text()
    char* text() { return reinterpret_cast<char*>(this + 1); }
};

namespace {
// A row's texts share 16-bit offsets; a cell that would pass the limit is cut.
constexpr std::size_t kRowTextLimit = 0xFFFF;
}  // namespace

GridRow::Block* GridRow::makeBlock(const std::array<std::string_view, kGridColumns>& cells) {
    std::size_t total = 0;
    std::array<std::size_t, kGridColumns> lengths{};
    for (std::size_t c = 0; c < lengths.size(); ++c) {
        lengths[c] = std::min(cells[c].size(), kRowTextLimit - total);
        total += lengths[c];
    }
    if (total == 0) {
        return nullptr;
    }
    // The texts follow the block in the same allocation.
    auto* block = new (::operator new(sizeof(Block) + total)) Block;
    char* out = block->text();
    std::size_t at = 0;
    for (std::size_t c = 0; c < lengths.size(); ++c) {
        // An empty cell may have no data at all (a style outside the table).
        cells[c].copy(out + at, lengths[c]);
        at += lengths[c];
        block->ends[c] = static_cast<std::uint16_t>(at);
    }
    return block;
}

GridRow::GridRow(const std::array<std::string_view, kGridColumns>& cells)
    : block_(makeBlock(cells)) {}

GridRow::GridRow(const GridRow& other) noexcept : block_(other.block_) {
    if (block_ != nullptr) {
        block_->refs.fetch_add(1, std::memory_order_relaxed);
    }
}

GridRow& GridRow::operator=(GridRow other) noexcept {
    std::swap(block_, other.block_);
    return *this;
}

GridRow::~GridRow() {
    if (block_ != nullptr && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block_->~Block();
        ::operator delete(block_);
    }
}

std::string_view GridRow::cell(int column) const {
    if (block_ == nullptr) {
        return {};
    }
    std::uint16_t begin = column == 0 ? 0 : block_->ends[column - 1];
    return {block_->text() + begin, static_cast<std::size_t>(block_->ends[column] - begin)};
}

void GridRow::setCell(int column, std::string_view text) {
    std::array<std::string_view, kGridColumns> cells;
    for (int c = 0; c < kGridColumns; ++c) {
        cells[static_cast<std::size_t>(c)] = c == column ? text : cell(c);
    }
    *this = GridRow(cells);
}

void RecordGrid::setRowCount(int count) {
    rows_.resize(static_cast<std::size_t>(std::max(count, 1)));
}

const std::array<std::string_view, kGridColumns>& GridHeaders() {
    static const std::array<std::string_view, kGridColumns> headers = {
        "№"_cp,      "ID микса"_cp, "Автор"_cp, "Название"_cp, "E-Mail"_cp, "Стиль"_cp,
        "Размер"_cp, "Дата"_cp,     "Время"_cp, "Оценка"_cp,   "Файл"_cp,
    };
    return headers;
}

void SetGridHeaders(RecordGrid& grid) {
    grid.setRow(0, GridRow(GridHeaders()));
}

std::array<std::string_view, kGridColumns> recordCells(std::uint32_t number,
                                                       const MixRecordView& record,
                                                       RecordCellBuffer& buffer) {
    auto decimal = [](auto& out, auto value) {
        return std::string_view(
            out, static_cast<std::size_t>(std::to_chars(out, std::end(out), value).ptr - out));
    };
    return {
        decimal(buffer.number, number),
        record.Id,
        record.Author,
        record.Title,
        record.Email,
        StyleName(record.Style),
        decimal(buffer.size, record.Size),
        std::string_view(buffer.date, formatOleDate(record.AddedDate, buffer.date)),
        std::string_view(buffer.time, formatOleTime(record.AddedTime, buffer.time)),
        decimal(buffer.rating, static_cast<unsigned>(record.Rating)),
        FileFlagText(record.HasFile),
    };
}

GridRow RecordToRow(std::uint32_t number, const MixRecordView& record) {
    RecordCellBuffer buffer{};
    return GridRow(recordCells(number, record, buffer));
}

GridRow RecordToRow(std::uint32_t number, const MixRecord& r) {
    return RecordToRow(number, r.as<std::string_view>());
}

void RecordToRow(RecordGrid& grid, int row, std::uint32_t number, const MixRecord& record) {
    grid.setRow(row, RecordToRow(number, record));
}

void ClearGrid(RecordGrid& grid) {
    grid.setRowCount(2);
    grid.setRow(1, GridRow());
}

}  // namespace kelvarn
