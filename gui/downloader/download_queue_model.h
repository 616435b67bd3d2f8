// SPDX-License-Identifier: GPL-3.0-or-later
// The download window's queue grid: the window's rows as a table model.
#pragma once

#include <QAbstractTableModel>

#include <algorithm>

#include "core/downloader/download_rows.h"
#include "gui/common/window_util.h"

namespace kelvarn {

// The queue grid over the window's rows; an empty queue shows one empty row.
class DownloadQueueModel : public QAbstractTableModel {
public:
    DownloadQueueModel(const DownloadRows& rows, QObject* parent)
        : QAbstractTableModel(parent), rows_(rows) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(rows_.size()));
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 5;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        auto row = static_cast<std::size_t>(index.row());
        if (row >= rows_.size()) {
            return {};
        }
        if (role == Qt::ToolTipRole && index.column() == 4) {
            return toolTip(rows_.status(row));
        }
        if (role != Qt::DisplayRole) {
            return {};
        }
        const QueueEntry entry = rows_.entry(row).entry;
        switch (index.column()) {
            case 0:
                return QString::number(entry.RecordNumber);
            case 1:
                return fromCp1251(entry.Id);
            case 2:
                return fromCp1251(entry.Track);
            case 3:
                return QString::number(entry.Size);
            default:
                return fromCp1251(statusText(rows_.status(row)));
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
            section >= 5) {
            return {};
        }
        return fromCp1251(QueueGridHeaders()[static_cast<std::size_t>(section)]);
    }

    void reset() {
        beginResetModel();
        endResetModel();
    }
    void statusChanged(int row) { emit dataChanged(index(row, 4), index(row, 4)); }

private:
    // Over the status: why the row failed, or whose the row is now.
    static QVariant toolTip(const DownloadState& state) {
        switch (state.kind()) {
            case DownloadState::Kind::Busy:
                return QStringLiteral("Этот микс сейчас качает другая закачка");
            case DownloadState::Kind::TakenOff:
                return QStringLiteral("Другая закачка уже сняла этот микс с очереди");
            default:
                return plainToolTip(QString::fromStdString(state.reason()));
        }
    }

    const DownloadRows& rows_;
};

}  // namespace kelvarn
