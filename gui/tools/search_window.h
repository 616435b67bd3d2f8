// SPDX-License-Identifier: GPL-3.0-or-later
// The search window "Поиск": finds catalogue records by ID, by author or title, or by e-mail, and
// hands the matches to the main window's catalogue grid.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include "core/catalogue/record_grid.h"
#include "gui/common/app_context.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class SearchWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit SearchWindow(const AppContext& context, QWidget* parent = nullptr);

signals:
    // The header row and the matches numbered by record number, or one empty row.
    void resultsFound(const kelvarn::RecordGrid& results);

private:
    // "Найти": reads the whole catalogue on this thread; the bar is repainted as it goes.
    void search();
    // "По ID" takes digits only, and its choice starts from an empty text.
    void idModeToggled(bool chosen);

    const AppContext& context_;
    QLineEdit* searchText_;
    QValidator* digitsOnly_;
    QRadioButton* byId_;
    QRadioButton* byName_;
    QRadioButton* byEmail_;
    QPushButton* findButton_;
    QLabel* foundCount_;
    QProgressBar* progress_;
};

}  // namespace kelvarn
