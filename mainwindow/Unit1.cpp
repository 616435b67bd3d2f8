#include "mainwindow/Unit1.h"

#include <QHeaderView>

namespace kelvarn {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Kelvarn v4.0.5 for Zentrova"));
    setFixedSize(944, 689);
    setStyleSheet(QStringLiteral("QMainWindow { background: black; }"));
    auto* central = new QWidget(this);
    setCentralWidget(central);

    Table = makeGrid(views_.Table, {26, 53, 137, 146, 134, 102, 49, 72, 65, 51, 48});
    Recucled = makeGrid(views_.Recucled, {26, 59, 117, 117, 113, 122, 97, 64, 103, 55, 48});
    Favorit = makeGrid(views_.Favorit, {25, 59, 118, 118, 112, 122, 97, 64, 103, 55, 48});
    Swap = makeGrid(views_.Swap, {});
    for (QTableView* grid : {Table, Recucled, Favorit, Swap}) {
        grid->setParent(central);
        grid->setGeometry(200, 24, 733, 593);
    }
    Recucled->hide();
    Favorit->hide();
    Swap->hide();
}

QTableView* TForm1::makeGrid(const RecordGrid& grid, const QList<int>& widths) {
    auto* view = new QTableView;
    view->setModel(new RecordGridModel(grid, view));
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(16);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setStyleSheet(QStringLiteral("QTableView { background: black; color: white; }"));
    for (int c = 0; c < widths.size(); ++c) {
        view->setColumnWidth(c, widths[c]);
    }
    return view;
}

}  // namespace kelvarn
