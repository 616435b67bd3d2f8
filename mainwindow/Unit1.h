// The main window: the catalogue's views side by side in one place, one shown at a time.
#pragma once

#include <QMainWindow>
#include <QTableView>

#include "catalogue/catalogue_views.h"
#include "mainwindow/record_grid_model.h"

namespace kelvarn {

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    CatalogueViews& views() { return views_; }

    QTableView* Table;
    QTableView* Favorit;
    QTableView* Recucled;
    QTableView* Swap;

private:
    QTableView* makeGrid(const RecordGrid& grid, const QList<int>& widths);

    CatalogueViews views_;
};

}  // namespace kelvarn
