// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <initializer_list>

#include "core/net/site_address.h"
#include "core/sound/sdl_sound_player.h"
#include "core/storage/ole_date.h"
#include "core/storage/program_folder.h"
#include "gui/common/window_util.h"
#include "gui/main_window/main_window.h"
#include "gui/start_up.h"
#include "gui/window_set.h"

namespace {

constexpr const char* kUsage =
    "usage: kelvarn [--data-dir DIR] [--site URL]\n"
    "  --data-dir DIR  the data folder (default: the program's own folder when it holds\n"
    "                  Base.vlt, else $XDG_DATA_HOME/kelvarn)\n"
    "  --site URL      the site's base address for this run (default: [Main] Site in\n"
    "                  Setting.ini)\n"
    "  -h, --help      print this and exit\n"
    "  -v, --version   print the version and exit\n"
    "Qt's own options (-platform, -style, ...) are taken as well.\n";

// A termination signal (the session ending, `kill`) closes the main window as its close box
// does, so settings are written and a running import stops cleanly; during the catalogue load
// the close comes as soon as the load ends. The handler only writes to
// a socket; the window closes on the GUI thread when the socket is read.
int signalSocket[2] = {-1, -1};

void onTerminate(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(signalSocket[0], &byte, 1);
}

void closeOnTerminate(QWidget* mainWindow) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSocket) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] {
        char byte = 0;
        [[maybe_unused]] ssize_t ignored = ::read(signalSocket[1], &byte, 1);
        mainWindow->close();
    });
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);
    std::signal(SIGHUP, onTerminate);
}

// Qt's own options, as its documentation lists them, so that one that is neither ours nor Qt's is
// a usage error before any display is opened.
void acceptQtOptions(QCommandLineParser& parser) {
    auto accept = [&parser](std::initializer_list<const char*> names, const QString& value) {
        for (const char* name : names) {
            QCommandLineOption option(QString::fromLatin1(name), QString(), value);
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    };
    accept({"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
            "qwindowicon", "qwindowtitle", "session", "display", "geometry", "title", "name",
            "style", "stylesheet", "qmljsdebugger", "dialogs", "fontengine"},
           QStringLiteral("value"));
    accept({"reverse", "widgetcount", "nograb", "dograb", "sync"}, QString());
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit fails the write (EFBIG), which shows its error box, instead of killing
    // the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption site(QStringLiteral("site"), QString(), QStringLiteral("URL"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    QCommandLineParser parser;
    // As Qt spells its own options: "-reverse" is one word, not -r -e -v ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({dataDir, site, help, version});
    acceptQtOptions(parser);
    // The command line is read before the application is made: usage, help and version need no
    // display, and no folder is chosen or written.
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    if (!parser.parse(raw) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("unexpected argument: ") +
                                        parser.positionalArguments().constFirst()
                                  : parser.errorText();
        std::fprintf(stderr, "kelvarn: %s\n%s", qPrintable(error), kUsage);
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kelvarn %s\n", KELVARN_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    kelvarn::loadQtTranslations();
    if (!kelvarn::chooseDataFolder(parser.value(dataDir).toStdString())) {
        return 1;
    }
    kelvarn::SdlSoundPlayer sound(kelvarn::ProgramFolder());
    kelvarn::AppContext context;
    context.folder = kelvarn::ProgramFolder();
    context.site = kelvarn::normalizeSiteAddress(parser.value(site).toStdString());
    context.sound = &sound;
    context.today = [] { return kelvarn::oleToday(); };

    kelvarn::Windows windows;
    kelvarn::createWindows(context, windows);
    closeOnTerminate(windows.mainWindow);
    windows.mainWindow->show();
    int status = QApplication::exec();
    kelvarn::destroyWindows(windows);
    return status;
}
