// SPDX-License-Identifier: GPL-3.0-or-later
// The download window's rows: each queued entry with where it stands, and the texts that show it.
// The window, the command line and the download run ask a row's state; only statusText() turns it
// into words, and the failure texts below word why a row or a run failed: every text a row can
// show is here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/catalogue/queue_file.h"
#include "core/downloader/archive_check.h"
#include "core/net/http_client.h"
#include "core/storage/io_error.h"

namespace kelvarn {

class DownloadState {
public:
    enum class Kind {
        Waiting,    // "Нет"
        Preparing,  // "Подготовка": the file is asked for, its answer not yet in
        Fetching,   // "N%"
        Receiving,  // "N KB": a file the site gives no length for, as far as it has come
        Retrying,   // "Повтор N" while the wait before try N lasts
        Done,       // "ОК", in Cyrillic letters: fetched, the record marked
        Dropped,    // "DEL": the site has no such file, or the user deleted the entry
        Failed,     // "Ошибка": the entry stays queued
        Broken,     // "Битый архив": what arrived is no whole archive
        Busy,       // "Занят": another run is fetching it
        TakenOff,   // "Снят": another run took it off the queue
    };

    static DownloadState waiting() { return DownloadState(Kind::Waiting); }
    static DownloadState preparing() { return DownloadState(Kind::Preparing); }
    static DownloadState fetching(int percent) { return DownloadState(Kind::Fetching, percent); }
    static DownloadState receiving(std::int64_t kilobytes);
    static DownloadState retrying(int attempt) { return DownloadState(Kind::Retrying, attempt); }
    static DownloadState done() { return DownloadState(Kind::Done); }
    static DownloadState dropped() { return DownloadState(Kind::Dropped); }
    static DownloadState failed(std::string reason) {
        return DownloadState(Kind::Failed, 0, std::move(reason));
    }
    static DownloadState broken(std::string reason) {
        return DownloadState(Kind::Broken, 0, std::move(reason));
    }
    static DownloadState busy() { return DownloadState(Kind::Busy); }
    static DownloadState takenOff() { return DownloadState(Kind::TakenOff); }

    Kind kind() const { return kind_; }
    // Fetching's percentage, Receiving's kilobytes, Retrying's try.
    int number() const { return number_; }
    // Why a Failed or Broken row failed, UTF-8: the row's tooltip, the command line's report.
    const std::string& reason() const { return reason_; }

    // A batch takes the row: it waits, or an earlier try failed or found another run on it.
    bool isRunnable() const;
    // The row's turn has ended for good; an abort leaves it as it stands.
    bool isFinal() const;
    // The entry is off the queue: fetched, dropped, or taken off by another run.
    bool leftQueue() const;

private:
    explicit DownloadState(Kind kind, int number = 0, std::string reason = {})
        : kind_(kind), number_(number), reason_(std::move(reason)) {}

    Kind kind_;
    int number_;
    std::string reason_;
};

// What a row in `state` shows, Windows-1251.
std::string statusText(const DownloadState& state);

// Why a row failed, UTF-8: a request, with the library's words after it.
std::string failureText(const HttpFailure& failure, const std::string& detail);
// A file error: the disk full, or any other.
std::string failureText(const IoError& error);
// No record in the catalogue of `folder` holds the mix the entry waits for.
std::string missingRecordText(const std::string& folder, std::string_view id);
// What arrived at `path` is not the mix.
std::string bodyDefectText(const BodyDefect& defect, const std::string& path);
// Why a run ended early: two tries in a row got no answer from the site.
std::string silentSiteText(const std::string& site);

// The percentage of a transfer at `kilobytes` of `maximum`; a file under a kilobyte, or of no
// known length, is at 0 until complete.
int transferPercent(std::int64_t kilobytes, std::int64_t maximum, bool complete);
// "NKB из MKB"; "NKB" when the maximum is not known (negative).
std::string transferLabel(std::int64_t kilobytes, std::int64_t maximum);

// A state of each kind with its widest text ("100%", "99999 KB", "Повтор `retries`"), for
// sizing the column that shows them.
std::vector<DownloadState> widestStates(int retries);

// The queue grid's column headers: "№", "ID микса", "Трек", "Размер Kb", "Закачен".
const std::array<std::string_view, 5>& QueueGridHeaders();

// The queue's waiting entries as loaded, each with its state. The GUI thread and the worker
// share it, so every member locks. A run writes states only while it is the current one: once
// the window has let a run go (an abort), nothing that run still reports can overwrite what the
// window shows.
class DownloadRows {
public:
    void load(std::vector<PendingEntry> entries);
    std::size_t size() const;
    PendingEntry entry(std::size_t row) const;
    DownloadState status(std::size_t row) const;
    // The window's own writes (delete commands, abort).
    void setStatus(std::size_t row, DownloadState state);

    // A run's writes: `run` from beginRun(), ignored after endRun(). Returns whether it counted.
    int beginRun();
    void endRun();
    bool setRunStatus(int run, std::size_t row, DownloadState state);

private:
    mutable std::mutex mutex_;
    std::vector<PendingEntry> entries_;
    std::vector<DownloadState> statuses_;
    int runs_ = 0;
    int currentRun_ = 0;
};

}  // namespace kelvarn
