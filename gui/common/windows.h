// SPDX-License-Identifier: GPL-3.0-or-later
// The program's fourteen windows, one of each, created at start-up and kept to the end. The main
// window reaches the others through this set; the others are wired to one another with signals
// as they are created (gui/window_set).
#pragma once

namespace kelvarn {

class MainWindow;
class RecordEditor;
class DownloadWindow;
class FolderChooser;
class ImportWindow;
class SearchWindow;
class NewDaysWindow;
class StatisticsWindow;
class ManualEntryWindow;
class AboutWindow;
class CreditsWindow;
class HelpWindow;
class AuthorListWindow;
class MixContentsWindow;

struct Windows {
    MainWindow* mainWindow = nullptr;
    RecordEditor* recordEditor = nullptr;
    DownloadWindow* downloadWindow = nullptr;
    FolderChooser* folderChooser = nullptr;
    ImportWindow* importWindow = nullptr;
    SearchWindow* searchWindow = nullptr;
    NewDaysWindow* newDaysWindow = nullptr;
    StatisticsWindow* statisticsWindow = nullptr;
    ManualEntryWindow* manualEntryWindow = nullptr;
    AboutWindow* aboutWindow = nullptr;
    CreditsWindow* creditsWindow = nullptr;
    HelpWindow* helpWindow = nullptr;
    AuthorListWindow* authorListWindow = nullptr;
    MixContentsWindow* mixContentsWindow = nullptr;
};

}  // namespace kelvarn
