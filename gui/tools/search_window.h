// The search window "Поиск".
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QLineEdit* Text_Search;
    QRadioButton* Search_ID;
    QRadioButton* Search_Name;
    QRadioButton* Search_Mail;
    QPushButton* Search;
    QLabel* Result;
    QProgressBar* SearchBar;
};

}  // namespace kelvarn
