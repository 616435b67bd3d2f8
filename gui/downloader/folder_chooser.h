// SPDX-License-Identifier: GPL-3.0-or-later
// The folder chooser "Выберите папку": picks the download window's save folder.
#pragma once

#include <QFileSystemModel>
#include <QTreeView>

#include "gui/common/secondary_window.h"

namespace kelvarn {

class FolderChooser : public SecondaryWindow {
    Q_OBJECT
public:
    explicit FolderChooser(QWidget* parent = nullptr);

    // Selects the folder at `path` in the tree, opening the folders above it.
    void showFolder(const QString& path);

signals:
    // "OK" on a folder: its path, with a trailing "/".
    void folderChosen(const QString& path);

private:
    // With nothing that names a folder selected the chooser stays open.
    void confirm();

    QFileSystemModel* folders_ = nullptr;
    QTreeView* folderTree_ = nullptr;
};

}  // namespace kelvarn
