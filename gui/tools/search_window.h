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
    QLineEdit* searchText_ = nullptr;
    QValidator* digitsOnly_ = nullptr;
    QRadioButton* byId_ = nullptr;
    QRadioButton* byName_ = nullptr;
    QRadioButton* byEmail_ = nullptr;
    QPushButton* findButton_ = nullptr;
    QLabel* foundCount_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace kelvarn
