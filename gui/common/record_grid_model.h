// SPDX-License-Identifier: GPL-3.0-or-later
// A table model over one of the core's record grids: row 0 of the grid is the header, the other
// rows are the model's rows. Texts are converted from Windows-1251 as they are shown.
#pragma once

#include <QAbstractTableModel>

#include "core/catalogue/record_grid.h"

namespace kelvarn {

class RecordGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    RecordGridModel(const RecordGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The grid row shown at a model row, and back.
    static int gridRow(int modelRow) { return modelRow + 1; }

    // Call after the grid has changed behind the model.
    void gridChanged();

private:
    const RecordGrid& grid_;
};

}  // namespace kelvarn
