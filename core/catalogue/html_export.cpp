// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/html_export.h"

#include <filesystem>

#include "core/catalogue/html_text.h"
#include "core/net/site_address.h"
#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"

namespace kelvarn {

using namespace std::literals;

std::string htmlPage(const RecordGrid& grid, std::string_view site) {
    std::string page;
    auto line = [&page](std::string_view text) { page.append(text).append("\r\n"); };
    for (std::string_view head : {
             "<HTML>"sv,
             "<HEAD>"sv,
             "<TITLE>База миксов</TITLE>"_cp,
             "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=windows-1251\">"sv,
             "</HEAD>"sv,
             "<BODY BGCOLOR=\"#213535\" BACKGROUND=\"files/BackGround.jpg\" TEXT=\"#FFFF00\" "
             "Link=\"#DFAB00\" >"sv,
             "<TABLE BORDER=1 WIDTH=100%>"sv,
             "<TR>"sv,
             "<TD ALIGN=CENTER>Номер ID(открыть)</TD>"_cp,
             "<TD ALIGN=CENTER>Название(e-mail)</TD>"_cp,
             "<TD ALIGN=CENTER>Стиль</TD>"_cp,
             "<TD ALIGN=CENTER>Файл</TD>"_cp,
             "</TR>"sv,
         }) {
        line(head);
    }
    // Each row appended piece by piece into a page sized ahead: no row is built on its own.
    page.reserve(page.size() + static_cast<std::size_t>(grid.rowCount()) * 400);
    for (int r = 1; r < grid.rowCount(); ++r) {
        const std::string_view id = grid.cell(kColId, r);
        page.append("<TR>\r\n<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"")
            .append(recordPageAddress(site, id))
            .append("\" >")
            .append(escapeForPage(id))
            .append("</A></TD>\r\n<TD ALIGN=CENTER><a href=\"mailto:")
            .append(escapeForPage(grid.cell(kColEmail, r)))
            .append("\">")
            .append(escapeForPage(grid.cell(kColAuthor, r)))
            .append(" - ")
            .append(escapeForPage(grid.cell(kColTitle, r)))
            .append("</A></TD>\r\n<TD ALIGN=CENTER>")
            .append(escapeForPage(grid.cell(kColStyle, r)))
            .append("</TD>\r\n<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"")
            .append(downloadAddress(site, id))
            .append("\" >")
            .append("Скачать"_cp)
            .append("</A></TD>\r\n</TR>\r\n");
    }
    line("</TABLE>");
    line("</BODY>");
    line("</HTML>");
    return page;
}

void exportHtml(const RecordGrid& grid, std::string_view site, const std::string& path,
                const std::string& programFolder) {
    replaceFileContents(path, htmlPage(grid, site));
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path files = fs::path(path).parent_path() / "files";
    fs::create_directories(files, ignored);
    fs::copy_file(fs::path(programFolder) / "BackGround.jpg", files / "BackGround.jpg",
                  fs::copy_options::overwrite_existing, ignored);
}

}  // namespace kelvarn
