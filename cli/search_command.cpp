// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/tools/search.h"

namespace kelvarn::cli {

int runSearch(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    const bool count = !args.empty() && args[0] == "--count";
    const std::vector<std::string> words(args.begin() + (count ? 1 : 0), args.end());
    if (words.size() != 2) {
        throw UsageError{"search takes a mode (id, name, email, plugin or tempo) and a text"};
    }
    if (!count && (words[0] == "plugin" || words[0] == "tempo")) {
        return runFactsSearch(context, words, out);
    }
    const std::string& mode = words[0];
    if (mode != "id" && mode != "name" && mode != "email") {
        throw UsageError{"unknown search mode: " + mode};
    }
    // The ID box of the window takes digits alone.
    if (mode == "id" && words[1].find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError{"an ID is digits only: " + words[1]};
    }
    RecordSearch search(mode == "id"     ? SearchMode::Id
                        : mode == "name" ? SearchMode::Name
                                         : SearchMode::Email,
                        utf8ToCp1251(words[1]).value_or(""));
    const CatalogueFile catalogue(context.folder + kCatalogueFileName);
    if (count) {
        // The number alone, as grep -c prints it.
        out.row(std::array<std::string, 1>{std::to_string(countFound(catalogue, search))});
        return kExitDone;
    }
    // Printed as found: the rows of a large result are never held at once.
    out.row(GridHeaders());
    forEachFoundRecord(
        catalogue, search,
        [&out](std::uint32_t number, const unsigned char* record) { out.record(number, record); },
        [&out](std::uint32_t, std::uint32_t) { out.blockDone(); });
    return kExitDone;
}

}  // namespace kelvarn::cli
