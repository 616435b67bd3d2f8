// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/downloader/folder_chooser.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>

#include "gui/common/window_util.h"

namespace kelvarn {

FolderChooser::FolderChooser(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Выберите папку"), true, 255);
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setRootPath(QDir::rootPath());
    folderTree_ = named(new QTreeView(this), "folderTree");
    folderTree_->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) {
        folderTree_->hideColumn(column);
    }
    folderTree_->header()->hide();
    folderTree_->setSortingEnabled(true);
    folderTree_->sortByColumn(0, Qt::AscendingOrder);
    folderTree_->setStyleSheet(QStringLiteral("QTreeView { background: black; color: white; }"));
    folderTree_->setMinimumSize(300, 360);
    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), "okButton");
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");
    connect(ok, &QPushButton::clicked, this, &FolderChooser::confirm);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QGridLayout(this);
    layout->addWidget(folderTree_, 0, 0, 1, 2);
    layout->addWidget(ok, 1, 0);
    layout->addWidget(cancel, 1, 1);
}

void FolderChooser::showFolder(const QString& path) {
    QModelIndex index = folders_->index(path);
    if (index.isValid()) {
        folderTree_->setCurrentIndex(index);
        folderTree_->scrollTo(index);
    }
}

void FolderChooser::confirm() {
    QString path = folders_->filePath(folderTree_->currentIndex());
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    emit folderChosen(path);
    close();
}

}  // namespace kelvarn
