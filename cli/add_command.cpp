// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "core/tools/manual_entry.h"

namespace kelvarn::cli {
namespace {

bool isDigits(const std::string& text) {
    return text.find_first_not_of("0123456789") == std::string::npos;
}

ManualEntry parseEntry(const std::vector<std::string>& args) {
    ManualEntry entry;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--file") {
            entry.hasFile = true;
            entry.queue = false;  // ticking "Файл" unticks "Добавить на закачку"
            continue;
        }
        if (option == "--no-queue") {
            entry.queue = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            throw UsageError{"unexpected argument: " + option};
        }
        const std::string& value = args[++i];
        if (option == "--id") {
            // The ID box takes digits only, and six of them at most.
            if (!isDigits(value) || value.size() > kIdCapacity) {
                throw UsageError{"an ID is at most six digits: " + value};
            }
            entry.id = value;
        } else if (!readRecordField(option, value, entry)) {
            throw UsageError{"unexpected argument: " + option};
        }
    }
    return entry;
}

}  // namespace

int runAdd(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    ManualEntryResult result =
        addManualEntry(context.folder, parseEntry(args), oleToday(), oleTimeNow());
    if (result.outcome != ManualEntryResult::Outcome::Added) {
        printError(cp1251ToUtf8(result.message));
        return kExitRefused;
    }
    out.row(std::array<std::string, 1>{std::to_string(result.number)});
    return kExitDone;
}

}  // namespace kelvarn::cli
