// The search window driven as a user would, with the main window that shows
// what it finds.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/mix_record.h"
#include "core/storage/cp1251.h"
#include "gui/common/message_box.h"
#include "gui/main_window/main_window.h"
#include "gui/tools/search_window.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/test_support.h"

using namespace kelvarn;

namespace {

constexpr double kToday = 46000;

struct Sounds final : SoundPlayer {
    QStringList played;
    void PlaySoundFile(const std::string& name) override { played << QString::fromStdString(name); }
};

// The values a progress bar was painted with.
class PaintedValues : public QObject {
public:
    QList<int> seen;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            seen << static_cast<QProgressBar*>(watched)->value();
        }
        return false;
    }
};

MixRecord record(const std::string& id, std::string_view author, std::string_view title) {
    MixRecord r = test::sampleRecord(id);
    r.Author = author;
    r.Title = title;
    return r;
}

QStringList column(const QTableView* grid, int col) {
    QStringList cells;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        cells << grid->model()->index(r, col).data().toString();
    }
    return cells;
}

}  // namespace

class TestToolsWindows : public QObject, test::WindowsFixture {
    Q_OBJECT

    Sounds sounds_;

    SearchWindow& searchWindow() { return *windows_.searchWindow; }
    QTableView* catalogueGrid() {
        return test::child<QTableView>(*windows_.mainWindow, "catalogueGrid");
    }
    QLineEdit* searchText() { return test::child<QLineEdit>(searchWindow(), "searchText"); }
    QPushButton* findButton() { return test::child<QPushButton>(searchWindow(), "findButton"); }
    QString foundCount() { return test::child<QLabel>(searchWindow(), "foundCount")->text(); }
private slots:
    void init() {
        MessageBox::setScripted(true);
        layOutFolder("[Main]\r\nnews=0\r\nZip=0\r\nLoadDelay=0\r\n");
        MixRecord recycled = record("400", "Под ЗВЕЗДАМИ"_cp, "x");
        recycled.InRecycleBin = 1;
        test::writeCatalogue(path("Base.vlt"),
                             {record("1234", "Звёзды"_cp, "One"), record("123", "B", "none"),
                              record("0123", "Q", "под звездами"_cp), recycled});
        context_.sound = &sounds_;
        context_.today = [] { return kToday; };
        context_.sleep = [](int) {};
        startWindows();
        MessageBox::takeShown();
        sounds_.played.clear();
    }

    void cleanup() { destroyWindows(windows_); }

    void aNameSearchFillsTheCatalogueGridInFileOrderAndEnterDoesNotSearch() {
        test::child<QAction>(*windows_.mainWindow, "find")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&searchWindow()));
        QVERIFY(test::child<QRadioButton>(searchWindow(), "byName")->isChecked());
        QSignalSpy found(&searchWindow(), &SearchWindow::resultsFound);
        searchText()->setText(QStringLiteral("ЗВЕЗД"));
        QTest::keyClick(searchText(), Qt::Key_Return);
        QCOMPARE(found.count(), 0);

        PaintedValues painted;
        auto* bar = test::child<QProgressBar>(searchWindow(), "searchProgress");
        bar->installEventFilter(&painted);
        QTest::mouseClick(findButton(), Qt::LeftButton);
        // The author is tried first, then the title; Ё is not Е; the recycle bin
        // takes part.
        QCOMPARE(column(catalogueGrid(), kColNumber), (QStringList{"3", "4"}));
        QCOMPARE(column(catalogueGrid(), kColAuthor),
                 (QStringList{"Q", QStringLiteral("Под ЗВЕЗДАМИ")}));
        QVERIFY(catalogueGrid()->isVisible());
        QVERIFY(!test::child<QTableView>(*windows_.mainWindow, "recycleBinGrid")->isVisible());
        QCOMPARE(foundCount(), QStringLiteral("2"));
        QVERIFY(painted.seen.contains(4));
        QCOMPARE(bar->maximum(), 4);
        QCOMPARE(bar->value(), 0);
        QVERIFY(findButton()->isEnabled());
        QCOMPARE(sounds_.played, QStringList{"Search.wav"});

        // By e-mail the whole address counts, in any case; nothing found leaves one
        // empty row.
        test::child<QRadioButton>(searchWindow(), "byEmail")->click();
        searchText()->setText(QStringLiteral("0123@MAIL.RU"));
        findButton()->click();
        QCOMPARE(column(catalogueGrid(), kColNumber), QStringList{"3"});
        searchText()->setText(QStringLiteral("0123@mail"));
        findButton()->click();
        QCOMPARE(column(catalogueGrid(), kColNumber), QStringList{QString()});
        QCOMPARE(foundCount(), QStringLiteral("0"));
        QCOMPARE(found.count(), 3);
    }

    void theIdModeTakesDigitsOnlyAndMatchesTheWholeId() {
        searchWindow().open(windows_.mainWindow);
        QTest::keyClicks(searchText(), QStringLiteral("ab"));
        auto* byId = test::child<QRadioButton>(searchWindow(), "byId");
        QTest::mouseClick(byId, Qt::LeftButton);
        QVERIFY(byId->isChecked());
        QCOMPARE(searchText()->text(), QString());
        QTest::keyClicks(searchText(), QStringLiteral("1x2-3 4"));
        QCOMPARE(searchText()->text(), QStringLiteral("1234"));
        QTest::keyClick(searchText(), Qt::Key_Backspace);
        findButton()->click();
        QCOMPARE(column(catalogueGrid(), kColNumber), QStringList{"2"});
        QCOMPARE(column(catalogueGrid(), kColId), QStringList{"123"});

        // Another mode takes any text again.
        test::child<QRadioButton>(searchWindow(), "byName")->click();
        QTest::keyClicks(searchText(), QStringLiteral("x"));
        QCOMPARE(searchText()->text(), QStringLiteral("123x"));
    }

    void aMissingCatalogueIsReportedAndFindStaysUsable() {
        QFile::remove(file("Base.vlt"));
        QSignalSpy found(&searchWindow(), &SearchWindow::resultsFound);
        const QStringList before = column(catalogueGrid(), kColNumber);
        QTest::keyClicks(searchText(), QStringLiteral("a"));
        findButton()->click();
        QCOMPARE(MessageBox::takeShown(),
                 QStringList{QStringLiteral("Error: File not found: ") + file("Base.vlt")});
        QVERIFY(findButton()->isEnabled());
        QCOMPARE(found.count(), 0);
        QCOMPARE(column(catalogueGrid(), kColNumber), before);
        QVERIFY(sounds_.played.isEmpty());
    }
};

QTEST_MAIN(TestToolsWindows)
#include "test_tools_windows.moc"
