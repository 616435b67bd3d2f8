// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "core/storage/cp1251.h"

namespace kelvarn {
namespace {

// caseFold as a table: a search folds every byte it compares.
struct FoldTable {
    std::array<unsigned char, 256> folded{};
    FoldTable() {
        for (int b = 0; b < 256; ++b) {
            folded[static_cast<std::size_t>(b)] = caseFold(static_cast<unsigned char>(b));
        }
    }
};

const FoldTable kFold;

bool sameFolded(unsigned char stored, char folded) {
    return kFold.folded[stored] == static_cast<unsigned char>(folded);
}

// 0x20 when the capital 0x20 below `foldedByte` folds to it: the two differ in that bit alone.
unsigned char caseBit(unsigned char foldedByte) {
    return foldedByte >= 0x20 && kFold.folded[foldedByte - 0x20u] == foldedByte ? 0x20 : 0;
}

// Sixteen bytes compared at once; the compilers make vector instructions of it on every target.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

Bytes16 load16(const unsigned char* at) {
    Bytes16 bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

Bytes16 everywhere(unsigned char byte) {
    Bytes16 bytes{};
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        bytes[i] = byte;
    }
    return bytes;
}

// A text field is read sixteen bytes at a time from its last possible start on: that must stay
// inside the record.
static_assert(kTitleField + 1 + kTitleCapacity + 15 <= kRecordSize &&
              kAuthorField + 1 + kAuthorCapacity + 15 <= kRecordSize);

static_assert(kIdField + 8 <= kRecordSize && 1 + kIdCapacity <= 8);

// The whole ID, exactly: the field's first eight bytes (its length byte, its six characters and
// one more) against the ID as the field would hold it, in one compare. Only the bytes the ID
// covers count; a full ID takes any length byte from its capacity up, which reads as the capacity.
class IdTest {
public:
    explicit IdTest(std::string_view id) {
        std::array<unsigned char, 8> key{}, mask{};
        if (id.size() > kIdCapacity) {
            key[0] = 1;  // under an empty mask: nothing matches
        } else {
            const bool full = id.size() == kIdCapacity;
            key[0] = full ? 0 : static_cast<unsigned char>(id.size());
            mask[0] = full ? 0 : 0xFF;
            std::memcpy(key.data() + 1, id.data(), id.size());
            std::memset(mask.data() + 1, 0xFF, id.size());
            minLength_ = full ? kIdCapacity : 0;
        }
        std::memcpy(&key_, key.data(), sizeof key_);
        std::memcpy(&mask_, mask.data(), sizeof mask_);
    }

    bool operator()(const unsigned char* record) const {
        std::uint64_t field;
        std::memcpy(&field, record + kIdField, sizeof field);
        return (field & mask_) == key_ && record[kIdField] >= minLength_;
    }

private:
    std::uint64_t key_ = 0;
    std::uint64_t mask_ = 0;
    std::size_t minLength_ = 0;
};

struct EmailTest {
    std::string_view folded;
    bool operator()(const unsigned char* record) const {
        const unsigned char* email = record + kEmailField + 1;
        return std::equal(email, email + std::min<std::size_t>(email[-1], kEmailCapacity),
                          folded.begin(), folded.end(), sameFolded);
    }
};

// Made once a pass: the folded first and last bytes of the text in every lane, with the case
// bit each one's capital lacks.
class NameTest {
public:
    explicit NameTest(std::string_view folded) : folded_(folded) {
        if (!folded.empty()) {
            const auto first = static_cast<unsigned char>(folded.front());
            const auto last = static_cast<unsigned char>(folded.back());
            first_ = everywhere(first);
            firstCase_ = everywhere(caseBit(first));
            last_ = everywhere(last);
            lastCase_ = everywhere(caseBit(last));
        }
    }

    bool operator()(const unsigned char* record) const {
        return inText(record + kAuthorField, kAuthorCapacity) ||
               inText(record + kTitleField, kTitleCapacity);
    }

private:
    // Candidates are the starts where both the first and the last byte fit, sixteen starts at
    // once; only those are compared in full, so most of a text is passed over in a few
    // instructions.
    bool inText(const unsigned char* field, std::size_t capacity) const {
        const std::size_t length = std::min<std::size_t>(field[0], capacity);
        const std::size_t size = folded_.size();
        if (size == 0 || size > length) {
            return false;
        }
        const unsigned char* chars = field + 1;
        const std::size_t starts = length - size + 1;
        for (std::size_t at = 0; at < starts; at += 16) {
            const auto fit = ((load16(chars + at) | firstCase_) == first_) &
                             ((load16(chars + at + size - 1) | lastCase_) == last_);
            std::array<std::uint64_t, 2> halves{};
            std::memcpy(halves.data(), &fit, sizeof halves);
            for (std::size_t half = 0; half < halves.size(); ++half) {
                // One bit a fitting start: the top bit of its byte.
                for (std::uint64_t bits = halves[half] & 0x8080808080808080u; bits != 0;
                     bits &= bits - 1) {
                    const std::size_t start =
                        at + half * 8 + static_cast<std::size_t>(std::countr_zero(bits)) / 8;
                    if (start >= starts) {
                        return false;
                    }
                    // The bytes between the first and the last, of which a text of one byte
                    // has none.
                    if (size <= 2 || std::equal(chars + start + 1, chars + start + size - 1,
                                                folded_.begin() + 1, sameFolded)) {
                        return true;
                    }
                }
            }
        }
        return false;
    }

    std::string_view folded_;
    Bytes16 first_{}, firstCase_{}, last_{}, lastCase_{};
};

// Calls `use` with the test of the search's mode: the one place that names each mode's test.
template <typename Use>
void withTest(const RecordSearch& search, const Use& use) {
    switch (search.mode()) {
        case SearchMode::Id:
            return use(IdTest(search.text()));
        case SearchMode::Email:
            return use(EmailTest{search.text()});
        case SearchMode::Name:
            return use(NameTest(search.text()));
    }
}

template <typename Test>
void forEachFoundBy(const Test& test, const CatalogueFile& catalogue, const FoundRecordVisit& found,
                    const SearchProgress& progress) {
    std::uint32_t total = 0;
    std::uint32_t read = 0;
    // A block's matches are copied while it is mapped and handed on once its lock is let go:
    // what the caller does with them (print to a pipe, fill a grid) never holds up a writer.
    std::vector<std::uint32_t> numbers;
    std::vector<unsigned char> records;
    catalogue.forEachBlock(
        [&total](std::uint32_t count) { total = count; },
        [&](std::uint32_t first, std::span<const unsigned char> block) {
            const auto count = static_cast<std::uint32_t>(block.size() / kRecordSize);
            for (std::uint32_t i = 0; i < count; ++i) {
                const unsigned char* record = block.data() + std::size_t{i} * kRecordSize;
                if (test(record)) {
                    numbers.push_back(first + i);
                    records.insert(records.end(), record, record + kRecordSize);
                }
            }
            read = first + count - 1;
        },
        [&] {
            for (std::size_t i = 0; i < numbers.size(); ++i) {
                found(numbers[i], records.data() + i * kRecordSize);
            }
            numbers.clear();
            records.clear();
            if (progress) {
                progress(read, total);
            }
        });
}

template <typename Test>
std::uint32_t countBy(const Test& test, const CatalogueFile& catalogue) {
    std::uint32_t matches = 0;
    catalogue.forEachBlock(nullptr, [&](std::uint32_t, std::span<const unsigned char> block) {
        for (std::size_t at = 0; at + kRecordSize <= block.size(); at += kRecordSize) {
            matches += test(block.data() + at) ? 1u : 0u;
        }
    });
    return matches;
}

}  // namespace

RecordSearch::RecordSearch(SearchMode mode, std::string_view text)
    : mode_(mode), text_(mode == SearchMode::Id ? std::string(text) : caseFold(text)) {}

void forEachFoundRecord(const CatalogueFile& catalogue, const RecordSearch& search,
                        const FoundRecordVisit& found, const SearchProgress& progress) {
    withTest(search, [&](const auto& test) { forEachFoundBy(test, catalogue, found, progress); });
}

void forEachFound(const CatalogueFile& catalogue, const RecordSearch& search,
                  const FoundVisit& found, const SearchProgress& progress) {
    forEachFoundRecord(
        catalogue, search,
        [&found](std::uint32_t number, const unsigned char* record) {
            found(number, decodeRecordView(record));
        },
        progress);
}

std::uint32_t countFound(const CatalogueFile& catalogue, const RecordSearch& search) {
    std::uint32_t matches = 0;
    withTest(search, [&](const auto& test) { matches = countBy(test, catalogue); });
    return matches;
}

RecordGrid searchCatalogue(const CatalogueFile& catalogue, const RecordSearch& search,
                           const SearchProgress& progress) {
    RecordGrid grid;
    SetGridHeaders(grid);
    grid.setRowCount(1);
    forEachFound(
        catalogue, search,
        [&grid](std::uint32_t number, const MixRecordView& record) {
            grid.appendRow(RecordToRow(number, record));
        },
        progress);
    if (grid.rowCount() == 1) {
        grid.appendRow(GridRow());
    }
    return grid;
}

}  // namespace kelvarn
