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

// The test of one record; the text is Windows-1251. Case is folded as the import's author test
// folds it: Latin and Cyrillic capitals, never Ё.
class RecordSearch {
public:
    RecordSearch(SearchMode mode, std::string_view text);
    bool matches(const MixRecordView& record) const;

private:
    SearchMode mode_;
    std::string text_;
    std::string folded_;
};

// Every matching record in file order, as rows numbered by their record number, under the
// headers; one empty row when nothing matches. `progress` hears now and then how many records
// have been read, and of the last one.
RecordGrid searchCatalogue(
    const CatalogueFile& catalogue, const RecordSearch& search,
    const std::function<void(std::uint32_t read, std::uint32_t count)>& progress = {});

}  // namespace kelvarn
