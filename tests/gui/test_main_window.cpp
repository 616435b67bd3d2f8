#include <QHeaderView>
#include <QTableView>
#include <QtTest>

#include "mainwindow/Unit1.h"

using kelvarn::TForm1;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheRecordGridsHeaders() {
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Kelvarn v4.0.5 for Zentrova"));
        const QStringList expected = {"№",      "ID микса", "Автор", "Название", "E-Mail", "Стиль",
                                      "Размер", "Дата",     "Время", "Оценка",   "Файл"};
        for (QTableView* grid : {window.Table, window.Favorit, window.Recucled}) {
            QStringList headers;
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                headers << grid->model()->headerData(c, Qt::Horizontal).toString();
            }
            QCOMPARE(headers, expected);
            QCOMPARE(grid->model()->rowCount(), 1);  // the placeholder row
        }
        QVERIFY(window.Table->isVisible());
        QVERIFY(!window.Favorit->isVisible());
        QVERIFY(!window.Swap->isVisible());
        QCOMPARE(window.Table->columnWidth(2), 137);
        QVERIFY(window.close());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
