// SPDX-License-Identifier: GPL-3.0-or-later
// The search window's search: records of Base.vlt by ID, by author or title, or by e-mail.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/record_grid.h"

namespace kelvarn {

enum class SearchMode {
    Id,     // "По ID": the whole ID, exactly
    Name,   // "по названию": in the author, else in the title, without regard to case
    Email,  // "по E-mail": the whole address, without regard to case
};

// What a search looks for; the text is Windows-1251. Case is folded as the import's author test
// folds it: Latin and Cyrillic capitals, never Ё.
class RecordSearch {
public:
    RecordSearch(SearchMode mode, std::string_view text);

    SearchMode mode() const { return mode_; }
    // Folded, but for an ID.
    const std::string& text() const { return text_; }

private:
    SearchMode mode_;
    std::string text_;
};

using FoundVisit = std::function<void(std::uint32_t number, const MixRecordView&)>;
// A match as Base.vlt holds it: its 176 bytes.
using FoundRecordVisit = std::function<void(std::uint32_t number, const unsigned char* record)>;
using SearchProgress = std::function<void(std::uint32_t read, std::uint32_t count)>;

// Calls `found` with every matching record in file order and its number; the view is valid
// during the call only. The file is read in blocks, tested in place, and only the matches are
// decoded, so a pass takes the same little memory whatever the catalogue's size. `progress`
// hears after each block how many records have been read, and of the last one.
void forEachFound(const CatalogueFile& catalogue, const RecordSearch& search,
                  const FoundVisit& found, const SearchProgress& progress = {});

// The same with each match's bytes, for a reader that decodes them itself.
void forEachFoundRecord(const CatalogueFile& catalogue, const RecordSearch& search,
                        const FoundRecordVisit& found, const SearchProgress& progress = {});

// How many records match, without decoding any.
std::uint32_t countFound(const CatalogueFile& catalogue, const RecordSearch& search);

// The matches as rows numbered by their record number, under the headers; one empty row when
// nothing matches.
RecordGrid searchCatalogue(const CatalogueFile& catalogue, const RecordSearch& search,
                           const SearchProgress& progress = {});

}  // namespace kelvarn
