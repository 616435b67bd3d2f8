// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/download_run.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <thread>
#include <utility>

#include "core/catalogue/catalogue_file.h"
#include "core/downloader/archive_check.h"
#include "core/downloader/download_lock.h"
#include "core/downloader/download_names.h"
#include "core/mixfiles/fact_lines.h"
#include "core/net/site_address.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/storage/output_file.h"

namespace kelvarn {

std::int64_t kilobytesOfPiece(std::size_t bytes) {
    constexpr std::size_t kRead = 5120;
    return static_cast<std::int64_t>(bytes / kRead * (kRead / 1024) + bytes % kRead / 1024);
}

namespace {

// How often the position of a running transfer reaches the window, at most: often enough to
// look smooth, rarely enough never to slow the transfer down.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// How often a wait (a pause, another run's claim on a mix, the wait before a retry) looks
// whether it is over or stopped.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// The archive check's sums of the first `bytes` of the file at `path`.
ArchiveSums sumsOfFile(const std::string& path, std::int64_t bytes) {
    ArchiveSums sums;
    readFileStart(path, bytes, [&](std::string_view piece) { sums.feed(piece); });
    return sums;
}

// The record the entry names: its number and the ID the record must hold.
RecordRef recordNamedBy(const QueueEntry& entry) {
    return {entry.RecordNumber > 0 ? static_cast<std::uint32_t>(entry.RecordNumber) : 0, entry.Id};
}

// Two tries in a row without a word from the site: it is down, or the connection is.
constexpr int kSilentTriesBeforeGivingUp = 2;

// The site's word that the file is not there; any other failure says nothing about the file.
bool saysGone(const HttpFailure& failure) {
    return failure.kind == HttpFailure::Kind::ErrorAnswer &&
           (failure.status == 404 || failure.status == 410);
}

DownloadResult silentSiteResult(const std::string& site) {
    return {DownloadResult::Outcome::Failed, silentSiteText(site)};
}

}  // namespace

void readDownloadOptions(const Settings& settings, DownloadSettings& download) {
    download.resume = settings.read(keys::Resume);
    download.retries = std::max(0, settings.read(keys::Retries));
    download.checkArchives = settings.read(keys::CheckArchives);
    download.maxRequestsPerSecond = settings.read(keys::MaxRequestsPerSecond);
    download.limits.maxBytesPerSecond =
        std::int64_t{std::max(0, settings.read(keys::MaxKBPerSecond))} * 1024;
}

DownloadRun::DownloadRun(DownloadSettings settings, DownloadRows& rows, DownloadObserver& observer,
                         SoundPlayer& sound, const std::atomic<bool>& stop,
                         const std::atomic<bool>& paused)
    : settings_(std::move(settings)),
      rows_(rows),
      run_(rows.beginRun()),
      observer_(observer),
      sound_(sound),
      stop_(stop),
      transfer_(connections_, &stop, &paused, settings_.limits),
      pacer_(settings_.maxRequestsPerSecond, &stop),
      queue_(settings_.folder + kQueueFileName),
      paused_(paused) {}

void DownloadRun::setStatus(std::size_t row, const DownloadState& state) {
    if (rows_.setRunStatus(run_, row, state)) {
        observer_.rowStatus(row, state);
    }
}

void DownloadRun::holdWhilePaused() {
    if (paused_.load()) {
        collectFinished(true);  // a paused run shows the file it finished
    }
    while (paused_.load() && !stopped()) {
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool DownloadRun::siteSilent() const {
    return silentTries_ >= kSilentTriesBeforeGivingUp;
}

DownloadResult DownloadRun::batch() {
    try {
        requireFolder(settings_.savePath);
        {
            DownloadUnderWay running(settings_.folder);
            const CollectAtEnd collect{*this};
            // Rows another run was fetching when this one came to them. Two runs going down one
            // queue meet at every row, so each is waited for at the end: then the other run has
            // taken it off the queue, or this one fetches it.
            std::vector<std::size_t> heldElsewhere;
            auto go = [&](std::size_t row, WhenHeld whenHeld) {
                return process(row, running, true, whenHeld) != RowEnd::Stopped && !siteSilent() &&
                       !finishFailure_;
            };
            for (std::size_t row = 0; row < rows_.size() && !stopped(); ++row) {
                holdWhilePaused();
                if (!rows_.status(row).isRunnable()) {
                    continue;
                }
                if (!go(row, WhenHeld::LeaveIt)) {
                    break;
                }
                if (rows_.status(row).kind() == DownloadState::Kind::Busy) {
                    heldElsewhere.push_back(row);
                }
            }
            for (std::size_t i = 0;
                 i < heldElsewhere.size() && !stopped() && !siteSilent() && !finishFailure_; ++i) {
                // A row deleted in the window meanwhile is not waited for.
                if (rows_.status(heldElsewhere[i]).kind() == DownloadState::Kind::Busy) {
                    go(heldElsewhere[i], WhenHeld::Wait);
                }
            }
        }
        rethrowFinishFailure();
    } catch (const IoError& e) {
        return {DownloadResult::Outcome::Failed, failureText(e)};
    }
    if (stopped()) {
        return {DownloadResult::Outcome::Stopped, {}};
    }
    if (siteSilent()) {
        return silentSiteResult(settings_.site);
    }
    return {};
}

DownloadResult DownloadRun::single(std::size_t row) {
    try {
        requireFolder(settings_.savePath);
        {
            DownloadUnderWay running(settings_.folder);
            const CollectAtEnd collect{*this};
            process(row, running, false, WhenHeld::LeaveIt);
        }
        rethrowFinishFailure();
    } catch (const IoError& e) {
        return {DownloadResult::Outcome::Failed, failureText(e)};
    }
    if (stopped()) {
        return {DownloadResult::Outcome::Stopped, {}};
    }
    return siteSilent() ? silentSiteResult(settings_.site) : DownloadResult{};
}

DownloadRun::RowEnd DownloadRun::process(std::size_t row, DownloadUnderWay& running,
                                         bool onlyWhileQueued, WhenHeld whenHeld) {
    const PendingEntry pending = rows_.entry(row);
    const std::int32_t number = pending.entry.RecordNumber;
    if (!running.claimMix(number)) {
        collectFinished(true);  // not left unreported while this one waits
        setStatus(row, DownloadState::busy());
        if (whenHeld == WhenHeld::LeaveIt) {
            return RowEnd::Skipped;
        }
        do {
            std::this_thread::sleep_for(kPollInterval);
            holdWhilePaused();
            if (stopped()) {
                return RowEnd::Stopped;
            }
        } while (!running.claimMix(number));
    }
    struct Release {
        DownloadUnderWay& running;
        std::int32_t number = 0;
        bool handedOn = false;  // the finisher's to let go
        ~Release() {
            if (!handedOn) {
                running.releaseMix(number);
            }
        }
    } release{running, number};
    try {
        if (onlyWhileQueued && !queue_.isWaiting(pending)) {
            // Another run fetched or dropped it after this one loaded the queue: its doing,
            // not this run's.
            setStatus(row, DownloadState::takenOff());
            return RowEnd::Skipped;
        }
        const std::optional<std::uint32_t> record = recordOf(pending.entry);
        if (!record) {
            giveUp(row,
                   DownloadState::failed(missingRecordText(settings_.folder, pending.entry.Id)));
            return RowEnd::Skipped;
        }
        const RowEnd end = fetchRow(row, pending, *record, running);
        release.handedOn = end == RowEnd::HandedOn;
        return release.handedOn ? RowEnd::Ended : end;
    } catch (const IoError& e) {
        giveUp(row, DownloadState::failed(failureText(e)));
        throw;
    }
}

std::optional<std::uint32_t> DownloadRun::recordOf(const QueueEntry& entry) {
    const CatalogueFile base(settings_.folder + kCatalogueFileName);
    if (base.readIfHolding(recordNamedBy(entry))) {
        return static_cast<std::uint32_t>(entry.RecordNumber);
    }
    if (!strayRecords_) {
        // One pass over the catalogue finds the records of every such entry of the run: a
        // restore can leave a whole queue of them, and a catalogue of a million records is not
        // read once per entry.
        strayRecords_.emplace();
        std::vector<RecordRef> named;
        named.reserve(rows_.size());
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            named.push_back(recordNamedBy(rows_.entry(row).entry));
        }
        base.readIfHolding(named, [&](std::span<const std::optional<MixRecord>> held) {
            for (std::size_t i = 0; i < held.size(); ++i) {
                if (!held[i]) {
                    strayRecords_->emplace(named[i].id, 0);
                }
            }
        });
        base.forEach({}, [&](std::uint32_t number, const MixRecordView& record) {
            auto stray = strayRecords_->find(std::string(record.Id));
            if (stray != strayRecords_->end() && stray->second == 0) {
                stray->second = number;
            }
        });
    }
    auto stray = strayRecords_->find(entry.Id);
    if (stray == strayRecords_->end() || stray->second == 0) {
        return std::nullopt;
    }
    return stray->second;
}

DownloadRun::RowEnd DownloadRun::fetchRow(std::size_t row, const PendingEntry& pending,
                                          std::uint32_t record, DownloadUnderWay& running) {
    const std::string address = downloadAddress(settings_.site, pending.entry.Id);
    setStatus(row, DownloadState::preparing());
    const std::string finalPath = downloadFileName(settings_.savePath, pending.entry.Id,
                                                   pending.entry.Track, settings_.fullNames);
    // Never a part of a file under its final name: a kill or a stop leaves only the .part.
    const std::string part = finalPath + ".part";
    if (handedOn_ && handedOn_->finalPath == finalPath) {
        collectFinished(true);  // the same file again: not while the last one is being renamed
    }
    if (std::optional<RowEnd> end = fetchPart(row, pending, address, part)) {
        return *end;
    }
    collectFinished(true);  // the row before ends before this one
    // A complete transfer of a known length left exactly that many bytes.
    const std::int64_t bytes = total_ >= 0 ? total_ : fileSizeOr0(part);
    if (bytes == 0) {
        // Nothing is no mix: as a size of 0 always has, that drops the entry.
        ::unlink(part.c_str());
        drop(row, pending);
        return RowEnd::Ended;
    }
    reportProgress(row, true);
    observer_.transferCleared();
    handOn(row, pending, record, part, finalPath, bytes, running);
    return RowEnd::HandedOn;
}

void DownloadRun::handOn(std::size_t row, const PendingEntry& pending, std::uint32_t record,
                         const std::string& part, const std::string& finalPath, std::int64_t bytes,
                         DownloadUnderWay& running) {
    FinishJob job{settings_.folder,        pending,      record, part, finalPath, bytes,
                  settings_.checkArchives, contentType_, {}};
    // The archive was summed as it arrived: only its directory, and an entry that does not
    // match it, is read from the disk again.
    if (summedPart_ == part && sums_.size() == static_cast<std::uint64_t>(bytes)) {
        job.sums = std::exchange(sums_, {});
    }
    summedPart_.clear();
    handedOn_ = HandedOn{row, pending, bytes, finalPath, &running};
    finisher_.start(std::move(job));
}

void DownloadRun::collectFinished(bool wait) {
    if (!handedOn_ || (!wait && !finisher_.ready())) {
        return;
    }
    const HandedOn file = std::move(*handedOn_);
    handedOn_.reset();
    try {
        const FinishedFile finished = finisher_.take();
        if (finished.kind == FinishedFile::Kind::Broken) {
            setStatus(file.row, DownloadState::broken(finished.defect));
            sound_.PlaySoundFile("STOP.wav");
        } else if (finished.kind == FinishedFile::Kind::Replaced &&
                   !markMovedRecord(file.pending, file.bytes, file.finalPath)) {
            setStatus(file.row, DownloadState::failed(
                                    missingRecordText(settings_.folder, file.pending.entry.Id)));
            sound_.PlaySoundFile("STOP.wav");
        } else {
            // The row says "ОК" only once the catalogue knows.
            setStatus(file.row, DownloadState::done());
            sound_.PlaySoundFile("done.wav");
        }
    } catch (const IoError& e) {
        setStatus(file.row, DownloadState::failed(failureText(e)));
        sound_.PlaySoundFile("STOP.wav");
        finishFailure_ = std::current_exception();
    }
    file.running->releaseMix(file.pending.entry.RecordNumber);
}

void DownloadRun::rethrowFinishFailure() {
    if (finishFailure_) {
        std::rethrow_exception(std::exchange(finishFailure_, nullptr));
    }
}

void DownloadRun::drop(std::size_t row, const PendingEntry& pending) {
    collectFinished(true);
    observer_.transferCleared();
    setStatus(row, DownloadState::dropped());
    queue_.markRemoved(pending);
    sound_.PlaySoundFile("STOP.wav");
}

std::optional<DownloadRun::RowEnd> DownloadRun::fetchPart(std::size_t row,
                                                          const PendingEntry& pending,
                                                          const std::string& address,
                                                          const std::string& part) {
    total_ = -1;
    position_ = 0;
    lastReport_ = std::chrono::steady_clock::now();
    for (int attempt = 0;;) {
        try {
            const FileTransfer::Outcome outcome = fetchOnce(row, address, part);
            silentTries_ = 0;
            switch (outcome) {
                case FileTransfer::Outcome::Complete:
                    return std::nullopt;
                case FileTransfer::Outcome::Stopped:
                    return RowEnd::Stopped;
                case FileTransfer::Outcome::Restart:
                    continue;
            }
        } catch (const HttpError& e) {
            const HttpFailure& failure = e.failure();
            silentTries_ = failure.silent() ? silentTries_ + 1 : 0;
            if (saysGone(failure)) {
                drop(row, pending);
                return RowEnd::Ended;
            }
            if (siteSilent() || !mayRetry(attempt, failure)) {
                giveUp(row, DownloadState::failed(failureText(failure, e.what())));
                return RowEnd::Ended;
            }
            if (!waitBeforeRetry(row, attempt++, failure.retryAfter)) {
                return RowEnd::Stopped;
            }
            setStatus(row, DownloadState::preparing());
        }
    }
}

FileTransfer::Outcome DownloadRun::fetchOnce(std::size_t row, const std::string& address,
                                             const std::string& part) {
    // What an earlier try left is asked for no more; a part as long as the whole is suspect.
    std::int64_t have = settings_.resume ? fileSizeOr0(part) : 0;
    if (total_ >= 0 && have >= total_) {
        have = 0;
    }
    OutputFile file(part, have > 0);
    if (settings_.checkArchives &&
        (summedPart_ != part || sums_.size() != static_cast<std::uint64_t>(have))) {
        // Not what the last try left: a part an earlier run left is read once, to go on from.
        sums_ = sumsOfFile(part, have);
        summedPart_ = part;
    }
    holdWhilePaused();
    pacer_.beforeRequest();
    FileTransfer::Outcome outcome;
    try {
        outcome = transfer_.fetch(
            address, have, total_,
            [&](const FileTransfer::Answer& answer) {
                if (answer.start == 0 && have > 0) {
                    file.empty();
                    sums_ = ArchiveSums();
                }
                total_ = answer.total;
                contentType_ = answer.contentType;
                maximum_ = total_ >= 0 ? total_ / 1024 : -1;
                position_ = answer.start / 1024;
                shownPercent_ = -1;
                reportProgress(row, false);
            },
            [&](std::string_view piece) {
                file.write(piece);
                if (settings_.checkArchives) {
                    sums_.feed(piece);
                }
                position_ += kilobytesOfPiece(piece.size());
                if (maximum_ >= 0) {
                    position_ = std::min(position_, maximum_);
                }
                reportProgress(row, false);
            });
    } catch (const HttpError& e) {
        // Kept, where resuming is on: the next try, or a later run, goes on from there.
        file.leave(e.failure().retryable() && settings_.resume);
        throw;
    } catch (const IoError&) {
        file.discard();
        throw;
    }
    switch (outcome) {
        case FileTransfer::Outcome::Complete:
            file.close();
            break;
        case FileTransfer::Outcome::Stopped:
            file.leave(settings_.resume);
            break;
        case FileTransfer::Outcome::Restart:
            file.discard();  // the server will not go on from there: from the start
            break;
    }
    return outcome;
}

void DownloadRun::reportProgress(std::size_t row, bool complete) {
    collectFinished(false);
    const int percent = transferPercent(position_, maximum_, complete);
    auto now = std::chrono::steady_clock::now();
    const bool due = now - lastReport_ >= kProgressInterval || complete;
    if (percent != shownPercent_ || due) {
        lastReport_ = now;
        observer_.transferProgress(position_, maximum_);
        if (maximum_ < 0) {
            // No length, no percentage: the kilobytes so far, as often as the bar.
            shownPercent_ = percent;
            setStatus(row, DownloadState::receiving(position_));
        } else if (percent != shownPercent_) {
            shownPercent_ = percent;
            setStatus(row, DownloadState::fetching(percent));
        }
    }
}

bool DownloadRun::waitBeforeRetry(std::size_t row, int attempt, int retryAfterSeconds) {
    constexpr int kLongestRetryAfter = 60;
    const std::vector<int>& delays = settings_.retryDelaysMs;
    int waitMs =
        delays.empty()
            ? 0
            : delays[std::min<std::size_t>(static_cast<std::size_t>(attempt), delays.size() - 1)];
    if (retryAfterSeconds >= 0 && retryAfterSeconds <= kLongestRetryAfter) {
        waitMs = retryAfterSeconds * 1000;
    }
    collectFinished(true);
    setStatus(row, DownloadState::retrying(attempt + 1));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!stopped() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(kPollInterval);
    }
    return !stopped();
}

bool DownloadRun::mayRetry(int attempt, const HttpFailure& failure) const {
    return failure.retryable() && attempt < settings_.retries;
}

void DownloadRun::giveUp(std::size_t row, const DownloadState& state) {
    collectFinished(true);
    observer_.transferCleared();
    setStatus(row, state);
    sound_.PlaySoundFile("STOP.wav");
}

bool DownloadRun::markMovedRecord(const PendingEntry& pending, std::int64_t bytes,
                                  const std::string& finalPath) {
    // The catalogue changed under the transfer (a restore, another program's compaction): the
    // mix's record is looked for again rather than another mix marked.
    strayRecords_.reset();
    const std::optional<std::uint32_t> moved = recordOf(pending.entry);
    if (!moved) {
        return false;
    }
    const CheckedWrite marked =
        CatalogueFile(settings_.folder + kCatalogueFileName)
            .updateIfHolds({*moved, pending.entry.Id}, [&](MixRecord& mix) {
                mix.HasFile = 1;
                mix.Size = static_cast<std::int32_t>(
                    std::min<std::int64_t>(bytes / 1024, std::numeric_limits<std::int32_t>::max()));
                return true;
            });
    if (marked != CheckedWrite::Written) {
        return false;
    }
    queue_.markRemoved(pending);
    noteDownloadedMix(settings_.folder, pending.entry.Id, finalPath);
    return true;
}

}  // namespace kelvarn
