// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/record_edit.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"

namespace kelvarn::cli {
namespace {

RecordEdit parseEdit(const std::vector<std::string>& args) {
    RecordEdit edit;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            throw UsageError{"unexpected argument: " + option};
        }
        const std::string& value = args[i + 1];
        if (readRecordField(option, value, edit)) {
            continue;
        }
        if (option == "--rating") {
            edit.rating = smallCode(value, 10, "a rating is 0 to 10");
        } else if (option == "--file") {
            edit.hasFile = smallCode(value, 1, "--file is 0 or 1") == 1;
        } else {
            throw UsageError{"unexpected argument: " + option};
        }
    }
    return edit;
}

}  // namespace

int runEdit(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    if (args.empty()) {
        throw UsageError{"edit needs a record number"};
    }
    wholeNumber(args[0], "not a record number");
    RecordEdit edit = parseEdit(args);
    CatalogueFile catalogue(context.folder + kCatalogueFileName);
    const std::uint32_t number = recordNumber(args[0], catalogue.count());
    const RecordRef ref{number, catalogue.read(number).Id};
    if (saveRecordEdit(catalogue, ref, edit) == CheckedWrite::Replaced) {
        throw changedMeanwhile(number);
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
