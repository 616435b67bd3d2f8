// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <utility>

#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"

namespace kelvarn {
namespace {

namespace fs = std::filesystem;

// A copy while it is made, and a restore's files while they are written beside their targets
// and once all of them are whole: names of our own, so no folder of the user's is taken for them.
const std::string kPart = ownName("", "part");
const std::string kRestoring = ownName("restore", "part");
const std::string kRestoreReady = ownName("restore", "ready");
// The restored file that goes where a link points, written beside the link's target: a rename
// never crosses to another disk.
constexpr std::string_view kStagedBesideTarget = "restore";
constexpr std::uintmax_t kLargestCatalogue =
    static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()) * kRecordSize;

std::string now(const char* format) {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// YYYY-MM-DD of a day as the catalogue counts them.
std::string dayName(double date) {
    const std::string shown = formatOleDate(date);  // DD.MM.YYYY
    if (shown.empty()) {
        throw std::runtime_error("no day " + std::to_string(date));
    }
    return shown.substr(6, 4) + "-" + shown.substr(3, 2) + "-" + shown.substr(0, 2);
}

bool isDay(const std::string& name) {
    static const std::regex day(R"(\d{4}-\d{2}-\d{2})");
    return std::regex_match(name, day);
}

// A day, or the day and time of a restore's copy (and a count, for a second that saw two).
bool isBackupName(const std::string& name) {
    static const std::regex backup(R"(\d{4}-\d{2}-\d{2}(_\d{2}-\d{2}-\d{2}(-\d+)?)?)");
    return std::regex_match(name, backup);
}

std::string idListIn(const std::string& folder) {
    return fileExists(folder + kIdListFileName) || !fileExists(folder + kIdListOldFileName)
               ? kIdListFileName
               : kIdListOldFileName;
}

// A backup of an earlier version holds no queue; one killed half-way there is not whole.
bool isWhole(const std::string& dir) {
    return fileExists(dir + kCatalogueFileName) && fileExists(dir + idListIn(dir));
}

// The file's bytes, read without its lock: a writer of this process may hold it already (the
// first write of a day can come while another of the three files is locked), and a copy that a
// writer elsewhere is extending at that moment is still a fair copy of the day.
std::string unlockedBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw IoError::fromErrno(path, errno);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void renameOrThrow(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        throw IoError::fromErrno(to, errno);
    }
}

struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// backup/, made when missing and locked: a copy or a removal holds it alone, a restore reading a
// backup shares it. Nothing else is locked under it.
ClosedAtEnd heldBackups(const std::string& folder, int operation) {
    const std::string backups = folder + "backup";
    std::error_code error;
    fs::create_directories(backups, error);
    if (error) {
        throw IoError::fromErrno(backups, error.value());
    }
    return ClosedAtEnd{lockedDescriptor(backups, O_RDONLY | O_DIRECTORY, operation)};
}

// The journal of a save stage goes too: a copy taken while one was half done holds it, so that
// it is completed, after a restore, against the files it was written for.
std::array<std::string, 4> copiedFiles(const std::string& folder) {
    return {kSaveJournalFileName, kCatalogueFileName, idListIn(folder), kQueueFileName};
}

// Every name a restore may put in place, whichever spelling of the ID list the folder had.
constexpr std::array<const char*, 5> kRestoredNames = {
    kCatalogueFileName, kIdListFileName, kIdListOldFileName, kQueueFileName, kSaveJournalFileName};

bool isOptional(const std::string& file) {
    return file == kQueueFileName || file == kSaveJournalFileName;
}

// A catalogue longer than record numbers reach is refused by its writers; no copy of it is worth
// reading it whole, nor making backup/ for.
void refuseTooLarge(const std::string& folder) {
    for (const std::string& file : copiedFiles(folder)) {
        std::error_code missing;
        if (fs::file_size(folder + file, missing) > kLargestCatalogue && !missing) {
            throw std::runtime_error(folder + file + " is too large to copy");
        }
    }
}

// Copies the files as they stand into backup/`name`/, built whole in NAME.part first. The caller
// holds backup/.
void copyFiles(const std::string& folder, const std::string& name) {
    const std::string target = folder + "backup/" + name;
    const std::string part = target + std::string(kPart);
    std::error_code error;
    // What a killed copy left, or the half copy an earlier version left for the day: backup/ is
    // ours, and a name of the day's copy in it is that copy's.
    fs::remove_all(part, error);
    fs::remove_all(target, error);
    fs::create_directory(part, error);
    if (error) {
        throw IoError::fromErrno(part, error.value());
    }
    for (const std::string& file : copiedFiles(folder)) {
        if (!isOptional(file) || fileExists(folder + file)) {
            replaceFileContents(std::string(part).append("/").append(file),
                                unlockedBytes(folder + file));
        }
    }
    renameOrThrow(part, target);
    syncFolder(folder + "backup/");
}

// The folders under backup/: whole backups, and what killed copies left.
struct BackupFolders {
    std::vector<std::string> whole, leftovers;
};

BackupFolders foldersIn(const std::string& backups) {
    BackupFolders found;
    std::error_code error;
    for (const fs::directory_entry& dir : fs::directory_iterator(backups, error)) {
        const std::string name = dir.path().filename().string();
        std::error_code gone;
        if (!dir.is_directory(gone)) {
            continue;
        }
        if (isBackupName(name)) {
            (isWhole(backups + name + "/") ? found.whole : found.leftovers).push_back(name);
        } else if (name.ends_with(kPart) &&
                   isBackupName(name.substr(0, name.size() - kPart.size()))) {
            found.leftovers.push_back(name);
        }
    }
    std::sort(found.whole.begin(), found.whole.end());
    return found;
}

// Under backup/'s lock: what killed copies left goes, then the oldest days and the oldest copies
// of restores beyond `keep` of each.
void prune(const std::string& folder, int keep) {
    const std::string backups = folder + "backup/";
    const BackupFolders found = foldersIn(backups);
    std::vector<std::string> gone = found.leftovers;
    std::array<std::vector<std::string>, 2> kinds;
    for (const std::string& name : found.whole) {
        kinds[isDay(name) ? 0 : 1].push_back(name);
    }
    for (const std::vector<std::string>& names : kinds) {
        const std::size_t kept = static_cast<std::size_t>(std::max(keep, 1));
        if (names.size() > kept) {
            gone.insert(gone.end(), names.begin(), names.end() - static_cast<std::ptrdiff_t>(kept));
        }
    }
    for (const std::string& name : gone) {
        std::error_code ignored;
        fs::remove_all(backups + name, ignored);
    }
}

// The name for a copy taken now: a second that saw another gets a count.
std::string freeName(const std::string& backups, const std::string& stamp) {
    std::string name = stamp;
    std::error_code error;
    for (int n = 2; fs::exists(backups + name, error); ++n) {
        name = stamp + "-" + std::to_string(n);
    }
    return name;
}

// Where a restored file waits for its rename: in the restore's folder, or, for a file that is a
// link, beside the link's target with a link to it in the folder.
void stageRestoredFile(const std::string& folder, const std::string& name, std::string_view bytes) {
    const std::string inFolder = folder + kRestoring + "/" + name;
    const std::string target = linkTarget(folder + name);
    if (target == folder + name) {
        replaceFileContents(inFolder, bytes);
        return;
    }
    const std::string staged = ownName(target, kStagedBesideTarget);
    replaceFileContents(staged, bytes);
    std::error_code error;
    fs::create_symlink(staged, inFolder, error);
    if (error) {
        throw IoError::fromErrno(inFolder, error.value());
    }
}

// A restore's folder with what it staged beside link targets.
void removeRestoreFolder(const std::string& dir) {
    std::error_code error;
    for (const char* name : kRestoredNames) {
        const fs::path staged = fs::read_symlink(dir + "/" + name, error);
        if (!error && staged.string().ends_with(ownName("", kStagedBesideTarget))) {
            fs::remove(staged, error);
        }
    }
    fs::remove_all(dir, error);
}

// Renames the files of a whole restore over their targets (the files links point to), then
// removes its folder: run again after a kill, it does the rest. Only the names a restore writes
// are taken.
void moveReadyInPlace(const std::string& folder) {
    const std::string ready = folder + kRestoreReady;
    std::error_code error;
    if (!fs::is_directory(ready, error)) {
        return;
    }
    for (const char* name : kRestoredNames) {
        const std::string from = ready + "/" + name;
        const fs::path staged = fs::read_symlink(from, error);
        const std::string source = error ? from : staged.string();
        // Gone: renamed before a kill.
        if (!fileExists(source)) {
            continue;
        }
        const std::string target = linkTarget(folder + name);
        renameOrThrow(source, target);
        syncFolder(fs::path(target).parent_path().string() + "/");
    }
    syncFolder(folder);
    fs::remove_all(ready, error);
    if (error) {
        throw IoError::fromErrno(ready, error.value());
    }
    syncFolder(folder);
}

struct DailyState {
    std::mutex mutex;
    DailyBackups hooks;
    std::map<std::string, std::string> triedOn;  // folder: the day its copy was last tried
};

DailyState& daily() {
    static DailyState state;
    return state;
}

}  // namespace

std::string downloadLockPath(const std::string& folder) {
    return folder + "download.lock";
}

void setDailyBackups(DailyBackups hooks) {
    DailyState& state = daily();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.hooks = std::move(hooks);
}

const std::string& backedUpBeforeWriting(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string() + "/";
    DailyState& state = daily();
    try {
        std::string day;
        {
            std::lock_guard<std::mutex> hold(state.mutex);
            day = dayName(state.hooks.today ? state.hooks.today() : oleToday());
            // Every write passes here: once the day's copy was tried, one look at a map is all.
            if (std::exchange(state.triedOn[folder], day) == day) {
                return path;
            }
        }
        const int keep = Settings(folder).read(keys::Backups);
        if (keep > 0) {
            takeBackup(folder, day, keep);
        }
    } catch (const std::exception& e) {
        // A day without its copy is no reason to refuse the user's change, but the user hears of
        // it: the copy may be the only undo.
        tellBesideWrite("Резервная копия за сегодня не сделана: " + std::string(e.what()));
    }
    return path;
}

void tellBesideWrite(const std::string& message) {
    DailyState& state = daily();
    std::function<void(const std::string&)> failed;
    {
        std::lock_guard<std::mutex> hold(state.mutex);
        failed = state.hooks.failed;
    }
    if (failed) {
        failed(message);
    }
}

void takeBackup(const std::string& folder, const std::string& day, int keep) {
    refuseTooLarge(folder);
    const ClosedAtEnd held = heldBackups(folder, LOCK_EX);
    if (!isWhole(folder + "backup/" + day + "/")) {
        copyFiles(folder, day);
    }
    prune(folder, keep);
}

std::vector<BackupEntry> listBackups(const std::string& folder) {
    std::vector<BackupEntry> entries;
    for (const std::string& name : foldersIn(folder + "backup/").whole) {
        std::error_code error;
        const std::uintmax_t bytes =
            fs::file_size(std::string(folder).append("backup/").append(name).append("/").append(
                              kCatalogueFileName),
                          error);
        entries.push_back({name, error ? 0 : static_cast<std::uint32_t>(bytes / kRecordSize)});
    }
    return entries;
}

BackupFiles readBackup(const std::string& folder, const std::string& name) {
    const std::string backups = folder + "backup";
    const std::string dir = backups + "/" + name + "/";
    const std::runtime_error none("no backup " + name);
    std::error_code error;
    if (!isBackupName(name) || !fs::is_directory(backups, error)) {
        throw none;
    }
    // Shared with other restores: no copy is pruned while it is read.
    const ClosedAtEnd held{lockedDescriptor(backups, O_RDONLY | O_DIRECTORY, LOCK_SH)};
    if (!isWhole(dir)) {
        throw none;
    }
    BackupFiles files{
        unlockedBytes(dir + kCatalogueFileName), unlockedBytes(dir + idListIn(dir)), {}, {}};
    if (fileExists(dir + kQueueFileName)) {
        files.queue = unlockedBytes(dir + kQueueFileName);
    }
    if (fileExists(dir + kSaveJournalFileName)) {
        files.journal = unlockedBytes(dir + kSaveJournalFileName);
    }
    return files;
}

void replaceWithBackup(const std::string& folder, const BackupFiles& files) {
    refuseTooLarge(folder);
    const int keep = Settings(folder).read(keys::Backups);
    {
        const ClosedAtEnd held = heldBackups(folder, LOCK_EX);
        copyFiles(folder, freeName(folder + "backup/", now("%Y-%m-%d_%H-%M-%S")));
        prune(folder, keep);
    }
    const std::string restoring = folder + kRestoring;
    std::error_code error;
    fs::create_directory(restoring, error);
    if (error) {
        throw IoError::fromErrno(restoring, error.value());
    }
    stageRestoredFile(folder, kCatalogueFileName, files.base);
    stageRestoredFile(folder, idListIn(folder), files.ids);
    stageRestoredFile(folder, kQueueFileName, files.queue.value());
    if (files.journal) {
        stageRestoredFile(folder, kSaveJournalFileName, *files.journal);
    }
    // All whole beside their targets: from here on the restore is done, by the next start
    // should this one be killed.
    renameOrThrow(restoring, folder + kRestoreReady);
    syncFolder(folder);
    moveReadyInPlace(folder);
}

void finishInterruptedRestore(const std::string& folder) {
    std::error_code error;
    // Nearly every start finds neither, and takes no lock for them.
    if (!fs::exists(folder + kRestoring, error) && !fs::exists(folder + kRestoreReady, error)) {
        return;
    }
    // A restore holds these while its files are on the disk: one under way ends before we look.
    const LockedFile base(folder + kCatalogueFileName, O_RDONLY | O_CREAT,
                          LockedFile::Lock::Exclusive);
    const LockedFile ids(folder + idListIn(folder), O_RDONLY | O_CREAT,
                         LockedFile::Lock::Exclusive);
    const LockedFile queue(folder + kQueueFileName, O_RDONLY | O_CREAT,
                           LockedFile::Lock::Exclusive);
    removeRestoreFolder(folder + kRestoring);
    moveReadyInPlace(folder);
}

RunsHeldOff::RunsHeldOff(const std::string& folder) {
    // An import holds the folder, a download run the download lock, each for its whole run.
    import_ = lockedDescriptor(folder, O_RDONLY | O_DIRECTORY, LOCK_EX | LOCK_NB);
    if (import_ < 0) {
        throw std::runtime_error("an import is running on " + folder);
    }
    try {
        download_ =
            lockedDescriptor(downloadLockPath(folder), O_RDONLY | O_CREAT, LOCK_EX | LOCK_NB);
    } catch (const IoError&) {
        ::close(import_);
        throw;
    }
    if (download_ < 0) {
        ::close(import_);
        throw std::runtime_error("a download is running on " + folder);
    }
}

RunsHeldOff::~RunsHeldOff() {
    ::close(download_);
    ::close(import_);
}

}  // namespace kelvarn
