#include "core/tools/search.h"

#include <algorithm>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

bool sameFolded(char stored, char folded) {
    return caseFold(static_cast<unsigned char>(stored)) == static_cast<unsigned char>(folded);
}

// Whether the folded part stands in the field, compared without allocating.
bool containsFolded(std::string_view field, std::string_view foldedPart) {
    return !foldedPart.empty() && foldedPart.size() <= field.size() &&
           std::search(field.begin(), field.end(), foldedPart.begin(), foldedPart.end(),
                       sameFolded) != field.end();
}

bool equalsFolded(std::string_view field, std::string_view foldedText) {
    return std::equal(field.begin(), field.end(), foldedText.begin(), foldedText.end(), sameFolded);
}

}  // namespace

RecordSearch::RecordSearch(SearchMode mode, std::string_view text)
    : mode_(mode), text_(text), folded_(caseFold(text)) {}

bool RecordSearch::matches(const MixRecordView& record) const {
    switch (mode_) {
        case SearchMode::Id:
            return record.Id == text_;
        case SearchMode::Email:
            return equalsFolded(record.Email, folded_);
        case SearchMode::Name:
            return containsFolded(record.Author, folded_) || containsFolded(record.Title, folded_);
    }
    return false;
}

RecordGrid searchCatalogue(
    const CatalogueFile& catalogue, const RecordSearch& search,
    const std::function<void(std::uint32_t read, std::uint32_t count)>& progress) {
    RecordGrid grid;
    SetGridHeaders(grid);
    grid.setRowCount(1);
    std::uint32_t count = 0;
    catalogue.forEach([&](std::uint32_t total) { count = total; },
                      [&](std::uint32_t number, const MixRecordView& record) {
                          if (search.matches(record)) {
                              grid.appendRow(RecordToRow(number, record));
                          }
                          if (progress) {
                              progress(number, count);
                          }
                      });
    if (grid.rowCount() == 1) {
        grid.appendRow(GridRow());
    }
    return grid;
}

}  // namespace kelvarn
