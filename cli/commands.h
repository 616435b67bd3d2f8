// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of kelvarn-cli, each a window action run headless over the core.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/catalogue/styles.h"
#include "core/import/import_run.h"
#include "core/storage/cp1251.h"

namespace kelvarn::cli {

class TableWriter;
struct SyncTally;

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitIo = 3;

struct Context {
    std::string folder;  // the program folder, with its trailing "/"
    std::string site;    // --site, when given
};

// Thrown for a command line that does not fit; main prints it with the usage and exits 2.
struct UsageError {
    std::string message;
};

// Thrown for a command the window would refuse; main prints the message and exits 1.
struct Refusal {
    std::string message;
};

// A write that named record `number` and found another mix there, or the record in another view:
// another process replaced or moved it between our read and our write.
inline Refusal changedMeanwhile(std::uint32_t number) {
    return Refusal{"record " + std::to_string(number) +
                   " changed on disk meanwhile: nothing written"};
}

// For the commands that take no arguments.
inline void requireNoArguments(const std::vector<std::string>& args) {
    if (!args.empty()) {
        throw UsageError{"unexpected argument: " + args.front()};
    }
}

// Numbers as typed: digits alone, leading zeros allowed; any other text is a usage error naming
// `what`. A number too large to hold reads as the largest, so every range refuses it.
std::uint64_t wholeNumber(const std::string& text, const std::string& what);
// A record number: a usage error when the text is no number, a refusal when a catalogue of
// `count` records has no such record.
std::uint32_t recordNumber(const std::string& text, std::uint32_t count);
// A style, rating or flag of 0..largest; anything else is a usage error naming `what`.
std::uint8_t smallCode(const std::string& text, std::uint8_t largest, const std::string& what);

// The options `add` and `edit` both take, a record's texts and style: `value` of `option` read
// into `fields`. False when `option` is none of them.
template <typename Fields>
bool readRecordField(const std::string& option, const std::string& value, Fields& fields) {
    std::string text = utf8ToCp1251(value).value_or("");
    if (option == "--author") {
        fields.author = std::move(text);
    } else if (option == "--title") {
        fields.title = std::move(text);
    } else if (option == "--email") {
        fields.email = std::move(text);
    } else if (option == "--style") {
        fields.style = smallCode(value, kStyleCount - 1, "a style code is 0 to 14");
    } else {
        return false;
    }
    return true;
}

// No arguments, or "--dry-run" alone (true); anything else is a usage error.
bool dryRunOnly(const std::vector<std::string>& args);

// The import command's run, which sync begins with: the grid's rows and the count to `out`, a
// failure on stderr.
ImportResult importMixes(const Context& context, bool dryRun, TableWriter& out);

// Arguments are UTF-8 as typed; each command converts what it stores. Tables go to `out`.
int runList(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runStats(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runAuthors(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runImport(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runAdd(const Context& context, const std::vector<std::string>& args, TableWriter& out);
// "recycle", "favourite", "unfavourite" and "restore" on one record.
int runMove(const Context& context, const std::string& command,
            const std::vector<std::string>& args);
int runQueue(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runBackups(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runRestoreBackup(const Context& context, const std::vector<std::string>& args,
                     TableWriter& out);
int runEdit(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runExportHtml(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runSearch(const Context& context, const std::vector<std::string>& args, TableWriter& out);
int runQueueList(const Context& context, const std::vector<std::string>& args, TableWriter& out);
// With `tally` (sync's), the rows fetched and failed and the run's failure are added to it.
int runDownload(const Context& context, const std::vector<std::string>& args, TableWriter& out,
                SyncTally* tally = nullptr);
int runSync(const Context& context, const std::vector<std::string>& args, TableWriter& out);
// A downloaded mix's files and what its projects say, as KEY<TAB>VALUE lines; with --all, every
// downloaded mix read into the side file.
int runInspect(const Context& context, const std::vector<std::string>& args, TableWriter& out);
// search plugin TEXT, search tempo MIN-MAX: the records whose mixes' facts match.
int runFactsSearch(const Context& context, const std::vector<std::string>& args, TableWriter& out);

}  // namespace kelvarn::cli
