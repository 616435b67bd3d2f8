// The main window's context-menu commands, the record editor and "В HTML", driven as a user
// would: the bytes on disk, the grids, the clipboard and the sounds.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
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
#include "core/storage/cp1251.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/main_window/record_editor.h"
#include "tests/support/gui_test_support.h"

using namespace kelvarn;

namespace {}  // namespace

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
        test::writeCatalogue(path("Base.vlt"), {first, second, third});
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
