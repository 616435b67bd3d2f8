// The folder chooser "Выберите папку" of the download window.
#pragma once

#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TChange_Fold : public QWidget {
    Q_OBJECT
public:
    TChange_Fold(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QTreeView* TreeFold;
    QPushButton* Button2;
    QPushButton* Button1;
};

}  // namespace kelvarn
