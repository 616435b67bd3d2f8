// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <random>

#include "core/catalogue/mix_record.h"
#include "core/storage/cp1251.h"
#include "core/storage/program_folder.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/info/about_window.h"
#include "gui/info/credits_window.h"
#include "gui/info/help_window.h"
#include "gui/main_window/new_days_window.h"
#include "gui/start_up.h"
#include "gui/tools/statistics_window.h"
#include "tests/support/gui_test_support.h"

using namespace kelvarn;

namespace {

// A program folder of the test's own.
struct Folder {
    QTemporaryDir dir;
    AppContext context;

    Folder() {
        context.folder = dir.path().toStdString() + "/";
        context.today = [] { return 45000.0; };
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void writeText(const QString& name, const char* utf8) const {
        write(name, QByteArray::fromStdString(*utf8ToCp1251(utf8)));
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeCatalogue(const QList<MixRecord>& records) const {
        QByteArray bytes;
        for (const MixRecord& r : records) {
            RecordBytes b = encodeRecord(r);
            bytes.append(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
        }
        write(QStringLiteral("Base.vlt"), bytes);
    }
};

MixRecord mix(const std::string& id, std::uint8_t style, bool downloaded = false) {
    MixRecord r;
    r.Id = id;
    r.Author = "Author " + id;
    r.Title = "Title " + id;
    r.Style = style;
    r.HasFile = downloaded ? 1 : 0;
    r.AddedDate = 45000;
    return r;
}

QStringList memoLines(const QPlainTextEdit* memo) {
    QStringList lines;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) {
        lines << b.text();
    }
    return lines;
}

QTableWidget* countsGrid(const StatisticsWindow& window) {
    return test::child<QTableWidget>(window, "countsGrid");
}

// Row r of the statistics grid as the window shows it.
QStringList infoRow(const StatisticsWindow& window, int r) {
    return {countsGrid(window)->item(r - 1, 0)->text(), countsGrid(window)->item(r - 1, 1)->text()};
}

QPlainTextEdit* letter(const AboutWindow& window) {
    return test::child<QPlainTextEdit>(window, "letter");
}

QPlainTextEdit* helpText(const HelpWindow& window) {
    return test::child<QPlainTextEdit>(window, "helpText");
}

QLabel* upperMeter(const CreditsWindow& window) {
    return test::child<QLabel>(window, "upperMeter");
}

QLabel* lowerMeter(const CreditsWindow& window) {
    return test::child<QLabel>(window, "lowerMeter");
}

QTimer* meterTimer(const CreditsWindow& window) {
    return test::child<QTimer>(window, "meterTimer");
}

QComboBox* daysBox(const NewDaysWindow& window) {
    return test::child<QComboBox>(window, "daysBox");
}

// The strips' next widths from the same generator the window was seeded with.
struct StripRule {
    std::mt19937 random;
    explicit StripRule(unsigned seed) : random(seed) {}
    int next(int range) { return std::uniform_int_distribution<int>(0, range - 1)(random); }
    std::pair<int, int> tick() {
        int a = next(481);
        int b = next(20);
        int left = a - b;
        int c = next(10);
        return {left, left - c};
    }
};

}  // namespace

class TestInfoWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setScripted(true); }
    void init() { MessageBox::takeShown(); }

    void setDaysShowsTheStoredNumberAndKeepsTheKeysSpelling() {
        Folder f;
        f.write("Setting.ini", "[Main]\r\nDay=3\r\n");
        NewDaysWindow window(f.context);
        QCOMPARE(window.windowTitle(), QStringLiteral("Кол-во дней"));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(window.windowOpacity(), 220 / 255.0);
        QCOMPARE(test::child<QLabel>(window, "showLabel")->text(), QStringLiteral("Отображать "));
        QCOMPARE(test::child<QLabel>(window, "daysLabel")->text(), QStringLiteral("дней"));
        QStringList items;
        for (int i = 0; i < daysBox(window)->count(); ++i) {
            items << daysBox(window)->itemText(i);
        }
        QCOMPARE(items, QStringList({"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(daysBox(window)->currentText(), QStringLiteral("3"));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(test::child<QLabel>(window, "showLabel")->x() < daysBox(window)->x());
        QVERIFY(daysBox(window)->x() < test::child<QLabel>(window, "daysLabel")->x());
        daysBox(window)->setCurrentIndex(daysBox(window)->findText("5"));
        QVERIFY(window.close());
        QCOMPARE(f.read("Setting.ini"), QByteArray("[Main]\r\nDay=5\r\n"));
        QCOMPARE(MessageBox::takeShown(), QStringList());
    }

    void setDaysWithoutAUsableValueChoosesNothingAndStoresZero() {
        Folder f;
        {
            NewDaysWindow window(f.context);
            QCOMPARE(daysBox(window)->currentIndex(), -1);
            QCOMPARE(daysBox(window)->currentText(), QString());
            QVERIFY(window.close());
        }
        QCOMPARE(f.read("Setting.ini"), QByteArray("[Main]\r\nday=0\r\n"));

        for (const char* stored : {"[Main]\r\nday=8\r\n", "[Main]\r\nday=-1\r\n"}) {
            f.write("Setting.ini", stored);
            NewDaysWindow window(f.context);
            QCOMPARE(daysBox(window)->currentIndex(), -1);
        }
    }

    void setDaysRefreshReadsTheFileAgain() {
        Folder f;
        f.write("Setting.ini", "[Main]\r\nDay=2\r\n");
        NewDaysWindow window(f.context);
        QCOMPARE(daysBox(window)->currentText(), QStringLiteral("2"));
        f.write("Setting.ini", "[Main]\r\nDay=7\r\n");
        QCOMPARE(daysBox(window)->currentText(), QStringLiteral("2"));
        window.open(nullptr);
        QCOMPARE(daysBox(window)->currentText(), QStringLiteral("7"));
        f.write("Setting.ini", "[Main]\r\nDay=1\r\n");
        window.open(nullptr);
        QCOMPARE(daysBox(window)->currentText(), QStringLiteral("1"));
        f.write("Setting.ini", "[Main]\r\nDay=0\r\n");
        window.open(nullptr);
        QCOMPARE(daysBox(window)->currentIndex(), -1);
    }

    void setDaysClosesEvenWhenTheSettingsCannotBeWritten() {
        Folder f;
        QVERIFY(QDir(f.dir.path()).mkdir("Setting.ini"));
        NewDaysWindow window(f.context);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        daysBox(window)->setCurrentIndex(3);
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        QCOMPARE(MessageBox::takeShown(),
                 QStringList("Error: Unable to write to " + f.path("Setting.ini")));
    }

    void infoShowsTheCountsOfTheLastRead() {
        Folder f;
        MixRecord recycled = mix("3", 13, true);
        recycled.InRecycleBin = 1;
        f.writeCatalogue({mix("1", 0, true), mix("2", 0), recycled, mix("4", 99)});
        StatisticsWindow window(f.context);
        QCOMPARE(window.windowTitle(), QStringLiteral("Информация о базах"));
        QCOMPARE(countsGrid(window)->horizontalHeaderItem(0)->text(), QStringLiteral("Записи"));
        QCOMPARE(countsGrid(window)->horizontalHeaderItem(1)->text(), QStringLiteral("Кол-во"));
        QCOMPARE(infoRow(window, 19), QStringList({"", ""}));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(249, 345));
        QVERIFY(countsGrid(window)->horizontalHeader()->isVisible());
        QCOMPARE(countsGrid(window)->columnWidth(0), 191);
        QCOMPARE(countsGrid(window)->columnWidth(1), 50);
        QCOMPARE(countsGrid(window)->rowHeight(0), 16);
        QCOMPARE(countsGrid(window)->horizontalHeader()->height(), 16);
        window.open(nullptr);
        QCOMPARE(infoRow(window, 1), QStringList({"Trance", "2"}));
        QCOMPARE(infoRow(window, 2), QStringList({"House", "0"}));
        QCOMPARE(infoRow(window, 14), QStringList({"Другое", "1"}));
        QCOMPARE(infoRow(window, 15), QStringList({"Неизвестный", "0"}));
        QCOMPARE(infoRow(window, 16), QStringList({"", ""}));
        QCOMPARE(infoRow(window, 17), QStringList({"Скаченных", "2"}));
        QCOMPARE(infoRow(window, 18), QStringList({"Нескаченных", "2"}));
        QCOMPARE(infoRow(window, 19), QStringList({"Всего", "4"}));

        f.writeCatalogue({mix("1", 0, true), mix("2", 0), recycled, mix("4", 99), mix("5", 1)});
        QCOMPARE(infoRow(window, 19), QStringList({"Всего", "4"}));
        QCOMPARE(infoRow(window, 2), QStringList({"House", "0"}));
        window.open(nullptr);
        QCOMPARE(infoRow(window, 19), QStringList({"Всего", "5"}));
        QCOMPARE(infoRow(window, 2), QStringList({"House", "1"}));
        QCOMPARE(infoRow(window, 18), QStringList({"Нескаченных", "3"}));
        QCOMPARE(MessageBox::takeShown(), QStringList());

        QVERIFY(QFile::remove(f.path("Base.vlt")));
        window.open(nullptr);
        QCOMPARE(MessageBox::takeShown(),
                 QStringList("Error: File not found: " + f.path("Base.vlt")));
        QCOMPARE(infoRow(window, 19), QStringList({"Всего", "5"}));
        QCOMPARE(infoRow(window, 2), QStringList({"House", "1"}));
    }

    void infoNeverMarksACell() {
        Folder f;
        f.writeCatalogue({mix("1", 0)});
        StatisticsWindow window(f.context);
        QVERIFY(!countsGrid(window)->selectionModel()->hasSelection());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // No focus frame and no current cell, before a click or after it.
        QVERIFY(!countsGrid(window)->hasFocus());
        QVERIFY(!countsGrid(window)->currentIndex().isValid());
        window.open(nullptr);
        QTableWidgetItem* target = countsGrid(window)->item(4, 0);
        QPoint where = countsGrid(window)->visualItemRect(target).center();
        QTest::mousePress(countsGrid(window)->viewport(), Qt::LeftButton, {}, where);
        QVERIFY(countsGrid(window)->selectionModel()->isRowSelected(4));
        QTest::mouseRelease(countsGrid(window)->viewport(), Qt::LeftButton, {}, where);
        QVERIFY(!countsGrid(window)->selectionModel()->hasSelection());
        QVERIFY(countsGrid(window)->selectedItems().isEmpty());
        QVERIFY(!countsGrid(window)->hasFocus());
        QVERIFY(!countsGrid(window)->currentIndex().isValid());
    }

    void aboutShowsTheFileLineByLine() {
        Folder f;
        f.writeText("About", "Привет, Ёжик!\r\nвторая строка\nтретья\rчетвёртая\r\n\r\nконец\r\n");
        AboutWindow window(f.context);
        QCOMPARE(window.windowTitle(), QStringLiteral("About"));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(letter(window)->isReadOnly());
        QCOMPARE(memoLines(letter(window)), QStringList({"Привет, Ёжик!", "вторая строка", "третья",
                                                         "четвёртая", "", "конец"}));
        QCOMPARE(MessageBox::takeShown(), QStringList());

        f.writeText("About", "Новый текст\r\nKelvarn 4.0.5");
        AboutWindow second(f.context);
        QCOMPARE(memoLines(test::child<QPlainTextEdit>(second, "letter")),
                 QStringList({"Новый текст", "Kelvarn 4.0.5"}));
        QCOMPARE(memoLines(letter(window)).first(), QStringLiteral("Привет, Ёжик!"));
    }

    void aboutWithoutItsFileKeepsTheLetter() {
        Folder f;
        AboutWindow window(f.context);
        QCOMPARE(MessageBox::takeShown(), QStringList("Error: File not found: " + f.path("About")));
        QStringList lines = memoLines(letter(window));
        QVERIFY(lines.size() > 10);
        QCOMPARE(lines.first(), QStringLiteral("Здравствуйте, дорогой пользователь!"));
        QCOMPARE(lines.last(), QStringLiteral("Kelvarn 4.0"));
    }

    void aboutCentresItsLines() {
        Folder f;
        f.writeText("About", "ШШШ");
        AboutWindow window(f.context);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QImage shot = letter(window)->viewport()->grab().toImage();
        int first = shot.width();
        int last = -1;
        for (int y = 0; y < shot.height() / 4; ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (qGray(shot.pixel(x, y)) > 128) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        QVERIFY2(last >= 0, "no white text on the memo");
        QVERIFY(first > shot.width() / 4);
        QVERIFY(qAbs((first + last) / 2 - shot.width() / 2) < 12);
    }

    void helpShowsItsFileOrNothing() {
        Folder f;
        {
            HelpWindow window(f.context);
            QCOMPARE(MessageBox::takeShown(),
                     QStringList("Error: File not found: " + f.path("Help")));
            QCOMPARE(helpText(window)->toPlainText(), QString());
        }
        f.writeText("Help", "Помощь\r\n\r\n1. Каталог\r\n");
        HelpWindow window(f.context);
        QCOMPARE(window.windowTitle(), QStringLiteral("Помощь"));
        QCOMPARE(memoLines(helpText(window)), QStringList({"Помощь", "", "1. Каталог"}));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(helpText(window)->verticalScrollBar()->isVisible());
        QCOMPARE(MessageBox::takeShown(), QStringList());
    }

    void dialogsComeUpAboveTheHelpWindowWhichStaysOnTop() {
        Folder f;
        f.writeText("Help", "Помощь\r\n");
        HelpWindow help(f.context);
        help.show();
        MessageBox::setScripted(false);
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
        MessageBox::setScripted(true);
        QCOMPARE(above, (QList<bool>{true, true}));
    }

    void aMissingDataFolderIsAskedAboutOnceAndLaidOutOnlyWhenChosen() {
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
        MessageBox::setNextAnswer(QMessageBox::Ok);
    }

    void theHelpTextsColumnsLineUp() {
        Folder f;
        QVERIFY(QFile::copy(KELVARN_SOURCE_DIR "/resources/Help", f.path("Help")));
        HelpWindow window(f.context);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit* help = helpText(window);
        QVERIFY(QFontInfo(help->font()).fixedPitch());
        // Unwrapped too: a wrapped line breaks its columns.
        const double room = help->viewport()->width() - 2 * help->document()->documentMargin();
        for (const QString& line : memoLines(help)) {
            QVERIFY2(help->fontMetrics().horizontalAdvance(line) <= room, qPrintable(line));
        }
    }

    void creditsShowBothContributors() {
        Folder f;
        CreditsWindow window(f.context);
        auto* firstPicture = test::child<QLabel>(window, "firstPicture");
        auto* secondPicture = test::child<QLabel>(window, "secondPicture");
        auto* firstCredits = test::child<QPlainTextEdit>(window, "firstCredits");
        auto* secondCredits = test::child<QPlainTextEdit>(window, "secondCredits");
        auto* upperStrip = test::child<QFrame>(window, "upperStrip");
        auto* lowerStrip = test::child<QFrame>(window, "lowerStrip");
        QCOMPARE(window.windowTitle(), QStringLiteral("Разработчики"));
        QCOMPARE(firstPicture->pixmap().toImage(), QPixmap(":/credits/first.jpg").toImage());
        QCOMPARE(secondPicture->pixmap().toImage(), QPixmap(":/credits/second.jpg").toImage());
        QVERIFY(firstCredits->toPlainText().contains("Kelvarn team"));
        QVERIFY(secondCredits->toPlainText().contains("@example.org"));
        QVERIFY(firstCredits->isReadOnly());
        QVERIFY(secondCredits->isReadOnly());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(firstPicture->geometry(), QRect(0, 0, 250, 250));
        QVERIFY(firstCredits->x() >= firstPicture->geometry().right());
        QCOMPARE(upperStrip->size(), QSize(481, 18));
        QCOMPARE(lowerStrip->size(), QSize(481, 18));
        QVERIFY(upperStrip->y() >= firstPicture->geometry().bottom());
        QVERIFY(lowerStrip->y() > upperStrip->y());
        QVERIFY(secondPicture->y() >= lowerStrip->geometry().bottom());
        QCOMPARE(secondPicture->x(), 0);
        QCOMPARE(secondCredits->y(), secondPicture->y());
        QVERIFY(secondCredits->x() >= secondPicture->geometry().right());
        QVERIFY(window.rect().contains(secondCredits->geometry()));
    }

    void creditsStripsFollowTheTickRule() {
        Folder f;
        CreditsWindow window(f.context);
        window.setRandomSeed(20240611);
        StripRule rule(20240611);
        int emptyLeft = 0;
        int emptyRight = 0;
        for (int tick = 0; tick < 2000; ++tick) {
            window.moveMeters();
            auto [left, right] = rule.tick();
            QCOMPARE(upperMeter(window)->width(), std::max(left, 0));
            QCOMPARE(lowerMeter(window)->width(), std::max(right, 0));
            QVERIFY(upperMeter(window)->width() <= 480);
            QVERIFY(lowerMeter(window)->width() <= upperMeter(window)->width());
            emptyLeft += left <= 0 ? 1 : 0;
            emptyRight += right <= 0 ? 1 : 0;
        }
        // The seed must reach the empty bars too, or the rule's edge goes unchecked.
        QVERIFY(emptyLeft > 0);
        QVERIFY(emptyRight > emptyLeft);
    }

    void creditsStripsShowTheLeftOfTheMeterUnscaled() {
        Folder f;
        CreditsWindow window(f.context);
        QImage meter(481, 9, QImage::Format_RGB32);
        for (int x = 0; x < meter.width(); ++x) {
            for (int y = 0; y < meter.height(); ++y) {
                meter.setPixel(x, y, qRgb(x % 256, (x * 7) % 256, x / 2));
            }
        }
        upperMeter(window)->setPixmap(QPixmap::fromImage(meter));
        window.setRandomSeed(5);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        do {
            window.moveMeters();
        } while (upperMeter(window)->width() < 100);
        QImage shown = upperMeter(window)->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.width(), upperMeter(window)->width());
        for (int x = 0; x < shown.width(); ++x) {
            QCOMPARE(shown.pixel(x, 4), meter.pixel(x, 4));
        }
    }

    void creditsTimerRunsOnlyWhileOpen() {
        Folder f;
        CreditsWindow window(f.context);
        QVERIFY(!meterTimer(window)->isActive());
        QCOMPARE(meterTimer(window)->interval(), 100);
        QTest::qWait(250);
        QCOMPARE(upperMeter(window)->width(), 481);

        window.open(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(meterTimer(window)->isActive());
        QTRY_VERIFY(upperMeter(window)->width() <= 480);

        QVERIFY(window.close());
        QVERIFY(!meterTimer(window)->isActive());
        QSize left = upperMeter(window)->size();
        QSize right = lowerMeter(window)->size();
        QTest::qWait(350);
        QCOMPARE(upperMeter(window)->size(), left);
        QCOMPARE(lowerMeter(window)->size(), right);
    }
};

QTEST_MAIN(TestInfoWindows)
#include "test_info_windows.moc"
