#include "core/downloader/download_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

#include "core/catalogue/catalogue_file.h"
#include "core/downloader/archive_check.h"
#include "core/net/site_address.h"
#include "core/storage/backups.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"

namespace kelvarn {

namespace {

// clang 14 crashes on a std::string initialised straight from a _cp literal.
std::string owned(std::string_view text) {
    return std::string(text);
}

}  // namespace

namespace download_status {
const std::string& waiting() {
    static const std::string text = owned("Нет"_cp);
    return text;
}
const std::string& preparing() {
    static const std::string text = owned("Подготовка"_cp);
    return text;
}
const std::string& done() {
    static const std::string text = owned("ОК"_cp);
    return text;
}
const std::string& removed() {
    static const std::string text = "DEL";
    return text;
}
const std::string& broken() {
    static const std::string text = owned("Битый архив"_cp);
    return text;
}
const std::string& elsewhere() {
    static const std::string text = owned("Занят"_cp);
    return text;
}
const std::string& failed() {
    static const std::string text = owned("Ошибка"_cp);
    return text;
}
}  // namespace download_status

const std::array<std::string_view, 5>& QueueGridHeaders() {
    static const std::array<std::string_view, 5> headers = {"№"_cp, "ID микса"_cp, "Трек"_cp,
                                                            "Размер Kb"_cp, "Закачен"_cp};
    return headers;
}

void DownloadRows::load(std::vector<PendingEntry> entries) {
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
    statuses_.assign(entries_.size(), download_status::waiting());
}

std::size_t DownloadRows::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

PendingEntry DownloadRows::entry(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return entries_.at(row);
}

std::string DownloadRows::status(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return statuses_.at(row);
}

void DownloadRows::setStatus(std::size_t row, std::string text) {
    std::lock_guard lock(mutex_);
    statuses_.at(row) = std::move(text);
}

int DownloadRows::beginRun() {
    std::lock_guard lock(mutex_);
    currentRun_ = ++runs_;
    return currentRun_;
}

void DownloadRows::endRun() {
    std::lock_guard lock(mutex_);
    currentRun_ = 0;
}

bool DownloadRows::setRunStatus(int run, std::size_t row, std::string text) {
    std::lock_guard lock(mutex_);
    if (run != currentRun_) {
        return false;
    }
    statuses_.at(row) = std::move(text);
    return true;
}

std::string safeFileChars(std::string_view text) {
    std::string safe(text);
    for (char& ch : safe) {
        switch (ch) {
            case '"':
                ch = '\'';
                break;
            case '*':
                ch = '#';
                break;
            case '/':
            case ':':
            case '\\':
                ch = '-';
                break;
            case '<':
                ch = '(';
                break;
            case '>':
                ch = ')';
                break;
            case '?':
                ch = '%';
                break;
            case '|':
                ch = '!';
                break;
            default:
                break;
        }
    }
    return safe;
}

std::string downloadFileName(const std::string& savePath, std::string_view id,
                             std::string_view track, bool fullNames) {
    std::string name = safeFileChars(id);
    if (fullNames) {
        name.append("-").append(safeFileChars(track));
    }
    return savePath + cp1251ToUtf8(name) + ".zip";
}

std::int64_t kilobytesOfPiece(std::size_t bytes) {
    constexpr std::size_t kRead = 5120;
    return static_cast<std::int64_t>(bytes / kRead * (kRead / 1024) + bytes % kRead / 1024);
}

std::string percentText(std::int64_t kilobytes, std::int64_t maximum, bool complete) {
    std::int64_t percent = maximum > 0 ? kilobytes * 100 / maximum : (complete ? 100 : 0);
    return std::to_string(percent) + "%";
}

std::string transferLabel(std::int64_t kilobytes, std::int64_t maximum) {
    return std::to_string(kilobytes) + std::string("KB из "_cp) + std::to_string(maximum) + "KB";
}

namespace {

// How often the position of a running transfer reaches the window, at most: often enough to
// look smooth, rarely enough never to slow the transfer down.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// The output file, open while a transfer writes it.
class OutputFile {
public:
    // Opens the file to write it anew, or to add to what it holds.
    OutputFile(std::string path, bool append) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC),
                     0644);
        if (fd_ < 0) {
            throw IoError::fromErrno(path_, errno);
        }
    }
    ~OutputFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t put = ::write(fd_, bytes.data(), bytes.size());
            if (put < 0 && errno != EINTR) {
                throw IoError::fromErrno(path_, errno);
            }
            bytes.remove_prefix(put > 0 ? static_cast<std::size_t>(put) : 0);
        }
    }
    void close() {
        int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) {
            throw IoError::fromErrno(path_, errno);
        }
    }
    // Drops what the file holds: the server sends the whole file after all.
    void empty() {
        if (::ftruncate(fd_, 0) != 0) {
            throw IoError::fromErrno(path_, errno);
        }
    }
    // Closes the file and removes what it holds.
    void discard() {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
        ::unlink(path_.c_str());
    }

private:
    std::string path_;
    int fd_ = -1;
};

// The size of the file at `path`, 0 when there is none.
std::int64_t sizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

}  // namespace

void readDownloadOptions(const Settings& settings, DownloadSettings& download) {
    download.resume = settings.read(keys::Resume);
    download.retries = std::max(0, settings.read(keys::Retries));
    download.checkArchives = settings.read(keys::CheckArchives);
    download.maxRequestsPerSecond = settings.read(keys::MaxRequestsPerSecond);
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
      sizes_(&stop, settings_.limits),
      transfer_(&stop, &paused, settings_.limits),
      pacer_(settings_.maxRequestsPerSecond, &stop),
      queue_(settings_.folder + "List.dnl"),
      paused_(paused) {}

void DownloadRun::setStatus(std::size_t row, const std::string& text) {
    if (rows_.setRunStatus(run_, row, text)) {
        observer_.rowStatus(row, text);
    }
}

void DownloadRun::holdWhilePaused() const {
    while (paused_.load() && !stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

DownloadResult DownloadRun::batch() {
    DownloadUnderWay running(settings_.folder);
    // Rows another run was fetching when this one came to them. Two runs going down one queue
    // meet at every row, so each is waited for at the end: then the other run has taken it off
    // the queue, or this one fetches it.
    std::vector<std::size_t> heldElsewhere;
    for (std::size_t row = 0; row < rows_.size() && !stopped(); ++row) {
        holdWhilePaused();
        std::string status = rows_.status(row);
        if (status != download_status::waiting() && status != download_status::failed() &&
            status != download_status::broken() && status != download_status::elsewhere()) {
            continue;
        }
        DownloadResult result = process(row, running, true, WhenHeld::LeaveIt);
        if (result.outcome != DownloadResult::Outcome::Done) {
            return result;
        }
        if (rows_.status(row) == download_status::elsewhere()) {
            heldElsewhere.push_back(row);
        }
    }
    for (std::size_t row : heldElsewhere) {
        if (rows_.status(row) != download_status::elsewhere()) {
            continue;  // deleted in the window meanwhile
        }
        DownloadResult result = process(row, running, true, WhenHeld::Wait);
        if (result.outcome != DownloadResult::Outcome::Done) {
            return result;
        }
    }
    if (stopped()) {
        return {DownloadResult::Outcome::Stopped, {}};
    }
    sound_.PlaySoundFile("alldone.wav");
    return {};
}

DownloadResult DownloadRun::single(std::size_t row) {
    DownloadUnderWay running(settings_.folder);
    return process(row, running, false, WhenHeld::LeaveIt);
}

DownloadResult DownloadRun::process(std::size_t row, DownloadUnderWay& running,
                                    bool onlyWhileQueued, WhenHeld whenHeld) {
    const PendingEntry pending = rows_.entry(row);
    const std::int32_t number = pending.entry.RecordNumber;
    if (!running.claimMix(number)) {
        setStatus(row, download_status::elsewhere());
        if (whenHeld == WhenHeld::LeaveIt) {
            return {};
        }
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            holdWhilePaused();
            if (stopped()) {
                return {DownloadResult::Outcome::Stopped, {}};
            }
        } while (!running.claimMix(number));
    }
    struct Release {
        DownloadUnderWay& running;
        std::int32_t number;
        ~Release() { running.releaseMix(number); }
    } release{running, number};
    try {
        if (onlyWhileQueued && !queue_.isWaiting(pending)) {
            // Another run fetched or dropped it after this one loaded the queue.
            const bool fetched = CatalogueFile(settings_.folder + "Base.vlt")
                                     .read(static_cast<std::uint32_t>(number))
                                     .HasFile == 1;
            setStatus(row, fetched ? download_status::done() : download_status::removed());
            return {};
        }
        std::int64_t kilobytes = 0;
        if (transferFile(row, pending, kilobytes)) {
            markDownloaded(pending, kilobytes);
        }
    } catch (const IoError& e) {
        observer_.transferCleared();
        return {DownloadResult::Outcome::Failed, e.what()};
    }
    return {stopped() ? DownloadResult::Outcome::Stopped : DownloadResult::Outcome::Done, {}};
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
    setStatus(row, std::string("Повтор "_cp) + std::to_string(attempt + 1));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!stopped() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !stopped();
}

void DownloadRun::giveUp(std::size_t row, const std::string& why, const std::string& status) {
    observer_.transferCleared();
    setStatus(row, status);
    observer_.rowFailed(row, why);
    sound_.PlaySoundFile("STOP.wav");
}

bool DownloadRun::transferFile(std::size_t row, const PendingEntry& pending,
                               std::int64_t& kilobytes) {
    const std::string address = downloadAddress(settings_.site, pending.entry.Id);
    setStatus(row, download_status::preparing());
    SizeAnswer size;
    for (int attempt = 0;; ++attempt) {
        pacer_.beforeRequest();
        size = sizes_.contentLength(address);
        if (stopped()) {
            return false;
        }
        if (size.bytes > 0 || !size.failure.retryable() || attempt >= settings_.retries) {
            break;
        }
        if (!waitBeforeRetry(row, attempt, size.failure.retryAfter)) {
            return false;
        }
        setStatus(row, download_status::preparing());
    }
    const std::int64_t bytes = size.bytes;
    if (bytes == 0) {
        setStatus(row, download_status::removed());
        queue_.markRemoved(pending);
        sound_.PlaySoundFile("STOP.wav");
        return false;
    }
    const std::int64_t maximum = bytes / 1024;
    std::int64_t position = 0;
    const std::string finalPath = downloadFileName(settings_.savePath, pending.entry.Id,
                                                   pending.entry.Track, settings_.fullNames);
    const std::string path = settings_.resume ? finalPath + ".part" : finalPath;

    std::string shown;
    auto lastReport = std::chrono::steady_clock::now();
    auto report = [&](bool complete) {
        std::string percent = percentText(position, maximum, complete);
        auto now = std::chrono::steady_clock::now();
        if (percent != shown || now - lastReport >= kProgressInterval || complete) {
            lastReport = now;
            observer_.transferProgress(position, maximum);
            if (percent != shown) {
                shown = percent;
                setStatus(row, percent);
            }
        }
    };
    for (int attempt = 0;;) {
        // What an earlier try left is asked for no more; a file as long as the whole is suspect.
        std::int64_t have = settings_.resume ? sizeOf(path) : 0;
        if (have >= bytes) {
            have = 0;
        }
        OutputFile file(path, have > 0);
        holdWhilePaused();
        pacer_.beforeRequest();
        FileTransfer::Outcome outcome;
        try {
            outcome = transfer_.fetch(
                address, bytes, have,
                [&](std::int64_t start) {
                    if (start == 0 && have > 0) {
                        file.empty();
                    }
                    position = std::min(start / 1024, maximum);
                    report(false);
                },
                [&](std::string_view piece) {
                    file.write(piece);
                    position = std::min(position + kilobytesOfPiece(piece.size()), maximum);
                    report(false);
                });
        } catch (const HttpError& e) {
            const HttpFailure& failure = e.failure();
            if (failure.retryable() && settings_.resume) {
                file.close();  // kept: the next try, or a later run, goes on from there
            } else {
                file.discard();
            }
            if (failure.retryable() && attempt < settings_.retries) {
                if (!waitBeforeRetry(row, attempt++, failure.retryAfter)) {
                    return false;
                }
                continue;
            }
            giveUp(row, e.what(), download_status::failed());
            return false;
        } catch (const IoError&) {
            file.discard();
            throw;
        }
        file.close();
        if (outcome == FileTransfer::Outcome::Restart) {
            ::unlink(path.c_str());  // the server will not go on from there: from the start
            continue;
        }
        if (outcome == FileTransfer::Outcome::Stopped) {
            return false;  // what arrived stays in the save folder
        }
        break;
    }
    if (path != finalPath && ::rename(path.c_str(), finalPath.c_str()) != 0) {
        throw IoError::fromErrno(finalPath, errno);
    }
    if (settings_.checkArchives) {
        if (std::optional<std::string> defect = archiveDefect(finalPath)) {
            ::unlink(finalPath.c_str());
            giveUp(row, finalPath + ": " + *defect, download_status::broken());
            return false;
        }
    }
    report(true);
    observer_.transferCleared();
    setStatus(row, download_status::done());
    kilobytes = maximum;
    return true;
}

void DownloadRun::markDownloaded(const PendingEntry& pending, std::int64_t kilobytes) {
    holdWhilePaused();
    if (stopped()) {
        return;
    }
    // The record first: should the program die between the two writes, the entry is still
    // queued and is fetched again, rather than a fetched file the catalogue never learns of.
    CatalogueFile(settings_.folder + "Base.vlt")
        .update(static_cast<std::uint32_t>(pending.entry.RecordNumber), [&](MixRecord& record) {
            record.HasFile = 1;
            record.Size = static_cast<std::int32_t>(
                std::min<std::int64_t>(kilobytes, std::numeric_limits<std::int32_t>::max()));
        });
    queue_.markRemoved(pending);
    sound_.PlaySoundFile("done.wav");
}

}  // namespace kelvarn
