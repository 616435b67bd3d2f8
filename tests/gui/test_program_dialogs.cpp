// What the program settles before its windows and the dialogs every window shares: a data folder
// that is not there is asked about once, and a modal dialog comes up above the windows kept on
// top.
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "core/storage/program_folder.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/start_up.h"

using namespace kelvarn;

class TestProgramDialogs : public QObject {
    Q_OBJECT
private slots:
    void aMissingDataFolderIsAskedAboutOnceAndLaidOutOnlyWhenChosen() {
        MessageBox::setScripted(true);
        QTemporaryDir dir;
        const QString typo = dir.filePath(QStringLiteral("typo"));
        MessageBox::setNextAnswer(QMessageBox::No);
        QVERIFY(!chooseDataFolder(typo.toStdString()));
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(typo), qPrintable(shown[0]));
        QVERIFY(!QFileInfo::exists(typo));

        MessageBox::setNextAnswer(QMessageBox::Yes);
        QVERIFY(chooseDataFolder(typo.toStdString()));
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(QString::fromStdString(ProgramFolder()), typo + QStringLiteral("/"));
        for (const char* name : {"Base.vlt", "index", "List.dnl", "AvtLst.lst", "ZIP"}) {
            QVERIFY2(QFileInfo::exists(typo + QStringLiteral("/") + QLatin1String(name)), name);
        }
        // Laid out once, it is the data folder it was meant to be.
        QVERIFY(chooseDataFolder(typo.toStdString()));
        QVERIFY(MessageBox::takeShown().isEmpty());
        MessageBox::setScripted(false);
    }

    void modalDialogsComeUpAboveTheWindowsKeptOnTop() {
        QWidget help;
        setUpSecondaryWindow(&help, QStringLiteral("Помощь"), true, 255);
        help.show();
        QList<bool> above;
        QTimer look;
        connect(&look, &QTimer::timeout, [&above] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                above << modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                modal->close();
            }
        });
        look.start(10);
        MessageBox::message(&help, QStringLiteral("text"));
        FileDialog::saveFileName(nullptr, QStringLiteral("HTML файлы (*.html)"));
        QCOMPARE(above, (QList<bool>{true, true}));
    }
};

QTEST_MAIN(TestProgramDialogs)
#include "test_program_dialogs.moc"
