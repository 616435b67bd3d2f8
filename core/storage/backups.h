// SPDX-License-Identifier: GPL-3.0-or-later
// Rolling copies of the files that refer to one another (Base.vlt, index and List.dnl), in
// backup/NAME/ of the program folder: one a day, taken before the first write of the day, and one
// of the files a restore replaces. A copy is built under NAME.part and renamed into place when
// whole, so a listed backup is always whole. A copy made while a save stage was half done holds
// its journal (Import.jnl) too.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvarn {

// What the program tells the daily copies: its today (days as the catalogue counts them) and
// where to say what went wrong beside a write (a day's copy not made, a damaged journal set
// aside). Until set: the local date, and nowhere. Set before the writes it is meant for.
struct DailyBackups {
    std::function<double()> today;
    std::function<void(const std::string& message)> failed;
};
void setDailyBackups(DailyBackups hooks);

// Says `message` (UTF-8) where setDailyBackups sent the failures, on the thread that writes.
void tellBesideWrite(const std::string& message);

// Takes today's copy in the folder of `path` (a file about to be written) unless it exists or
// backups are off, and returns `path`. A day's copy is tried once per process and folder: one that
// cannot be made is told to `failed` once, on the thread that writes, and the write goes ahead.
const std::string& backedUpBeforeWriting(const std::string& path);

// The copy for `day` (YYYY-MM-DD) unless a whole one is there, then the oldest beyond `keep` go,
// with what killed copies left. Throws IoError.
void takeBackup(const std::string& folder, const std::string& day, int keep);

struct BackupEntry {
    std::string name;       // the folder under backup/: a day, or a day and time
    std::uint32_t records;  // whole records of its Base.vlt
};

// Every whole backup, oldest first.
std::vector<BackupEntry> listBackups(const std::string& folder);

// A backup's files, for the folder's Base.vlt, ID list and List.dnl, and the journal of a save
// stage that was half done when it was taken.
struct BackupFiles {
    std::string base;
    std::string ids;
    std::optional<std::string> queue;  // none in a backup made before queues were kept
    std::optional<std::string> journal;
};

// The files of a backup that listBackups lists; throws std::runtime_error "no backup NAME" for
// any other name.
BackupFiles readBackup(const std::string& folder, const std::string& name);

// Puts `files` (the queue given) in place of the folder's as one step, after keeping these as a
// backup named by the day and time; the newest [Main] Backups of such copies stay, at least one.
// Killed at any moment, it leaves the old files or, once finishInterruptedRestore has run, the new
// ones. The caller holds the three files, and has run finishInterruptedRestore since it took them
// off other restores. Throws IoError.
void replaceWithBackup(const std::string& folder, const BackupFiles& files);

// Puts in place the rest of a restore killed after its files were whole beside their targets, and
// removes those of one killed before. Run at every start, before the files are read.
void finishInterruptedRestore(const std::string& folder);

// Held by a restore: no import or download runs on the folder meanwhile, and none starts until it
// ends. Refuses (std::runtime_error naming the run) while one is under way.
class RunsHeldOff {
public:
    explicit RunsHeldOff(const std::string& folder);
    ~RunsHeldOff();
    RunsHeldOff(const RunsHeldOff&) = delete;
    RunsHeldOff& operator=(const RunsHeldOff&) = delete;

private:
    int import_ = -1;
    int download_ = -1;
};

// The file a download run holds shared for its whole run and a restore needs alone.
std::string downloadLockPath(const std::string& folder);

}  // namespace kelvarn
