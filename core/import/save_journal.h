// SPDX-License-Identifier: GPL-3.0-or-later
// Import.jnl: the mixes an import's save stage (or a manual entry) is about to append. Each mix
// takes three writes (its `index` line, its record, its queue entry), and a run killed between
// them would leave a mix listed as known but never recorded, which no later import brings back.
// The journal is on the disk before the first write and goes after the last; whatever finds it
// left behind completes every mix it lists. A stage whose write fails takes back what it wrote
// instead: the user is told it failed, and it must not come back later.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"

namespace kelvarn {

struct SaveJournal {
    std::vector<MixRecord> records;  // in the order the stage appends them
    bool queued = false;             // each record also gets a queue entry
    std::uint32_t firstNumber = 1;   // the number the first record was to get

    // Layout: "KVJ1", the queue flag (1 byte), `firstNumber` (4 bytes, little-endian), then
    // the records as Base.vlt stores them.
    std::string bytes() const;
    // Throws IoError naming `path` when the bytes are not a journal.
    static SaveJournal fromBytes(std::string_view bytes, const std::string& path);
    // None when the bytes are not a journal.
    static std::optional<SaveJournal> parse(std::string_view bytes);
};

std::string saveJournalPath(const std::string& folder);

// The writes of a stage, journalled: the journal goes on the disk first, then each mix's `index`
// line, record and, when queued, queue entry. The caller holds Base.vlt and `index` and has
// completed any journal left behind.
class JournalledSave {
public:
    JournalledSave(std::string folder, CatalogueAppender& catalogue, IdListAppender& ids,
                   QueueFile& queue, SaveJournal journal);

    // Saves the next record of the journal and returns its number; `recorded` hears of the record
    // once it is in Base.vlt, before its queue entry is written.
    std::uint32_t saveNext(
        const std::function<void(std::uint32_t number, const MixRecord& record)>& recorded = {});
    // The stage has ended with every mix whole or not begun: what it appended is synced to the
    // disk, then the journal goes.
    void close();
    // After a failed write: takes back every line, record and queue entry the stage wrote, then
    // the journal. Should that fail too, the journal stays for the next write to complete.
    void rollBack() noexcept;

private:
    std::string folder_;
    CatalogueAppender& catalogue_;
    IdListAppender& ids_;
    QueueFile& queue_;
    SaveJournal journal_;
    std::uint32_t countBefore_;
    std::uint64_t idsBefore_;
    std::size_t saved_ = 0;
    std::vector<PendingEntry> queued_;
};

// Completes each mix a stage left half saved: every mix the journal lists ends up with its
// record in Base.vlt, its line in `index` and, when queued, its entry in List.dnl, each exactly
// once; then the journal goes. Returns how many records it appended, for the report of the run
// that found it. Waits for a stage under way to end: it holds the files while its journal
// exists. A journal that cannot be read is obeyed in nothing: it is set aside under a name of
// our own, kept for a look, and said where the program says what went wrong beside a write.
int completeInterruptedSave(const std::string& folder);
// The same with Base.vlt and `index` already held.
int completeInterruptedSave(const std::string& folder, CatalogueAppender& catalogue,
                            IdListAppender& ids);

}  // namespace kelvarn
