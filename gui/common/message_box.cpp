// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <utility>

#include "gui/common/window_util.h"

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
                                             QMessageBox::StandardButtons buttons,
                                             const QString& yes, const QString& no) {
    if (script().on) {
        script().shown << title + ": " + text;
        return script().next;
    }
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    keepAboveProgramWindows(&box);
    for (auto [which, label] : {std::pair{QMessageBox::Ok, QStringLiteral("OK")},
                                std::pair{QMessageBox::Yes, yes}, std::pair{QMessageBox::No, no}}) {
        if (QAbstractButton* button = box.button(which)) {
            button->setText(label);
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

bool MessageBox::choose(QWidget* parent, const QString& text, const QString& first,
                        const QString& second) {
    return show(parent, QMessageBox::Question, QStringLiteral("Kelvarn"), text,
                QMessageBox::Yes | QMessageBox::No, first, second) == QMessageBox::Yes;
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
