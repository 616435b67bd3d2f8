// SPDX-License-Identifier: GPL-3.0-or-later
// Import.jnl as a killed save stage (or a damaged disk) may leave it, completed over a catalogue
// that already holds one of its mixes and an ID list whose last line was cut short. A damaged
// journal is set aside whole and nothing is written; otherwise every mix it lists ends up in
// Base.vlt, `index` and, when queued, List.dnl, and a second completion finds nothing to do.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/import/save_journal.h"
#include "core/storage/io_error.h"
#include "fuzz/fuzz_support.h"

namespace kelvarn {
namespace {

using fuzz::check;

// A save stage lists only IDs that fit on a line of `index`; a NUL, CR or LF in one (a journal
// damaged inside a record) makes lines no reader can tell apart.
bool fitsOnALine(const std::string& id) {
    return id.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

}  // namespace
}  // namespace kelvarn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    static const fuzz::FuzzFolder folder("save_journal");
    static const std::string known = [] {
        MixRecord record;
        record.Id = "100001";
        record.Author = "Keeper";
        RecordBytes bytes = encodeRecord(record);
        return std::string(bytes.begin(), bytes.end());
    }();
    const std::string path = folder.write("Import.jnl", data, size);
    const std::string base = folder.write("Base.vlt", known);
    const std::string index = folder.write("index", "100001\r\n2000");
    const std::string queue = folder.write("List.dnl", "");

    SaveJournal journal;
    try {
        journal = SaveJournal::fromBytes(fuzz::readFile(path), path);
    } catch (const IoError&) {
        check(completeInterruptedSave(folder.path()) == 0 && !fileExists(path),
              "a damaged journal is set aside");
        check(fuzz::readFile(base) == known && fuzz::readFile(index) == "100001\r\n2000" &&
                  fuzz::readFile(queue).empty(),
              "a damaged journal writes nothing");
        std::size_t kept = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().filename().string().starts_with("Import.jnl.kelvarn-damaged.")) {
                check(fuzz::readFile(entry.path()) ==
                          std::string(reinterpret_cast<const char*>(data), size),
                      "the journal set aside is kept whole");
                std::filesystem::remove(entry.path());
                ++kept;
            }
        }
        check(kept == 1, "a damaged journal is kept once");
        return 0;
    }

    completeInterruptedSave(folder.path());
    check(!fileExists(path), "a completed journal goes");
    check(completeInterruptedSave(folder.path()) == 0, "a second completion has nothing to do");

    std::set<std::string> inBase;
    CatalogueFile(base).forEach(
        nullptr, [&](std::uint32_t, const MixRecordView& record) { inBase.emplace(record.Id); });
    const std::vector<std::string> ids = IdList(index).readIds();
    std::set<std::string> inQueue;
    for (const QueueEntry& entry : QueueFile(queue).readAll()) {
        inQueue.insert(entry.Id);
    }
    const bool linesApart = std::all_of(journal.records.begin(), journal.records.end(),
                                        [](const MixRecord& r) { return fitsOnALine(r.Id); });
    std::set<std::string> listed;
    for (const MixRecord& record : journal.records) {
        listed.insert(record.Id);
        check(inBase.count(record.Id) == 1, "every listed mix has its record");
        check(!journal.queued || inQueue.count(record.Id) == 1, "every queued mix has its entry");
        if (linesApart && !record.Id.empty()) {
            check(std::count(ids.begin(), ids.end(), record.Id) == 1,
                  "every listed mix has one line in index");
        }
    }
    check(CatalogueFile(base).count() <= 1 + listed.size(), "no listed mix is recorded twice");
    return 0;
}
