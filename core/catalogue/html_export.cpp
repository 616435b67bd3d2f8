// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue/html_export.h"

#include <algorithm>
#include <filesystem>

#include "core/catalogue/html_text.h"
#include "core/net/site_address.h"
#include "core/storage/cp1251.h"
#include "core/storage/file_lock.h"

namespace kelvarn {

using namespace std::literals;

namespace {

void appendLine(std::string& page, std::string_view text) {
    page.append(text).append("\r\n");
}

}  // namespace

HtmlPage::HtmlPage(std::string_view site, std::size_t expectedRows)
    : fileLink_(recordPageAddress(site, {})), downloadLink_(downloadAddress(site, {})) {
    page_.reserve(1024 + expectedRows * (400 + fileLink_.size() + downloadLink_.size()));
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
        appendLine(page_, head);
    }
}

void HtmlPage::row(const PageRow& row) {
    // The links' addresses end in the encoded ID, so the site's part is made once for the page.
    const std::string id = percentEncode(row.id);
    page_.append("<TR>\r\n<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"")
        .append(fileLink_)
        .append(id)
        .append("\" >");
    appendForPage(page_, row.id);
    page_.append("</A></TD>\r\n<TD ALIGN=CENTER><a href=\"mailto:");
    appendForPage(page_, row.email);
    page_.append("\">");
    appendForPage(page_, row.author);
    page_.append(" - ");
    appendForPage(page_, row.title);
    page_.append("</A></TD>\r\n<TD ALIGN=CENTER>");
    appendForPage(page_, row.style);
    page_.append("</TD>\r\n<TD ALIGN=CENTER><A target=\"_blank\" HREF=\"")
        .append(downloadLink_)
        .append(id)
        .append("\" >")
        .append("Скачать"_cp)
        .append("</A></TD>\r\n</TR>\r\n");
}

std::string HtmlPage::finish() {
    appendLine(page_, "</TABLE>");
    appendLine(page_, "</BODY>");
    appendLine(page_, "</HTML>");
    return std::move(page_);
}

std::string htmlPage(const RecordGrid& grid, std::string_view site) {
    HtmlPage page(site, static_cast<std::size_t>(std::max(grid.rowCount() - 1, 0)));
    for (int r = 1; r < grid.rowCount(); ++r) {
        page.row({grid.cell(kColId, r), grid.cell(kColEmail, r), grid.cell(kColAuthor, r),
                  grid.cell(kColTitle, r), grid.cell(kColStyle, r)});
    }
    return page.finish();
}

void exportHtml(const RecordGrid& grid, std::string_view site, const std::string& path,
                const std::string& programFolder) {
    exportHtml(htmlPage(grid, site), path, programFolder);
}

void exportHtml(const std::string& page, const std::string& path,
                const std::string& programFolder) {
    replaceFileContents(path, page);
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path files = fs::path(path).parent_path() / "files";
    fs::create_directories(files, ignored);
    fs::copy_file(fs::path(programFolder) / "BackGround.jpg", files / "BackGround.jpg",
                  fs::copy_options::overwrite_existing, ignored);
}

}  // namespace kelvarn
