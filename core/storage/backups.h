// Rolling daily copies of the catalogue and its ID list, in backup/YYYY-MM-DD/ of the program
// folder: taken before the first write of a day, the newest [Main] Backups days kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarn {

// Takes today's copy of Base.vlt and index in the folder of `path` (a file about to be written)
// unless it exists or backups are off, and returns `path`. A copy that cannot be made is skipped:
// the write it precedes still goes ahead.
const std::string& backedUpBeforeWriting(const std::string& path);

// The copy for `day` (YYYY-MM-DD), then the oldest day folders beyond `keep` go. Throws IoError.
void takeBackup(const std::string& folder, const std::string& day, int keep);

struct BackupEntry {
    std::string name;       // the folder under backup/: a day, or a day and time
    std::uint32_t records;  // whole records of its Base.vlt
};

// Every backup, oldest first.
std::vector<BackupEntry> listBackups(const std::string& folder);

// Puts backup `name` back as Base.vlt and index, after keeping the current pair as a backup of
// its own (named by the day and time). Refuses (std::runtime_error) while an import or a download
// runs on the folder or when there is no such backup.
void restoreBackup(const std::string& folder, const std::string& name);

// Held by a download run for its whole run, so that no restore swaps Base.vlt under it (the run
// would mark record N of another catalogue). Runs share it, a restore needs it alone; it is a
// file of its own, since the folder's lock is the import's and a download never waits for one.
class DownloadUnderWay {
public:
    explicit DownloadUnderWay(const std::string& folder);
    ~DownloadUnderWay();
    DownloadUnderWay(const DownloadUnderWay&) = delete;
    DownloadUnderWay& operator=(const DownloadUnderWay&) = delete;

    // Claims the mix of record `recordNumber` for this run until releaseMix() or the run's end:
    // false while another run (of this process or another) holds it, so that two runs never
    // write one file at once. A byte of the lock file per record number.
    bool claimMix(std::int32_t recordNumber);
    void releaseMix(std::int32_t recordNumber);

private:
    int fd_ = -1;
};

}  // namespace kelvarn
