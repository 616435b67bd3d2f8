// The folder chooser "Выберите папку": picks the download window's save folder.
#pragma once

#include <QFileSystemModel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include "gui/common/app_context.h"
#include "gui/common/window_set.h"

namespace kelvarn {

class FolderChooser : public QWidget {
    Q_OBJECT
public:
    FolderChooser(const AppContext& context, Windows& windows, QWidget* parent = nullptr);

    QTreeView* TreeFold;
    QPushButton* Button2;  // "OK"
    QPushButton* Button1;  // "Cancel"

    // Selects the folder at `path` in the tree, opening the folders above it.
    void showFolder(const QString& path);
    // "OK": the selected folder, with a trailing "/", becomes the save folder; with nothing that
    // names a folder selected the chooser stays open.
    void confirm();

private:
    Windows& windows_;
    QFileSystemModel* folders_;
};

}  // namespace kelvarn
