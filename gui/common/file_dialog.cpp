// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/file_dialog.h"

#include <QFileDialog>

#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

struct Script {
    bool on = false;
    QString next;
};

Script& script() {
    static Script s;
    return s;
}

}  // namespace

QString FileDialog::saveFileName(QWidget* parent, const QString& filter) {
    if (script().on) {
        return script().next;
    }
    // The path is used as chosen: no extension is added to it.
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    keepAboveProgramWindows(&dialog);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
}

void FileDialog::setScripted(bool scripted) {
    script().on = scripted;
}

void FileDialog::setNextPath(const QString& path) {
    script().next = path;
}

}  // namespace kelvarn
