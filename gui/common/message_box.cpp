#include "gui/common/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <utility>

namespace kelvarn {
namespace {

struct Script {
    bool on = false;
    QMessageBox::StandardButton next = QMessageBox::Ok;
    QStringList shown;
};

Script& script() {
    static Script s;
    return s;
}

}  // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons) {
    if (script().on) {
        script().shown << title + ": " + text;
        return script().next;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    for (auto [which, label] :
         {std::pair{QMessageBox::Ok, "OK"}, std::pair{QMessageBox::Yes, "&Yes"},
          std::pair{QMessageBox::No, "&No"}}) {
        if (QAbstractButton* button = box.button(which)) {
            button->setText(QString::fromLatin1(label));
        }
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::error(QWidget* parent, const QString& text) {
    show(parent, QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
}

void MessageBox::message(QWidget* parent, const QString& text) {
    show(parent, QMessageBox::Information, QStringLiteral("Kelvarn"), text, QMessageBox::Ok);
}

void MessageBox::information(QWidget* parent, const QString& text) {
    show(parent, QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok);
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& title,
                                                 const QString& text,
                                                 QMessageBox::StandardButtons buttons) {
    return show(parent, QMessageBox::Information, title, text, buttons);
}

void MessageBox::beep() {
    if (script().on) {
        script().shown << QStringLiteral("beep");
    } else {
        QApplication::beep();
    }
}

void MessageBox::setScripted(bool scripted) {
    script().on = scripted;
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) {
    script().next = answer;
}

QStringList MessageBox::takeShown() {
    QStringList shown = script().shown;
    script().shown.clear();
    return shown;
}

}  // namespace kelvarn
