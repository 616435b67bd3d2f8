#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/storage/cp1251.h"
#include "core/tools/search.h"

namespace kelvarn::cli {

int runSearch(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    if (args.size() != 2) {
        throw UsageError{"search takes a mode (id, name, email, plugin or tempo) and a text"};
    }
    if (args[0] == "plugin" || args[0] == "tempo") {
        return runFactsSearch(context, args, out);
    }
    const std::string& mode = args[0];
    if (mode != "id" && mode != "name" && mode != "email") {
        throw UsageError{"unknown search mode: " + mode};
    }
    // The ID box of the window takes digits alone.
    if (mode == "id" && args[1].find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError{"an ID is digits only: " + args[1]};
    }
    RecordSearch search(mode == "id"     ? SearchMode::Id
                        : mode == "name" ? SearchMode::Name
                                         : SearchMode::Email,
                        utf8ToCp1251(args[1]).value_or(""));
    // Printed as found: the rows of a large result are never held at once.
    out.row(GridHeaders());
    forEachFound(
        CatalogueFile(context.folder + "Base.vlt"), search,
        [&out](std::uint32_t number, const MixRecordView& record) { out.record(number, record); });
    return kExitDone;
}

}  // namespace kelvarn::cli
