#include "downloader/Change_menu.h"

#include <QGridLayout>

#include "mainwindow/window_util.h"

namespace kelvarn {

TChange_Fold::TChange_Fold(const AppContext&, Windows&, QWidget* parent) : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Выберите папку"), true, 255);
    TreeFold = new QTreeView(this);
    TreeFold->setMinimumSize(300, 360);
    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QGridLayout(this);
    layout->addWidget(TreeFold, 0, 0, 1, 2);
    layout->addWidget(Button2, 1, 0);
    layout->addWidget(Button1, 1, 1);
}

}  // namespace kelvarn
