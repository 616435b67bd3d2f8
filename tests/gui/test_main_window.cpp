// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a user would: start-up load, style tree, pointer over the grids,
// menus, and the closing sequence.
#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtTest>

#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"
#include "gui/info/about_window.h"
#include "gui/info/credits_window.h"
#include "gui/info/help_window.h"
#include "gui/main_window/main_window.h"
#include "gui/main_window/new_days_window.h"
#include "gui/tools/manual_entry_window.h"
#include "gui/tools/search_window.h"
#include "gui/tools/statistics_window.h"
#include "gui/window_set.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/test_support.h"

using namespace kelvarn;

namespace {

constexpr double kToday = 46000;

MixRecord record(const std::string& id, std::uint8_t style, const std::string& author = "A",
                 const std::string& title = "T") {
    MixRecord r = test::sampleRecord(id, style, kToday);
    r.Author = author;
    r.Title = title;
    r.Size = 321;
    return r;
}

QStringList column(QTableView* grid, int col) {
    QStringList cells;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        cells << grid->model()->index(r, col).data().toString();
    }
    return cells;
}

QTreeWidget* styleTree(const MainWindow& form) {
    return test::child<QTreeWidget>(form, "styleTree");
}

QTableView* catalogueGrid(const MainWindow& form) {
    return test::child<QTableView>(form, "catalogueGrid");
}

QTableView* favouritesGrid(const MainWindow& form) {
    return test::child<QTableView>(form, "favouritesGrid");
}

QTableView* recycleBinGrid(const MainWindow& form) {
    return test::child<QTableView>(form, "recycleBinGrid");
}

QAction* action(const MainWindow& form, const char* name) {
    return test::child<QAction>(form, name);
}

// Image_n of the header pictures.
QLabel* headerPicture(const MainWindow& form, int n) {
    return test::child<QLabel>(form, qPrintable(QStringLiteral("headerPicture%1").arg(n)));
}

// The five panels of the status bar, left to right.
QList<QLabel*> statusPanels(const MainWindow& form) {
    QList<QLabel*> panels;
    for (const char* name : {"trackPanel", "stylePanel", "emailPanel", "sizePanel", "datePanel"}) {
        panels << test::child<QLabel>(form, name);
    }
    return panels;
}

// The items of a grid's context menu that act on the record under the pointer.
QList<QAction*> recordItems(const MainWindow& form, const char* menu) {
    QList<QAction*> items;
    for (QAction* item : test::child<QMenu>(form, menu)->actions()) {
        if (!item->isSeparator()) {
            items << item;
        }
    }
    return items;
}

QTreeWidgetItem* node(MainWindow& form, const QString& text) {
    QList<QTreeWidgetItem*> found =
        styleTree(form)->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void click(MainWindow& form, const QString& text) {
    QTreeWidgetItem* item = node(form, text);
    QVERIFY(item != nullptr);
    styleTree(form)->setCurrentItem(item);
    emit styleTree(form)->itemClicked(item, 0);
}

// The pointer moved onto a grid row (model row), or onto the header; the move reaches the
// viewport under the pointer, as a real one does.
void pointAt(QTableView* grid, int modelRow) {
    QWidget* target = grid->viewport();
    QPoint at(40, 0);
    if (modelRow < 0) {
        target = grid->horizontalHeader()->viewport();
        at = QPoint(40, 5);
    } else {
        at.setY(grid->rowViewportPosition(modelRow) + 4);
    }
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

// Whether a header shows whole: the sections are drawn with 2 pixels of padding and a 1-pixel
// border on either side.
bool headerFits(QTableView* grid, int column) {
    QString text = grid->model()->headerData(column, Qt::Horizontal).toString();
    return grid->horizontalHeader()->fontMetrics().horizontalAdvance(text) + 6 <=
           grid->columnWidth(column);
}

bool panelFits(const QLabel* panel) {
    return panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->contentsRect().width();
}

// The opacities, out of 255, that a window was painted at.
class PaintedOpacities : public QObject {
public:
    QList<int> seen;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            seen << qRound(static_cast<QWidget*>(watched)->windowOpacity() * 255);
        }
        return false;
    }
};

}  // namespace

class TestMainWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    QList<int> pauses_;

    // Starts the windows; the first tick of the load timer loads the catalogue.
    void start() {
        context_.today = [] { return kToday; };
        context_.sleep = [this](int ms) { pauses_ << ms; };
        startWindows();
    }

private slots:
    void init() {
        MessageBox::setScripted(true);
        MessageBox::takeShown();
        pauses_.clear();
        layOutFolder("[Main]\r\nnews=0\r\nZip=1\r\nLoadDelay=1\r\n");
        MixRecord fav = record("200002", 2, "Fav", "Song");
        fav.IsFavourite = 1;
        MixRecord bin = record("300003", 3, "Bin", "Gone");
        bin.InRecycleBin = 1;
        MixRecord fetched = record("400004", 1);
        fetched.HasFile = 1;
        test::writeCatalogue(path("Base.vlt"),
                             {record("100001", 1, "Вася"_cp.data(), "Ночь"_cp.data()), fav, bin,
                              fetched, record("500005", 4)});
    }

    void cleanup() { destroyWindows(windows_); }

    void startsWithItsLayoutAndLoadsBehindTheSplash() {
        start();
        MainWindow& form = *windows_.mainWindow;
        QCOMPARE(form.windowTitle(), QStringLiteral("Kelvarn v" KELVARN_VERSION " for Zentrova"));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(qRound(form.windowOpacity() * 255), 250);
        QCOMPARE(catalogueGrid(form)->columnWidth(2), 137);
        QCOMPARE(recycleBinGrid(form)->columnWidth(1), 59);
        QCOMPARE(favouritesGrid(form)->columnWidth(2), 118);
        QCOMPARE(styleTree(form)->topLevelItemCount(), 3);
        QCOMPARE(styleTree(form)->topLevelItem(0)->childCount(), 15);
        QVERIFY(!styleTree(form)->topLevelItem(0)->isExpanded());
        QVERIFY(headerPicture(form, 1)->isVisible());
        QVERIFY(catalogueGrid(form)->isVisible());
        QVERIFY(!test::child<QWidget>(form, "splash")->isVisible());
        // The whole window is on the screen, menu bar and status bar included.
        QRect room = form.screen()->availableGeometry();
        QCOMPARE(room.size(), QSize(1024, 600));
        QVERIFY(room.contains(form.frameGeometry()));
        QVERIFY(form.statusBar()->isVisible());
        QVERIFY(catalogueGrid(form)->geometry().bottom() < form.centralWidget()->height());

        // "Не скаченные" on, "Только новинки" off: the downloaded record stays out.
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "5"}));
        QCOMPARE(column(catalogueGrid(form), 2), (QStringList{"Вася", "A"}));
        QCOMPARE(column(favouritesGrid(form), 0), QStringList{"2"});
        QCOMPARE(column(recycleBinGrid(form), 0), QStringList{"3"});
        QCOMPARE(form.views().Swap.rowCount(), 3);
        QVERIFY(action(form, "onlyNew")->isCheckable() && !action(form, "onlyNew")->isChecked());
        QVERIFY(action(form, "notDownloaded")->isChecked());
        // LoadDelay 1: a pause after each of the five records, then the final one.
        QCOMPARE(pauses_, (QList<int>{1, 1, 1, 1, 1, 250}));
    }

    void aFailedFirstLoadIsShownOnceAndTheWindowStaysUsable() {
        QFile::remove(file("Base.vlt"));
        start();
        MainWindow& form = *windows_.mainWindow;
        QTest::qWait(450);
        QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].startsWith("Error: File not found: "));
        QVERIFY(shown[0].endsWith("Base.vlt"));
        QVERIFY(!test::child<QWidget>(form, "splash")->isVisible());
        QCOMPARE(column(catalogueGrid(form), 0), QStringList{""});
        click(form, "Корзина");
        QVERIFY(recycleBinGrid(form)->isVisible());
    }

    void styleTreeSwitchesViewsAndHeaderPictures() {
        start();
        MainWindow& form = *windows_.mainWindow;
        click(form, "House");
        QCOMPARE(column(catalogueGrid(form), 0), QStringList{"1"});
        QVERIFY(headerPicture(form, 3)->isVisible());  // Image_3
        QVERIFY(!headerPicture(form, 1)->isVisible());

        click(form, "Techno");  // nothing loaded is Techno
        QCOMPARE(column(catalogueGrid(form), 0), QStringList{""});
        pointAt(catalogueGrid(form), 0);
        QCOMPARE(form.rowUnderPointer(), 1);
        for (QAction* item : recordItems(form, "catalogueMenu")) {
            QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
        }
        QCOMPARE(statusPanels(form)[0]->text(), QStringLiteral("  - "));
        QCOMPARE(statusPanels(form)[3]->text(), QStringLiteral(" Кбайт"));
        QCOMPARE(statusPanels(form)[4]->text(), QStringLiteral("Создан:  Время: "));

        click(form, "Все стили");
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "5"}));
        QVERIFY(headerPicture(form, 1)->isVisible());

        click(form, "Корзина");
        QVERIFY(recycleBinGrid(form)->isVisible() && !catalogueGrid(form)->isVisible());
        QVERIFY(headerPicture(form, 18)->isVisible());  // Image_18
        QCOMPARE(column(recycleBinGrid(form), 0), QStringList{"3"});
        click(form, "Избранное");
        QVERIFY(favouritesGrid(form)->isVisible() && !recycleBinGrid(form)->isVisible());
        QVERIFY(headerPicture(form, 17)->isVisible());  // Image_17
    }

    void statusBarDescribesTheRowUnderThePointer() {
        start();
        MainWindow& form = *windows_.mainWindow;
        pointAt(catalogueGrid(form), 0);
        QCOMPARE(form.rowUnderPointer(), 1);
        QCOMPARE(statusPanels(form)[0]->text(), QStringLiteral(" Вася - Ночь"));
        QCOMPARE(statusPanels(form)[1]->text(), QStringLiteral("House"));
        QCOMPARE(statusPanels(form)[2]->text(), QStringLiteral("100001@mail.ru"));
        QCOMPARE(statusPanels(form)[3]->text(), QStringLiteral("321 Кбайт"));
        QCOMPARE(statusPanels(form)[4]->text(), QStringLiteral("Создан: ") +
                                                    QString::fromStdString(formatOleDate(kToday)) +
                                                    QStringLiteral(" Время: 12:00:00"));
        for (QAction* item : recordItems(form, "catalogueMenu")) {
            QVERIFY(item->isEnabled());
        }

        pointAt(catalogueGrid(form), -1);  // the header row
        QCOMPARE(form.rowUnderPointer(), 0);
        for (QLabel* panel : statusPanels(form)) {
            QVERIFY(panel->text().isEmpty());
        }
        QVERIFY(!recordItems(form, "catalogueMenu").first()->isEnabled());

        QCOMPARE(recordItems(form, "catalogueMenu").size(), 10);
        QCOMPARE(recordItems(form, "recycleBinMenu").size(), 5);
        QCOMPARE(recordItems(form, "catalogueMenu")[8]->text(),
                 QStringLiteral("Добавить в Избранное"));
    }

    void textsThatLookLikeHtmlReadAsTheyStand() {
        MixRecord odd = record("100001", 1, "<b>BIG</b> <font color=red>RED</font>", "x<br>y");
        odd.Email = "<script>alert(1)</script>";
        test::writeCatalogue(path("Base.vlt"), {odd});
        start();
        pointAt(catalogueGrid(*windows_.mainWindow), 0);
        const QList<QLabel*> panels = statusPanels(*windows_.mainWindow);
        QCOMPARE(panels[0]->text(),
                 QStringLiteral(" <b>BIG</b> <font color=red>RED</font> - x<br>y"));
        QCOMPARE(panels[2]->text(), QStringLiteral("<script>alert(1)</script>"));
        for (QLabel* panel : panels) {
            QCOMPARE(panel->textFormat(), Qt::PlainText);
        }
        // A tooltip is read as HTML: it shows every character, spaces and lines too.
        const QString text = panels[0]->text() + "\n  &amp;";
        QTextDocument tip;
        tip.setHtml(plainToolTip(text));
        QCOMPARE(tip.toPlainText(), text);
    }

    void numbersDatesHeadersAndStatusTextsReadWhole() {
        MixRecord wide = record("999999", 6);
        wide.Email = "konstantin.vasilievich@mail.ru";
        wide.Size = 123456;
        wide.AddedDate = 46019;
        wide.AddedTime = 0.99999;
        test::writeCatalogue(path("Base.vlt"), {wide});
        start();
        MainWindow& form = *windows_.mainWindow;
        const QString date = QString::fromStdString(formatOleDate(46019));
        // What the grids show of a catalogue of 100,000 records, column by column.
        const QStringList widest = {
            "100000", "999999", "",         "",   "",    "Rock & Alternative",
            "123456", date,     "23:59:59", "10", "Есть"};
        for (QTableView* grid : {catalogueGrid(form), favouritesGrid(form), recycleBinGrid(form)}) {
            for (int c = 0; c < widest.size(); ++c) {
                QVERIFY2(headerFits(grid, c), qPrintable(QString("header %1").arg(c)));
                QVERIFY2(test::cellFits(grid, c, widest[c]), qPrintable(widest[c]));
            }
        }
        pointAt(catalogueGrid(form), 0);
        QCOMPARE(statusPanels(form)[4]->text(), "Создан: " + date + " Время: 23:59:59");
        for (QLabel* panel : {statusPanels(form)[1], statusPanels(form)[2], statusPanels(form)[3],
                              statusPanels(form)[4]}) {
            QVERIFY2(panelFits(panel), qPrintable(panel->text()));
        }
        // The panels share the status bar without overlap.
        for (int i = 1; i < 5; ++i) {
            QVERIFY(statusPanels(form)[i - 1]->geometry().right() < statusPanels(form)[i]->x());
        }
        QVERIFY(statusPanels(form)[4]->geometry().right() < form.statusBar()->width());
    }

    void reloadAppliesTheFilterMarksAsTheyStand() {
        start();
        MainWindow& form = *windows_.mainWindow;
        action(form, "notDownloaded")
            ->trigger();  // "Не скаченные" off: nothing changes until the reload
        QVERIFY(!action(form, "notDownloaded")->isChecked());
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "5"}));
        click(form, "House");
        action(form, "reloadCatalogue")->trigger();
        // The reload fills Table whole, whatever node is selected.
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "4", "5"}));
        QCOMPARE(form.views().Swap.rowCount(), 4);
        QVERIFY(catalogueGrid(form)->isEnabled());
    }

    void recordsAnotherProgramAppendedShowAtTheNextClick() {
        start();
        MainWindow& form = *windows_.mainWindow;
        for (const char* id : {"600006", "700007"}) {
            std::vector<std::string> args{
                "--data-dir", context_.folder, "add", "--id", id, "--title", "T", "--style", "1"};
            if (std::string(id) == "700007") {
                args.push_back("--file");
            }
            QCOMPARE(test::runCli(args).status, 0);
        }
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "5"}));
        click(form, "Все стили");
        // As a load shows them: the downloaded one stays out while "Не скаченные" is on.
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "5", "6"}));
        // A late report of this program's own for a record read in already adds no second row.
        form.appendToSwap(6, record("600006", 1));
        click(form, "House");
        QCOMPARE(column(catalogueGrid(form), 0), (QStringList{"1", "6"}));
    }

    void menuItemsOpenTheirWindowsAndClosingLeavesNoneBehind() {
        start();
        MainWindow& form = *windows_.mainWindow;
        QCOMPARE(form.menuBar()->actions().size(), 4);
        const QList<QPair<QAction*, QWidget*>> items = {
            {action(form, "find"), windows_.searchWindow},
            {action(form, "addRecord"), windows_.manualEntryWindow},
            {action(form, "newDays"), windows_.newDaysWindow},
            {action(form, "openDownloader"), windows_.downloadWindow},
            {action(form, "checkSite"), windows_.importWindow},
            {action(form, "statistics"), windows_.statisticsWindow},
            {action(form, "help"), windows_.helpWindow},
            {action(form, "credits"), windows_.creditsWindow},
            {action(form, "about"), windows_.aboutWindow},
        };
        // The download window reads the queue as it opens, not only at start-up.
        QueueEntryBytes entry = encodeQueueEntry({1, "100001", "A - T", 3, 0});
        test::writeBytes(path("List.dnl"),
                         std::string(reinterpret_cast<const char*>(entry.data()), entry.size()));
        for (const auto& [action, window] : items) {
            action->trigger();
            QVERIFY2(window->isVisible(), qPrintable(action->objectName()));
        }
        QCOMPARE(test::child<QTableView>(*windows_.downloadWindow, "queueGrid")
                     ->model()
                     ->index(0, 1)
                     .data()
                     .toString(),
                 QStringLiteral("100001"));
        QCOMPARE(windows_.importWindow->windowTitle(), QStringLiteral("Проверить DuzuRedu"));
        test::child<QPushButton>(*windows_.importWindow, "authorListButton")->click();
        QVERIFY(windows_.authorListWindow->isVisible());

        QVERIFY(form.close());
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY2(!window->isVisible(), qPrintable(window->windowTitle()));
        }
    }

    void closingWritesTheSettingsDeletesThePageFileAndFadesOut() {
        test::writeBytes(path("Setting.ini"),
                         "[Main]\r\nnews=0\r\nZip=1\r\nLoadDelay=0\r\n[GetLoopsList]\r\n"
                         "CheckListStyle=0,3,13,\r\nAddCheck=0\r\n");
        test::writeBytes(path("Loops.dat"), "page");
        start();
        MainWindow& form = *windows_.mainWindow;
        action(form, "onlyNew")->trigger();
        test::child<QListWidget>(*windows_.importWindow, "styleList")
            ->item(5)
            ->setCheckState(Qt::Checked);
        pauses_.clear();
        PaintedOpacities painted;
        form.installEventFilter(&painted);
        QVERIFY(form.close());
        // Every step of the fade-out reaches the screen, not only the last.
        for (int opacity = 240; opacity >= 0; opacity -= 10) {
            QVERIFY2(painted.seen.contains(opacity), qPrintable(QString::number(opacity)));
        }
        QVERIFY(!QFile::exists(file("Loops.dat")));
        QCOMPARE(QString::fromStdString(test::readBytes(path("Setting.ini"))),
                 QStringLiteral("[Main]\r\nnews=1\r\nZip=1\r\nLoadDelay=0\r\nday=0\r\n"
                                "[GetLoopsList]\r\nCheckListStyle=0,3,5,13,\r\nAddCheck=0\r\n"
                                "Check_Style=1\r\nCheck_Avtor=1\r\n[Downloader]\r\nPath=") +
                     QString::fromStdString(context_.folder) +
                     QStringLiteral("ZIP/\r\nFullNames=0\r\n"));
        // The good-bye picture shows for a second, counted from when it appeared (the closing
        // work before the wait takes some of it; a busy machine may make that slow).
        QVERIFY2(pauses_.first() > 500 && pauses_.first() <= 1000,
                 qPrintable(QString::number(pauses_.first())));
        QCOMPARE(pauses_.size(), 26);
        QCOMPARE(qRound(form.windowOpacity() * 255), 0);
        QVERIFY(!test::child<QWidget>(form, "goodbye")->isHidden());
    }

    void aRefusedSettingsWriteWhileClosingIsShownAndTheWindowStillCloses() {
        test::writeBytes(path("Setting.ini"), "[Main]\r\nLoadDelay=0\r\n");
        start();
        QFile::setPermissions(file("Setting.ini"), QFileDevice::ReadOwner);
        QVERIFY(windows_.mainWindow->close());
        QFile::setPermissions(file("Setting.ini"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QStringList shown = MessageBox::takeShown();
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown.last().startsWith("Error: Unable to write to "));
        QCOMPARE(test::readBytes(path("Setting.ini")), std::string("[Main]\r\nLoadDelay=0\r\n"));
    }
};

// The window runs on a netbook's 1024 × 600 screen, lower than its designed size.
int main(int argc, char** argv) {
    QTemporaryDir config;
    QFile screens(config.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "netbook", "x": 0, "y": 0, "width": 1024,)"
                      R"( "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") <
            0) {
        return 1;
    }
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
