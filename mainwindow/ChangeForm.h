// The record editor dialog; its caption names the record being edited.
#pragma once

#include <QWidget>

#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TChangeFrm : public QWidget {
    Q_OBJECT
public:
    TChangeFrm(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
};

}  // namespace kelvarn
