// SPDX-License-Identifier: GPL-3.0-or-later
// What is left of a download once its bytes are in: the .part renamed to the file's name, the
// archive checked, the record marked and the entry taken off the queue. A run hands these to a
// thread of their own and asks the site for the next file meanwhile, so a small file's disk work
// costs no time of its own; the same steps, in the same order, as when they ran in line.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/catalogue/queue_file.h"
#include "core/downloader/archive_check.h"

namespace kelvarn {

struct FinishJob {
    std::string folder;  // the program folder, with its trailing "/"
    PendingEntry pending;
    std::uint32_t record = 0;  // the record found for the entry before its transfer
    std::string part;
    std::string finalPath;
    std::int64_t bytes = 0;
    bool check = true;
    std::string contentType;
    ArchiveSums sums;  // what arrived, summed; empty when the check is to read the file
};

struct FinishedFile {
    enum class Kind {
        Done,      // renamed, checked, the record marked and the entry off the queue
        Broken,    // not the mix (removed): `defect` says why; nothing marked
        Replaced,  // renamed and checked, but the record no longer holds the mix: nothing marked
    };
    Kind kind = Kind::Done;
    std::string defect;
};

// The steps, in line. Throws IoError when the rename or a mark fails.
FinishedFile finishDownloadedFile(FinishJob job);

// One job at a time on a thread that lives as long as the object.
class FileFinisher {
public:
    FileFinisher();
    ~FileFinisher();
    FileFinisher(const FileFinisher&) = delete;
    FileFinisher& operator=(const FileFinisher&) = delete;

    // Starts `job`; the last one's outcome must have been taken.
    void start(FinishJob job);
    // Whether the running job has ended (always, when there is none).
    bool ready() const;
    // Waits for the job and gives its outcome, or throws what it threw.
    FinishedFile take();

private:
    void work();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<FinishJob> job_;
    bool running_ = false;
    bool ended_ = false;
    bool quit_ = false;
    FinishedFile outcome_;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace kelvarn
