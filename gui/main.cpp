#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <exception>

#include "core/net/site_address.h"
#include "core/sound/sdl_sound_player.h"
#include "core/storage/ole_date.h"
#include "core/storage/program_folder.h"
#include "gui/common/message_box.h"
#include "gui/common/window_set.h"
#include "gui/common/window_util.h"
#include "gui/main_window/main_window.h"

namespace {

// The value after `option` on the command line, or nothing.
QString optionValue(const QStringList& args, const QString& option) {
    int at = args.indexOf(option);
    return at > 0 && at + 1 < args.size() ? args[at + 1] : QString();
}

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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    kelvarn::loadQtTranslations();
    try {
        kelvarn::chooseProgramFolder(optionValue(args, QStringLiteral("--data-dir")).toStdString());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvarn: %s\n", e.what());
        kelvarn::MessageBox::error(nullptr, QString::fromStdString(e.what()));
        return 1;
    }
    kelvarn::SdlSoundPlayer sound(kelvarn::ProgramFolder());
    kelvarn::AppContext context;
    context.folder = kelvarn::ProgramFolder();
    context.site =
        kelvarn::normalizeSiteAddress(optionValue(args, QStringLiteral("--site")).toStdString());
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
