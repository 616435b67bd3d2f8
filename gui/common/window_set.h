// The program's thirteen windows, one of each, created at start-up and kept to the end. The main
// window reaches the others through this set; the others are wired to one another with signals
// as they are created.
#pragma once

namespace kelvarn {

struct AppContext;
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
};

// Creates the windows in start-up order, the main window first; each reads what it shows as it
// is made, but the author list, which loads its names once the import window listens.
void createWindows(const AppContext& context, Windows& windows);

// Deletes them, the main window last.
void destroyWindows(Windows& windows);

}  // namespace kelvarn
