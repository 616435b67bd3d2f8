// SPDX-License-Identifier: GPL-3.0-or-later
// "Информация о базах": the catalogue's counts by style and by download state, as of the last
// opening; an open window is not kept up to date.
#pragma once

#include <QTableWidget>

#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class StatisticsWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit StatisticsWindow(const AppContext& context, QWidget* parent = nullptr);

    // Shows the window, then counts the catalogue; on a file error the previous counts stay.
    void open(QWidget* owner) override;

private:
    void showCounts();
    // Leaves no row marked.
    void unmark();

    AppContext context_;
    // The grid's header row is the table's horizontal header, so row r of the statistics is
    // table row r - 1.
    QTableWidget* countsGrid_ = nullptr;
};

}  // namespace kelvarn
