#include "gui/tools/manual_entry_window.h"

#include <QFormLayout>
#include <QLabel>
#include <QRegularExpressionValidator>

#include "gui/common/window_util.h"

namespace kelvarn {

ManualEntryWindow::ManualEntryWindow(const AppContext&, Windows&, QWidget* parent)
    : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Добавить запись"), true, 230);
    ID_man = new QLineEdit(this);
    ID_man->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}")), ID_man));
    Avtor_man = new QLineEdit(this);
    Name_man = new QLineEdit(this);
    auto* form = new QFormLayout(this);
    auto label = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setStyleSheet(QStringLiteral("color: silver;"));
        return l;
    };
    form->addRow(label(QStringLiteral("ID микса")), ID_man);
    form->addRow(label(QStringLiteral("Автор")), Avtor_man);
    form->addRow(label(QStringLiteral("Название")), Name_man);
}

}  // namespace kelvarn
