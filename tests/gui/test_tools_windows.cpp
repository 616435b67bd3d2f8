// SPDX-License-Identifier: GPL-3.0-or-later
// The search window and the manual entry window driven as a user would, with the main window
// that shows what they find and add.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QtTest>
#include <array>
#include <utility>

#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/mix_record.h"
#include "core/catalogue/queue_file.h"
#include "core/storage/cp1251.h"
#include "core/storage/ole_date.h"
#include "gui/common/message_box.h"
#include "gui/main_window/main_window.h"
#include "gui/main_window/record_editor.h"
#include "gui/tools/manual_entry_window.h"
#include "gui/tools/search_window.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/test_support.h"

using namespace kelvarn;

namespace {

constexpr double kToday = 46000;

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

// Moved in whole: g++ 12 at -O3 takes assigning a view into a string for an overlapping copy.
MixRecord record(const std::string& id, std::string_view author, std::string_view title) {
    MixRecord r = test::sampleRecord(id);
    r.Author = std::string(author);
    r.Title = std::string(title);
    return r;
}

QStringList column(const QTableView* grid, int col) {
    QStringList cells;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        cells << grid->model()->index(r, col).data().toString();
    }
    return cells;
}

std::string bytesOf(const RecordBytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string bytesOf(const QueueEntryBytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

class TestToolsWindows : public QObject, test::WindowsFixture {
    Q_OBJECT

    test::RecordedSounds sounds_;
    // The main window's opacity, out of 255, at each pause, and the pauses' lengths.
    QList<int> pauses_;
    QList<int> pauseLengths_;

    SearchWindow& searchWindow() { return *windows_.searchWindow; }
    ManualEntryWindow& entryWindow() { return *windows_.manualEntryWindow; }
    QTableView* catalogueGrid() {
        return test::child<QTableView>(*windows_.mainWindow, "catalogueGrid");
    }
    QLineEdit* searchText() { return test::child<QLineEdit>(searchWindow(), "searchText"); }
    QPushButton* findButton() { return test::child<QPushButton>(searchWindow(), "findButton"); }
    QString foundCount() { return test::child<QLabel>(searchWindow(), "foundCount")->text(); }
    QLineEdit* box(const char* name) { return test::child<QLineEdit>(entryWindow(), name); }
    QCheckBox* fileBox() { return test::child<QCheckBox>(entryWindow(), "fileBox"); }
    QCheckBox* queueBox() { return test::child<QCheckBox>(entryWindow(), "queueBox"); }
    QComboBox* styleBox() { return test::child<QComboBox>(entryWindow(), "styleBox"); }
    QPushButton* fadeButton() { return test::child<QPushButton>(entryWindow(), "fadeButton"); }
    void clickAdd() {
        QTest::mouseClick(test::child<QPushButton>(entryWindow(), "addButton"), Qt::LeftButton);
    }
    void fill(const QString& id, const QString& author, const QString& title) {
        const std::array<std::pair<const char*, QString>, 3> texts = {
            {{"idBox", id}, {"authorBox", author}, {"titleBox", title}}};
        for (const auto& [name, text] : texts) {
            box(name)->setText(text);
        }
    }
    int mainOpacity() { return qRound(windows_.mainWindow->windowOpacity() * 255); }

private slots:
    void init() {
        MessageBox::setScripted(true);
        layOutFolder("[Main]\r\nnews=0\r\nZip=0\r\nLoadDelay=0\r\n");
        MixRecord recycled = record("400", "Под ЗВЕЗДАМИ"_cp, "x");
        recycled.InRecycleBin = 1;
        test::writeCatalogue(path("Base.vlt"),
                             {record("1234", "Звёзды"_cp, "One"), record("123", "B", "none"),
                              record("0123", "Q", "под звездами"_cp), recycled});
        test::writeBytes(path("index"), "1234\r\n123\r\n0123\r\n400\r\n");
        context_.sound = &sounds_;
        context_.today = [] { return kToday; };
        context_.sleep = [this](int ms) {
            pauses_ << mainOpacity();
            pauseLengths_ << ms;
        };
        startWindows();
        MessageBox::takeShown();
        sounds_.played.clear();
        pauses_.clear();
        pauseLengths_.clear();
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
        // The author is tried first, then the title; Ё is not Е; the recycle bin takes part.
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

        // By e-mail the whole address counts, in any case; nothing found leaves one empty row.
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

    // As drawn: a light dot in the chosen search mode only, and rings and frames lighter than
    // the black windows round them.
    void choicesAndFieldsShowOnBlack() {
        auto lightness = [](QWidget* control, QPoint at) {
            return control->grab().toImage().pixelColor(at).lightness();
        };
        searchWindow().open(windows_.mainWindow);
        for (QRadioButton* radio : searchWindow().findChildren<QRadioButton*>()) {
            QStyleOptionButton option;
            option.initFrom(radio);
            const QRect circle =
                radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio);
            QCOMPARE(lightness(radio, circle.center()) > 200, radio->isChecked());
            QVERIFY(lightness(radio, {circle.left(), circle.center().y()}) > 100);
        }
        windows_.recordEditor->edit(windows_.mainWindow, 1, record("1", "A", "T"),
                                    [](const RecordEdit&) { return true; });
        for (QLineEdit* field : windows_.recordEditor->findChildren<QLineEdit*>()) {
            QVERIFY(lightness(field, {0, field->height() / 2}) > 100);
        }
    }

    void refusedEntriesWriteNothingAndKeepTheBoxes() {
        const std::string catalogue = test::readBytes(path("Base.vlt"));
        const std::string ids = test::readBytes(path("index"));
        test::child<QAction>(*windows_.mainWindow, "addRecord")->trigger();
        QVERIFY(entryWindow().isVisible());

        // The ID box drops what is no digit and takes six digits at most.
        QTest::keyClicks(box("idBox"), QStringLiteral("12ab-345678"));
        QCOMPARE(box("idBox")->text(), QStringLiteral("123456"));
        clickAdd();
        fill(QString(), QStringLiteral("A"), QString());
        clickAdd();
        fill(QStringLiteral("123"), QString(), QStringLiteral("T"));
        styleBox()->setCurrentIndex(2);
        clickAdd();
        QCOMPARE(MessageBox::takeShown(),
                 (QStringList{"beep", "Error: Одно из полей названия должно быть заполнено!",
                              "beep", "Error: Поле ID-номера должно обязательно быть заполнено!",
                              "beep", "Information: Запись с номером 123 уже существует!"}));
        // Only the refusal of a known ID is a completed add to the ear.
        QCOMPARE(sounds_.played, QStringList{"add.wav"});
        QCOMPARE(box("idBox")->text(), QStringLiteral("123"));
        QCOMPARE(box("titleBox")->text(), QStringLiteral("T"));
        QCOMPARE(styleBox()->currentIndex(), 2);
        QCOMPARE(test::readBytes(path("Base.vlt")), catalogue);
        QCOMPARE(test::readBytes(path("index")), ids);
        QCOMPARE(test::readBytes(path("List.dnl")), std::string());
    }

    void anAddAppendsTheRecordItsIdAndItsQueueEntryAndClearsTheBoxes() {
        entryWindow().open(windows_.mainWindow);
        QCOMPARE(styleBox()->count(), 15);
        QCOMPARE(styleBox()->currentText(), QStringLiteral("Неизвестный"));
        QVERIFY(!fileBox()->isChecked());
        QVERIFY(queueBox()->isChecked());
        fill(QStringLiteral("777"), QStringLiteral("Вася"), QStringLiteral("Ночь"));
        QTest::keyClicks(box("emailBox"), QStringLiteral("v@x.ru"));
        styleBox()->setCurrentIndex(3);
        QSignalSpy added(&entryWindow(), &ManualEntryWindow::recordAdded);
        const double before = oleTimeNow();
        clickAdd();
        const double after = oleTimeNow();

        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(sounds_.played, QStringList{"add.wav"});
        const std::string catalogue = test::readBytes(path("Base.vlt"));
        QCOMPARE(catalogue.size(), 5 * kRecordSize);
        const double addedTime =
            decodeRecord(reinterpret_cast<const unsigned char*>(catalogue.data() + 4 * kRecordSize))
                .AddedTime;
        QVERIFY(addedTime >= before && addedTime <= after);
        const MixRecord expected{.Id = "777",
                                 .Author = std::string("Вася"_cp),
                                 .Title = std::string("Ночь"_cp),
                                 .Email = "v@x.ru",
                                 .Style = 3,
                                 .AddedDate = kToday,
                                 .AddedTime = addedTime};
        QCOMPARE(catalogue.substr(4 * kRecordSize), bytesOf(encodeRecord(expected)));
        QCOMPARE(test::readBytes(path("index")),
                 std::string("1234\r\n123\r\n0123\r\n400\r\n777\r\n"));
        QCOMPARE(test::readBytes(path("List.dnl")),
                 bytesOf(encodeQueueEntry({5, "777", std::string("Вася - Ночь"_cp), 0, 0})));
        QCOMPARE(added.count(), 1);
        const RecordGrid& swap = windows_.mainWindow->views().Swap;
        // The three records outside the recycle bin, then the new one.
        QCOMPARE(swap.rowCount(), 5);
        QCOMPARE(std::string(swap.cell(kColNumber, 4)), std::string("5"));
        QCOMPARE(std::string(swap.cell(kColId, 4)), std::string("777"));
        for (const char* name : {"idBox", "authorBox", "titleBox", "emailBox"}) {
            QCOMPARE(box(name)->text(), QString());
        }
        QCOMPARE(styleBox()->currentIndex(), 14);

        // "Файл" unticks the queue box; unticking it leaves the queue box as it is.
        fileBox()->click();
        QVERIFY(!queueBox()->isChecked());
        fileBox()->click();
        QVERIFY(!queueBox()->isChecked());
        fileBox()->click();
        fill(QStringLiteral("778"), QString(), QStringLiteral("Есть"));
        clickAdd();
        CatalogueFile stored(path("Base.vlt"));
        QCOMPARE(stored.count(), 6u);
        QCOMPARE(stored.read(6).HasFile, 1);
        QCOMPARE(stored.read(6).Title, std::string("Есть"_cp));
        QCOMPARE(test::readBytes(path("List.dnl")).size(), sizeof(QueueEntryBytes));
        QVERIFY(!fileBox()->isChecked());
        QVERIFY(queueBox()->isChecked());
    }

    void theFadeButtonFadesTheMainWindowOutAndInAndClosingBringsItBack() {
        entryWindow().open(windows_.mainWindow);
        QCOMPARE(fadeButton()->toolTip(), QStringLiteral("Показать/скрыть главное окно"));
        QCOMPARE(mainOpacity(), 250);
        fadeButton()->click();
        QCOMPARE(pauses_, (QList<int>{225, 200, 175, 150, 125, 100, 75, 50, 25, 0}));
        QCOMPARE(fadeButton()->text(), QStringLiteral(">"));
        fadeButton()->click();
        QCOMPARE(pauses_.mid(10), (QList<int>{25, 50, 75, 100, 125, 150, 175, 200, 225, 250}));
        QCOMPARE(mainOpacity(), 250);
        QCOMPARE(fadeButton()->text(), QStringLiteral("<"));
        QCOMPARE(sounds_.played, (QStringList{"rest.wav", "rest.wav"}));
        QCOMPARE(pauseLengths_, QList<int>(20, 10));

        fadeButton()->click();
        QCOMPARE(mainOpacity(), 0);
        pauses_.clear();
        entryWindow().close();
        QCOMPARE(mainOpacity(), 250);
        QCOMPARE(fadeButton()->text(), QStringLiteral("<"));
        QVERIFY(pauses_.isEmpty());
        QCOMPARE(sounds_.played.size(), 3);
        // The next fade starts from the main window shown.
        entryWindow().open(windows_.mainWindow);
        fadeButton()->click();
        QCOMPARE(mainOpacity(), 0);
    }
};

QTEST_MAIN(TestToolsWindows)
#include "test_tools_windows.moc"
