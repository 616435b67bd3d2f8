// The manual entry window "Добавить запись".
#pragma once

#include "gui/common/secondary_window.h"

namespace kelvarn {

class ManualEntryWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit ManualEntryWindow(QWidget* parent = nullptr);
};

}  // namespace kelvarn
