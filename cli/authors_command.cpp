// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>
#include <string_view>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_file.h"
#include "core/import/author_list.h"
#include "core/storage/data_files.h"

namespace kelvarn::cli {

int runAuthors(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    requireNoArguments(args);
    std::vector<std::string> names =
        baseAuthorNames(CatalogueFile(context.folder + kCatalogueFileName));
    for (const std::string& name : names) {
        out.row(std::array<std::string_view, 1>{name});
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
