// The search window "Поиск".
#pragma once

#include "gui/common/secondary_window.h"

namespace kelvarn {

class SearchWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit SearchWindow(QWidget* parent = nullptr);
};

}  // namespace kelvarn
