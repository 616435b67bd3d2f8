// SPDX-License-Identifier: GPL-3.0-or-later
// "В HTML": the records of a grid as a web page with links to the site, and the background
// picture copied beside it.
#pragma once

#include <string>
#include <string_view>

#include "core/catalogue/record_grid.h"

namespace kelvarn {

// The page for rows 1..last of the grid (a placeholder row too, as a row of empty texts):
// Windows-1251, CR LF lines. Every text taken from a record goes through escapeForPage, an ID in
// a link is percent-encoded instead; the fixed parts of the page stay byte for byte.
std::string htmlPage(const RecordGrid& grid, std::string_view site);

// Writes the page at `path`, then copies BackGround.jpg from `programFolder` into the folder
// "files" beside the page. A page that cannot be written is an IoError naming `path`; the folder
// and the picture are best effort, as a page without its background is still a page.
void exportHtml(const RecordGrid& grid, std::string_view site, const std::string& path,
                const std::string& programFolder);

}  // namespace kelvarn
