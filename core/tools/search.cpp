#include "core/tools/search.h"

#include <algorithm>
#include <array>

#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"

namespace kelvarn {
namespace {

// caseFold as a table: a search folds every byte of every author and title it passes.
struct FoldTable {
    std::array<unsigned char, 256> folded{};
    FoldTable() {
        for (int b = 0; b < 256; ++b) {
            folded[static_cast<std::size_t>(b)] = caseFold(static_cast<unsigned char>(b));
        }
    }
};

const FoldTable kFold;

// How often a search reports how far it has read.
constexpr std::uint32_t kProgressEvery = 1024;

bool sameFolded(char stored, char folded) {
    return kFold.folded[static_cast<unsigned char>(stored)] == static_cast<unsigned char>(folded);
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
    // Read in place: a search passes every record once and keeps only the few that match.
    MappedFile file(catalogue.path());
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.bytes().data());
    const std::uint32_t count = recordsInBytes(file.bytes().size(), catalogue.path());
    for (std::uint32_t number = 1; number <= count; ++number) {
        MixRecordView record =
            decodeRecordView(bytes + static_cast<std::size_t>(number - 1) * kRecordSize);
        if (search.matches(record)) {
            grid.appendRow(RecordToRow(number, record));
        }
        if (progress && (number % kProgressEvery == 0 || number == count)) {
            progress(number, count);
        }
    }
    if (grid.rowCount() == 1) {
        grid.appendRow(GridRow());
    }
    return grid;
}

}  // namespace kelvarn
