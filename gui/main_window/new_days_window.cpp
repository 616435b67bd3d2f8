#include "gui/main_window/new_days_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>

#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {

NewDaysWindow::NewDaysWindow(const AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setUpSecondaryWindow(this, QStringLiteral("Кол-во дней"), true, 220);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(192, 192, 192));
    setPalette(colours);

    Label1 = new QLabel(QStringLiteral("Отображать "), this);
    Days = new QComboBox(this);
    Days->setStyleSheet(
        QStringLiteral("QComboBox, QComboBox QAbstractItemView { color: white; background: black; "
                       "font-weight: bold; }"));
    for (int n = 1; n <= 7; ++n) {
        Days->addItem(QString::number(n));
    }
    Label2 = new QLabel(QStringLiteral("дней"), this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(2);
    row->addWidget(Label1);
    row->addWidget(Days);
    row->addWidget(Label2);
    row->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void NewDaysWindow::FormCreate() {
    settings_.emplace(context_.folder);
    Refresh_Date();
}

void NewDaysWindow::Refresh_Date() {
    int days = settings_->read(keys::Day);
    Days->setCurrentIndex(days >= 1 && days <= Days->count() ? days - 1 : -1);
}

bool NewDaysWindow::FormCloseQuery() {
    try {
        settings_->write(keys::Day, Days->currentIndex() + 1);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    return true;
}

void NewDaysWindow::closeEvent(QCloseEvent* event) {
    event->setAccepted(FormCloseQuery());
}

}  // namespace kelvarn
