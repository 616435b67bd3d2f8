// SPDX-License-Identifier: GPL-3.0-or-later
// The author list window among all the others, driven through its controls.
#include <QCheckBox>
#include <QFile>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QtTest>

#include "core/catalogue/mix_record.h"
#include "core/storage/cp1251.h"
#include "gui/common/message_box.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"
#include "gui/window_set.h"
#include "tests/support/gui_test_support.h"

using namespace kelvarn;

namespace {

std::string cp(const char* utf8) {
    return *utf8ToCp1251(utf8);
}

QStringList texts(const QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row) {
        items << list->item(row)->text();
    }
    return items;
}

QListWidgetItem* itemNamed(const QListWidget* list, const QString& text) {
    QList<QListWidgetItem*> found =
        list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    return found.isEmpty() ? nullptr : found.first();
}

bool isEnabled(const QListWidgetItem* item) {
    return item->flags().testFlag(Qt::ItemIsEnabled);
}

// A click on the item's tick box, as the user makes it.
void clickTickBox(QListWidget* list, QListWidgetItem* item) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(item);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    QRect box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

// The brightest grey of the item's text, right of its tick box.
int brightestText(QListWidget* list, QListWidgetItem* item) {
    QImage shot = list->viewport()->grab().toImage();
    QRect text = list->visualItemRect(item).adjusted(24, 0, 0, 0);
    int brightest = 0;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        for (int x = text.left(); x <= text.right(); ++x) {
            brightest = std::max(brightest, qGray(shot.pixel(x, y)));
        }
    }
    return brightest;
}

// The grey spread inside `box`: how much stands out there at all.
int spread(const QImage& shot, const QRect& box) {
    int low = 255;
    int high = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            low = std::min(low, qGray(shot.pixel(x, y)));
            high = std::max(high, qGray(shot.pixel(x, y)));
        }
    }
    return high - low;
}

// The greatest grey change inside `box` from one shot to the other.
int change(const QImage& before, const QImage& after, const QRect& box) {
    int most = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            most = std::max(most, std::abs(qGray(before.pixel(x, y)) - qGray(after.pixel(x, y))));
        }
    }
    return most;
}

// An empty tick box stands out from its background, and a tick stands out in its box; `box` is
// in the coordinates of `area`, seen as part of its window.
void verifyTickBoxShowsBothStates(QWidget* area, QRect box, const std::function<void(bool)>& tick,
                                  const QString& what) {
    QWidget* window = area->window();
    box.translate(area->mapTo(window, QPoint(0, 0)));
    tick(false);
    QImage empty = window->grab().toImage();
    tick(true);
    QImage ticked = window->grab().toImage();
    QVERIFY2(spread(empty, box) >= 96, qPrintable(what + ": the empty box does not show"));
    QVERIFY2(change(empty, ticked, box) >= 96, qPrintable(what + ": the tick does not show"));
}

}  // namespace

class TestAuthorWindow : public QObject, test::WindowsFixture {
    Q_OBJECT

    void write(const QString& name, const std::string& bytes) const {
        test::writeBytes(path(name), bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(this->file(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    void writeAuthors(const std::vector<std::string>& authors) const {
        std::vector<MixRecord> records;
        int id = 100000;
        for (const std::string& author : authors) {
            MixRecord r;
            r.Id = std::to_string(id++);
            r.Author = author;
            r.Title = r.Id;
            records.push_back(r);
        }
        test::writeCatalogue(path("Base.vlt"), records);
    }

    // Creates every window on the folder as it stands; the boxes shown so far are dropped.
    void start() {
        createWindows(context_, windows_);
        MessageBox::takeShown();
    }
    AuthorListWindow& window() { return *windows_.authorListWindow; }
    QLineEdit* importField() {
        return test::child<QLineEdit>(*windows_.importWindow, "chosenNames");
    }
    QListWidget* baseNames() { return test::child<QListWidget>(window(), "baseNames"); }
    QListWidget* chosenList() { return test::child<QListWidget>(window(), "chosenList"); }
    QPushButton* button(const char* name) { return test::child<QPushButton>(window(), name); }
    QLineEdit* box(const char* name) { return test::child<QLineEdit>(window(), name); }
    QLabel* caption(const char* name) { return test::child<QLabel>(window(), name); }
    void showWindow() {
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
    }

private slots:
    void initTestCase() { MessageBox::setScripted(true); }

    void init() {
        layOutFolder();
        context_.today = [] { return 45000.0; };
        MessageBox::takeShown();
    }

    void cleanup() { destroyWindows(windows_); }

    void startUpShowsTheSavedNamesSortedHereAndInTheImportWindow() {
        write("AvtLst.lst", cp("b\r\nВася\r\na\r\n"));
        createWindows(context_, windows_);
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QCOMPARE(texts(chosenList()), QStringList({"a", "b", "Вася"}));
        QCOMPARE(importField()->text(), QStringLiteral("a;b;Вася;"));
        QCOMPARE(window().chosenNames(), (std::vector<std::string>{"a", "b", cp("Вася")}));
        QCOMPARE(baseNames()->count(), 0);
        for (int row = 0; row < 3; ++row) {
            QListWidgetItem* item = chosenList()->item(row);
            QVERIFY(item->flags().testFlag(Qt::ItemIsUserCheckable));
            QCOMPARE(item->checkState(), Qt::Unchecked);
        }
    }

    void itsLookAndControls() {
        write("AvtLst.lst", "");
        start();
        AuthorListWindow& w = window();
        QCOMPARE(w.windowTitle(), QStringLiteral("Редактирование списка авторов"));
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(caption("baseCaption")->text(),
                 QStringLiteral("Список имен авторов имеющихся в базе:"));
        QCOMPARE(caption("chosenCaption")->text(), QStringLiteral("Список выбранных имен:"));
        QCOMPARE(caption("findCaption")->text(), QStringLiteral("Найти>>>"));
        QCOMPARE(button("addButton")->text(), QStringLiteral(">>"));
        QCOMPARE(button("addButton")->toolTip(), QStringLiteral("Перенести выбранное в список"));
        QCOMPARE(button("refreshButton")->text(), QStringLiteral("Обновить"));
        QCOMPARE(button("refreshButton")->toolTip(),
                 QStringLiteral("Обновить список имен имющихся в базе"));
        QCOMPARE(button("addNameButton")->text(), QStringLiteral("Добавить"));
        QCOMPARE(button("addNameButton")->toolTip(), QStringLiteral("Добавить введеное имя "));
        QCOMPARE(button("deleteButton")->text(), QStringLiteral("Удалить"));
        QCOMPARE(button("deleteButton")->toolTip(), QStringLiteral("Удалить выбранные имена"));
        for (QLabel* label :
             {caption("baseCaption"), caption("chosenCaption"), caption("findCaption")}) {
            QVERIFY(label->styleSheet().contains("lime"));
            QVERIFY(label->styleSheet().contains("bold"));
        }

        showWindow();
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(w.rect().contains(button("deleteButton")->geometry()));
        QVERIFY(caption("baseCaption")->geometry().bottom() <= baseNames()->y());
        QVERIFY(baseNames()->geometry().right() < button("addButton")->x());
        QVERIFY(button("addButton")->geometry().right() < chosenList()->x());
        QVERIFY(caption("chosenCaption")->geometry().bottom() <= chosenList()->y());
        QVERIFY(baseNames()->geometry().bottom() < box("findBox")->y());
        QVERIFY(chosenList()->geometry().bottom() < box("nameBox")->y());
        QVERIFY(caption("findCaption")->geometry().right() < box("findBox")->x());
    }

    void everyTickBoxShowsBothStatesOnItsBackground() {
        writeAuthors({"Bob"});
        write("AvtLst.lst", "Amy\r\n");
        start();
        showWindow();
        button("refreshButton")->click();
        ImportWindow& import = *windows_.importWindow;
        import.show();
        QVERIFY(QTest::qWaitForWindowExposed(&import));
        for (const char* name : {"byStyle", "byAuthor", "addToQueue"}) {
            auto* box = test::child<QCheckBox>(import, name);
            QStyleOptionButton option;
            option.initFrom(box);
            verifyTickBoxShowsBothStates(
                box, box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box),
                [box](bool on) { box->setChecked(on); }, box->text());
        }
        for (QListWidget* list :
             {test::child<QListWidget>(import, "styleList"), baseNames(), chosenList()}) {
            QListWidgetItem* item = list->item(0);
            QStyleOptionViewItem option;
            option.initFrom(list);
            option.rect = list->visualItemRect(item);
            option.features |= QStyleOptionViewItem::HasCheckIndicator;
            verifyTickBoxShowsBothStates(
                list->viewport(),
                list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list),
                [item](bool on) { item->setCheckState(on ? Qt::Checked : Qt::Unchecked); },
                item->text());
        }
    }

    void withoutTheSavedFileTheErrorIsShownAndTheImportFieldStaysEmpty() {
        QVERIFY(QFile::remove(file("AvtLst.lst")));
        createWindows(context_, windows_);
        QCOMPARE(MessageBox::takeShown(),
                 QStringList("Error: File not found: " + file("AvtLst.lst")));
        QCOMPARE(chosenList()->count(), 0);
        QCOMPARE(importField()->text(), QString());
    }

    void refreshTicksAndDisablesNamesChosenInAnotherCase() {
        writeAuthors({"Bob", cp("Вася"), "zed", "ZED", cp("ВАСЯ")});
        write("AvtLst.lst", "BOB\r\n");
        start();
        showWindow();
        button("refreshButton")->click();
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QListWidget* base = baseNames();
        QCOMPARE(texts(base), QStringList({"Bob", "ZED", "ВАСЯ"}));
        QCOMPARE(base->item(0)->checkState(), Qt::Checked);
        QVERIFY(!isEnabled(base->item(0)));
        for (int row : {1, 2}) {
            QCOMPARE(base->item(row)->checkState(), Qt::Unchecked);
            QVERIFY(isEnabled(base->item(row)));
        }

        // The user can tick an enabled name but not untick a disabled one.
        clickTickBox(base, base->item(1));
        QCOMPARE(base->item(1)->checkState(), Qt::Checked);
        clickTickBox(base, base->item(0));
        QCOMPARE(base->item(0)->checkState(), Qt::Checked);
        // Enabled names are white on black, the disabled one greyed.
        QCOMPARE(brightestText(base, base->item(1)), 255);
        int greyed = brightestText(base, base->item(0));
        QVERIFY2(greyed > 64 && greyed < 224, qPrintable(QString::number(greyed)));

        // Refreshing again starts from the catalogue: the user's tick is gone.
        button("refreshButton")->click();
        QCOMPARE(texts(base), QStringList({"Bob", "ZED", "ВАСЯ"}));
        QCOMPARE(base->item(1)->checkState(), Qt::Unchecked);
        QVERIFY(!isEnabled(base->item(0)));
    }

    void refreshWithoutTheCatalogueShowsTheErrorAndAnEmptyList() {
        writeAuthors({"Bob"});
        write("AvtLst.lst", "");
        start();
        button("refreshButton")->click();
        QCOMPARE(baseNames()->count(), 1);
        QVERIFY(QFile::remove(file("Base.vlt")));
        button("refreshButton")->click();
        QCOMPARE(MessageBox::takeShown(),
                 QStringList("Error: File not found: " + file("Base.vlt")));
        QCOMPARE(baseNames()->count(), 0);
    }

    void addMovesTickedEnabledNamesOnceAndDisablesThem() {
        writeAuthors({"Bob", "amy", cp("Вася"), "Zed"});
        write("AvtLst.lst", "bob\r\n");
        start();
        QSignalSpy changed(&window(), &AuthorListWindow::chosenNamesChanged);
        button("refreshButton")->click();
        QListWidget* base = baseNames();
        QCOMPARE(texts(base), QStringList({"amy", "Bob", "Zed", "Вася"}));
        itemNamed(base, "Вася")->setCheckState(Qt::Checked);
        itemNamed(base, "amy")->setCheckState(Qt::Checked);
        button("addButton")->click();
        QCOMPARE(texts(chosenList()), QStringList({"amy", "bob", "Вася"}));
        QCOMPARE(window().chosenNames(), (std::vector<std::string>{"amy", "bob", cp("Вася")}));
        QCOMPARE(changed.count(), 1);
        for (const char* name : {"amy", "Bob", "Вася"}) {
            QListWidgetItem* item = itemNamed(base, QString::fromUtf8(name));
            QCOMPARE(item->checkState(), Qt::Checked);
            QVERIFY2(!isEnabled(item), name);
        }
        QVERIFY(isEnabled(itemNamed(base, "Zed")));

        button("addButton")->click();
        QCOMPARE(texts(chosenList()), QStringList({"amy", "bob", "Вася"}));
        QCOMPARE(changed.count(), 1);
        // The import field is rewritten when the window closes, not on every change.
        QCOMPARE(importField()->text(), QStringLiteral("bob;"));
    }

    void manualAddRefusesOnlyAnExactDuplicate() {
        write("AvtLst.lst", cp("Bob\r\nВася\r\n"));
        start();
        QSignalSpy changed(&window(), &AuthorListWindow::chosenNamesChanged);
        box("nameBox")->setText("Bob");
        button("addNameButton")->click();
        QCOMPARE(MessageBox::takeShown(),
                 QStringList({"beep", "Kelvarn: Автор \"Bob\" уже есть в списке!!!"}));
        QCOMPARE(texts(chosenList()), QStringList({"Bob", "Вася"}));
        QCOMPARE(changed.count(), 0);

        box("nameBox")->setText("BOB");
        button("addNameButton")->click();
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QCOMPARE(texts(chosenList()), QStringList({"BOB", "Bob", "Вася"}));
        QCOMPARE(box("nameBox")->text(), QStringLiteral("BOB"));
        QCOMPARE(changed.count(), 1);
    }

    void anEmptyBoxAddsAnEmptyNameSavedAsAnEmptyLine() {
        write("AvtLst.lst", "x\r\n");
        start();
        button("addNameButton")->click();
        QCOMPARE(texts(chosenList()), QStringList({"", "x"}));
        button("addNameButton")->click();
        QCOMPARE(MessageBox::takeShown(),
                 QStringList({"beep", "Kelvarn: Автор \"\" уже есть в списке!!!"}));
        QVERIFY(window().close());
        QCOMPARE(read("AvtLst.lst"), QByteArray("\r\nx\r\n"));
        QCOMPARE(importField()->text(), QStringLiteral(";x;"));
    }

    void deleteRemovesTheTickedNamesOnly() {
        writeAuthors({"a", "b"});
        write("AvtLst.lst", "a\r\nb\r\nc\r\n");
        start();
        button("refreshButton")->click();
        QSignalSpy changed(&window(), &AuthorListWindow::chosenNamesChanged);
        button("deleteButton")->click();
        QCOMPARE(texts(chosenList()), QStringList({"a", "b", "c"}));
        QCOMPARE(changed.count(), 0);

        chosenList()->item(0)->setCheckState(Qt::Checked);
        chosenList()->item(2)->setCheckState(Qt::Checked);
        button("deleteButton")->click();
        QCOMPARE(texts(chosenList()), QStringList({"b"}));
        QCOMPARE(window().chosenNames(), std::vector<std::string>{"b"});
        QCOMPARE(changed.count(), 1);
        // The base name stays disabled until the next refresh.
        QVERIFY(!isEnabled(itemNamed(baseNames(), "a")));
        button("refreshButton")->click();
        QVERIFY(isEnabled(itemNamed(baseNames(), "a")));
        QVERIFY(!isEnabled(itemNamed(baseNames(), "b")));
    }

    void closingWithNoNamesWritesAnEmptyFileAndSaysTheListIsEmpty() {
        write("AvtLst.lst", "a\r\n");
        start();
        showWindow();
        chosenList()->item(0)->setCheckState(Qt::Checked);
        button("deleteButton")->click();
        QVERIFY(window().close());
        QVERIFY(!window().isVisible());
        QCOMPARE(read("AvtLst.lst"), QByteArray());
        QCOMPARE(importField()->text(), QStringLiteral("Список пуст!"));
        QCOMPARE(MessageBox::takeShown(), QStringList());
    }

    void aFailedSaveKeepsTheWindowOpen() {
        write("AvtLst.lst", "a\r\nb\r\n");
        start();
        showWindow();
        QVERIFY(QFile::remove(file("AvtLst.lst")));
        QVERIFY(QDir(dir_.path()).mkdir("AvtLst.lst"));
        QVERIFY(!window().close());
        QVERIFY(window().isVisible());
        QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Error: ") && shown[0].endsWith(file("AvtLst.lst")),
                 qPrintable(shown[0]));
        QCOMPARE(importField()->text(), QString());

        QVERIFY(QDir(dir_.path()).rmdir("AvtLst.lst"));
        QVERIFY(window().close());
        QCOMPARE(read("AvtLst.lst"), QByteArray("a\r\nb\r\n"));
        QCOMPARE(importField()->text(), QStringLiteral("a;b;"));
    }

    void typingSelectsTheFirstNameThatBeginsWithItInAnyCase() {
        writeAuthors({"Alpha", "beta", "Betamax", cp("Вася"), cp("Ваня")});
        write("AvtLst.lst", cp("Zoe\r\nzed\r\nЮля\r\n"));
        start();
        showWindow();
        button("refreshButton")->click();
        QListWidget* base = baseNames();
        QTest::keyClicks(box("findBox"), "BETA");
        QCOMPARE(base->currentItem()->text(), QStringLiteral("beta"));
        QVERIFY(base->currentItem()->isSelected());
        QTest::keyClicks(box("findBox"), "M");
        QCOMPARE(base->currentItem()->text(), QStringLiteral("Betamax"));
        QTest::keyClicks(box("findBox"), "x");
        QCOMPARE(base->currentItem()->text(), QStringLiteral("Betamax"));
        box("findBox")->setText("ва");
        QCOMPARE(base->currentItem()->text(), QStringLiteral("Ваня"));

        // A click on a name puts it in the search box, which selects it.
        QListWidgetItem* alpha = base->item(0);
        QTest::mouseClick(base->viewport(), Qt::LeftButton, {},
                          base->visualItemRect(alpha).center());
        QCOMPARE(box("findBox")->text(), QStringLiteral("Alpha"));
        QCOMPARE(base->currentItem(), alpha);

        QListWidget* chosen = chosenList();
        QCOMPARE(texts(chosen), QStringList({"zed", "Zoe", "Юля"}));
        QTest::keyClicks(box("nameBox"), "ZO");
        QCOMPARE(chosen->currentItem()->text(), QStringLiteral("Zoe"));
        box("nameBox")->setText("ю");
        QCOMPARE(chosen->currentItem()->text(), QStringLiteral("Юля"));
        box("nameBox")->setText("nobody");
        QCOMPARE(chosen->currentItem()->text(), QStringLiteral("Юля"));
    }
};

QTEST_MAIN(TestAuthorWindow)
#include "test_author_window.moc"
