#include "gui/tools/manual_entry_window.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "gui/common/window_util.h"

namespace kelvarn {

ManualEntryWindow::ManualEntryWindow(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Добавить запись"), true, 230);
    auto* form = new QFormLayout(this);
    auto addField = [this, form](const QString& label, const char* name) {
        auto* caption = new QLabel(label, this);
        caption->setStyleSheet(QStringLiteral("color: silver;"));
        auto* field = named(new QLineEdit(this), name);
        form->addRow(caption, field);
        return field;
    };
    QLineEdit* id = addField(QStringLiteral("ID микса"), "idBox");
    id->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}")), id));
    addField(QStringLiteral("Автор"), "authorBox");
    addField(QStringLiteral("Название"), "titleBox");
}

}  // namespace kelvarn
