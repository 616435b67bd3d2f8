#include <QApplication>
#include <QStringList>

#include "catalogue/ole_date.h"
#include "catalogue/program_folder.h"
#include "catalogue/sdl_sound_player.h"
#include "catalogue/site_address.h"
#include "mainwindow/Unit1.h"
#include "mainwindow/windows.h"

namespace {

// The value after `option` on the command line, or nothing.
QString optionValue(const QStringList& args, const QString& option) {
    int at = args.indexOf(option);
    return at > 0 && at + 1 < args.size() ? args[at + 1] : QString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    QString dataDir = optionValue(args, QStringLiteral("--data-dir"));
    if (!dataDir.isEmpty()) {
        kelvarn::setProgramFolder(dataDir.toStdString());
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
    windows.Form1->show();
    int status = QApplication::exec();
    kelvarn::destroyWindows(windows);
    return status;
}
