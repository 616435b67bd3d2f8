// Import.jnl: the mixes an import's save stage (or a manual entry) is about to append. Each mix
// takes three writes (its `index` line, its record, its queue entry), and a run killed or failing
// between them
// would leave a mix listed as known but never recorded, which no later import brings back. The
// journal is on the disk before the first write and goes after the last; whatever finds it left
// behind completes every mix it lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/mix_record.h"

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
};

std::string saveJournalPath(const std::string& folder);

// Puts the journal on the disk as one step, synced.
void writeSaveJournal(const std::string& folder, const SaveJournal& journal);

// The stage has ended with every mix whole or not begun: what it appended is synced to the disk,
// then the journal goes.
void closeSaveJournal(const std::string& folder, CatalogueAppender& catalogue, IdListAppender& ids,
                      bool queued);

// Completes each mix a stage left half saved: every mix the journal lists ends up with its
// record in Base.vlt, its line in `index` and, when queued, its entry in List.dnl, each exactly
// once; then the journal goes. Returns how many writes that took (0 when there was nothing to
// do). Waits for a stage under way to end: it holds the files while its journal exists.
int completeInterruptedSave(const std::string& folder);
// The same with Base.vlt and `index` already held.
int completeInterruptedSave(const std::string& folder, CatalogueAppender& catalogue,
                            IdListAppender& ids);

}  // namespace kelvarn
