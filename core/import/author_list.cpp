// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/author_list.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <unordered_set>

#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"
#include "core/storage/text_lines.h"

namespace kelvarn {
namespace {

// caseFold by table lookup: the loops below run over every byte of a million names.
const std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t b = 0; b < table.size(); ++b) {
        table[b] = caseFold(static_cast<unsigned char>(b));
    }
    return table;
}();

unsigned char folded(char c) {
    return kFolded[static_cast<unsigned char>(c)];
}

// Hashing and equality of names up to case, so that a set finds a name by any of its spellings.
struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        std::size_t hash = 14695981039346656037ull;
        for (char c : name) {
            hash = (hash ^ folded(c)) * 1099511628211ull;
        }
        return hash;
    }
};

struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return folded(x) == folded(y); });
    }
};

}  // namespace

bool authorNameLess(std::string_view a, std::string_view b) {
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        unsigned char x = folded(a[i]);
        unsigned char y = folded(b[i]);
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

std::vector<std::string> readAuthorList(const std::string& path) {
    return splitTextLines(LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).readAll());
}

void writeAuthorList(const std::string& path, const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += name;
        text += "\r\n";
    }
    LockedFile target(path, O_RDONLY | O_CREAT, LockedFile::Lock::Exclusive);
    replaceFileContents(path, text);
}

std::vector<std::string> baseAuthorNames(const CatalogueFile& catalogue) {
    // Sorting every author and dropping each one that folds equal to its predecessor keeps, of
    // each group, the spelling that sorts first: the smallest bytes among equal folds. Keeping
    // that spelling per folded name gives the same list without sorting a million entries.
    std::unordered_set<std::string, FoldedHash, FoldedEqual> spellings;
    catalogue.forEach(nullptr, [&](std::uint32_t, const MixRecordView& record) {
        auto known = spellings.find(record.Author);
        if (known == spellings.end()) {
            spellings.emplace(record.Author);
        } else if (record.Author < *known) {
            // The new spelling folds equal, so the node keeps its place in the set.
            auto node = spellings.extract(known);
            node.value() = record.Author;
            spellings.insert(std::move(node));
        }
    });
    std::vector<std::string> names;
    names.reserve(spellings.size());
    while (!spellings.empty()) {
        names.push_back(std::move(spellings.extract(spellings.begin()).value()));
    }
    std::sort(names.begin(), names.end(), authorNameLess);
    return names;
}

std::string chosenListText(const std::vector<std::string>& names) {
    if (names.empty()) {
        return std::string("Список пуст!"_cp);
    }
    std::string text;
    for (const std::string& name : names) {
        text += name;
        text += ';';
    }
    return text;
}

}  // namespace kelvarn
