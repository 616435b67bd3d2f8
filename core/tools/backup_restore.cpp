#include "core/tools/backup_restore.h"

#include <fcntl.h>

#include <string_view>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/file_lock.h"

namespace kelvarn {
namespace {

// The queue's entries whose record in `catalogue` is still their mix.
std::string entriesStillNaming(std::string_view catalogue, std::string_view queue) {
    std::string kept;
    for (std::size_t at = 0; at + kQueueEntrySize <= queue.size(); at += kQueueEntrySize) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(queue.data() + at);
        const QueueEntry entry = decodeQueueEntry(bytes);
        const auto number = static_cast<std::uint64_t>(entry.RecordNumber);
        if (entry.RecordNumber > 0 && number * kRecordSize <= catalogue.size() &&
            decodeRecordView(reinterpret_cast<const unsigned char*>(catalogue.data()) +
                             (number - 1) * kRecordSize)
                    .Id == entry.Id) {
            kept.append(queue.substr(at, kQueueEntrySize));
        }
    }
    return kept;
}

}  // namespace

void restoreBackup(const std::string& folder, const std::string& name) {
    BackupFiles backup = readBackup(folder, name);
    const RunsHeldOff runs(folder);
    finishInterruptedRestore(folder);
    {
        // The lock order of every writer of more than one of the three files.
        CatalogueAppender catalogue(folder + "Base.vlt");
        IdListAppender ids(IdList::inFolder(folder).path());
        // A journal belongs to the files it was written for: completed now, its mixes go into
        // the copy kept of these, and none of them is ever written into the restored ones.
        completeInterruptedSave(folder, catalogue, ids);
        const LockedFile queue(folder + "List.dnl", O_RDWR | O_CREAT, LockedFile::Lock::Exclusive);
        if (!backup.queue) {
            backup.queue = entriesStillNaming(backup.base, queue.readAll());
        }
        replaceWithBackup(folder, backup);
    }
    // The journal the backup brought, against the files it brought.
    completeInterruptedSave(folder);
}

}  // namespace kelvarn
