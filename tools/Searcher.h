// The search window "Поиск".
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TSearch_Form : public QWidget {
    Q_OBJECT
public:
    TSearch_Form(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QLineEdit* Text_Search;
    QRadioButton* Search_ID;
    QRadioButton* Search_Name;
    QRadioButton* Search_Mail;
    QPushButton* Search;
    QLabel* Result;
    QProgressBar* SearchBar;
};

}  // namespace kelvarn
