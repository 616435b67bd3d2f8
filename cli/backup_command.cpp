// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdexcept>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/storage/backups.h"
#include "core/storage/io_error.h"
#include "core/tools/backup_restore.h"

namespace kelvarn::cli {

int runBackups(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    requireNoArguments(args);
    for (const CheckedBackup& backup : checkedBackups(context.folder)) {
        const std::string records = std::to_string(backup.entry.records);
        if (backup.damage.empty()) {
            out.row(std::array<std::string, 2>{backup.entry.name, records});
        } else {
            out.row(std::array<std::string, 3>{backup.entry.name, records,
                                               "damaged: " + backup.damage});
        }
    }
    return kExitDone;
}

int runRestoreBackup(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    if (args.size() != 1) {
        throw UsageError{"restore-backup takes the name of one backup (see backups)"};
    }
    try {
        restoreBackup(context.folder, args[0]);
    } catch (const std::runtime_error& e) {
        if (dynamic_cast<const IoError*>(&e) != nullptr) {
            throw;
        }
        throw Refusal{e.what()};
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
