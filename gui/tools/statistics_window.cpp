// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/tools/statistics_window.h"

#include <QHeaderView>

#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/tools/statistics.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

constexpr int kRowHeight = 16;

}  // namespace

StatisticsWindow::StatisticsWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), context_(context) {
    countsGrid_ = named(new QTableWidget(kStatisticsRows - 1, 2, this), "countsGrid");
    countsGrid_->setFixedSize(249, 345);
    countsGrid_->setLayoutDirection(Qt::RightToLeft);
    countsGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    countsGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Without focus the grid never takes a current cell, so no cell shows a focus frame.
    countsGrid_->setFocusPolicy(Qt::NoFocus);
    setTextColours(countsGrid_, Qt::black, QColor(192, 220, 192));
    countsGrid_->verticalHeader()->hide();
    countsGrid_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    countsGrid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    countsGrid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    countsGrid_->horizontalHeader()->setFixedHeight(kRowHeight);
    countsGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    countsGrid_->horizontalHeader()->setHighlightSections(false);
    countsGrid_->setColumnWidth(0, 191);
    countsGrid_->setColumnWidth(1, 50);
    for (int r = 0; r < countsGrid_->rowCount(); ++r) {
        for (int c = 0; c < 2; ++c) {
            countsGrid_->setItem(r, c, new QTableWidgetItem);
        }
    }
    connect(countsGrid_, &QTableWidget::cellClicked, this, &StatisticsWindow::unmark);
    setUpSingleViewWindow(this, QStringLiteral("Информация о базах"), false, countsGrid_);

    countsGrid_->setHorizontalHeaderLabels(
        {fromCp1251(StatisticsHeaders()[0]), fromCp1251(StatisticsHeaders()[1])});
    unmark();
}

void StatisticsWindow::open(QWidget* owner) {
    SecondaryWindow::open(owner);
    showCounts();
}

void StatisticsWindow::showCounts() {
    StatisticsGrid rows;
    try {
        rows = statisticsGrid(countStatistics(CatalogueFile(context_.file(kCatalogueFileName))));
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    for (int r = 1; r < kStatisticsRows; ++r) {
        if (r == kStatisticsBlankRow) {
            continue;
        }
        for (int c = 0; c < 2; ++c) {
            countsGrid_->item(r - 1, c)->setText(
                fromCp1251(rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
        }
    }
}

void StatisticsWindow::unmark() {
    countsGrid_->selectionModel()->clear();
}

}  // namespace kelvarn
