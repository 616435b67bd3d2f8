// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window/new_days_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>

#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {

NewDaysWindow::NewDaysWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), settings_(context.folder) {
    setUpSecondaryWindow(this, QStringLiteral("Кол-во дней"), true, 220);
    useSmallFont(this);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(192, 192, 192));
    setPalette(colours);

    auto* before = named(new QLabel(QStringLiteral("Отображать "), this), "showLabel");
    daysBox_ = named(new QComboBox(this), "daysBox");
    daysBox_->setStyleSheet(
        QStringLiteral("QComboBox, QComboBox QAbstractItemView { color: white; background: black; "
                       "font-weight: bold; }"));
    for (int n = 1; n <= 7; ++n) {
        daysBox_->addItem(QString::number(n));
    }
    auto* after = named(new QLabel(QStringLiteral("дней"), this), "daysLabel");

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(2);
    row->addWidget(before);
    row->addWidget(daysBox_);
    row->addWidget(after);
    row->setSizeConstraint(QLayout::SetFixedSize);

    showStoredDays();
}

void NewDaysWindow::open(QWidget* owner) {
    showStoredDays();
    SecondaryWindow::open(owner);
}

void NewDaysWindow::showStoredDays() {
    int days = settings_.read(keys::Day);
    daysBox_->setCurrentIndex(days >= 1 && days <= daysBox_->count() ? days - 1 : -1);
}

void NewDaysWindow::closeEvent(QCloseEvent* event) {
    try {
        settings_.write(keys::Day, daysBox_->currentIndex() + 1);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    event->accept();
}

}  // namespace kelvarn
