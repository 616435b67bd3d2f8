// SPDX-License-Identifier: GPL-3.0-or-later
// Every message box of the program goes through here. Tests switch the boxes to scripted mode:
// nothing is shown, each box and each beep is recorded, and questions get the answer set
// beforehand. A box shows its text as it stands (names from the site or the user may look like
// HTML) and keeps the program's English button texts when Qt's dialogs speak Russian.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace kelvarn {

class MessageBox {
public:
    // The error box for a failed file operation or any other error that stops a command.
    static void error(QWidget* parent, const QString& text);
    // A message in the program's own name, as a refused entry is reported.
    static void message(QWidget* parent, const QString& text);
    // A notice titled "Information".
    static void information(QWidget* parent, const QString& text);
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title,
                                                const QString& text,
                                                QMessageBox::StandardButtons buttons);
    // A question whose two buttons say what they do; true when the first is pressed (a scripted
    // Yes).
    static bool choose(QWidget* parent, const QString& text, const QString& first,
                       const QString& second);

    // The system beep that comes before a refusal's box.
    static void beep();

    static void setScripted(bool scripted);
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // "title: text" of every box, and "beep" for every beep, since the last call, oldest first.
    static QStringList takeShown();

private:
    static QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            const QString& yes = QStringLiteral("&Yes"),
                                            const QString& no = QStringLiteral("&No"));
};

}  // namespace kelvarn
