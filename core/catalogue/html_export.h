// SPDX-License-Identifier: GPL-3.0-or-later
// "В HTML": the records of a grid as a web page with links to the site, and the background
// picture copied beside it.
#pragma once

#include <string>
#include <string_view>

#include "core/catalogue/record_grid.h"

namespace kelvarn {

// The texts of a record that a row of the page shows, Windows-1251 as the grid shows them.
struct PageRow {
    std::string_view id, email, author, title, style;
};

// The page a row at a time: Windows-1251, CR LF lines. Every text taken from a record goes
// through escapeForPage, an ID in a link is percent-encoded instead; the fixed parts of the page
// stay byte for byte.
class HtmlPage {
public:
    // Starts the page with its head; `expectedRows` only sizes it ahead.
    HtmlPage(std::string_view site, std::size_t expectedRows);
    void row(const PageRow& row);
    // The page, its end added.
    std::string finish();

private:
    std::string page_;
    std::string fileLink_, downloadLink_;  // the addresses without the ID
};

// The page for rows 1..last of the grid (a placeholder row too, as a row of empty texts).
std::string htmlPage(const RecordGrid& grid, std::string_view site);

// Writes the page at `path`, then copies BackGround.jpg from `programFolder` into the folder
// "files" beside the page. A page that cannot be written is an IoError naming `path`; the folder
// and the picture are best effort, as a page without its background is still a page.
void exportHtml(const RecordGrid& grid, std::string_view site, const std::string& path,
                const std::string& programFolder);
// The same for a page already made.
void exportHtml(const std::string& page, const std::string& path, const std::string& programFolder);

}  // namespace kelvarn
