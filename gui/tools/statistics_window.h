// "Информация о базах": the catalogue's counts by style and by download state, as of the last
// ReadInfo; an open window is not kept up to date.
#pragma once

#include <QTableWidget>
#include <QWidget>

#include "gui/common/app_context.h"

namespace kelvarn {

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatisticsWindow(const AppContext& context, QWidget* parent = nullptr);

    // The grid's header row is the table's horizontal header, so row r of the statistics is
    // table row r - 1.
    QTableWidget* Info_table;

    // Counts the catalogue and shows the counts; on a file error the previous counts stay.
    void ReadInfo();
    // Leaves no row marked.
    void GridClean();

public slots:
    void Info_tableClick();

private:
    void FormCreate();

    AppContext context_;
};

}  // namespace kelvarn
