#include "gui/tools/statistics_window.h"

#include <QHBoxLayout>
#include <QHeaderView>

#include "core/storage/io_error.h"
#include "core/tools/statistics.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

constexpr int kRowHeight = 16;

}  // namespace

StatisticsWindow::StatisticsWindow(const AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setUpSecondaryWindow(this, QStringLiteral("Информация о базах"), true, 255);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Info_table = new QTableWidget(kStatisticsRows - 1, 2, this);
    Info_table->setFixedSize(249, 345);
    Info_table->setLayoutDirection(Qt::RightToLeft);
    Info_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Info_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Without focus the grid never takes a current cell, so no cell shows a focus frame.
    Info_table->setFocusPolicy(Qt::NoFocus);
    QPalette grid = Info_table->palette();
    grid.setColor(QPalette::Base, Qt::black);
    grid.setColor(QPalette::Text, QColor(192, 220, 192));
    Info_table->setPalette(grid);
    Info_table->verticalHeader()->hide();
    Info_table->verticalHeader()->setMinimumSectionSize(kRowHeight);
    Info_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Info_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Info_table->horizontalHeader()->setFixedHeight(kRowHeight);
    Info_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Info_table->horizontalHeader()->setHighlightSections(false);
    Info_table->setColumnWidth(0, 191);
    Info_table->setColumnWidth(1, 50);
    for (int r = 0; r < Info_table->rowCount(); ++r) {
        for (int c = 0; c < 2; ++c) {
            Info_table->setItem(r, c, new QTableWidgetItem);
        }
    }
    connect(Info_table, &QTableWidget::cellClicked, this, &StatisticsWindow::Info_tableClick);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Info_table);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void StatisticsWindow::FormCreate() {
    Info_table->setHorizontalHeaderLabels(
        {fromCp1251(StatisticsHeaders()[0]), fromCp1251(StatisticsHeaders()[1])});
    GridClean();
}

void StatisticsWindow::ReadInfo() {
    StatisticsGrid rows;
    try {
        rows = statisticsGrid(countStatistics(CatalogueFile(context_.file("Base.vlt"))));
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    for (int r = 1; r < kStatisticsRows; ++r) {
        if (r == kStatisticsBlankRow) {
            continue;
        }
        for (int c = 0; c < 2; ++c) {
            Info_table->item(r - 1, c)->setText(fromCp1251(rows[r][c]));
        }
    }
}

void StatisticsWindow::GridClean() {
    Info_table->selectionModel()->clear();
}

void StatisticsWindow::Info_tableClick() {
    GridClean();
}

}  // namespace kelvarn
