#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_file.h"
#include "core/inspect/mix_contents.h"
#include "core/tools/downloaded_mixes.h"

namespace kelvarn::cli {

int runInspect(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    if (args.size() != 1) {
        throw UsageError{"inspect takes one record number"};
    }
    const CatalogueFile catalogue(context.folder + "Base.vlt");
    const std::uint32_t number = recordNumber(args[0], catalogue.count());
    const MixRecord record = catalogue.read(number);
    const std::optional<std::string> file = downloadedFile(saveFolderOf(Settings(context.folder)),
                                                           record.Id, record.Author, record.Title);
    if (!file) {
        throw Refusal{"record " + args[0] + " has no downloaded file"};
    }
    for (const std::string& line : contentLines(readMixContents(*file))) {
        out.line(line);
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
