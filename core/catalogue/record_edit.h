// SPDX-License-Identifier: GPL-3.0-or-later
// The record editor's "ОК": six fields of one record changed in the file by a read-modify-write,
// and in the rows that show it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/record_grid.h"

namespace kelvarn {

// The editor's values; a field left empty keeps what the record holds (a list with no item
// selected, a command-line option not given). Texts are Windows-1251, as typed.
struct RecordEdit {
    std::optional<std::string> author;
    std::optional<std::string> title;
    std::optional<std::string> email;
    std::optional<std::uint8_t> style;   // 0..14
    std::optional<std::uint8_t> rating;  // 0..10
    std::optional<bool> hasFile;
};

// Whether the edit changes no field.
bool isEmpty(const RecordEdit& edit);

// Reads record `ref.number` as the file holds it now, changes the fields given (texts cut to their
// widths) and writes it back; every other byte stays as read, so a change another command made
// meanwhile survives. Nothing is written when the record holds another ID now (Replaced) or the
// edit changes no field (Declined).
CheckedWrite saveRecordEdit(CatalogueFile& catalogue, const RecordRef& ref, const RecordEdit& edit);

// Writes the values given into the cells of a grid row (texts whole), leaving the number, ID,
// size, date and time alone. A row the grid no longer has is skipped.
void applyRecordEdit(RecordGrid& grid, int row, const RecordEdit& edit);

}  // namespace kelvarn
