// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/file_finisher.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "core/catalogue/catalogue_file.h"
#include "core/downloader/download_rows.h"
#include "core/mixfiles/fact_lines.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"

namespace kelvarn {

FinishedFile finishDownloadedFile(FinishJob job) {
    if (::rename(job.part.c_str(), job.finalPath.c_str()) != 0) {
        throw IoError::fromErrno(job.finalPath, errno);
    }
    if (job.check) {
        if (std::optional<BodyDefect> defect =
                bodyDefect(job.finalPath, job.contentType, job.sums)) {
            ::unlink(job.finalPath.c_str());
            return {FinishedFile::Kind::Broken, bodyDefectText(*defect, job.finalPath)};
        }
    }
    const CheckedWrite marked =
        CatalogueFile(job.folder + kCatalogueFileName)
            .updateIfHolds({job.record, job.pending.entry.Id}, [&](MixRecord& mix) {
                mix.HasFile = 1;
                mix.Size = static_cast<std::int32_t>(std::min<std::int64_t>(
                    job.bytes / 1024, std::numeric_limits<std::int32_t>::max()));
                return true;
            });
    if (marked != CheckedWrite::Written) {
        return {FinishedFile::Kind::Replaced, {}};
    }
    // The record first: should the program die between the two writes, the entry is still
    // queued and is fetched again, rather than a fetched file the catalogue never learns of.
    QueueFile(job.folder + kQueueFileName).markRemoved(job.pending);
    noteDownloadedMix(job.folder, job.pending.entry.Id, job.finalPath);
    return {};
}

FileFinisher::FileFinisher() : thread_([this] { work(); }) {}

FileFinisher::~FileFinisher() {
    {
        std::lock_guard hold(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void FileFinisher::start(FinishJob job) {
    {
        std::lock_guard hold(mutex_);
        job_ = std::move(job);
        running_ = true;
        ended_ = false;
        failure_ = nullptr;
    }
    changed_.notify_all();
}

bool FileFinisher::ready() const {
    std::lock_guard hold(mutex_);
    return !running_ || ended_;
}

FinishedFile FileFinisher::take() {
    std::unique_lock hold(mutex_);
    changed_.wait(hold, [this] { return !running_ || ended_; });
    running_ = false;
    if (failure_) {
        std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    return std::exchange(outcome_, {});
}

void FileFinisher::work() {
    std::unique_lock hold(mutex_);
    for (;;) {
        changed_.wait(hold, [this] { return quit_ || job_.has_value(); });
        if (!job_) {
            return;
        }
        FinishJob job = std::move(*job_);
        job_.reset();
        hold.unlock();
        FinishedFile outcome;
        std::exception_ptr failure;
        try {
            outcome = finishDownloadedFile(std::move(job));
        } catch (...) {
            failure = std::current_exception();
        }
        hold.lock();
        outcome_ = std::move(outcome);
        failure_ = failure;
        ended_ = true;
        changed_.notify_all();
    }
}

}  // namespace kelvarn
