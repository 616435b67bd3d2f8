// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/record_commands.h"
#include "core/storage/data_files.h"

namespace kelvarn::cli {
namespace {

// Record numbers as typed, each checked against the catalogue before anything is written.
std::vector<std::uint32_t> recordNumbers(const std::vector<std::string>& args,
                                         const CatalogueFile& catalogue) {
    if (args.empty()) {
        throw UsageError{"a record number is needed"};
    }
    // A text that is no number is a usage error wherever it stands on the line.
    for (const std::string& arg : args) {
        wholeNumber(arg, "not a record number");
    }
    const std::uint32_t count = catalogue.count();
    std::vector<std::uint32_t> numbers;
    numbers.reserve(args.size());
    for (const std::string& arg : args) {
        numbers.push_back(recordNumber(arg, count));
    }
    return numbers;
}

// The view a record is in, for the messages: its flags decide, never the view filters.
std::string viewName(const MixRecord& record) {
    return record.InRecycleBin != 0  ? "the recycle bin"
           : record.IsFavourite != 0 ? "the favourites"
                                     : "the catalogue";
}

}  // namespace

int runMove(const Context& context, const std::string& command,
            const std::vector<std::string>& args) {
    CatalogueFile catalogue(context.folder + kCatalogueFileName);
    if (args.size() != 1) {
        throw UsageError{command + " takes one record number"};
    }
    const std::uint32_t number = recordNumbers(args, catalogue).front();
    const MixRecord record = catalogue.read(number);
    // "Удалить" exists in the catalogue view and in the favourites, each with its own flags.
    std::vector<RecordMove> moves =
        command == "recycle"       ? std::vector{RecordMove::Recycle, RecordMove::RecycleFavourite}
        : command == "favourite"   ? std::vector{RecordMove::Favourite}
        : command == "unfavourite" ? std::vector{RecordMove::Unfavourite}
                                   : std::vector{RecordMove::Restore};
    for (RecordMove move : moves) {
        if (isInMoveSource(move, record.as<std::string_view>())) {
            if (writeMove(catalogue, {number, record.Id}, move) != CheckedWrite::Written) {
                throw changedMeanwhile(number);
            }
            return kExitDone;
        }
    }
    throw Refusal{"record " + args[0] + " is in " + viewName(record) + ": " + command +
                  " does not apply there"};
}

int runQueue(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    CatalogueFile catalogue(context.folder + kCatalogueFileName);
    std::vector<RecordRef> refs;
    for (std::uint32_t number : recordNumbers(args, catalogue)) {
        MixRecord record = catalogue.read(number);
        if (record.InRecycleBin != 0) {
            throw Refusal{"record " + std::to_string(number) +
                          " is in the recycle bin, which queues nothing"};
        }
        refs.push_back({number, record.Id});
    }
    QueueFile queue(context.folder + kQueueFileName);
    const QueueOutcome outcome = queueRecords(catalogue, queue, refs);
    if (!outcome.changed.empty()) {
        throw changedMeanwhile(outcome.changed.front().number);
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
