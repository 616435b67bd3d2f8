// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <exception>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/sync_notice.h"
#include "core/storage/file_lock.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

struct SyncOptions {
    bool dryRun = false;
    bool notify = false;
};

SyncOptions syncOptions(const std::vector<std::string>& args) {
    SyncOptions options;
    for (const std::string& arg : args) {
        if (arg == "--dry-run" && !options.dryRun) {
            options.dryRun = true;
        } else if (arg == "--notify" && !options.notify) {
            options.notify = true;
        } else {
            throw UsageError{"unexpected argument: " + arg};
        }
    }
    return options;
}

// A sync is mostly started by a timer: it gives way to an import the user started, or to a
// restore, rather than wait behind it and then find nothing new. One that starts in the moment
// after this look is waited for, as the import command does.
bool folderHeld(const std::string& folder) {
    const int probe = lockedDescriptor(folder, O_RDONLY | O_DIRECTORY, LOCK_EX | LOCK_NB);
    if (probe < 0) {
        return true;
    }
    ::close(probe);
    return false;
}

int importThenDownload(const Context& context, bool dryRun, TableWriter& out, SyncTally& tally) {
    const ImportResult imported = importMixes(context, dryRun, out);
    if (dryRun) {
        return imported.outcome == ImportResult::Outcome::Done ? kExitDone : kExitIo;
    }
    tally.added = imported.newRecords;
    if (imported.outcome == ImportResult::Outcome::FetchFailed) {
        tally.failure = "список миксов не получен";
    } else if (imported.outcome != ImportResult::Outcome::Done) {
        tally.failure = imported.error;
    }
    // Mixes queued before are the user's whatever the list page did, so they still come down when
    // only the site failed; a file of ours that failed would fail the download as well.
    if (imported.outcome != ImportResult::Outcome::Done &&
        imported.outcome != ImportResult::Outcome::FetchFailed) {
        return kExitIo;
    }
    const int downloaded = runDownload(context, {}, out, &tally);
    return imported.outcome == ImportResult::Outcome::Done ? downloaded : kExitIo;
}

void tell(const Context& context, const SyncTally& tally) {
    const std::string body = syncNoticeBody(tally);
    if (!body.empty() && Settings(context.folder).read(keys::Notify)) {
        notifyDesktop("Kelvarn", body);
    }
}

}  // namespace

int runSync(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    const SyncOptions options = syncOptions(args);
    if (folderHeld(context.folder)) {
        printError("an import or a restore is running on " + context.folder);
        return kExitRefused;
    }
    // A dry run changes nothing, so it has nothing to tell.
    const bool notify = options.notify && !options.dryRun;
    SyncTally tally;
    int status = kExitDone;
    try {
        status = importThenDownload(context, options.dryRun, out, tally);
    } catch (const std::exception& e) {
        if (notify) {
            tally.failure = e.what();
            tell(context, tally);
        }
        throw;
    }
    if (notify) {
        tell(context, tally);
    }
    return status;
}

}  // namespace kelvarn::cli
