// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the style tree, the catalogue's three views (one shown at a time) over a
// hidden master copy, the status bar describing the record under the pointer, the main menu, the
// splash panel of the start-up load and the good-bye panel of the closing sequence.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/catalogue/catalogue_views.h"
#include "core/catalogue/record_commands.h"
#include "core/catalogue/record_edit.h"
#include "core/storage/file_identity.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/windows.h"

namespace kelvarn {

class SecondaryWindow;

// The commands of the record grids' context menus; each item carries its command.
enum class RecordCommand {
    OpenUrl,
    CopyUrl,
    CopyEmail,
    CopyName,
    Queue,        // "Закачать"
    QueueAll,     // "Закачать Все"
    Edit,         // "Изменить"
    Recycle,      // "Удалить", from the catalogue or the favourites
    Favourite,    // "Добавить в Избранное"
    Unfavourite,  // "Убрать из Избранного"
    Restore,      // "Восстановить"
    Inspect,      // "Что внутри..."
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
    ~MainWindow() override;

    CatalogueViews& views() { return views_; }
    // The row of the visible grid under the pointer: -1 over no cell, 0 over the header row.
    int rowUnderPointer() const { return rowUnderPointer_; }

public slots:
    // A record this program appended to the catalogue view: it shows in the catalogue grid at the
    // next style-tree click.
    void appendToSwap(std::uint32_t number, const MixRecord& record);
    // The search window's matches take the catalogue grid's place, under the search's picture,
    // until the next style-tree click.
    void showSearchResults(const RecordGrid& results);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The view key of each style tree node.
    static constexpr int kViewKeyRole = Qt::UserRole;

    // The status bar's panels, left to right.
    enum class StatusPanel { Track, Style, Email, Size, Date };
    static constexpr std::size_t kStatusPanels = 5;

    // One of the three views: its records, the grid that shows them and the grid's context menu.
    struct View {
        VisibleGrid which;
        const RecordGrid* rows;
        QTableView* grid;
        QMenu* menu;
    };

    void buildTree();
    void buildHeaderPictures();
    void buildViews();
    QTableView* makeGrid(const RecordGrid& grid, const std::array<int, kGridColumns>& widths);
    void buildMenu();
    void connectMenu();
    void buildStatusBar();
    void buildPanels();
    void fitToScreen();
    // The menu items that open a window, by object name, in the order of the menu; the windows
    // are made after this one, so the table is read as an item is chosen.
    std::array<std::pair<const char*, SecondaryWindow*>, 9> windowItems() const;
    View& view(VisibleGrid which);
    // The view whose grid is on show.
    const View& visibleView() const;
    RecordGrid& rowsOf(VisibleGrid which);
    // The items of a view's context menu that act on the record under the pointer.
    static QList<QAction*> recordItems(const View& view);

    void firstLoad();
    // "Перезагрузка базы" (paced by "LoadDelay"), or a reload the files asked for (full speed).
    void reloadCatalogue(bool paced);
    void loadCatalogue(bool reload, bool paced);
    // A load with what has to wait for its end: reports of saved records, a close.
    void runLoad(bool reload, bool paced);
    // Whether Base.vlt is another file than the one loaded (a restore), or shorter than the
    // records Swap has taken in.
    bool catalogueReplaced() const;
    // Reloads the views at full speed, then shows the selected style node and the row under the
    // cursor again where its record still is.
    void reloadKeepingPlace();
    // A command found record `number` other than its row showed it: says so and reloads.
    void recordChangedOnDisk(std::uint32_t number);
    void gridsChanged();
    void styleNodeClicked();
    // Rebuilds Table for the selected style node and shows its grid.
    void showStyleNode();
    // Records another process (a sync, an import or entry from the command line) appended since.
    void readNewerRecords();
    void showHeaderPicture(int key);
    // A context-menu command on the row the menu was opened over.
    void recordCommand(VisibleGrid which, RecordCommand command);
    // "Закачать" on `row`, or "Закачать Все" (asked which rows) without one.
    void queueRows(const RecordGrid& grid, std::optional<int> row);
    void moveRecord(VisibleGrid which, RecordMove move, int row, const char* sound);
    // The downloaded file of the row's record, where the download named it.
    std::optional<std::string> downloadedFileOf(const RecordGrid& grid, int row) const;
    // "Что внутри..." only for a record whose downloaded file is there.
    void enableContentsItem(QMenu* menu, VisibleGrid which);
    void editRecord(VisibleGrid which, int row);
    // The editor's "ОК": the fields the user changed, onto the record as the file holds it now.
    bool saveEdit(VisibleGrid which, const RecordRef& ref, const RecordEdit& edit);
    // "В HTML": the grid on show, as a page at the path the save dialog gives.
    void exportVisibleGrid();
    std::string siteAddress() const;
    void pointerMoved(const View& view, int gridRow);
    // Closes the other windows, writes the settings and fades out; the window closes after it.
    void closingSequence();
    void writeClosingSettings();

    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
    CatalogueViews views_;
    std::array<View, 3> viewTable_{};
    QTreeWidget* styleTree_ = nullptr;
    std::array<QLabel*, 19> headerPictures_{};  // Image_1 .. Image_19
    std::array<QLabel*, kStatusPanels> statusPanels_{};
    QWidget* splash_ = nullptr;
    QProgressBar* loadBar_ = nullptr;
    QWidget* goodbye_ = nullptr;
    QTimer* loadTimer_ = nullptr;
    QAction* onlyNewAction_ = nullptr;
    QAction* notDownloadedAction_ = nullptr;
    int rowUnderPointer_ = -1;
    // The grid row a context menu was opened over; its commands act on that row.
    int menuRow_ = -1;
    // The records Swap has taken in, numbers 1 to this: the last load's, then those appended
    // since; and the filter of that load.
    std::uint32_t knownRecords_ = 0;
    // The Base.vlt the views were last loaded from.
    FileIdentity catalogueIdentity_;
    ViewFilter loadedFilter_;
    std::vector<std::pair<std::uint32_t, MixRecord>> savedDuringLoad_;
    bool loadTried_ = false;
    bool loading_ = false;
    bool closeAfterLoad_ = false;
    bool closing_ = false;
};

}  // namespace kelvarn
