// SPDX-License-Identifier: GPL-3.0-or-later
// Every file dialog of the program goes through here. Tests switch it to scripted mode: nothing
// is shown, and each dialog returns the path set beforehand (empty: cancelled).
#pragma once

#include <QString>

class QWidget;

namespace kelvarn {

class FileDialog {
public:
    // A path to save at, asking before an existing file is replaced; empty when cancelled.
    static QString saveFileName(QWidget* parent, const QString& filter);

    static void setScripted(bool scripted);
    static void setNextPath(const QString& path);
};

}  // namespace kelvarn
