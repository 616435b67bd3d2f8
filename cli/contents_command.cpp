// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/catalogue_file.h"
#include "core/mixfiles/archive_reader.h"
#include "core/storage/data_files.h"
#include "core/tools/downloaded_mixes.h"
#include "core/tools/mix_facts.h"

namespace kelvarn::cli {
namespace {

// Every downloaded file read again into the side file, with the count on the progress line.
int inspectAll(const Context& context, TableWriter& out) {
    TerminalBar bar;
    const std::vector<MixFacts> facts =
        downloadedMixFacts(context.folder, true, [&bar](std::size_t read, std::size_t count) {
            bar.show(static_cast<int>(read * 100 / count),
                     std::to_string(read) + "/" + std::to_string(count));
        });
    out.line("mixes\t" + std::to_string(facts.size()));
    return kExitDone;
}

// "MIN-MAX" in BPM, both ends included.
FactsTest tempoRange(const std::string& text) {
    const std::size_t dash = text.find('-');
    const std::optional<std::uint32_t> lowest = bpmFromText(text.substr(0, dash));
    const std::optional<std::uint32_t> highest =
        dash == std::string::npos ? std::nullopt : bpmFromText(text.substr(dash + 1));
    if (!lowest || !highest || *lowest > *highest) {
        throw UsageError{"a tempo range is MIN-MAX in BPM, such as 170-175: " + text};
    }
    return tempoWithin(*lowest, *highest);
}

}  // namespace

int runFactsSearch(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    const FactsTest test = args[0] == "tempo" ? tempoRange(args[1]) : usesPlugin(args[1]);
    const std::vector<MixFacts> facts = downloadedMixFacts(context.folder, false);
    out.row(GridHeaders());
    forEachWithFacts(
        CatalogueFile(context.folder + kCatalogueFileName), facts, test,
        [&out](std::uint32_t number, const MixRecordView& record) { out.record(number, record); });
    return kExitDone;
}

int runInspect(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    if (args.size() == 1 && args[0] == "--all") {
        return inspectAll(context, out);
    }
    if (args.size() != 1) {
        throw UsageError{"inspect takes one record number, or --all"};
    }
    const CatalogueFile catalogue(context.folder + kCatalogueFileName);
    const std::uint32_t number = recordNumber(args[0], catalogue.count());
    const MixRecord record = catalogue.read(number);
    const std::optional<std::string> file = downloadedFile(saveFolderOf(Settings(context.folder)),
                                                           record.Id, record.Author, record.Title);
    if (!file) {
        throw Refusal{"record " + args[0] + " has no downloaded file"};
    }
    for (const std::string& line : contentLines(readMixContents(*file))) {
        out.line(line);
    }
    return kExitDone;
}

}  // namespace kelvarn::cli
