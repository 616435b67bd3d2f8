// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/record_grid_model.h"

#include "gui/common/window_util.h"

namespace kelvarn {

RecordGridModel::RecordGridModel(const RecordGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {}

int RecordGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.rowCount() - 1;
}

int RecordGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumns;
}

QVariant RecordGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    return fromCp1251(grid_.cell(index.column(), gridRow(index.row())));
}

QVariant RecordGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return fromCp1251(grid_.cell(section, 0));
}

void RecordGridModel::gridChanged() {
    beginResetModel();
    endResetModel();
}

}  // namespace kelvarn
