// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/save_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/backups.h"
#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

constexpr std::string_view kMagic = "KVJ1";
constexpr std::size_t kHeaderSize = 9;

}  // namespace

std::string SaveJournal::bytes() const {
    std::string out(kMagic);
    out.push_back(static_cast<char>(queued ? 1 : 0));
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((firstNumber >> shift) & 0xFF));
    }
    out.reserve(kHeaderSize + records.size() * kRecordSize);
    for (const MixRecord& record : records) {
        RecordBytes encoded = encodeRecord(record);
        out.append(reinterpret_cast<const char*>(encoded.data()), encoded.size());
    }
    return out;
}

SaveJournal SaveJournal::fromBytes(std::string_view bytes, const std::string& path) {
    std::optional<SaveJournal> journal = parse(bytes);
    if (!journal) {
        throw IoError::damaged(path);
    }
    return std::move(*journal);
}

std::optional<SaveJournal> SaveJournal::parse(std::string_view bytes) {
    if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic ||
        static_cast<unsigned char>(bytes[4]) > 1 || (bytes.size() - kHeaderSize) % kRecordSize) {
        return std::nullopt;
    }
    SaveJournal journal;
    journal.queued = bytes[4] == 1;
    journal.firstNumber = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        journal.firstNumber |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[5 + i]))
                               << (8 * i);
    }
    for (std::size_t at = kHeaderSize; at < bytes.size(); at += kRecordSize) {
        MixRecord record = decodeRecord(reinterpret_cast<const unsigned char*>(bytes.data() + at));
        // A stage only lists IDs that an `index` line can hold.
        if (record.Id.empty() ||
            record.Id.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            return std::nullopt;
        }
        journal.records.push_back(std::move(record));
    }
    return journal;
}

std::string saveJournalPath(const std::string& folder) {
    return folder + kSaveJournalFileName;
}

JournalledSave::JournalledSave(std::string folder, CatalogueAppender& catalogue,
                               IdListAppender& ids, QueueFile& queue, SaveJournal journal)
    : folder_(std::move(folder)),
      catalogue_(catalogue),
      ids_(ids),
      queue_(queue),
      journal_(std::move(journal)),
      countBefore_(catalogue.count()),
      idsBefore_(ids.end()) {
    // Every file the stage writes opens before the first write, so a missing one stops it before
    // any mix is half saved.
    if (journal_.queued) {
        queue_.checkWritable();
    }
    replaceFileContents(saveJournalPath(folder_), journal_.bytes());
}

std::uint32_t JournalledSave::saveNext(
    const std::function<void(std::uint32_t number, const MixRecord& record)>& recorded) {
    const MixRecord& record = journal_.records.at(saved_);
    ids_.append(record.Id);
    const std::uint32_t number = catalogue_.append(record);
    ++saved_;
    if (recorded) {
        recorded(number, record);
    }
    if (journal_.queued) {
        const QueueEntry entry{static_cast<std::int32_t>(number), record.Id,
                               trackText(record.Author, record.Title), record.Size, 0};
        queued_.push_back({queue_.append(entry), entry});
    }
    return number;
}

void JournalledSave::close() {
    // Appended bytes that never reached the disk would outlive the journal that could mend them.
    catalogue_.sync();
    ids_.sync();
    if (journal_.queued) {
        syncFile(queue_.path());
    }
    ::unlink(saveJournalPath(folder_).c_str());
}

void JournalledSave::rollBack() noexcept {
    try {
        for (const PendingEntry& entry : queued_) {
            queue_.markRemoved(entry);
        }
        ids_.truncateTo(idsBefore_);
        catalogue_.truncateTo(countBefore_);
        ids_.sync();
        catalogue_.sync();
        if (!queued_.empty()) {
            syncFile(queue_.path());
        }
        ::unlink(saveJournalPath(folder_).c_str());
    } catch (const std::exception&) {
        // The journal stays: the next write completes the stage rather than leave it half done.
    }
}

namespace {

// A journal no stage could have written (cut, emptied, another file's bytes) is no guide to what
// the files lack: kept aside for a look under a name of ours, and said.
void setAsideDamaged(const std::string& folder) {
    const std::string path = saveJournalPath(folder);
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string kept = ownName(path, std::string("damaged.") + stamp);
    for (int n = 2; fileExists(kept); ++n) {
        kept = ownName(path, std::string("damaged.") + stamp + "-" + std::to_string(n));
    }
    if (::rename(path.c_str(), kept.c_str()) != 0) {
        throw IoError::fromErrno(path, errno);
    }
    syncFolder(folder);
    tellBesideWrite("Журнал прерванного сохранения повреждён и не выполнен; он сохранён как " +
                    kept);
}

}  // namespace

int completeInterruptedSave(const std::string& folder) {
    // Most starts find no journal, and take no lock for it.
    if (!fileExists(saveJournalPath(folder))) {
        return 0;
    }
    CatalogueAppender catalogue(folder + kCatalogueFileName);
    IdListAppender ids(IdList::inFolder(folder).path());
    return completeInterruptedSave(folder, catalogue, ids);
}

int completeInterruptedSave(const std::string& folder, CatalogueAppender& catalogue,
                            IdListAppender& ids) {
    // A stage holds both locks while its journal exists: looked at under them, the journal is
    // one that no stage is writing or removing.
    const std::string path = saveJournalPath(folder);
    // A replacement of the journal killed half-way is no journal: its stage never began.
    removeAbandonedReplacements(path);
    if (!fileExists(path)) {
        return 0;
    }
    const std::optional<SaveJournal> read = SaveJournal::parse(MappedFile(path).bytes());
    if (!read) {
        setAsideDamaged(folder);
        return 0;
    }
    const SaveJournal& journal = *read;
    QueueFile queue(folder + kQueueFileName);

    std::unordered_set<std::string> listed;
    for (const MixRecord& record : journal.records) {
        listed.insert(record.Id);
    }
    std::unordered_set<std::string> known;
    for (std::string& id : ids.idsWithoutCutLine(listed)) {
        known.insert(std::move(id));
    }
    int appended = 0;
    // Records the stage wrote stand from its first number on; should the file have been put
    // back to something shorter since, look through all of it.
    const std::uint32_t from =
        journal.firstNumber <= catalogue.count() + 1 ? journal.firstNumber : 1;
    std::unordered_map<std::string, std::uint32_t> numbers;
    // A mix downloaded since the stage died has left the queue already: it goes in no more.
    std::unordered_set<std::string> queuedIds;
    catalogue.forEachFrom(from, [&](std::uint32_t number, const MixRecordView& record) {
        std::string id(record.Id);
        if (listed.count(id) != 0) {
            if (record.HasFile != 0) {
                queuedIds.insert(id);
            }
            numbers.emplace(std::move(id), number);
        }
    });
    if (journal.queued) {
        for (const QueueEntry& entry : queue.readAll()) {
            queuedIds.insert(entry.Id);
        }
    }
    for (const MixRecord& record : journal.records) {
        if (known.insert(record.Id).second) {
            ids.append(record.Id);
        }
        auto [at, missing] = numbers.emplace(record.Id, 0);
        if (missing) {
            at->second = catalogue.append(record);
            ++appended;
        }
        if (journal.queued && queuedIds.insert(record.Id).second) {
            queue.append(QueueEntry{static_cast<std::int32_t>(at->second), record.Id,
                                    trackText(record.Author, record.Title), record.Size, 0});
        }
    }
    catalogue.sync();
    ids.sync();
    if (journal.queued) {
        syncFile(queue.path());
    }
    ::unlink(path.c_str());
    return appended;
}

}  // namespace kelvarn
