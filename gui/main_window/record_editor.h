// The record editor dialog; its caption names the record being edited.
#pragma once

#include "gui/common/secondary_window.h"

namespace kelvarn {

class RecordEditor : public SecondaryWindow {
    Q_OBJECT
public:
    explicit RecordEditor(QWidget* parent = nullptr);
};

}  // namespace kelvarn
