// SPDX-License-Identifier: GPL-3.0-or-later
// The download window and the folder chooser driven as a user would, against the stand-in site.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/queue_file.h"
#include "core/downloader/download_lock.h"
#include "demo_site/demo_site.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/downloader/folder_chooser.h"
#include "gui/main_window/main_window.h"
#include "gui/window_set.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/test_support.h"

using namespace kelvarn;

namespace {

// Calls `painted` each time the widget is painted: what the user saw of it.
class OnPaint : public QObject {
public:
    OnPaint(QWidget* widget, std::function<void(QWidget*)> painted) : painted_(std::move(painted)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted_(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    std::function<void(QWidget*)> painted_;
};

std::string entryBytes(std::int32_t number, const std::string& id, std::uint8_t removed) {
    return test::queueEntryBytes({number, id, "Author - " + id, 3, removed});
}

}  // namespace

class TestDownloadWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    test::RecordedSounds sounds_;
    DemoSite site_{DemoSiteOptions{.mixes = 40, .seed = 4}};

    DownloadWindow& downloadWindow() { return *windows_.downloadWindow; }
    QTableView* grid() { return test::child<QTableView>(downloadWindow(), "queueGrid"); }
    QPushButton* button(const char* name) {
        return test::child<QPushButton>(downloadWindow(), name);
    }
    QString received() { return test::child<QLabel>(downloadWindow(), "received")->text(); }
    QString status(int row) { return grid()->model()->index(row, 4).data().toString(); }

    // What the user saw when each sound of the GUI thread began: the sound, row 0, and whether
    // the buttons were last painted as an idle window's.
    std::shared_ptr<QStringList> watchSounds() {
        auto seen = std::make_shared<QStringList>();
        auto lit = std::make_shared<std::pair<bool, bool>>();  // abort, start
        watches_.clear();
        watches_.emplace_back(std::make_unique<OnPaint>(
            button("abortButton"), [lit](QWidget* w) { lit->first = w->isEnabled(); }));
        watches_.emplace_back(std::make_unique<OnPaint>(
            button("downloadAllButton"), [lit](QWidget* w) { lit->second = w->isEnabled(); }));
        sounds_.onPlay = [this, seen, lit](const QString& sound) {
            if (QThread::currentThread() == qApp->thread()) {  // not the worker's of each row
                const bool idle = !lit->first && lit->second;
                *seen << sound + " " + status(0) + (idle ? " idle" : " busy");
            }
        };
        return seen;
    }
    std::vector<std::unique_ptr<OnPaint>> watches_;

    // Three queued mixes with records of their own; the middle entry was taken off earlier.
    void queueThree() {
        std::vector<MixRecord> records;
        std::string queue;
        for (int i = 0; i < 3; ++i) {
            const std::string& id = site_.mixes()[static_cast<std::size_t>(i) + 8].id;
            records.push_back(test::sampleRecord(id));
            queue += entryBytes(i + 1, id, i == 1 ? 1 : 0);
        }
        test::writeCatalogue(path("Base.vlt"), records);
        test::writeBytes(path("List.dnl"), queue);
    }

private slots:
    void initTestCase() {
        MessageBox::setScripted(true);
        site_.start();
    }

    void init() {
        layOutFolder();
        queueThree();
        context_.site = site_.baseAddress();
        context_.sound = &sounds_;
        context_.today = [] { return 46000.0; };
        context_.sleep = [](int) {};
        startWindows();
        MessageBox::takeShown();
        sounds_.played.clear();
    }

    void cleanup() {
        sounds_.onPlay = nullptr;
        watches_.clear();
        destroyWindows(windows_);
    }

    void aBatchFetchesTheWaitingRowsAndClosingCompactsTheQueue() {
        test::child<QAction>(*windows_.mainWindow, "openDownloader")->trigger();
        DownloadWindow& window = *windows_.downloadWindow;
        QVERIFY(window.isVisible());
        QCOMPARE(window.savePath(), QString::fromStdString(path("ZIP/")));
        QCOMPARE(grid()->model()->rowCount(), 2);  // the taken-off entry is not shown
        QCOMPARE(status(0), QStringLiteral("Нет"));
        QCOMPARE(grid()->model()->index(1, 1).data().toString(),
                 QString::fromStdString(site_.mixes()[10].id));

        // Every status a row can show fits its column at the program font.
        for (const DownloadState& state : widestStates(3)) {
            const QString text = fromCp1251(statusText(state));
            QVERIFY2(test::cellFits(grid(), 4, text), qPrintable(text));
        }

        const auto seen = watchSounds();
        QSignalSpy finished(&window, &DownloadWindow::runFinished);
        QTest::mouseClick(button("downloadAllButton"), Qt::LeftButton);
        QVERIFY(!button("downloadAllButton")->isEnabled());
        QVERIFY(button("abortButton")->isEnabled());
        QVERIFY(finished.wait(10000));
        QCOMPARE(status(0), QStringLiteral("ОК"));
        QCOMPARE(status(1), QStringLiteral("ОК"));
        QVERIFY(button("downloadAllButton")->isEnabled());
        QVERIFY(!button("pauseButton")->isEnabled());
        QCOMPARE(window.windowTitle(), QStringLiteral("Downloader v1.0"));
        QCOMPARE(received(), QString());
        QCOMPARE(sounds_.played, (QStringList{"done.wav", "done.wav", "alldone.wav"}));
        QCOMPARE(*seen, QStringList{"alldone.wav ОК idle"});  // the end shows before its sound
        const DemoMix& last = site_.mixes()[10];
        QCOMPARE(test::readBytes(path(QString::fromStdString("ZIP/" + last.id + ".zip"))),
                 site_.archive(last));
        QCOMPARE(CatalogueFile(path("Base.vlt")).read(3).HasFile, 1);

        // Closing compacts: every entry was taken off; the next opening loads the queue anew.
        window.close();
        QCOMPARE(test::readBytes(path("List.dnl")), std::string());
        window.open(windows_.mainWindow);
        QCOMPARE(grid()->model()->rowCount(), 1);
        QCOMPARE(status(0), QString());
    }

    void anIdleWindowShowsTheQueueAnotherProcessReplaced() {
        test::child<QAction>(*windows_.mainWindow, "openDownloader")->trigger();
        DownloadWindow& window = downloadWindow();
        QCOMPARE(grid()->model()->rowCount(), 2);
        // kelvarn-cli fetched the first mix and compacted the queue; the window gains focus.
        QueueFile queue(path("List.dnl"));
        queue.markRemoved(queue.pending().front());
        queue.compact();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&window, &activate);
        QCOMPARE(grid()->model()->rowCount(), 1);
        const QString last = QString::fromStdString(site_.mixes()[10].id);
        QCOMPARE(grid()->model()->index(0, 1).data().toString(), last);

        // A restore brings both entries back: "Закачать все" fetches what the file holds.
        const std::string restored = path("List.dnl.restored");
        test::writeBytes(
            restored, entryBytes(1, site_.mixes()[8].id, 0) + entryBytes(3, last.toStdString(), 0));
        QVERIFY(std::rename(restored.c_str(), path("List.dnl").c_str()) == 0);
        QSignalSpy finished(&window, &DownloadWindow::runFinished);
        QTest::mouseClick(button("downloadAllButton"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(grid()->model()->rowCount(), 2);
        QCOMPARE(status(0), QStringLiteral("ОК"));
        QCOMPARE(status(1), QStringLiteral("ОК"));
        QCOMPARE(QueueFile(path("List.dnl")).pending().size(), std::size_t{0});
    }

    void aMixAnotherRunIsFetchingIsLeftToItAndSaysWhy() {
        auto other = std::make_unique<DownloadUnderWay>(path("") + "/");
        QVERIFY(other->claimMix(1));
        test::child<QAction>(*windows_.mainWindow, "openDownloader")->trigger();
        DownloadWindow& window = *windows_.downloadWindow;
        QSignalSpy finished(&window, &DownloadWindow::runFinished);
        button("downloadAllButton")->click();
        QTRY_COMPARE(status(1), QStringLiteral("ОК"));
        QCOMPARE(status(0), QStringLiteral("Занят"));
        QCOMPARE(grid()->model()->index(0, 4).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Этот микс сейчас качает другая закачка"));
        QVERIFY(finished.isEmpty());

        // The other run lets it go unfetched: the batch takes it.
        other.reset();
        QVERIFY(finished.wait(10000));
        QCOMPARE(status(0), QStringLiteral("ОК"));
        QCOMPARE(CatalogueFile(path("Base.vlt")).read(1).HasFile, 1);
    }

    void theWindowsDownloadRunsBesideASyncAndBothComeThrough() {
        test::writeBytes(path("index"), site_.mixes()[8].id + "\r\n" + site_.mixes()[9].id +
                                            "\r\n" + site_.mixes()[10].id + "\r\n");
        test::writeBytes(path("Setting.ini"),
                         "[GetLoopsList]\r\nCheck_Avtor=0\r\n"
                         "CheckListStyle=0,1,2,3,4,5,6,7,8,9,10,11,12,13,\r\n");
        // The sync holds the folder for its import while the window fetches.
        site_.setListDelayMs(300);
        const int pages = site_.listRequests();
        test::CommandResult sync;
        std::thread cli([&] {
            sync = test::runCli({"--data-dir", path(""), "--site", site_.baseAddress(), "sync"});
        });
        QTRY_COMPARE(site_.listRequests(), pages + 1);
        test::child<QAction>(*windows_.mainWindow, "openDownloader")->trigger();
        QSignalSpy finished(&downloadWindow(), &DownloadWindow::runFinished);
        button("downloadAllButton")->click();
        QVERIFY(finished.wait(10000));
        cli.join();
        site_.setListDelayMs(0);
        QVERIFY2(sync.status == 0, sync.err.c_str());
        for (int row : {0, 1}) {  // fetched here, or by the sync first
            QVERIFY(QStringList({"ОК", "Снят"}).contains(status(row)));
        }
        CatalogueFile base(path("Base.vlt"));
        QVERIFY(base.count() > 3);
        // Every record of a whole mix is marked and its file whole; record 2's entry was taken
        // off before.
        for (std::uint32_t n = 1; n <= base.count(); ++n) {
            const MixRecord record = base.read(n);
            for (const DemoMix& mix : site_.mixes()) {
                if (n != 2 && mix.id == record.Id && mix.status == 200 && mix.hasLength &&
                    mix.bytes > 0) {
                    QCOMPARE(record.HasFile, 1);
                    QCOMPARE(
                        test::readBytes(path(QString::fromStdString("ZIP/" + mix.id + ".zip"))),
                        site_.archive(mix));
                }
            }
        }
        QCOMPARE(QueueFile(path("List.dnl")).pending().size(), std::size_t{0});
    }

    void deleteMarksTheFileAtOnceAndAbortPutsTheRowBack() {
        DownloadWindow& window = *windows_.downloadWindow;
        test::child<QAction>(*windows_.mainWindow, "openDownloader")->trigger();
        grid()->selectRow(1);
        QTest::mouseClick(button("deleteButton"), Qt::LeftButton);
        QCOMPARE(status(1), QStringLiteral("DEL"));
        QCOMPARE(test::readBytes(path("List.dnl"))[2 * 120 + 116], '\1');

        // A site that sends a little of the file and then nothing.
        test::CannedServer slow("HTTP/1.1 200 OK\r\nContent-Length: 900000\r\n\r\n" +
                                std::string(30000, 'p'));
        context_.site = slow.baseAddress();
        const auto seen = watchSounds();
        button("downloadAllButton")->click();
        QTRY_VERIFY(status(0).endsWith(QLatin1Char('%')));
        QTRY_COMPARE(window.windowTitle(), status(0));
        QTest::mouseClick(button("pauseButton"), Qt::LeftButton);
        QCOMPARE(button("pauseButton")->text(), QStringLiteral("Возобновить"));
        QTest::mouseClick(button("abortButton"), Qt::LeftButton);
        // The abort looks done before its sound plays: the row waits again, the controls idle.
        QCOMPARE(*seen, QStringList{"STOP.wav Нет idle"});
        QCOMPARE(status(1), QStringLiteral("DEL"));  // the batch never took it
        QVERIFY(button("downloadAllButton")->isEnabled());
        QVERIFY(!button("abortButton")->isEnabled());
        QCOMPARE(button("pauseButton")->text(), QStringLiteral("Приостановить"));
        QCOMPARE(test::child<QProgressBar>(window, "transferBar")->value(), 0);
        QCOMPARE(received(), QString());
        QCOMPARE(sounds_.played.last(), QStringLiteral("STOP.wav"));
        QCOMPARE(test::readBytes(path("List.dnl"))[116], '\0');

        // Delete on the empty row of an empty queue does nothing.
        test::writeBytes(path("List.dnl"), "");
        window.close();
        window.open(windows_.mainWindow);
        QTest::mouseClick(button("deleteAllButton"), Qt::LeftButton);
        QCOMPARE(grid()->model()->rowCount(), 1);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void aPauseEndsWithItsRunAndTheGridFollowsTheRowBeingFetched() {
        // A long queue, most of it missing on a site that answers at once.
        std::vector<MixRecord> records;
        std::string queue;
        for (int i = 0; i < 40; ++i) {
            const std::string& id = site_.mixes()[static_cast<std::size_t>(i)].id;
            records.push_back(test::sampleRecord(id));
            queue += entryBytes(i + 1, id, 0);
        }
        test::writeCatalogue(path("Base.vlt"), records);
        test::writeBytes(path("List.dnl"), queue);
        DownloadWindow& window = downloadWindow();
        window.open(windows_.mainWindow);

        // Closed while paused, on a site that says nothing: the next run starts unpaused.
        test::CannedServer silent("");
        context_.site = silent.baseAddress();
        button("downloadAllButton")->click();
        button("pauseButton")->click();
        window.close();
        window.open(windows_.mainWindow);
        QCOMPARE(button("pauseButton")->text(), QStringLiteral("Приостановить"));
        test::CannedServer missing("HTTP/1.1 404 No\r\nContent-Length: 0\r\n\r\n");
        context_.site = missing.baseAddress();
        QSignalSpy finished(&window, &DownloadWindow::runFinished);
        button("downloadAllButton")->click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(status(39), QStringLiteral("DEL"));
        // The last row fetched is in sight.
        const int last = grid()->rowViewportPosition(39);
        QVERIFY(last >= 0 && last < grid()->viewport()->height());
    }

    void closingTheProgramDuringARunShowsTheGoodbyeBeforeTheRunHasEnded() {
        // The worker is held in the sound of its first file when the program is closed.
        std::atomic<bool> inSound{false};
        std::atomic<bool> soundOver{false};
        sounds_.onPlay = [&](const QString&) {
            if (QThread::currentThread() != qApp->thread() && !inSound.exchange(true)) {
                QThread::msleep(700);
                soundOver = true;
            }
        };
        downloadWindow().open(windows_.mainWindow);
        button("downloadAllButton")->click();
        QTRY_VERIFY(inSound);
        std::optional<bool> overWhenPainted;
        OnPaint first(test::child<QWidget>(*windows_.mainWindow, "goodbye"),
                      [&](QWidget*) { overWhenPainted = overWhenPainted.value_or(soundOver); });
        QVERIFY(windows_.mainWindow->close());
        QCOMPARE(overWhenPainted, std::optional<bool>(false));
        QVERIFY(soundOver);  // the run ended before the program did
    }

    void closingTheProgramCompactsTheQueueWithoutTheWindowEverShown() {
        windows_.mainWindow->close();
        QCOMPARE(test::readBytes(path("List.dnl")),
                 entryBytes(1, site_.mixes()[8].id, 0) + entryBytes(3, site_.mixes()[10].id, 0));
    }

    void theFolderChooserSetsTheSaveFolderOnlyOnOk() {
        DownloadWindow& window = *windows_.downloadWindow;
        FolderChooser& chooser = *windows_.folderChooser;
        const QString before = window.savePath();
        chooser.showFolder(dir_.path());
        QTest::mouseClick(test::child<QPushButton>(chooser, "cancelButton"), Qt::LeftButton);
        QCOMPARE(window.savePath(), before);
        chooser.showFolder(dir_.path());
        QTest::mouseClick(test::child<QPushButton>(chooser, "okButton"), Qt::LeftButton);
        QCOMPARE(window.savePath(), dir_.path() + QLatin1Char('/'));
        chooser.showFolder(QStringLiteral("/"));
        test::child<QPushButton>(chooser, "okButton")->click();
        QCOMPARE(window.savePath(), QStringLiteral("/"));
    }
};

QTEST_MAIN(TestDownloadWindow)
#include "test_download_window.moc"
