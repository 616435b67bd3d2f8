// The manual entry window "Добавить запись".
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TAdd_mix_man : public QWidget {
    Q_OBJECT
public:
    TAdd_mix_man(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QLineEdit* ID_man;
    QLineEdit* Avtor_man;
    QLineEdit* Name_man;
};

}  // namespace kelvarn
