// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/downloader/folder_chooser.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"
#include "gui/info/about_window.h"
#include "gui/info/credits_window.h"
#include "gui/info/help_window.h"
#include "gui/main_window/main_window.h"
#include "gui/main_window/new_days_window.h"
#include "gui/main_window/record_editor.h"
#include "gui/tools/manual_entry_window.h"
#include "gui/tools/mix_contents_window.h"
#include "gui/tools/search_window.h"
#include "gui/tools/statistics_window.h"
#include "gui/window_set.h"

namespace kelvarn {

void createWindows(const AppContext& context, Windows& w) {
    QApplication::setFont(programFont());
    w.mainWindow = new MainWindow(context, w);
    w.recordEditor = new RecordEditor;
    w.downloadWindow = new DownloadWindow(context);
    w.folderChooser = new FolderChooser;
    w.folderChooser->showFolder(w.downloadWindow->savePath());
    w.importWindow = new ImportWindow(context);
    w.searchWindow = new SearchWindow(context);
    w.newDaysWindow = new NewDaysWindow(context);
    w.statisticsWindow = new StatisticsWindow(context);
    w.manualEntryWindow = new ManualEntryWindow(context, w.mainWindow);
    w.aboutWindow = new AboutWindow(context);
    w.creditsWindow = new CreditsWindow(context);
    w.helpWindow = new HelpWindow(context);
    w.authorListWindow = new AuthorListWindow(context);
    w.mixContentsWindow = new MixContentsWindow;

    DownloadWindow* download = w.downloadWindow;
    FolderChooser* chooser = w.folderChooser;
    QObject::connect(download, &DownloadWindow::folderChoiceRequested, chooser,
                     [download, chooser] { chooser->open(download); });
    QObject::connect(chooser, &FolderChooser::folderChosen, download, &DownloadWindow::setSavePath);

    ImportWindow* import = w.importWindow;
    AuthorListWindow* authors = w.authorListWindow;
    QObject::connect(import, &ImportWindow::recordSaved, w.mainWindow, &MainWindow::appendToSwap);
    QObject::connect(import, &ImportWindow::authorListRequested, authors,
                     [import, authors] { authors->open(import); });
    // The import reads the chosen names as they stand, edits made during a run included.
    QObject::connect(authors, &AuthorListWindow::chosenNamesChanged, import,
                     &ImportWindow::setChosenNames);
    QObject::connect(authors, &AuthorListWindow::summaryChanged, import,
                     &ImportWindow::showChosenNames);
    authors->loadChosenNames();

    QObject::connect(w.searchWindow, &SearchWindow::resultsFound, w.mainWindow,
                     &MainWindow::showSearchResults);
    QObject::connect(w.manualEntryWindow, &ManualEntryWindow::recordAdded, w.mainWindow,
                     &MainWindow::appendToSwap);
}

void destroyWindows(Windows& w) {
    delete w.mixContentsWindow;
    delete w.authorListWindow;
    delete w.helpWindow;
    delete w.creditsWindow;
    delete w.aboutWindow;
    delete w.manualEntryWindow;
    delete w.statisticsWindow;
    delete w.newDaysWindow;
    delete w.searchWindow;
    delete w.importWindow;
    delete w.folderChooser;
    delete w.downloadWindow;
    delete w.recordEditor;
    delete w.mainWindow;
    w = Windows{};
}

}  // namespace kelvarn
