// SPDX-License-Identifier: GPL-3.0-or-later
// "Что внутри..." from the main window's menus: offered only for a record with a downloaded file,
// and the window showing each project of the archive and its files.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QtTest>

#include "demo_site/demo_site.h"
#include "gui/tools/mix_contents_window.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/project_writer.h"

using namespace kelvarn;

class TestMixContentsWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    // The "Что внутри..." item of the menu after a right click over model row `row`.
    QAction* contentsItem(const char* gridName, const char* menuName, int row) {
        auto* grid = test::child<QTableView>(*windows_.mainWindow, gridName);
        emit grid->customContextMenuRequested(
            grid->visualRect(grid->model()->index(row, 2)).center());
        auto* menu = test::child<QMenu>(*windows_.mainWindow, menuName);
        menu->hide();
        return test::child<QAction>(*menu, "inspect");
    }
    // Whether the menu ends in "Что внутри..." after a separator.
    bool endsInContentsItem(const char* menuName) {
        const QList<QAction*> items = test::child<QMenu>(*windows_.mainWindow, menuName)->actions();
        return items.size() > 2 && items.last()->text() == QStringLiteral("Что внутри...") &&
               items[items.size() - 2]->isSeparator();
    }
    QString text(const char* name) {
        return test::child<QLabel>(*windows_.mixContentsWindow, name)->text();
    }
    QStringList rows(const char* name) {
        auto* table = test::child<QTableWidget>(*windows_.mixContentsWindow, name);
        QStringList shown;
        for (int r = 0; r < table->rowCount(); ++r) {
            shown << table->item(r, 0)->text() + "|" + table->item(r, 1)->text();
        }
        return shown;
    }

private slots:
    void showsEachProjectOfADownloadedArchive() {
        layOutFolder("[Main]\r\nLoadDelay=0\r\nnews=0\r\nZip=0\r\n");
        test::writeCatalogue(path("Base.vlt"),
                             {test::sampleRecord("111111"), test::sampleRecord("222222")});
        const std::string idea =
            test::ProjectWriter().oldText(199, "9.0.0").word(66, 128).word(64, 0).bytes();
        test::writeBytes(path("ZIP/111111.zip"),
                         zipArchive({{"Mix.flp", test::sampleProject()},
                                     {"kick.wav", std::string(300, 'k')},
                                     {"idea.flp", idea.substr(0, idea.size() - 1)}}));
        context_.today = [] { return 46000.0; };
        context_.sleep = [](int) {};
        startWindows();

        QVERIFY(endsInContentsItem("catalogueMenu"));
        QVERIFY(endsInContentsItem("favouritesMenu"));
        QVERIFY(!contentsItem("catalogueGrid", "catalogueMenu", 1)->isEnabled());
        QAction* item = contentsItem("catalogueGrid", "catalogueMenu", 0);
        QVERIFY(item->isEnabled());
        item->trigger();

        MixContentsWindow& window = *windows_.mixContentsWindow;
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Что внутри: 111111.zip"));
        QCOMPARE(text("version"), QStringLiteral("20.8.4.2576"));
        QCOMPARE(text("tempo"), QStringLiteral("174"));
        QCOMPARE(text("signature"), QStringLiteral("7/8"));
        QCOMPARE(text("patterns"), QStringLiteral("3"));
        QCOMPARE(text("channelCount"), QStringLiteral("3"));
        auto* channels = test::child<QListWidget>(window, "channels");
        QCOMPARE(channels->count(), 3);
        QCOMPARE(channels->item(1)->text(), QStringLiteral("Glasswing"));
        QCOMPARE(rows("plugins"),
                 (QStringList{"Sytrus|", "Glasswing|Northlight Audio", "Echo Box|"}));
        QCOMPARE(rows("files"),
                 (QStringList{"Mix.flp|" + QString::number(test::sampleProject().size()),
                              "kick.wav|300", "idea.flp|" + QString::number(idea.size() - 1)}));
        QVERIFY(test::child<QLabel>(window, "damaged")->isHidden());

        test::child<QComboBox>(window, "projectList")->setCurrentIndex(1);
        QCOMPARE(text("version"), QStringLiteral("9.0.0"));
        QCOMPARE(text("tempo"), QStringLiteral("128"));
        QCOMPARE(text("signature"), QStringLiteral("—"));
        QCOMPARE(rows("plugins"), QStringList());
        QVERIFY(!test::child<QLabel>(window, "damaged")->isHidden());
        destroyWindows(windows_);
    }
};

QTEST_MAIN(TestMixContentsWindow)
#include "test_mix_contents_window.moc"
