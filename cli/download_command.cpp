// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <csignal>
#include <exception>
#include <map>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/sync_notice.h"
#include "core/downloader/download_run.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

std::atomic<bool> interrupted{false};

void interrupt(int) {
    interrupted = true;
}

// The running transfer on the terminal's progress line, and each row's line as the row ends.
class DownloadProgress final : public DownloadObserver {
public:
    DownloadProgress(const DownloadRows& rows, TableWriter& out) : rows_(rows), out_(out) {}

    void rowStatus(std::size_t row, const DownloadState& state) override {
        row_ = row;
        if (state.isFinal()) {
            unfinished_.erase(row);
            print(row, state);
        } else {
            unfinished_.insert_or_assign(row, state);
        }
        bar_.show(percent_, label());
    }
    void transferProgress(std::int64_t kilobytes, std::int64_t maximum) override {
        percent_ = transferPercent(kilobytes, maximum, false);
        transfer_ = cp1251ToUtf8(transferLabel(kilobytes, maximum));
        bar_.show(percent_, label());
    }
    void transferCleared() override {
        percent_ = 0;
        transfer_.clear();
    }

    // The rows the run came to and left before their end (a stop, another run holding them),
    // each with the state it was left in.
    void printUnfinished() {
        for (const auto& [row, state] : unfinished_) {
            print(row, state);
        }
        unfinished_.clear();
    }
    // Every row the run came to left the queue.
    bool allDone() const { return allLeftQueue_; }
    // A failed write to standard output, said once the queue is compacted.
    void rethrowOutputFailure() const {
        if (outputFailure_) {
            std::rethrow_exception(outputFailure_);
        }
    }
    // The rows fetched, and those that ended without their file.
    void count(SyncTally& tally) const {
        tally.downloaded += downloaded_;
        tally.notDownloaded += notDownloaded_;
    }

private:
    // The row's line, written at once: should the end of the run fail, what came down is said.
    void print(std::size_t row, const DownloadState& state) {
        allLeftQueue_ = allLeftQueue_ && state.leftQueue();
        downloaded_ += state.kind() == DownloadState::Kind::Done;
        notDownloaded_ += state.kind() == DownloadState::Kind::Failed ||
                          state.kind() == DownloadState::Kind::Broken;
        out_.row(std::array<std::string, 3>{std::to_string(row + 1), rows_.entry(row).entry.Id,
                                            state.reason().empty()
                                                ? statusText(state)
                                                : utf8ToCp1251(state.reason()).value_or("?")});
        try {
            out_.flush();
        } catch (const IoError&) {
            outputFailure_ = std::current_exception();
        }
    }
    std::string label() const { return rows_.entry(row_).entry.Id + " " + transfer_; }

    const DownloadRows& rows_;
    TableWriter& out_;
    TerminalBar bar_;
    std::map<std::size_t, DownloadState> unfinished_;
    bool allLeftQueue_ = true;
    int downloaded_ = 0;
    int notDownloaded_ = 0;
    std::exception_ptr outputFailure_;
    std::size_t row_ = 0;
    int percent_ = 0;
    std::string transfer_;
};

DownloadSettings downloadSettings(const Context& context) {
    Settings settings(context.folder);
    DownloadSettings s;
    s.folder = context.folder;
    s.site = context.site.empty() ? settings.siteAddress() : context.site;
    s.savePath = settings.downloadPath();
    s.fullNames = settings.read(keys::FullNames);
    readDownloadOptions(settings, s);
    return s;
}

}  // namespace

int runQueueList(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    requireNoArguments(args);
    const auto& headers = QueueGridHeaders();
    out.row(std::array<std::string_view, 4>{headers[0], headers[1], headers[2], headers[3]});
    for (const PendingEntry& pending : QueueFile(context.folder + kQueueFileName).pending()) {
        const QueueEntry& e = pending.entry;
        out.row(std::array<std::string, 4>{std::to_string(e.RecordNumber), e.Id, e.Track,
                                           std::to_string(e.Size)});
    }
    return kExitDone;
}

int runDownload(const Context& context, const std::vector<std::string>& args, TableWriter& out,
                SyncTally* tally) {
    if (args.size() > 1) {
        throw UsageError{"unexpected argument: " + args[1]};
    }
    DownloadRows rows;
    QueueFile queue(context.folder + kQueueFileName);
    rows.load(queue.pending());
    std::uint64_t row = 0;
    if (!args.empty()) {
        row = wholeNumber(args[0], "ROW");
        if (row < 1 || row > rows.size()) {
            printError("the queue has no row " + args[0]);
            return kExitRefused;
        }
    }
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
    std::atomic<bool> paused{false};
    SilentSoundPlayer silence;
    DownloadProgress progress(rows, out);
    DownloadResult result;
    {
        DownloadRun run(downloadSettings(context), rows, progress, silence, interrupted, paused);
        result = row == 0 ? run.batch() : run.single(row - 1);
    }
    progress.printUnfinished();
    // Counted before the compaction, so that a sync whose compaction fails still tells what came
    // down.
    if (tally != nullptr) {
        progress.count(*tally);
        if (result.outcome == DownloadResult::Outcome::Failed) {
            tally->failure = result.error;
        }
    }
    // As closing the download window: what was taken off the queue goes.
    queue.compact();
    progress.rethrowOutputFailure();
    if (result.outcome == DownloadResult::Outcome::Failed) {
        printError(result.error);
        return kExitIo;
    }
    if (result.outcome == DownloadResult::Outcome::Stopped) {
        printError("stopped");
        return kExitIo;
    }
    return progress.allDone() ? kExitDone : kExitIo;
}

}  // namespace kelvarn::cli
