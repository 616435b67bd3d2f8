// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/import/author_list.h"
#include "core/import/import_run.h"
#include "core/import/selection.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "core/storage/settings.h"

namespace kelvarn::cli {
namespace {

// The run's status and the stage's progress on the terminal's progress line.
class ImportProgress final : public ImportObserver {
public:
    void status(const std::string& text) override {
        status_ = cp1251ToUtf8Printable(text);
        bar_.show(percent_, status_);
    }
    void progress(int position, int maximum) override {
        percent_ = maximum > 0 ? static_cast<int>(100LL * position / maximum) : 0;
        bar_.show(percent_, status_);
    }

private:
    TerminalBar bar_;
    std::string status_;
    int percent_ = 0;
};

// The import window's controls as the settings and the author list keep them.
SelectionControls controlsFromFiles(const Context& context) {
    Settings settings(context.folder);
    SelectionControls controls;
    controls.byStyle = settings.read(keys::CheckStyle);
    controls.byAuthor = settings.read(keys::CheckAvtor);
    controls.addToQueue = settings.read(keys::AddCheck);
    decodeCheckListStyle(settings.read(keys::CheckListStyle), controls.styles);
    try {
        controls.names = readAuthorList(context.folder + kAuthorListFileName);
    } catch (const IoError& e) {
        printError(e.what());  // as the window does: reported, and the run goes on without names
    }
    return controls;
}

}  // namespace

ImportResult importMixes(const Context& context, bool dryRun, TableWriter& out) {
    LiveSelection selection;
    selection.set(controlsFromFiles(context));
    ImportSettings settings;
    settings.folder = context.folder;
    settings.site = context.site.empty() ? Settings(context.folder).siteAddress() : context.site;
    settings.today = [] { return oleToday(); };
    settings.timeNow = [] { return oleTimeNow(); };
    // The page is fetched once per run of the program, as the main window's close ends it.
    settings.forgetPage = true;
    settings.maxRequestsPerSecond = Settings(context.folder).read(keys::MaxRequestsPerSecond);
    std::atomic<bool> stop{false};
    ImportResult result;
    std::vector<ImportRow> rows;
    {
        ImportProgress progress;
        ImportRun run(settings, selection, progress, stop);
        result = dryRun ? run.dryRun() : run.run();
        rows = run.rows();
    }
    if (result.outcome == ImportResult::Outcome::FetchFailed) {
        printError(cp1251ToUtf8("Возникли проблемы с получением миксов!"_cp));
        printError(cp1251ToUtf8("Проверьте подключение к интернету!"_cp));
        printError(result.error);
        return result;
    }
    if (result.outcome != ImportResult::Outcome::Done) {
        printError(result.error);
        return result;
    }
    out.row(ImportGridHeaders());
    for (const ImportRow& row : rows) {
        if (dryRun && !row.isNew()) {
            continue;  // only what the run would add
        }
        std::array<std::string, 8> cells;
        for (int c = 0; c < 8; ++c) {
            cells[static_cast<std::size_t>(c)] = row.cell(c);
        }
        out.row(cells);
    }
    out.row(std::array<std::string, 1>{std::string("Количество новых записей: "_cp) +
                                       std::to_string(result.newRecords)});
    return result;
}

bool dryRunOnly(const std::vector<std::string>& args) {
    const bool dryRun = args.size() == 1 && args[0] == "--dry-run";
    if (!dryRun) {
        requireNoArguments(args);
    }
    return dryRun;
}

int runImport(const Context& context, const std::vector<std::string>& args, TableWriter& out) {
    return importMixes(context, dryRunOnly(args), out).outcome == ImportResult::Outcome::Done
               ? kExitDone
               : kExitIo;
}

}  // namespace kelvarn::cli
