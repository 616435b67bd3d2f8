#include <QApplication>
#include <QStringList>

#include "catalogue/program_folder.h"
#include "mainwindow/Unit1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    int dataDir = args.indexOf(QStringLiteral("--data-dir"));
    if (dataDir > 0 && dataDir + 1 < args.size()) {
        kelvarn::setProgramFolder(args[dataDir + 1].toStdString());
    }
    kelvarn::TForm1 window;
    window.show();
    return QApplication::exec();
}
