// The main window: the style tree, the catalogue's three views (one shown at a time) over a
// hidden master copy, the status bar describing the record under the pointer, the main menu, the
// splash panel of the start-up load and the good-bye panel of the closing sequence.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "core/catalogue/catalogue_views.h"
#include "core/storage/settings.h"
#include "gui/common/app_context.h"
#include "gui/common/record_grid_model.h"
#include "gui/common/window_set.h"

class QAction;
class QMenu;

namespace kelvarn {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const AppContext& context, Windows& windows, QWidget* parent = nullptr);
    ~MainWindow() override;

    CatalogueViews& views() { return views_; }
    const AppContext& context() const { return context_; }

    // The view key of each style tree node.
    static constexpr int kViewKeyRole = Qt::UserRole;

    QTreeWidget* TreeStyles;
    std::array<QLabel*, 19> Image{};  // Image_1 .. Image_19 as Image[0] .. Image[18]
    QTableView* Table;
    QTableView* Favorit;
    QTableView* Recucled;           // the hidden master copy Swap is views().Swap: nothing shows it
    std::array<QLabel*, 5> Info{};  // the five status bar panels
    QWidget* Panel;
    QLabel* Image1;
    QProgressBar* LoadBar;
    QWidget* GoodBye;
    QLabel* Image2;
    QTimer* Timer1;

    QAction* HTML1;
    QAction* Reload_base;
    QAction* Exit1;
    QAction* Find1;
    QAction* ADD_Man;
    QAction* News;
    QAction* File_OK;
    QAction* N6;
    QAction* Downloader1;
    QAction* DuzuRedu1;
    QAction* N17;
    QAction* Help1;
    QAction* N12;
    QAction* N15;

    QMenu* Context;
    QMenu* Favorit_Context;
    QMenu* Recuc_Restore;

    // The row of the visible grid under the pointer: -1 over no cell, 0 over the header row.
    int MouseRow = -1;

    // Handlers.
    void Timer1Timer();
    void TreeStylesClick();
    void TableMouseMove(int gridRow);
    void FavoritMouseMove(int gridRow);
    void RecucledMouseMove(int gridRow);
    void open_close_image(int key);
    void Reload_baseClick();
    bool FormCloseQuery();

    // After the grids behind the views changed.
    void gridsChanged();
    // A record that entered the catalogue view: it shows in Table at the next style-tree click.
    void appendToSwap(std::uint32_t number, const MixRecord& record);
    // The grid in view, and its record grid.
    QTableView* visibleGrid() const;
    // The record items of a grid's context menu, which the pointer enables and disables.
    QList<QAction*> recordItems(const QTableView* grid) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void buildTree();
    void buildHeaderImages();
    void buildMenu();
    void buildContextMenus();
    void buildStatusBar();
    void buildPanels();
    void fitToScreen();
    QTableView* makeGrid(const RecordGrid& grid, const QList<int>& widths);
    void gridMouseMove(QTableView* grid, int gridRow);
    void showOnly(QTableView* grid);
    void loadCatalogue(bool reload);
    // A load with what has to wait for its end: reports of saved records, a close.
    void runLoad(bool reload);
    void writeClosingSettings();
    void pause(int milliseconds);

    const AppContext& context_;
    Windows& windows_;
    Settings settings_;
    CatalogueViews views_;
    // The records the last load read from the file, numbers 1 to this.
    std::uint32_t loadedRecords_ = 0;
    std::vector<std::pair<std::uint32_t, MixRecord>> savedDuringLoad_;
    bool loadTried_ = false;
    bool loading_ = false;
    bool closeAfterLoad_ = false;
    bool closing_ = false;
};

}  // namespace kelvarn
