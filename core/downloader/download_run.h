// SPDX-License-Identifier: GPL-3.0-or-later
// One run of the downloader: every waiting row of the queue (a batch) or one chosen row. For each
// it asks the site for the file with one GET, whose answer decides: the file into the save
// folder, the record marked downloaded and the entry taken off the queue, or the entry dropped
// when the site says the file is gone. It runs on the download worker and reports
// through an observer, in order; it touches no widget.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/catalogue/queue_file.h"
#include "core/downloader/archive_check.h"
#include "core/downloader/download_rows.h"
#include "core/downloader/file_finisher.h"
#include "core/net/http_client.h"
#include "core/net/pacing.h"
#include "core/sound/sound.h"
#include "core/storage/settings.h"

namespace kelvarn {

class DownloadUnderWay;

class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    // A row's new state; a failed one carries why.
    virtual void rowStatus(std::size_t /*row*/, const DownloadState& /*state*/) {}
    // The running transfer's position and size in whole kilobytes; the size is -1 when the
    // site gives no length.
    virtual void transferProgress(std::int64_t /*kilobytes*/, std::int64_t /*maximum*/) {}
    // The transfer has ended: the bar back to 0, the label empty.
    virtual void transferCleared() {}
};

struct DownloadSettings {
    std::string folder;    // the program folder, with its trailing "/"
    std::string site;      // the site base address
    std::string savePath;  // the save folder as the window shows it, ending in "/"
    bool fullNames = false;
    bool resume = true;
    int retries = 3;
    bool checkArchives = true;
    // The waits before the first, second, third... try again; the last one repeats.
    std::vector<int> retryDelaysMs = {1000, 2000, 4000};
    int maxRequestsPerSecond = 0;
    HttpLimits limits;
};

// The settings of Setting.ini that shape a run: resuming, retries, the check, the pace and the
// bandwidth cap.
void readDownloadOptions(const Settings& settings, DownloadSettings& download);

struct DownloadResult {
    enum class Outcome { Done, Stopped, Failed };
    Outcome outcome = Outcome::Done;
    std::string error;  // for Failed: the file and what went wrong
};

// The whole kilobytes a piece of a transfer adds to the position, counted as reads of 5120 bytes
// each add theirs: a piece of 12,000 bytes reads as 5120 + 5120 + 1760 and adds 5 + 5 + 1.
std::int64_t kilobytesOfPiece(std::size_t bytes);

class DownloadRun {
public:
    DownloadRun(DownloadSettings settings, DownloadRows& rows, DownloadObserver& observer,
                SoundPlayer& sound, const std::atomic<bool>& stop, const std::atomic<bool>& paused);

    // Every row that waits ("Нет", or "Ошибка", "Битый архив" or "Занят" from an earlier try)
    // when the batch reaches it, unless another run has taken it off the queue meanwhile. A row
    // another run is fetching shows "Занят" and is come back to at the end, once that run lets
    // it go. Two tries in a row that get no answer from the site, whichever mixes they were
    // for, end the batch (Failed, saying so): the rest wait for the site to come back.
    DownloadResult batch();
    // The one row, whatever its status. A row another run is fetching is left to it. Two tries
    // without an answer end it as they end a batch.
    DownloadResult single(std::size_t row);

private:
    // How a row's turn ended, as far as the rest of the batch is concerned.
    enum class RowEnd {
        Ended,     // fetched, dropped, or failed: siteSilent() tells whether the site was silent
        HandedOn,  // fetched: its file's last steps run beside the next row, its claim with them
        Skipped,   // the site was not asked: another run has it, or no record holds the mix
        Stopped,
    };
    // What process() does with a row whose mix another run is fetching: leaves it ("Занят"), or
    // waits until that run lets it go.
    enum class WhenHeld { LeaveIt, Wait };

    // A file error fails the row it came on and ends the run.
    RowEnd process(std::size_t row, DownloadUnderWay& running, bool onlyWhileQueued,
                   WhenHeld whenHeld);
    RowEnd fetchRow(std::size_t row, const PendingEntry& pending, std::uint32_t record,
                    DownloadUnderWay& running);
    // The record that holds the entry's mix: the one at the entry's number when it holds the ID,
    // else the first with the ID. A restore, a damaged queue or another program can leave an
    // entry whose number is 0, past the end, or another mix's.
    std::optional<std::uint32_t> recordOf(const QueueEntry& entry);
    // The steps of fetchRow, each returning what it found. Fetches the file into `part`, tried
    // again as the settings say: nothing once it holds the whole file, else how the row's turn
    // ended (dropped on the site's word that the file is gone, or failed).
    std::optional<RowEnd> fetchPart(std::size_t row, const PendingEntry& pending,
                                    const std::string& address, const std::string& part);
    // One try of fetchPart, summing what it writes for the archive check. A failed request comes
    // out as HttpError, what arrived kept where a later try may go on from it.
    FileTransfer::Outcome fetchOnce(std::size_t row, const std::string& address,
                                    const std::string& part);
    // Hands the whole `part` to the finisher: renamed to `finalPath`, checked, the marks.
    void handOn(std::size_t row, const PendingEntry& pending, std::uint32_t record,
                const std::string& part, const std::string& finalPath, std::int64_t bytes,
                DownloadUnderWay& running);
    // The handed-on row's outcome to the window, once the finisher is through with it (at once
    // with `wait`), and the row's claim let go. A file error is the row's, and ends the run
    // at its next step.
    void collectFinished(bool wait);
    // The site said the file is gone: the entry leaves the queue.
    void drop(std::size_t row, const PendingEntry& pending);
    // Two tries in a row got no answer: the site is down, or the connection is.
    bool siteSilent() const;
    // The record of the mix, looked for again, marked as downloaded and its entry taken off the
    // queue: for a catalogue replaced under the transfer. False when it no longer holds the mix,
    // and nothing is marked.
    bool markMovedRecord(const PendingEntry& pending, std::int64_t bytes,
                         const std::string& finalPath);
    void rethrowFinishFailure();
    // At the end of a run, however it ends: the handed-on row is waited for and reported before
    // its claim and the run's lock go.
    struct CollectAtEnd {
        DownloadRun& run;
        ~CollectAtEnd() { run.collectFinished(true); }
    };
    // The running transfer's position to the window: its percentage whenever that changes, the
    // bar at most every few tens of milliseconds.
    void reportProgress(std::size_t row, bool complete);
    // Pause freezes the run between any two of its steps, and inside a transfer.
    void holdWhilePaused();
    bool stopped() const { return stop_.load(); }
    void setStatus(std::size_t row, const DownloadState& state);
    // Whether a request that failed so may be tried again after try `attempt`.
    bool mayRetry(int attempt, const HttpFailure& failure) const;
    // "Повтор N" while the wait before try N lasts; false when a stop ended it.
    bool waitBeforeRetry(std::size_t row, int attempt, int retryAfterSeconds);
    // The row has failed for good: it shows `state`, which says why.
    void giveUp(std::size_t row, const DownloadState& state);

    DownloadSettings settings_;
    DownloadRows& rows_;
    int run_;
    DownloadObserver& observer_;
    SoundPlayer& sound_;
    const std::atomic<bool>& stop_;
    // The run's transfers share their connections and their bandwidth cap.
    HttpConnections connections_;
    FileTransfer transfer_;
    RequestPacer pacer_;
    QueueFile queue_;
    const std::atomic<bool>& paused_;
    // Tries in a row, of any mixes, that got no answer from the site.
    int silentTries_ = 0;
    // What the running transfer's answers said: the whole file's length (-1 while not known) and
    // the label of its body.
    std::int64_t total_ = -1;
    std::string contentType_;
    // The running transfer's position, size (-1: not known) and what the window last saw of it.
    std::int64_t position_ = 0;
    std::int64_t maximum_ = 0;
    int shownPercent_ = -1;
    std::chrono::steady_clock::time_point lastReport_;
    // The archive check's sums of the part file named, as its bytes were written.
    std::string summedPart_;
    ArchiveSums sums_;
    // The records of the run's entries whose number does not hold their mix, by ID (0: none),
    // found at the first such entry.
    std::optional<std::unordered_map<std::string, std::uint32_t>> strayRecords_;
    // The row whose file the finisher has, and a file error that came of it.
    struct HandedOn {
        std::size_t row;
        PendingEntry pending;
        std::int64_t bytes;
        std::string finalPath;
        DownloadUnderWay* running;
    };
    std::optional<HandedOn> handedOn_;
    std::exception_ptr finishFailure_;
    FileFinisher finisher_;
};

}  // namespace kelvarn
