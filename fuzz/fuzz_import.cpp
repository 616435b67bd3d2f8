// SPDX-License-Identifier: GPL-3.0-or-later
// One press of "Начать" on a list page the site might send, stored as Loops.dat so no request is
// made; the size queries fail at once (see kSite). A dry run and a run agree on the rows, and the
// run appends exactly its new rows to Base.vlt, index and List.dnl, leaving no working file.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/import/import_run.h"
#include "core/storage/file_lock.h"
#include "fuzz/fuzz_support.h"

namespace kelvarn {
namespace {

using fuzz::check;

constexpr std::string_view kKnownIds = "100001\r\n100002\r\n";

bool sameRow(const ImportRow& a, const ImportRow& b) {
    for (int column = 0; column < 8; ++column) {
        if (a.cell(column) != b.cell(column)) {
            return false;
        }
    }
    return true;
}

// Every other style ticked, and two names the author test looks for.
struct FuzzSelection : LiveSelection {
    FuzzSelection() {
        SelectionControls controls;
        for (std::size_t code = 0; code < controls.styles.size(); code += 2) {
            controls.styles[code] = true;
        }
        controls.names = {"dj", "Mix"};
        set(controls);
    }
};

}  // namespace
}  // namespace kelvarn

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    static const fuzz::FuzzFolder folder("import");
    folder.write("Loops.dat", data, size);
    folder.write("Base.vlt", "");
    folder.write("index", kKnownIds);
    folder.write("List.dnl", "");

    ImportSettings settings;
    settings.folder = folder.path();
    settings.site = fuzz::kSite;
    settings.today = [] { return 46001.0; };
    settings.timeNow = [] { return 0.5; };
    const std::atomic<bool> stop{false};
    ImportObserver quiet;

    static const FuzzSelection selection;
    ImportRun dry(settings, selection, quiet, stop);
    const ImportResult planned = dry.dryRun();
    ImportRun real(settings, selection, quiet, stop);
    const ImportResult done = real.run();
    check(planned.outcome == ImportResult::Outcome::Done, "the dry run is done");
    check(done.outcome == ImportResult::Outcome::Done, "the run is done");
    check(planned.newRecords == done.newRecords, "the dry run foresees the run");
    check(dry.rows().size() == real.rows().size(), "as many rows either way");
    for (std::size_t i = 0; i < real.rows().size(); ++i) {
        check(sameRow(dry.rows()[i], real.rows()[i]), "the same row either way");
    }

    const std::vector<std::string> ids = IdList::inFolder(folder.path()).readIds();
    const std::vector<QueueEntry> queue = QueueFile(folder.file("List.dnl")).readAll();
    const CatalogueFile base(folder.file("Base.vlt"));
    const auto added = static_cast<std::size_t>(done.newRecords);
    check(base.count() == added && queue.size() == added, "one record and entry per new row");
    check(ids.size() == 2 + added, "one ID line per new row");
    std::uint32_t number = 0;
    for (const ImportRow& row : real.rows()) {
        if (!row.isNew()) {
            continue;
        }
        const MixRecord record = base.read(++number);
        check(record.Id == cutToCapacity(row.id, kIdCapacity) && record.Id == ids[number + 1],
              "the record and the ID list hold the row's ID");
        check(record.Size == 0 && queue[number - 1].RecordNumber == static_cast<int>(number),
              "no size, and the entry names its record");
    }
    check(!fileExists(folder.file("out")) && !fileExists(folder.file("out2")),
          "no working file is left");
    return 0;
}
