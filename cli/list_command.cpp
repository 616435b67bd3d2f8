// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/html_export.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

struct ListRequest {
    VisibleGrid view = VisibleGrid::Table;
    std::optional<std::string> style;  // as typed, UTF-8
};

ListRequest parseList(const std::vector<std::string>& args) {
    ListRequest request;
    bool viewGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--style") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--style needs a style name"};
            }
            request.style = args[++i];
        } else if (!viewGiven && (arg == "catalogue" || arg == "favourites" || arg == "recycle")) {
            viewGiven = true;
            request.view = arg == "catalogue"    ? VisibleGrid::Table
                           : arg == "favourites" ? VisibleGrid::Favourites
                                                 : VisibleGrid::RecycleBin;
        } else {
            throw UsageError{"unexpected argument: " + arg};
        }
    }
    return request;
}

// The view key of a style tree node named `name`: -1 for "Все стили", the code for a style.
int styleNodeKey(const std::string& name) {
    std::optional<std::string> bytes = utf8ToCp1251(name);
    if (bytes && *bytes == "Все стили"_cp) {
        return kKeyAllStyles;
    }
    for (int code = 0; bytes && code < kStyleCount; ++code) {
        if (*bytes == StyleName(static_cast<std::uint8_t>(code))) {
            return code;
        }
    }
    throw UsageError{"unknown style: " + name};
}

// What the window shows for the view and style asked for, after its load.
struct ShownView {
    CatalogueFile file;
    ViewFilter filter;
    VisibleGrid grid = VisibleGrid::Table;
    int styleKey = kKeyAllStyles;
};

ShownView shownView(const Context& context, const std::vector<std::string>& args) {
    ListRequest request = parseList(args);
    int key = kKeyAllStyles;
    if (request.style) {
        if (request.view != VisibleGrid::Table) {
            throw UsageError{"--style applies to the catalogue view only"};
        }
        key = styleNodeKey(*request.style);
    }
    Settings settings(context.folder);
    return {
        CatalogueFile(context.folder + kCatalogueFileName),
        viewFilterFor(settings.read(keys::News), settings.read(keys::Zip), settings, oleToday()),
        request.view, key};
}

}  // namespace

int runList(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    ShownView shown = shownView(context, args);
    out.row(GridHeaders());
    forEachShownRecord(
        shown.file, shown.filter, shown.grid, shown.styleKey,
        [&out](std::uint32_t number, const MixRecordView& record) {
            out.recordInPlace(number, record);
        },
        [&out] { out.blockDone(); });
    return kExitDone;
}

int runExportHtml(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    if (args.empty()) {
        throw UsageError{"export-html needs the file to write"};
    }
    ShownView shown = shownView(context, {args.begin() + 1, args.end()});
    const std::string site =
        context.site.empty() ? Settings(context.folder).siteAddress() : context.site;
    // Rows go into the page straight from the records: no grid is built for it.
    HtmlPage page(site, shown.file.count());
    bool anyRow = false;
    forEachShown(shown.file, shown.filter, shown.grid, shown.styleKey,
                 [&](std::uint32_t, const MixRecordView& record) {
                     anyRow = true;
                     page.row({record.Id, record.Email, record.Author, record.Title,
                               StyleName(record.Style)});
                 });
    if (!anyRow) {
        page.row({});  // the placeholder row of an empty view, as its grid shows it
    }
    exportHtml(page.finish(), args[0], context.folder);
    return kExitDone;
}

}  // namespace kelvarn::cli
