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
    for (int r = 1; r < grid.rowCount(); ++r) {
        const std::string id = escapeForPage(grid.cell(kColId, r));
        line("<TR>");
        line("<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"" +
             recordPageAddress(site, grid.cell(kColId, r)) + "\" >" + id + "</A></TD>");
        line("<TD ALIGN=CENTER><a href=\"mailto:" + escapeForPage(grid.cell(kColEmail, r)) + "\">" +
             escapeForPage(grid.cell(kColAuthor, r)) + " - " +
             escapeForPage(grid.cell(kColTitle, r)) + "</A></TD>");
        line("<TD ALIGN=CENTER>" + escapeForPage(grid.cell(kColStyle, r)) + "</TD>");
        line("<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"" +
             downloadAddress(site, grid.cell(kColId, r)) + "\" >" + std::string("Скачать"_cp) +
             "</A></TD>");
        line("</TR>");
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
