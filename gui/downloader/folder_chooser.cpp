#include "gui/downloader/folder_chooser.h"

#include <QGridLayout>
#include <QHeaderView>

#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"

namespace kelvarn {

FolderChooser::FolderChooser(const AppContext&, Windows& windows, QWidget* parent)
    : QWidget(parent), windows_(windows) {
    setUpSecondaryWindow(this, QStringLiteral("Выберите папку"), true, 255);
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setRootPath(QDir::rootPath());
    TreeFold = new QTreeView(this);
    TreeFold->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) {
        TreeFold->hideColumn(column);
    }
    TreeFold->header()->hide();
    TreeFold->setSortingEnabled(true);
    TreeFold->sortByColumn(0, Qt::AscendingOrder);
    TreeFold->setStyleSheet(QStringLiteral("QTreeView { background: black; color: white; }"));
    TreeFold->setMinimumSize(300, 360);
    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    connect(Button2, &QPushButton::clicked, this, &FolderChooser::confirm);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QGridLayout(this);
    layout->addWidget(TreeFold, 0, 0, 1, 2);
    layout->addWidget(Button2, 1, 0);
    layout->addWidget(Button1, 1, 1);
    showFolder(windows_.downloadWindow->savePath());
}

void FolderChooser::showFolder(const QString& path) {
    QModelIndex index = folders_->index(path);
    if (index.isValid()) {
        TreeFold->setCurrentIndex(index);
        TreeFold->scrollTo(index);
    }
}

void FolderChooser::confirm() {
    QString path = folders_->filePath(TreeFold->currentIndex());
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    windows_.downloadWindow->setSavePath(path);
    close();
}

}  // namespace kelvarn
