// SPDX-License-Identifier: GPL-3.0-or-later
// kelvarn-cli: the catalogue's window actions, headless, over the same core as the windows.
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/net/site_address.h"
#include "core/storage/backups.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "core/storage/program_folder.h"

namespace {

using namespace kelvarn::cli;

constexpr const char* kUsage =
    "usage: kelvarn-cli [--data-dir DIR] [--site URL] COMMAND [ARGS...]   (--help for more)\n"
    "commands:\n"
    "  list [catalogue|favourites|recycle] [--style NAME]\n"
    "  search [--count] id|name|email TEXT | search plugin TEXT | search tempo MIN-MAX\n"
    "  add --id ID [--author A] [--title T] [--email E] [--style CODE] [--file] [--no-queue]\n"
    "  stats\n"
    "  authors\n"
    "  import [--dry-run]\n"
    "  queue-list\n"
    "  download [ROW]\n"
    "  sync [--dry-run] [--notify]\n"
    "  recycle N | favourite N | unfavourite N | restore N\n"
    "  queue N...\n"
    "  edit N [--author A] [--title T] [--email E] [--style CODE] [--rating R] [--file 0|1]\n"
    "  backups\n"
    "  restore-backup NAME\n"
    "  export-html FILE [catalogue|favourites|recycle] [--style NAME]\n"
    "  inspect N | inspect --all\n";

constexpr const char* kSettingsHelp =
    "\n"
    "The data folder (the catalogue, the queue, Setting.ini, ZIP/): --data-dir DIR when given;\n"
    "else the program's own folder when it holds Base.vlt (a build or a program-folder install);\n"
    "else $XDG_DATA_HOME/kelvarn (~/.local/share/kelvarn), laid out from the installed files at\n"
    "start, never overwriting a file that is there. The windows choose it the same way.\n"
    "\n"
    "Settings (Setting.ini in the data folder; the windows keep them, the CLI only reads):\n"
    "  [Main] Site=URL                 the site's base address (--site overrides it)\n"
    "  [Main] Backups=7                days of Base.vlt, index and List.dnl copies kept in\n"
    "                                  backup/ (taken before the first write of a day; 0 =\n"
    "                                  none), and as many copies that restores replaced\n"
    "  [Main] MaxRequestsPerSecond=0   size queries and transfers started per second; 0 = any\n"
    "  [Main] Notify=1                 0: sync --notify shows no desktop notification\n"
    "  [Downloader] Path=DIR/          the save folder (default: ZIP/ in the data folder)\n"
    "  [Downloader] FullNames=0        1: files are named ID-Author - Title.zip\n"
    "  [Downloader] Resume=1           a cut transfer goes on from its NAME.zip.part later\n"
    "  [Downloader] Retries=3          tries again after 1, 2 and 4 s on network and server\n"
    "                                  errors (a Retry-After of up to 60 s is honoured)\n"
    "  [Downloader] CheckArchives=1    a page, or a ZIP archive that is not whole, is refused\n"
    "  [Downloader] MaxKBPerSecond=0   KB per second a transfer receives at most; 0 = no cap\n"
    "\n"
    "sync: import, then download the queue, as the two commands do; the queue comes down even\n"
    "when the list page failed. It refuses (1) while an import or a restore holds the folder.\n"
    "With --notify it tells the desktop what it added and downloaded, or why it failed (nothing\n"
    "when it did nothing, or where no notification service runs).\n"
    "The installed kelvarn-sync.timer runs it daily once enabled:\n"
    "  systemctl --user enable --now kelvarn-sync.timer\n"
    "\n"
    "Exit status: 0 done, 1 refused, 2 usage, 3 input/output or network failure.\n";

int usage(const std::string& message) {
    if (!message.empty()) {
        printError(message);
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int dispatch(const Context& context, const std::string& command,
             const std::vector<std::string>& args, TableWriter& out) {
    if (command == "list") {
        return runList(context, args, out);
    }
    if (command == "add") {
        return runAdd(context, args, out);
    }
    if (command == "recycle" || command == "favourite" || command == "unfavourite" ||
        command == "restore") {
        return runMove(context, command, args);
    }
    if (command == "queue") {
        return runQueue(context, args, out);
    }
    if (command == "backups") {
        return runBackups(context, args, out);
    }
    if (command == "restore-backup") {
        return runRestoreBackup(context, args, out);
    }
    if (command == "edit") {
        return runEdit(context, args, out);
    }
    if (command == "export-html") {
        return runExportHtml(context, args, out);
    }
    if (command == "search") {
        return runSearch(context, args, out);
    }
    if (command == "stats") {
        return runStats(context, args, out);
    }
    if (command == "import") {
        return runImport(context, args, out);
    }
    if (command == "authors") {
        return runAuthors(context, args, out);
    }
    if (command == "queue-list") {
        return runQueueList(context, args, out);
    }
    if (command == "download") {
        return runDownload(context, args, out);
    }
    if (command == "sync") {
        return runSync(context, args, out);
    }
    if (command == "inspect") {
        return runInspect(context, args, out);
    }
    throw UsageError{"unknown command: " + command};
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit then fails the write (EFBIG), which is reported like a full disk, instead
    // of killing the command without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    Context context;
    std::string dataDir;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (!kelvarn::utf8ToCp1251(arg)) {
            return usage("argument is not valid UTF-8");
        }
        bool global = words.empty() && (arg == "--data-dir" || arg == "--site");
        if (global) {
            if (i + 1 >= argc) {
                return usage(arg + " needs a value");
            }
            (arg == "--data-dir" ? dataDir : context.site) = argv[++i];
        } else {
            words.push_back(std::move(arg));
        }
    }
    if (words.empty()) {
        return usage("");
    }
    if (words.size() == 1 && (words[0] == "--help" || words[0] == "help")) {
        std::fputs(kUsage, stdout);
        std::fputs(kSettingsHelp, stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitDone : kExitIo;
    }
    if (!context.site.empty()) {
        context.site = kelvarn::normalizeSiteAddress(context.site);
    }
    TableWriter out(stdout);
    try {
        kelvarn::chooseProgramFolder(dataDir);
        context.folder = kelvarn::ProgramFolder();
        kelvarn::setDailyBackups({{}, [](const std::string& message) { printError(message); }});
        kelvarn::finishInterruptedRestore(context.folder);
        int status = dispatch(context, words.front(), {words.begin() + 1, words.end()}, out);
        out.flush();
        return status;
    } catch (const Refusal& e) {
        printError(e.message);
        return kExitRefused;
    } catch (const UsageError& e) {
        return usage(e.message);
    } catch (const kelvarn::IoError& e) {
        printError(e.what());
        return kExitIo;
    } catch (const std::exception& e) {
        printError(e.what());
        return kExitIo;
    }
}
