// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's context-menu commands, the record editor and "В HTML", driven as a user
// would: the bytes on disk, the grids, the clipboard and the sounds.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/backups.h"
#include "core/storage/cp1251.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/main_window/record_editor.h"
#include "gui/tools/manual_entry_window.h"
#include "tests/support/gui_test_support.h"

using namespace kelvarn;

namespace {

// Where a command on a stale row is given: the tree node that shows its grid, the grid, its menu
// and the model row.
struct StaleRow {
    const char* node;
    const char* grid;
    const char* menu;
    int row;
};

}  // namespace

Q_DECLARE_METATYPE(StaleRow)

class TestRecordCommandsWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    test::RecordedSounds sounds_;
    double today_ = 46000;

    MainWindow& form() { return *windows_.mainWindow; }
    QTableView* grid(const char* name) { return test::child<QTableView>(form(), name); }

    // A right click over model row `row` of the grid, then the menu item `item`.
    void command(const char* gridName, const char* menuName, int row, const char* item) {
        QTableView* view = grid(gridName);
        emit view->customContextMenuRequested(
            view->visualRect(view->model()->index(row, 2)).center());
        auto* menu = test::child<QMenu>(form(), menuName);
        menu->hide();
        test::child<QAction>(*menu, item)->trigger();
    }
    QString cell(const char* gridName, int row, int column) {
        return grid(gridName)->model()->index(row, column).data().toString();
    }
    void clickNode(const QString& text) {
        QTreeWidget* tree = test::child<QTreeWidget>(form(), "styleTree");
        QTreeWidgetItem* node = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive)[0];
        tree->setCurrentItem(node);
        emit tree->itemClicked(node, 0);
    }

private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        FileDialog::setScripted(true);
    }

    void init() {
        layOutFolder("[Main]\r\nLoadDelay=0\r\nnews=0\r\nZip=0\r\n");
        MixRecord first = test::sampleRecord("111111", 1);
        first.Author = "";
        MixRecord second = test::sampleRecord("222222", 2);
        second.HasFile = 1;
        MixRecord third = test::sampleRecord("333333", 3);
        third.InRecycleBin = 1;
        MixRecord fourth = test::sampleRecord("444444", 4);
        fourth.IsFavourite = 1;
        test::writeCatalogue(path("Base.vlt"), {first, second, third, fourth});
        test::writeBytes(path("BackGround.jpg"), "jpeg");
        context_.site = "http://site";
        context_.sound = &sounds_;
        today_ = 46000;
        context_.today = [this] { return today_; };
        context_.sleep = [](int) {};
        startWindows();
        sounds_.played.clear();
        MessageBox::takeShown();
    }

    void cleanup() {
        destroyWindows(windows_);
        MessageBox::setScripted(true);
        FileDialog::setScripted(true);
        delete qApp->findChild<QTranslator*>();
    }

    void copyQueueMoveAndRestore() {
        command("catalogueGrid", "catalogueMenu", 0, "copyName");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral(" - Title 111111"));
        command("catalogueGrid", "catalogueMenu", 1, "copyUrl");
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral(
                     "http://site/fruityloops/loops_list/pafiledb.php?action=file&id=222222"));

        command("catalogueGrid", "catalogueMenu", 1, "download");
        command("catalogueGrid", "catalogueMenu", 1, "download");  // queued already: nothing
        MessageBox::setNextAnswer(QMessageBox::No);
        command("catalogueGrid", "catalogueMenu", 0, "downloadAll");  // not downloaded only
        std::vector<QueueEntry> queue = QueueFile(path("List.dnl")).readAll();
        QCOMPARE(queue.size(), std::size_t{2});
        QCOMPARE(queue[0].Id, std::string("222222"));
        QCOMPARE(queue[1].Id, std::string("111111"));
        QCOMPARE(MessageBox::takeShown(),
                 (QStringList{"beep", "Information: Хотите перекачать все заново?"}));

        // "Удалить" on the first row: its flag byte, the grids, the sound.
        const std::string before = test::readBytes(path("Base.vlt"));
        command("catalogueGrid", "catalogueMenu", 0, "delete");
        std::string after = test::readBytes(path("Base.vlt"));
        QCOMPARE(after[169], '\1');
        after[169] = before[169];
        QCOMPARE(after, before);
        QCOMPARE(cell("catalogueGrid", 0, 0), QStringLiteral("2"));
        QCOMPARE(cell("recycleBinGrid", 1, 0), QStringLiteral("1"));
        QCOMPARE(sounds_.played, (QStringList{"add.wav", "add.wav", "add.wav", "del.wav"}));

        clickNode(QStringLiteral("Корзина"));
        command("recycleBinGrid", "recycleBinMenu", 0, "restore");
        QCOMPARE(CatalogueFile(path("Base.vlt")).read(3).InRecycleBin, 0);
        clickNode(QStringLiteral("Все стили"));
        QCOMPARE(cell("catalogueGrid", 1, 0), QStringLiteral("3"));
        QCOMPARE(sounds_.played.last(), QStringLiteral("rest.wav"));
    }

    // With the window open on records 1-4, kelvarn-cli puts back a backup of record 1 alone and
    // adds a new mix, which becomes record 2.
    void restoreAndAddUnderneath() {
        const std::string shown = test::readBytes(path("Base.vlt"));
        test::writeCatalogue(path("Base.vlt"), {CatalogueFile(path("Base.vlt")).read(1)});
        test::writeBytes(path("index"), "111111\r\n");
        takeBackup(context_.folder, "2026-01-01", 5);
        test::writeBytes(path("Base.vlt"), shown);  // in place: the window's file still
        const std::string dir = dir_.path().toStdString();
        test::CommandResult restored =
            test::runCli({"--data-dir", dir, "restore-backup", "2026-01-01"});
        QCOMPARE(restored.status, 0);
        test::CommandResult added =
            test::runCli({"--data-dir", dir, "add", "--id", "555555", "--title", "New"});
        QCOMPARE(added.status, 0);
    }

    void aCommandOnARowOfAReplacedCatalogueWritesNothingAndReloads_data() {
        QTest::addColumn<StaleRow>("where");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("number");
        const StaleRow table{"Все стили", "catalogueGrid", "catalogueMenu", 1};
        const StaleRow favourites{"Избранное", "favouritesGrid", "favouritesMenu", 0};
        const StaleRow recycled{"Корзина", "recycleBinGrid", "recycleBinMenu", 0};
        // Record 2 holds another mix now; records 3 and 4 are past the end.
        for (const char* item : {"addToFavourites", "delete", "download", "downloadAll", "edit"}) {
            QTest::addRow("catalogue %s", item) << table << item << 2;
        }
        for (const char* item : {"removeFromFavourites", "delete", "download", "edit"}) {
            QTest::addRow("favourites %s", item) << favourites << item << 4;
        }
        for (const char* item : {"restore", "edit"}) {
            QTest::addRow("recycle bin %s", item) << recycled << item << 3;
        }
    }

    void aCommandOnARowOfAReplacedCatalogueWritesNothingAndReloads() {
        QFETCH(StaleRow, where);
        QFETCH(QString, item);
        QFETCH(int, number);
        clickNode(QString::fromUtf8(where.node));
        restoreAndAddUnderneath();
        const std::string catalogue = test::readBytes(path("Base.vlt"));
        sounds_.played.clear();

        MessageBox::setNextAnswer(QMessageBox::Yes);
        command(where.grid, where.menu, where.row, item.toLatin1().constData());
        QCOMPARE(test::readBytes(path("Base.vlt")), catalogue);
        for (const QueueEntry& entry : QueueFile(path("List.dnl")).readAll()) {
            QVERIFY2(entry.Id == "555555" || entry.Id == "111111", entry.Id.c_str());
        }
        QCOMPARE(
            MessageBox::takeShown().last(),
            QStringLiteral("Kelvarn: Запись %1 изменилась на диске: база перечитана.").arg(number));
        QVERIFY(sounds_.played.isEmpty());
        QVERIFY(!windows_.recordEditor->isVisible());
        // Reloaded, on the same node: the new mix under its own number, nothing of the old ones.
        QVERIFY(!grid(where.grid)->isHidden());
        QCOMPARE(form().views().Swap.rowCount(), 3);
        QCOMPARE(std::string(form().views().Swap.cell(kColId, 2)), std::string("555555"));
        QCOMPARE(form().views().Favourites.rowCount(), 2);
        QCOMPARE(cell("favouritesGrid", 0, 0), QString());
        QCOMPARE(cell("recycleBinGrid", 0, 0), QString());
    }

    void aClickShowsACatalogueReplacedOrShortenedAndTheWindowsOwnAdditions() {
        QTableView* table = grid("catalogueGrid");
        table->setCurrentIndex(table->model()->index(0, 3));  // record 1
        restoreAndAddUnderneath();
        clickNode(QStringLiteral("Все стили"));
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(cell("catalogueGrid", 1, 1), QStringLiteral("555555"));
        QCOMPARE(cell("favouritesGrid", 0, 0), QString());
        QCOMPARE(table->currentIndex().row(), 0);
        QCOMPARE(table->currentIndex().column(), 3);
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The window's own "Добавить..." after the restore shows at the next click.
        ManualEntryWindow& entry = *windows_.manualEntryWindow;
        entry.open(&form());
        test::child<QLineEdit>(entry, "idBox")->setText(QStringLiteral("666666"));
        test::child<QLineEdit>(entry, "titleBox")->setText(QStringLiteral("Mine"));
        QTest::mouseClick(test::child<QPushButton>(entry, "addButton"), Qt::LeftButton);
        clickNode(QStringLiteral("Все стили"));
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(cell("catalogueGrid", 2, 0), QStringLiteral("3"));
        QCOMPARE(cell("catalogueGrid", 2, 1), QStringLiteral("666666"));

        // Cut short in place (the same file): read anew too.
        const std::string bytes = test::readBytes(path("Base.vlt"));
        test::writeBytes(path("Base.vlt"), bytes.substr(0, kRecordSize));
        clickNode(QStringLiteral("Все стили"));
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(cell("catalogueGrid", 0, 1), QStringLiteral("111111"));
    }

    // "ОК" writes the fields the user changed onto the record as the file holds it by then.
    void theEditorKeepsWhatChangedOnDiskWhileItWasOpen() {
        command("catalogueGrid", "catalogueMenu", 1, "edit");  // record 2
        RecordEditor& editor = *windows_.recordEditor;
        test::CommandResult sync = test::runCli({"--data-dir", dir_.path().toStdString(), "edit",
                                                 "2", "--file", "0", "--title", "Theirs"});
        QCOMPARE(sync.status, 0);
        test::child<QComboBox>(editor, "ratingList")->setCurrentIndex(7);
        QTest::mouseClick(test::child<QPushButton>(editor, "okButton"), Qt::LeftButton);
        const MixRecord saved = CatalogueFile(path("Base.vlt")).read(2);
        QCOMPARE(saved.Rating, 7);
        QCOMPARE(saved.HasFile, 0);
        QCOMPARE(saved.Title, std::string("Theirs"));
        QCOMPARE(cell("catalogueGrid", 1, 9), QStringLiteral("7"));

        // Nothing changed: nothing written, whatever the file holds now.
        command("catalogueGrid", "catalogueMenu", 1, "edit");
        test::runCli({"--data-dir", dir_.path().toStdString(), "edit", "2", "--rating", "3"});
        const std::string before = test::readBytes(path("Base.vlt"));
        QTest::mouseClick(test::child<QPushButton>(editor, "okButton"), Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QCOMPARE(test::readBytes(path("Base.vlt")), before);

        // A restore while it is open puts another mix at that number: "ОК" writes nothing.
        command("catalogueGrid", "catalogueMenu", 1, "edit");
        restoreAndAddUnderneath();
        const std::string restored = test::readBytes(path("Base.vlt"));
        test::child<QLineEdit>(editor, "titleBox")->setText(QStringLiteral("Mine"));
        MessageBox::takeShown();
        QTest::mouseClick(test::child<QPushButton>(editor, "okButton"), Qt::LeftButton);
        QCOMPARE(test::readBytes(path("Base.vlt")), restored);
        QCOMPARE(MessageBox::takeShown(),
                 QStringList{"Kelvarn: Запись 2 изменилась на диске: база перечитана."});
        QVERIFY(!editor.isVisible());
    }

    void theEditorSavesOnlyOnOkAndExportWritesTheGridOnShow() {
        command("catalogueGrid", "catalogueMenu", 1, "edit");
        RecordEditor& editor = *windows_.recordEditor;
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.windowTitle(), QStringLiteral("Mix номер: 2"));
        auto* title = test::child<QLineEdit>(editor, "titleBox");
        QCOMPARE(title->text(), QStringLiteral("Title 222222"));
        title->setText(QString(70, QLatin1Char('t')));
        QTest::mouseClick(test::child<QPushButton>(editor, "cancelButton"), Qt::LeftButton);
        QCOMPARE(CatalogueFile(path("Base.vlt")).read(2).Title, std::string("Title 222222"));

        command("catalogueGrid", "catalogueMenu", 1, "edit");
        title->setText(QString(70, QLatin1Char('t')));
        QTest::mouseClick(test::child<QPushButton>(editor, "okButton"), Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QCOMPARE(CatalogueFile(path("Base.vlt")).read(2).Title, std::string(50, 't'));
        QCOMPARE(cell("catalogueGrid", 1, 3), QString(70, QLatin1Char('t')));
        clickNode(QStringLiteral("Все стили"));  // Swap was edited too
        QCOMPARE(cell("catalogueGrid", 1, 3), QString(70, QLatin1Char('t')));

        FileDialog::setNextPath(file(QStringLiteral("page.html")));
        test::child<QAction>(form(), "exportHtml")->trigger();
        std::string page = test::readBytes(path("page.html"));
        QCOMPARE(static_cast<int>(std::count(page.begin(), page.end(), '\n')), 13 + 2 * 6 + 3);
        QCOMPARE(test::readBytes(path("files/BackGround.jpg")), std::string("jpeg"));
        FileDialog::setNextPath(QString());  // cancelled: nothing written
        QFile::remove(file(QStringLiteral("page.html")));
        test::child<QAction>(form(), "exportHtml")->trigger();
        QVERIFY(!QFile::exists(file(QStringLiteral("page.html"))));
    }

    // Real boxes and dialogs, read and answered from a timer while they run.
    void qtsDialogsSpeakRussianAndTheProgramsBoxesKeepTheirWords() {
        loadQtTranslations();
        QCoreApplication::processEvents();  // the windows made before take the change in
        MessageBox::setScripted(false);
        FileDialog::setScripted(false);
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            for (QAbstractButton* button : box->buttons()) {
                seen << button->text();
            }
            seen << (box->textFormat() == Qt::PlainText ? "plain" : "HTML when it looks so");
            box->button(QMessageBox::No)->click();
        });
        command("catalogueGrid", "catalogueMenu", 0, "downloadAll");
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            seen << dialog->windowTitle() << test::child<QLabel>(*dialog, "fileNameLabel")->text();
            dialog->reject();
        });
        test::child<QAction>(form(), "exportHtml")->trigger();
        seen << QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg("a.html");
        QCOMPARE(seen, (QStringList{"&Yes", "&No", "plain", "Сохранить как",
                                    "&Имя файла:", "a.html уже существует.\nЗаменить его?"}));
    }

    void aDailyCopyThatCannotBeMadeIsShownOnceADay() {
        today_ = 47000;  // a day whose copy the other tests' writes did not try
        test::writeBytes(path("backup"), "");  // a file where the folder should be
        command("catalogueGrid", "catalogueMenu", 0, "download");
        command("catalogueGrid", "catalogueMenu", 0, "addToFavourites");
        QCoreApplication::processEvents();
        QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].startsWith("Error: Резервная копия за сегодня не сделана: "));
        QVERIFY(shown[0].endsWith(file(QStringLiteral("backup"))));
        QCOMPARE(QueueFile(path("List.dnl")).readAll().size(), std::size_t{1});

        today_ += 1;
        command("catalogueGrid", "catalogueMenu", 0, "addToFavourites");
        QCoreApplication::processEvents();
        QCOMPARE(MessageBox::takeShown().size(), 1);
    }
};

QTEST_MAIN(TestRecordCommandsWindow)
#include "test_record_commands_window.moc"
