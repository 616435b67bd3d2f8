#include "core/storage/backups.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <regex>
#include <stdexcept>

#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/settings.h"

namespace kelvarn {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecordBytes = 176;
constexpr const char* kDownloadLock = "download.lock";
constexpr std::uintmax_t kLargestCatalogue =
    static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()) * kRecordBytes;

std::string now(const char* format) {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool isDay(const std::string& name) {
    static const std::regex day(R"(\d{4}-\d{2}-\d{2})");
    return std::regex_match(name, day);
}

std::string idListIn(const std::string& folder) {
    return fileExists(folder + "index") || !fileExists(folder + "Index") ? "index" : "Index";
}

// The file's bytes, read without its lock: a writer of this process may hold it already (the
// first write of a day can come while the other file of the pair is locked), and a copy that a
// writer elsewhere is extending at that moment is still a fair copy of the day.
std::string unlockedBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw IoError::fromErrno(path, errno);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Copies the pair into backup/`name`/, each file written whole and synced before it counts.
void copyPair(const std::string& folder, const std::string& name) {
    const std::array<std::string, 2> pair = {"Base.vlt", idListIn(folder)};
    // A catalogue longer than record numbers reach is refused by its writers; no copy of it is
    // worth reading it whole.
    for (const std::string& file : pair) {
        std::error_code missing;
        if (fs::file_size(folder + file, missing) > kLargestCatalogue && !missing) {
            throw std::runtime_error(folder + file + " is too large to copy");
        }
    }
    const std::string target = folder + "backup/" + name + "/";
    std::error_code error;
    fs::create_directories(target, error);
    if (error) {
        throw IoError::fromErrno(target, error.value());
    }
    for (const std::string& file : pair) {
        replaceFileContents(target + file, unlockedBytes(folder + file));
    }
}

// Opens `path` and flocks it: a descriptor of its own, since LockedFile's mutex would make a
// second holder in this process wait rather than share or be refused. -1 when a non-blocking
// `operation` finds the lock taken; throws IoError when the file cannot be opened.
int lockedDescriptor(const std::string& path, int openFlags, int operation) {
    int fd = ::open(path.c_str(), openFlags | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw IoError::fromErrno(path, errno);
    }
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

DownloadUnderWay::DownloadUnderWay(const std::string& folder) {
    try {
        // Written never, but open for writing: a mix's claim is a write lock.
        fd_ = lockedDescriptor(folder + kDownloadLock, O_RDWR | O_CREAT, LOCK_SH);
    } catch (const IoError&) {
        // A folder where the file cannot be made is one no restore can write either.
    }
}

DownloadUnderWay::~DownloadUnderWay() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

namespace {

// An open-file-description lock: held per descriptor, so two runs of one process exclude each
// other as two processes do; closing the descriptor drops it.
bool lockRecordByte(int fd, std::int32_t recordNumber, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<std::uint32_t>(recordNumber);  // every number a byte of its own
    range.l_len = 1;
    int rc;
    do {
        rc = ::fcntl(fd, F_OFD_SETLK, &range);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace

bool DownloadUnderWay::claimMix(std::int32_t recordNumber) {
    // Without the lock file there is no run to share with either.
    return fd_ < 0 || lockRecordByte(fd_, recordNumber, F_WRLCK);
}

void DownloadUnderWay::releaseMix(std::int32_t recordNumber) {
    if (fd_ >= 0) {
        lockRecordByte(fd_, recordNumber, F_UNLCK);
    }
}

void takeBackup(const std::string& folder, const std::string& day, int keep) {
    if (!fs::exists(folder + "backup/" + day)) {
        copyPair(folder, day);
    }
    std::vector<std::string> days;
    for (const BackupEntry& entry : listBackups(folder)) {
        if (isDay(entry.name)) {
            days.push_back(entry.name);
        }
    }
    for (std::size_t i = 0; i + static_cast<std::size_t>(std::max(keep, 1)) < days.size(); ++i) {
        std::error_code ignored;
        fs::remove_all(folder + "backup/" + days[i], ignored);
    }
}

const std::string& backedUpBeforeWriting(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string() + "/";
    try {
        // Every write passes here: once today's copy exists, one look at the folder is all.
        const std::string day = now("%Y-%m-%d");
        if (fs::exists(folder + "backup/" + day)) {
            return path;
        }
        const int keep = Settings(folder).read(keys::Backups);
        if (keep > 0) {
            takeBackup(folder, day, keep);
        }
    } catch (const std::exception&) {
        // A day without its copy is no reason to refuse the user's change.
    }
    return path;
}

std::vector<BackupEntry> listBackups(const std::string& folder) {
    std::vector<BackupEntry> entries;
    std::error_code error;
    for (const fs::directory_entry& dir : fs::directory_iterator(folder + "backup", error)) {
        if (dir.is_directory()) {
            std::uintmax_t bytes = fs::file_size(dir.path() / "Base.vlt", error);
            entries.push_back({dir.path().filename().string(),
                               error ? 0 : static_cast<std::uint32_t>(bytes / kRecordBytes)});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const BackupEntry& a, const BackupEntry& b) { return a.name < b.name; });
    return entries;
}

void restoreBackup(const std::string& folder, const std::string& name) {
    const std::string source = folder + "backup/" + name + "/";
    const std::string idList = idListIn(folder);
    if (name.find('/') != std::string::npos || !fileExists(source + "Base.vlt") ||
        !fileExists(source + idList)) {
        throw std::runtime_error("no backup " + name);
    }
    // An import holds the folder, a download run the download lock, each for its whole run:
    // no restore under their feet, and none starts while this one runs.
    const ClosedAtEnd importLock{
        lockedDescriptor(folder, O_RDONLY | O_DIRECTORY, LOCK_EX | LOCK_NB)};
    if (importLock.fd < 0) {
        throw std::runtime_error("an import is running on " + folder);
    }
    const ClosedAtEnd downloadLock{
        lockedDescriptor(folder + kDownloadLock, O_RDONLY | O_CREAT, LOCK_EX | LOCK_NB)};
    if (downloadLock.fd < 0) {
        throw std::runtime_error("a download is running on " + folder);
    }
    copyPair(folder, now("%Y-%m-%d_%H-%M-%S"));
    for (const std::string& file : {std::string("Base.vlt"), idList}) {
        LockedFile target(folder + file, O_RDWR, LockedFile::Lock::Exclusive);
        replaceFileContents(folder + file, MappedFile(source + file).bytes());
    }
}

}  // namespace kelvarn
