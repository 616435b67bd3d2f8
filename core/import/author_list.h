// SPDX-License-Identifier: GPL-3.0-or-later
// The author names of the import's author filter: AvtLst.lst, the names the user chose, and the
// names the catalogue already has, both kept in one order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/catalogue_file.h"

namespace kelvarn {

// Alphabetical without regard to case (caseFold), then by the bytes, so that names differing only
// in case still have a fixed order.
bool authorNameLess(std::string_view a, std::string_view b);

// AvtLst.lst: Windows-1251, one name a line. Throws IoError when it cannot be read.
std::vector<std::string> readAuthorList(const std::string& path);

// Replaces the file with the names in their order, each followed by CR LF; no names is an empty
// file. Throws IoError when it cannot be written.
void writeAuthorList(const std::string& path, const std::vector<std::string>& names);

// Every record's author, recycled and favourites included, once for each spelling up to case,
// sorted by authorNameLess. Of the spellings differing only in case, the first in that order
// stands for all of them.
std::vector<std::string> baseAuthorNames(const CatalogueFile& catalogue);

// The import window's summary of the chosen names: each followed by ";", or "Список пуст!".
std::string chosenListText(const std::vector<std::string>& names);

}  // namespace kelvarn
