// SPDX-License-Identifier: GPL-3.0-or-later
// The import window driven as a user would, against the stand-in site on loopback.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include "core/catalogue/catalogue_file.h"
#include "core/storage/cp1251.h"
#include "demo_site/demo_site.h"
#include "gui/common/message_box.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"
#include "gui/main_window/main_window.h"
#include "gui/window_set.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/test_support.h"

using namespace kelvarn;

namespace {

// The record numbers listed in Swap, the master copy of the catalogue view.
QStringList swapNumbers(MainWindow& form) {
    QStringList numbers;
    for (int r = 1; r < form.views().Swap.rowCount(); ++r) {
        numbers << QString::fromStdString(std::string(form.views().Swap.cell(kColNumber, r)));
    }
    return numbers;
}

QPushButton* startButton(const ImportWindow& import) {
    return test::child<QPushButton>(import, "startButton");
}

QString stage(const ImportWindow& import) {
    return test::child<QLabel>(import, "stageLabel")->text();
}

QStringList oneTo(std::uint32_t last) {
    QStringList numbers;
    for (std::uint32_t n = 1; n <= last; ++n) {
        numbers << QString::number(n);
    }
    return numbers;
}

}  // namespace

class TestImportWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    DemoSite site_{DemoSiteOptions{60, 9, true}};

private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        site_.start();
    }

    void init() {
        layOutFolder(
            "[Main]\r\nLoadDelay=0\r\nnews=0\r\nZip=0\r\n[GetLoopsList]\r\n"
            "CheckListStyle=0,1,2,3,4,5,6,7,8,9,10,11,12,13,\r\nCheck_Avtor=0\r\n");
        context_.site = site_.baseAddress();
        context_.today = [] { return 46000.0; };
        context_.sleep = [](int) {};
        startWindows();
        MessageBox::takeShown();
    }

    void cleanup() { destroyWindows(windows_); }

    void startBringsNewMixesIntoTheCatalogueAndTheQueue() {
        MainWindow& form = *windows_.mainWindow;
        test::child<QAction>(form, "checkSite")->trigger();
        ImportWindow& import = *windows_.importWindow;
        QVERIFY(import.isVisible());
        QCOMPARE(import.minimumSize(), import.maximumSize());
        QVERIFY(test::child<QCheckBox>(import, "byStyle")->isChecked());
        QVERIFY(!test::child<QCheckBox>(import, "byAuthor")->isChecked());
        QSignalSpy finished(&import, &ImportWindow::runFinished);
        QTest::mouseClick(startButton(import), Qt::LeftButton);
        QVERIFY(!startButton(import)->isEnabled());
        QVERIFY(finished.wait(10000));
        QVERIFY(startButton(import)->isEnabled());
        QVERIFY(!test::child<QWidget>(import, "progressPanel")->isVisible());
        QCOMPARE(stage(import),
                 QStringLiteral("Количество новых записей: ") +
                     QString::number(CatalogueFile(context_.file("Base.vlt")).count()));

        // The grid shows every candidate; the model shows the row texts.
        const auto& rows = import.gridRows();
        QVERIFY(rows.size() > 50);
        QCOMPARE(test::child<QTableView>(import, "importGrid")->model()->rowCount(),
                 static_cast<int>(rows.size()));
        QCOMPARE(test::child<QTableView>(import, "importGrid")
                     ->model()
                     ->headerData(4, Qt::Horizontal)
                     .toString(),
                 QStringLiteral("Размер Kb"));
        QCOMPARE(
            test::child<QTableView>(import, "importGrid")->model()->index(0, 0).data().toString(),
            QString::fromStdString(rows[0].id));

        // New records wait in Swap, below the placeholder row of the empty catalogue it was
        // loaded from, and show in Table at the next click in the style tree.
        std::uint32_t saved = CatalogueFile(context_.file("Base.vlt")).count();
        QVERIFY(saved > 0);
        QTRY_COMPARE(form.views().Swap.rowCount(), static_cast<int>(saved) + 2);
        auto* catalogue = test::child<QTableView>(form, "catalogueGrid");
        auto* tree = test::child<QTreeWidget>(form, "styleTree");
        QCOMPARE(catalogue->model()->rowCount(), 1);
        QTreeWidgetItem* all = tree->topLevelItem(0);
        tree->setCurrentItem(all);
        emit tree->itemClicked(all, 0);
        QCOMPARE(catalogue->model()->rowCount(), static_cast<int>(saved) + 1);
        QCOMPARE(catalogue->model()->index(0, 0).data().toString(), QString());
        QCOMPARE(catalogue->model()->index(1, 0).data().toString(), QStringLiteral("1"));
        QCOMPARE(test::readBytes(path("List.dnl")).size(), saved * 120);

        // A second press parses the stored page again and adds nothing.
        QTest::mouseClick(startButton(import), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(site_.listRequests(), 1);
        QCOMPARE(CatalogueFile(context_.file("Base.vlt")).count(), saved);
        QCOMPARE(stage(import), QStringLiteral("Количество новых записей: 0"));
    }

    void aPageWithoutMixesLeavesTheBarEmptyNotBusy() {
        test::writeBytes(path("Loops.dat"), "<html>\r\n<body>no mixes</body>\r\n</html>\r\n");
        ImportWindow& import = *windows_.importWindow;
        QSignalSpy finished(&import, &ImportWindow::runFinished);
        startButton(import)->click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(stage(import), QStringLiteral("Количество новых записей: 0"));
        // A maximum equal to the minimum would draw a moving busy bar.
        QVERIFY(test::child<QProgressBar>(import, "progressBar")->maximum() >
                test::child<QProgressBar>(import, "progressBar")->minimum());
        QCOMPARE(test::child<QProgressBar>(import, "progressBar")->value(),
                 test::child<QProgressBar>(import, "progressBar")->minimum());
    }

    void aReloadDuringAnImportListsEveryRecordOnce() {
        MainWindow& form = *windows_.mainWindow;
        ImportWindow& import = *windows_.importWindow;
        CatalogueFile base(context_.file("Base.vlt"));
        QSignalSpy finished(&import, &ImportWindow::runFinished);
        for (int style = 7; style < 14; ++style) {
            test::child<QListWidget>(import, "styleList")
                ->item(style)
                ->setCheckState(Qt::Unchecked);
        }

        // The reload reads the records saved so far while their reports still wait for the
        // window (reading waits for the save to let go of the file).
        startButton(import)->click();
        QElapsedTimer clock;
        clock.start();
        while (base.count() == 0 && clock.elapsed() < 10000) {
            QThread::msleep(1);
        }
        test::child<QAction>(form, "reloadCatalogue")->trigger();
        QVERIFY(finished.wait(10000));
        std::uint32_t first = base.count();
        QVERIFY(first > 0);
        QCOMPARE(swapNumbers(form), oneTo(first));

        // A paced reload lets the window handle reports as it goes: a whole run, saved after the
        // reload counted the file, comes in while it loads.
        for (int style = 7; style < 14; ++style) {
            test::child<QListWidget>(import, "styleList")->item(style)->setCheckState(Qt::Checked);
        }
        test::writeBytes(path("Setting.ini"), "[Main]\r\nLoadDelay=1\r\nnews=0\r\nZip=0\r\n");
        // The import's own pauses come through here too, on its worker: they only pass.
        context_.sleep = [&](int) {
            if (QThread::currentThread() == import.thread() && finished.count() == 1) {
                startButton(import)->click();
                QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
            }
        };
        test::child<QAction>(form, "reloadCatalogue")->trigger();
        QCOMPARE(finished.count(), 2);
        QVERIFY(base.count() > first);
        QCOMPARE(swapNumbers(form), oneTo(base.count()));
    }

    void theWorkerSeesTheControlsAndTheChosenNamesAsTheyChange() {
        ImportWindow& import = *windows_.importWindow;
        QVERIFY(import.selection().get()->names.empty());
        AuthorListWindow& authors = *windows_.authorListWindow;
        test::child<QLineEdit>(authors, "nameBox")->setText(QStringLiteral("Ёжик"));
        test::child<QPushButton>(authors, "addNameButton")->click();
        QCOMPARE(import.selection().get()->names, std::vector<std::string>{std::string("Ёжик"_cp)});
        test::child<QListWidget>(import, "styleList")->item(3)->setCheckState(Qt::Unchecked);
        QVERIFY(!import.selection().get()->styles[3]);
        QVERIFY(import.selection().get()->styles[4]);
        test::child<QCheckBox>(import, "byAuthor")->setChecked(true);
        QVERIFY(import.selection().get()->byAuthor);
        test::child<QCheckBox>(import, "addToQueue")->setChecked(false);
        QVERIFY(!import.selection().get()->addToQueue);
    }

    void aFileErrorShowsItsBoxAndNotTheNetworkMessages() {
        QVERIFY(QDir().mkdir(file("out")));
        ImportWindow& import = *windows_.importWindow;
        QSignalSpy finished(&import, &ImportWindow::runFinished);
        startButton(import)->click();
        QVERIFY(finished.wait(10000));
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].endsWith(QStringLiteral("Invalid filename: ") + file("out")),
                 qPrintable(shown[0]));
        QVERIFY(!stage(import).contains(QStringLiteral("интернету")));
    }

    void closingTheProgramDuringARunStopsTheWorkerFirst() {
        QFile::remove(file("Loops.dat"));
        site_.setListDelayMs(5000);
        ImportWindow& import = *windows_.importWindow;
        startButton(import)->click();
        QVERIFY(import.running());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(windows_.mainWindow->close());
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!import.running());
        QCOMPARE(test::readBytes(path("Base.vlt")), std::string());
        site_.setListDelayMs(0);
    }
};

QTEST_MAIN(TestImportWindow)
#include "test_import_window.moc"
