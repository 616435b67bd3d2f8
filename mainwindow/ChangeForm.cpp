#include "mainwindow/ChangeForm.h"

#include "mainwindow/window_util.h"

namespace kelvarn {

TChangeFrm::TChangeFrm(const AppContext&, Windows&, QWidget* parent) : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Mix номер: "), true, 230);
}

}  // namespace kelvarn
