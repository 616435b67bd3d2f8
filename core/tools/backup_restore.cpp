// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/backup_restore.h"

#include <fcntl.h>

#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"

namespace kelvarn {
namespace {

// Whether the entry's record in `catalogue` is still its mix.
bool namesItsRecord(std::string_view catalogue, const QueueEntry& entry) {
    const auto number = static_cast<std::uint64_t>(entry.RecordNumber);
    return entry.RecordNumber > 0 && number * kRecordSize <= catalogue.size() &&
           decodeRecordView(reinterpret_cast<const unsigned char*>(catalogue.data()) +
                            (number - 1) * kRecordSize)
                   .Id == entry.Id;
}

QueueEntry entryAt(std::string_view queue, std::size_t at) {
    return decodeQueueEntry(reinterpret_cast<const unsigned char*>(queue.data() + at));
}

// The queue's entries whose record in `catalogue` is still their mix.
std::string entriesStillNaming(std::string_view catalogue, std::string_view queue) {
    std::string kept;
    for (std::size_t at = 0; at + kQueueEntrySize <= queue.size(); at += kQueueEntrySize) {
        if (namesItsRecord(catalogue, entryAt(queue, at))) {
            kept.append(queue.substr(at, kQueueEntrySize));
        }
    }
    return kept;
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The IDs of the catalogue's whole records.
std::unordered_set<std::string> recordIds(std::string_view catalogue) {
    std::unordered_set<std::string> ids;
    for (std::size_t at = 0; at + kRecordSize <= catalogue.size(); at += kRecordSize) {
        ids.emplace(
            decodeRecordView(reinterpret_cast<const unsigned char*>(catalogue.data()) + at).Id);
    }
    return ids;
}

// The IDs of the mixes a restore's completion of the backup's journal adds.
std::unordered_set<std::string> journalIds(const std::optional<std::string>& bytes) {
    std::unordered_set<std::string> ids;
    const std::optional<SaveJournal> journal =
        bytes ? SaveJournal::parse(*bytes) : std::optional<SaveJournal>();
    if (journal) {
        for (const MixRecord& record : journal->records) {
            ids.insert(record.Id);
        }
    }
    return ids;
}

// Waiting entries whose record is missing or holds another mix; those of the mixes the journal
// adds count as naming theirs.
std::size_t strayEntries(const BackupFiles& files, const std::unordered_set<std::string>& added) {
    const std::string_view queue = files.queue ? std::string_view(*files.queue) : "";
    std::size_t stray = 0;
    for (std::size_t at = 0; at + kQueueEntrySize <= queue.size(); at += kQueueEntrySize) {
        const QueueEntry entry = entryAt(queue, at);
        if (entry.Removed == 0 && !namesItsRecord(files.base, entry) &&
            added.count(entry.Id) == 0) {
            ++stray;
        }
    }
    return stray;
}

}  // namespace

std::string backupDamage(const BackupFiles& files) {
    std::vector<std::string> found;
    if (const std::size_t cut = files.base.size() % kRecordSize; cut != 0) {
        found.push_back(std::string(kCatalogueFileName) + " ends " + std::to_string(cut) +
                        " bytes into record " +
                        std::to_string(files.base.size() / kRecordSize + 1));
    }
    const std::unordered_set<std::string> recorded = recordIds(files.base);
    const std::unordered_set<std::string> added = journalIds(files.journal);
    std::size_t orphans = 0;
    for (const std::string& id : idsInText(files.ids)) {
        if (recorded.count(id) == 0 && added.count(id) == 0) {
            ++orphans;
        }
    }
    if (orphans != 0) {
        found.push_back("index: " + counted(orphans, "line names", "lines name") + " no record");
    }
    if (files.queue && files.queue->size() % kQueueEntrySize != 0) {
        found.push_back(std::string(kQueueFileName) + " ends inside an entry");
    }
    if (const std::size_t stray = strayEntries(files, added); stray != 0) {
        found.push_back(std::string(kQueueFileName) + ": " +
                        counted(stray, "entry names", "entries name") + " no record");
    }
    std::string damage;
    for (const std::string& what : found) {
        damage += (damage.empty() ? "" : "; ") + what;
    }
    return damage;
}

std::vector<CheckedBackup> checkedBackups(const std::string& folder) {
    std::vector<CheckedBackup> checked;
    for (BackupEntry& entry : listBackups(folder)) {
        std::string damage = backupDamage(readBackup(folder, entry.name));
        checked.push_back({std::move(entry), std::move(damage)});
    }
    return checked;
}

void restoreBackup(const std::string& folder, const std::string& name) {
    BackupFiles backup = readBackup(folder, name);
    if (const std::string damage = backupDamage(backup); !damage.empty()) {
        throw std::runtime_error("backup " + name + " is damaged: " + damage);
    }
    const RunsHeldOff runs(folder);
    finishInterruptedRestore(folder);
    {
        // The lock order of every writer of more than one of the three files.
        CatalogueAppender catalogue(folder + kCatalogueFileName);
        IdListAppender ids(IdList::inFolder(folder).path());
        // A journal belongs to the files it was written for: completed now, its mixes go into
        // the copy kept of these, and none of them is ever written into the restored ones.
        completeInterruptedSave(folder, catalogue, ids);
        const LockedFile queue(folder + kQueueFileName, O_RDWR | O_CREAT,
                               LockedFile::Lock::Exclusive);
        if (!backup.queue) {
            backup.queue = entriesStillNaming(backup.base, queue.readAll());
        }
        replaceWithBackup(folder, backup);
    }
    // The journal the backup brought, against the files it brought.
    completeInterruptedSave(folder);
}

}  // namespace kelvarn
