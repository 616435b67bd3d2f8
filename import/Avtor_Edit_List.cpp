#include "import/Avtor_Edit_List.h"

#include <QGridLayout>
#include <QLabel>

#include "mainwindow/window_util.h"

namespace kelvarn {

TAvtor_List::TAvtor_List(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows) {
    setUpSecondaryWindow(this, QStringLiteral("Редактирование списка авторов"), true, 255);
    auto* Label1 = new QLabel(QStringLiteral("Список имен авторов имеющихся в базе:"), this);
    auto* Label2 = new QLabel(QStringLiteral("Список выбранных имен:"), this);
    for (QLabel* label : {Label1, Label2}) {
        label->setStyleSheet(QStringLiteral("color: lime; font-weight: bold;"));
    }
    List_Name_Base = new QListWidget(this);
    List_Check_Name = new QListWidget(this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(List_Name_Base, 1, 0);
    grid->addWidget(List_Check_Name, 1, 1);
}

}  // namespace kelvarn
