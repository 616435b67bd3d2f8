#include "mainwindow/record_grid_model.h"

#include <array>

#include "catalogue/cp1251.h"

namespace kelvarn {

QString fromCp1251(std::string_view bytes) {
    static const std::array<QChar, 256> table = [] {
        std::array<QChar, 256> t{};
        for (int b = 0; b < 256; ++b) {
            t[b] = QChar(static_cast<char16_t>(cp1251ToUnicode(static_cast<unsigned char>(b))));
        }
        return t;
    }();
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        *out++ = table[static_cast<unsigned char>(c)];
    }
    return text;
}

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
