// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tools/manual_entry.h"

#include <algorithm>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/import/save_journal.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"

namespace kelvarn {

ManualEntryResult addManualEntry(const std::string& folder, const ManualEntry& entry, double today,
                                 double timeNow) {
    ManualEntryResult result;
    if (entry.author.empty() && entry.title.empty()) {
        result.outcome = ManualEntryResult::Outcome::NoName;
        result.message = "Одно из полей названия должно быть заполнено!"_cp;
        return result;
    }
    if (entry.id.empty()) {
        result.outcome = ManualEntryResult::Outcome::NoId;
        result.message = "Поле ID-номера должно обязательно быть заполнено!"_cp;
        return result;
    }
    // Base.vlt before index, as an import's save takes them: the other way round, an add and a
    // save could each wait for the other for ever. The ID is looked up under both locks, so no
    // other writer can save it between the look and the append.
    CatalogueAppender catalogue(folder + kCatalogueFileName);
    IdListAppender idLine(IdList::inFolder(folder).path());
    // A save that died half-way is whole before this ID is looked up.
    completeInterruptedSave(folder, catalogue, idLine);
    std::vector<std::string> known = idLine.ids();
    if (std::find(known.begin(), known.end(), entry.id) != known.end()) {
        result.outcome = ManualEntryResult::Outcome::Exists;
        result.message = std::string("Запись с номером "_cp) + entry.id;
        result.message += " уже существует!"_cp;
        return result;
    }
    QueueFile queue(folder + kQueueFileName);
    MixRecord record;
    record.Id = cutToCapacity(entry.id, kIdCapacity);
    record.Author = cutToCapacity(entry.author, kAuthorCapacity);
    record.Title = cutToCapacity(entry.title, kTitleCapacity);
    record.Email = cutToCapacity(entry.email, kEmailCapacity);
    record.Style = entry.style;
    record.HasFile = entry.hasFile ? 1 : 0;
    record.AddedDate = today;
    record.AddedTime = timeNow;
    result.record = record;
    // Three writes: should the program die between them, the journal lets the next start finish;
    // should one fail, the others are taken back.
    JournalledSave save(folder, catalogue, idLine, queue,
                        SaveJournal{{record}, entry.queue, catalogue.count() + 1});
    try {
        result.number = save.saveNext();
        save.close();
    } catch (const IoError&) {
        save.rollBack();
        throw;
    }
    return result;
}

}  // namespace kelvarn
