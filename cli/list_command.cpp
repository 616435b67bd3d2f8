#include <optional>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/html_export.h"
#include "core/catalogue/styles.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

enum class View { Catalogue, Favourites, Recycle };

struct ListRequest {
    View view = View::Catalogue;
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
            request.view = arg == "catalogue"    ? View::Catalogue
                           : arg == "favourites" ? View::Favourites
                                                 : View::Recycle;
        } else {
            throw UsageError{"unexpected argument: " + arg};
        }
    }
    return request;
}

// The view key of a style tree node named `name`: -1 for "Все стили", the code for a style.
int styleKey(const std::string& name) {
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

// The grid the window shows for the view and style asked for, after its load.
RecordGrid shownGrid(const Context& context, const std::vector<std::string>& args) {
    ListRequest request = parseList(args);
    std::optional<int> key;
    if (request.style) {
        if (request.view != View::Catalogue) {
            throw UsageError{"--style applies to the catalogue view only"};
        }
        key = styleKey(*request.style);
    }

    Settings settings(context.folder);
    CatalogueFile file(context.folder + "Base.vlt");
    CatalogueViews views;
    ViewFilter filter =
        viewFilterFor(settings.read(keys::News), settings.read(keys::Zip), settings, oleToday());
    ReadBase(file, filter, views);
    if (key) {
        // Only a style selection reads the master copy.
        CopyTable(views);
        selectStyleNode(views, *key, StyleName(static_cast<std::uint8_t>(*key)));
    }
    return request.view == View::Catalogue    ? views.Table
           : request.view == View::Favourites ? views.Favorit
                                              : views.Recucled;
}

}  // namespace

int runList(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    out.recordGrid(shownGrid(context, args));
    return kExitDone;
}

int runExportHtml(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    if (args.empty()) {
        throw UsageError{"export-html needs the file to write"};
    }
    RecordGrid grid = shownGrid(context, {args.begin() + 1, args.end()});
    const std::string site =
        context.site.empty() ? Settings(context.folder).siteAddress() : context.site;
    exportHtml(grid, site, args[0], context.folder);
    return kExitDone;
}

}  // namespace kelvarn::cli
