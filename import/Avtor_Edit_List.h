// The author list window "Редактирование списка авторов".
#pragma once

#include <QListWidget>
#include <QWidget>

#include "mainwindow/app_context.h"
#include "mainwindow/windows.h"

namespace kelvarn {

class TAvtor_List : public QWidget {
    Q_OBJECT
public:
    TAvtor_List(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QListWidget* List_Name_Base;
    QListWidget* List_Check_Name;

private:
    const AppContext& context_;
    Windows& windows_;
};

}  // namespace kelvarn
