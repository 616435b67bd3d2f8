#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/storage/file_lock.h"

namespace kelvarn::cli {
namespace {

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

}  // namespace

int runSync(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    const bool dryRun = dryRunOnly(args);
    if (folderHeld(context.folder)) {
        printError("an import or a restore is running on " + context.folder);
        return kExitRefused;
    }
    const ImportResult::Outcome imported = importMixes(context, dryRun, out);
    if (dryRun) {
        return imported == ImportResult::Outcome::Done ? kExitDone : kExitIo;
    }
    // Mixes queued before are the user's whatever the list page did, so they still come down when
    // only the site failed; a file of ours that failed would fail the download as well.
    if (imported != ImportResult::Outcome::Done && imported != ImportResult::Outcome::FetchFailed) {
        return kExitIo;
    }
    const int downloaded = runDownload(context, {}, out);
    return imported == ImportResult::Outcome::Done ? downloaded : kExitIo;
}

}  // namespace kelvarn::cli
