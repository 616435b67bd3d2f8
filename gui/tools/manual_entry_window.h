// The manual entry window "Добавить запись".
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class ManualEntryWindow : public QWidget {
    Q_OBJECT
public:
    ManualEntryWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QLineEdit* ID_man;
    QLineEdit* Avtor_man;
    QLineEdit* Name_man;
};

}  // namespace kelvarn
