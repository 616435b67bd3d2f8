// The record editor dialog; its caption names the record being edited.
#pragma once

#include <QWidget>

#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class RecordEditor : public QWidget {
    Q_OBJECT
public:
    RecordEditor(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
};

}  // namespace kelvarn
