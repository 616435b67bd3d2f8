#include <algorithm>
#include <csignal>
#include <map>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/sync_notice.h"
#include "core/downloader/download_run.h"
#include "core/storage/cp1251.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

std::atomic<bool> interrupted{false};

void interrupt(int) {
    interrupted = true;
}

// The running transfer on the terminal's progress line, and each row's last state.
class DownloadProgress final : public DownloadObserver {
public:
    explicit DownloadProgress(const DownloadRows& rows) : rows_(rows) {}

    void rowStatus(std::size_t row, const DownloadState& state) override {
        outcome_.insert_or_assign(row, state);
        row_ = row;
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

    // Every row the run came to, with its final state: why, for a failed one.
    void print(TableWriter& out) const {
        for (const auto& [row, state] : outcome_) {
            out.row(std::array<std::string, 3>{std::to_string(row + 1), rows_.entry(row).entry.Id,
                                               state.reason().empty()
                                                   ? statusText(state)
                                                   : utf8ToCp1251(state.reason()).value_or("?")});
        }
    }
    bool allDone() const {
        return std::all_of(outcome_.begin(), outcome_.end(),
                           [](const auto& outcome) { return outcome.second.leftQueue(); });
    }
    // The rows fetched, and those that ended without their file.
    void count(SyncTally& tally) const {
        for (const auto& [row, state] : outcome_) {
            tally.downloaded += state.kind() == DownloadState::Kind::Done;
            tally.notDownloaded += state.kind() == DownloadState::Kind::Failed ||
                                   state.kind() == DownloadState::Kind::Broken;
        }
    }

private:
    std::string label() const { return rows_.entry(row_).entry.Id + " " + transfer_; }

    const DownloadRows& rows_;
    TerminalBar bar_;
    std::map<std::size_t, DownloadState> outcome_;
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
    for (const PendingEntry& pending : QueueFile(context.folder + "List.dnl").pending()) {
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
    QueueFile queue(context.folder + "List.dnl");
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
    DownloadProgress progress(rows);
    DownloadResult result;
    {
        DownloadRun run(downloadSettings(context), rows, progress, silence, interrupted, paused);
        result = row == 0 ? run.batch() : run.single(row - 1);
    }
    // As closing the download window: what was taken off the queue goes.
    queue.compact();
    progress.print(out);
    if (tally != nullptr) {
        progress.count(*tally);
        if (result.outcome == DownloadResult::Outcome::Failed) {
            tally->failure = result.error;
        }
    }
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
