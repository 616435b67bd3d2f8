// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's widgets: the style tree, the header pictures, the three grids with their
// context menus, the main menu, the status bar, and the splash and good-bye panels.
#include "gui/main_window/main_window.h"

#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionViewItem>

#include "core/catalogue/styles.h"
#include "gui/common/record_grid_model.h"
#include "gui/common/secondary_window.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/import/import_window.h"
#include "gui/info/about_window.h"
#include "gui/info/credits_window.h"
#include "gui/info/help_window.h"
#include "gui/main_window/new_days_window.h"
#include "gui/tools/manual_entry_window.h"
#include "gui/tools/search_window.h"
#include "gui/tools/statistics_window.h"

namespace kelvarn {

namespace {

constexpr int kTreeIconStyle = 0;
constexpr int kTreeIconAll = 1;
constexpr int kTreeIconRecycle = 2;
constexpr int kTreeIconFavourites = 3;

// The grids' header sections: text padding and border on either side, and the room they take.
constexpr int kHeaderPadding = 2;
constexpr int kHeaderBorder = 1;
constexpr int kHeaderTextMargin = kHeaderPadding + kHeaderBorder;
// The grid line right of every cell.
constexpr int kGridLine = 1;

// The widest text of each record grid column, where there is one: numbers and IDs of six
// digits, sizes of up to 999,999 KB, a date and a time.
const std::array<QString, kGridColumns> kWidestCells = {QStringLiteral("999999"),
                                                        QStringLiteral("999999"),
                                                        QString(),
                                                        QString(),
                                                        QString(),
                                                        QString(),
                                                        QStringLiteral("999999"),
                                                        QStringLiteral("00.00.0000"),
                                                        QStringLiteral("00:00:00"),
                                                        QStringLiteral("10"),
                                                        QStringLiteral("Есть")};

// The window's designed room below the menu bar, and the grids' part of it.
constexpr QSize kCentralSize(936, 617);
constexpr QSize kGridSize(733, 593);

QLabel* pictureLabel(QWidget* parent, const QString& resource, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setPixmap(QPixmap(resource));
    label->setScaledContents(true);
    return label;
}

// An item of a grid's context menu, named for the tests to find it; one without a name is a
// separator.
struct MenuItem {
    const char* text;
    const char* name;
    RecordCommand command;
};

constexpr MenuItem kSeparator{"", nullptr, RecordCommand::OpenUrl};

const std::vector<MenuItem> kRecordItems = {
    {"Open URL", "openUrl", RecordCommand::OpenUrl},
    {"Копировать ссылку", "copyUrl", RecordCommand::CopyUrl},
    {"Копировать E-mail", "copyEmail", RecordCommand::CopyEmail},
    {"Копировать название", "copyName", RecordCommand::CopyName},
    kSeparator,
    {"Закачать", "download", RecordCommand::Queue},
    {"Закачать Все", "downloadAll", RecordCommand::QueueAll},
    kSeparator,
    {"Изменить", "edit", RecordCommand::Edit},
    {"Удалить", "delete", RecordCommand::Recycle}};

// How each view looks: its grid's column widths and name, and its context menu.
struct ViewLook {
    VisibleGrid which;
    RecordGrid CatalogueViews::*rows;
    const char* gridName;
    std::array<int, kGridColumns> widths;
    const char* menuName;
    std::vector<MenuItem> menu;
};

// The catalogue's and the favourites' menus: the record items, one of their own, and what the
// downloaded file holds.
std::vector<MenuItem> recordItemsAnd(const MenuItem& last) {
    std::vector<MenuItem> items = kRecordItems;
    items.push_back(last);
    items.push_back(kSeparator);
    items.push_back({"Что внутри...", "inspect", RecordCommand::Inspect});
    return items;
}

const std::array<ViewLook, 3>& viewLooks() {
    static const std::array<ViewLook, 3> looks = {{
        {VisibleGrid::Table,
         &CatalogueViews::Table,
         "catalogueGrid",
         {26, 53, 137, 146, 134, 102, 49, 72, 65, 51, 48},
         "catalogueMenu",
         recordItemsAnd({"Добавить в Избранное", "addToFavourites", RecordCommand::Favourite})},
        {VisibleGrid::RecycleBin,
         &CatalogueViews::RecycleBin,
         "recycleBinGrid",
         {26, 59, 117, 117, 113, 122, 97, 64, 103, 55, 48},
         "recycleBinMenu",
         {{"Восстановить", "restore", RecordCommand::Restore},
          {"Копировать ссылку", "copyUrl", RecordCommand::CopyUrl},
          {"Копировать E-mail", "copyEmail", RecordCommand::CopyEmail},
          {"Копировать название", "copyName", RecordCommand::CopyName},
          kSeparator,
          {"Изменить", "edit", RecordCommand::Edit}}},
        {VisibleGrid::Favourites,
         &CatalogueViews::Favourites,
         "favouritesGrid",
         {25, 59, 118, 118, 112, 122, 97, 64, 103, 55, 48},
         "favouritesMenu",
         recordItemsAnd(
             {"Убрать из Избранного", "removeFromFavourites", RecordCommand::Unfavourite})},
    }};
    return looks;
}

// The header pictures Image_1 .. Image_19, by index (Image_N is N - 1): "Все стили", the fifteen
// styles in code order, then these three.
constexpr int kFavouritesPicture = 16;
constexpr int kRecycleBinPicture = 17;
constexpr int kSearchPicture = 18;

// The header picture of a style tree node's view key.
int headerPicture(int key) {
    switch (key) {
        case kKeyRecycleBin:
            return kRecycleBinPicture;
        case kKeyFavourites:
            return kFavouritesPicture;
        case kKeySearch:
            return kSearchPicture;
        default:
            return key >= kKeyAllStyles && key < kStyleCount ? key + 1 : -1;
    }
}

}  // namespace

void MainWindow::fitToScreen() {
    QScreen* desktop = screen();
    // On a screen smaller than the window (a netbook's 1024 x 600) the tree and the grids give
    // up the room that is missing, so that the menu bar and the status bar stay in view.
    QSize missing;
    centralWidget()->setFixedSize(kCentralSize);
    if (desktop != nullptr) {
        missing = sizeHint() + frameExtra(this) - desktop->availableGeometry().size();
        missing = missing.expandedTo(QSize(0, 0))
                      .boundedTo(QSize(kGridSize.width() / 2, kGridSize.height() / 2));
    }
    centralWidget()->setFixedSize(kCentralSize - missing);
    styleTree_->resize(styleTree_->width(), centralWidget()->height());
    for (const View& v : viewTable_) {
        v.grid->resize(kGridSize - missing);
    }
    adjustSize();
    setFixedSize(sizeHint());
    if (desktop != nullptr) {
        moveOnScreen(this, desktop->availableGeometry().center(), desktop);
    }
}

void MainWindow::buildTree() {
    styleTree_ = named(new QTreeWidget(centralWidget()), "styleTree");
    styleTree_->setGeometry(0, 0, 193, kCentralSize.height());
    styleTree_->setHeaderHidden(true);
    styleTree_->setIndentation(28);
    styleTree_->setIconSize(QSize(20, 20));
    styleTree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    styleTree_->setStyleSheet(
        QStringLiteral("QTreeWidget { background: black; color: white; border: none; }"
                       "QTreeWidget::item:hover { color: #80c0ff; text-decoration: underline; }"));
    const std::array<QIcon, 4> icons = {
        QIcon(QStringLiteral(":/tree/icon0.png")), QIcon(QStringLiteral(":/tree/icon1.png")),
        QIcon(QStringLiteral(":/tree/icon2.png")), QIcon(QStringLiteral(":/tree/icon3.png"))};
    auto node = [&](QTreeWidgetItem* parentNode, const QString& text, int icon, int key) {
        auto* item = parentNode != nullptr ? new QTreeWidgetItem(parentNode)
                                           : new QTreeWidgetItem(styleTree_);
        item->setText(0, text);
        item->setIcon(0, icons[static_cast<std::size_t>(icon)]);
        item->setData(0, kViewKeyRole, key);
        return item;
    };
    QTreeWidgetItem* all = node(nullptr, QStringLiteral("Все стили"), kTreeIconAll, kKeyAllStyles);
    for (int code = 0; code < kStyleCount; ++code) {
        node(all, fromCp1251(StyleName(static_cast<std::uint8_t>(code))), kTreeIconStyle, code);
    }
    node(nullptr, QStringLiteral("Избранное"), kTreeIconFavourites, kKeyFavourites);
    node(nullptr, QStringLiteral("Корзина"), kTreeIconRecycle, kKeyRecycleBin);
    styleTree_->collapseAll();
    connect(styleTree_, &QTreeWidget::itemClicked, this, &MainWindow::styleNodeClicked);
    connect(styleTree_, &QTreeWidget::itemActivated, this, &MainWindow::styleNodeClicked);
}

void MainWindow::buildHeaderPictures() {
    for (std::size_t i = 0; i < headerPictures_.size(); ++i) {
        headerPictures_[i] =
            pictureLabel(centralWidget(), QStringLiteral(":/header/Image_%1.jpg").arg(i + 1),
                         QRect(200, 0, 200, 24));
        headerPictures_[i]->setObjectName(QStringLiteral("headerPicture%1").arg(i + 1));
        headerPictures_[i]->setVisible(i == 0);
    }
}

void MainWindow::buildViews() {
    for (std::size_t v = 0; v < viewTable_.size(); ++v) {
        const ViewLook& look = viewLooks()[v];
        const RecordGrid& rows = views_.*look.rows;
        QTableView* grid = named(makeGrid(rows, look.widths), look.gridName);
        if (look.which != VisibleGrid::Table) {
            grid->hide();
        }
        auto* menu = named(new QMenu(this), look.menuName);
        for (const MenuItem& item : look.menu) {
            if (item.name == nullptr) {
                menu->addSeparator();
            } else {
                named(menu->addAction(QString::fromUtf8(item.text)), item.name)
                    ->setData(static_cast<int>(item.command));
            }
        }
        viewTable_[v] = {look.which, &rows, grid, menu};
        const VisibleGrid which = look.which;
        connect(grid, &QWidget::customContextMenuRequested, menu,
                [this, which, grid, menu](QPoint at) {
                    // The commands act on the row the menu was opened over, whatever row is
                    // highlighted.
                    QModelIndex index = grid->indexAt(at);
                    menuRow_ = index.isValid() ? RecordGridModel::gridRow(index.row()) : -1;
                    pointerMoved(view(which), menuRow_);
                    enableContentsItem(menu, which);
                    menu->popup(grid->viewport()->mapToGlobal(at));
                });
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                connect(action, &QAction::triggered, this, [this, which, action] {
                    recordCommand(which, static_cast<RecordCommand>(action->data().toInt()));
                });
            }
        }
    }
}

QTableView* MainWindow::makeGrid(const RecordGrid& grid,
                                 const std::array<int, kGridColumns>& widths) {
    auto* view = new QTableView(centralWidget());
    view->setGeometry(QRect(QPoint(200, 24), kGridSize));
    view->setModel(new RecordGridModel(grid, view));
    setUpGridView(view);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setFixedHeight(18);
    view->horizontalHeader()->setHighlightSections(false);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->setStyleSheet(
        QStringLiteral("QTableView { background: black; color: white; gridline-color: #404040; }"
                       "QHeaderView::section { background: #ababab; color: black; padding: 0 %1px;"
                       " border: %2px solid #808080; }")
            .arg(kHeaderPadding)
            .arg(kHeaderBorder));
    // A column too narrow for its header or its widest number, date or time in this font is
    // widened rather than the text cut.
    for (int c = 0; c < kGridColumns; ++c) {
        QString header = fromCp1251(grid.cell(c, 0));
        int headerRoom = view->fontMetrics().horizontalAdvance(header) + 2 * kHeaderTextMargin;
        QStyleOptionViewItem cell;
        cell.initFrom(view);
        cell.text = kWidestCells[static_cast<std::size_t>(c)];
        cell.features = QStyleOptionViewItem::HasDisplay;
        int cellRoom =
            view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), view).width() +
            kGridLine;
        view->setColumnWidth(c,
                             std::max({widths[static_cast<std::size_t>(c)], headerRoom, cellRoom}));
    }
    // The pointer's moves reach the viewports, the header's included, not the views themselves.
    for (QWidget* area : {view->viewport(), view->horizontalHeader()->viewport()}) {
        area->setMouseTracking(true);
        area->installEventFilter(this);
    }
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    return view;
}

QList<QAction*> MainWindow::recordItems(const View& view) {
    QList<QAction*> items;
    for (QAction* action : view.menu->actions()) {
        if (!action->isSeparator()) {
            items << action;
        }
    }
    return items;
}

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    // The menu bar keeps a light look of its own on the black window.
    bar->setStyleSheet(
        QStringLiteral("QMenuBar { background: #d4d0c8; color: black; }"
                       "QMenuBar::item { background: transparent; padding: 2px 8px; }"
                       "QMenuBar::item:selected { background: #0a246a; color: white; }"));
    auto item = [](QMenu* menu, const QString& text, const char* name) {
        return named(menu->addAction(text), name);
    };

    QMenu* base = bar->addMenu(QStringLiteral("База"));
    item(base->addMenu(QStringLiteral("Экспорт")), QStringLiteral("В HTML"), "exportHtml");
    base->addSeparator();
    item(base, QStringLiteral("Перезагрузка базы"), "reloadCatalogue");
    item(base, QStringLiteral("E&xit"), "exit");

    item(bar->addMenu(QStringLiteral("Поиск")), QStringLiteral("&Найти..."), "find");

    QMenu* mixes = bar->addMenu(QStringLiteral("Миксы"));
    item(mixes, QStringLiteral("Добавить..."), "addRecord");
    QMenu* show = mixes->addMenu(QStringLiteral("Показать"));
    onlyNewAction_ = item(show, QStringLiteral("Только новинки"), "onlyNew");
    notDownloadedAction_ = item(show, QStringLiteral("Не скаченные"), "notDownloaded");
    show->addSeparator();
    item(show, QStringLiteral("Настроить..."), "newDays");
    item(mixes, QStringLiteral("Открыть Downloader"), "openDownloader");
    item(mixes, QStringLiteral("Проверить DuzuRedu"), "checkSite");
    mixes->addSeparator();
    item(mixes, QStringLiteral("Инфа..."), "statistics");

    QMenu* help = bar->addMenu(QStringLiteral("Справка"));
    item(help, QStringLiteral("Помощь"), "help");
    item(help, QStringLiteral("Разработчики"), "credits");
    item(help, QStringLiteral("О программе"), "about");

    // The check marks are on until the settings say otherwise; a click only inverts one, the
    // filter applies at the next load.
    for (QAction* toggle : {onlyNewAction_, notDownloadedAction_}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
}

void MainWindow::connectMenu() {
    auto item = [this](const char* name) { return findChild<QAction*>(QString::fromLatin1(name)); };
    connect(item("exportHtml"), &QAction::triggered, this, &MainWindow::exportVisibleGrid);
    connect(item("reloadCatalogue"), &QAction::triggered, this, [this] { reloadCatalogue(true); });
    connect(item("exit"), &QAction::triggered, this, &QWidget::close);
    const auto windows = windowItems();
    for (std::size_t i = 0; i < windows.size(); ++i) {
        connect(item(windows[i].first), &QAction::triggered, this,
                [this, i] { windowItems()[i].second->open(this); });
    }
}

std::array<std::pair<const char*, SecondaryWindow*>, 9> MainWindow::windowItems() const {
    return {{{"find", windows_.searchWindow},
             {"addRecord", windows_.manualEntryWindow},
             {"newDays", windows_.newDaysWindow},
             {"openDownloader", windows_.downloadWindow},
             {"checkSite", windows_.importWindow},
             {"statistics", windows_.statisticsWindow},
             {"help", windows_.helpWindow},
             {"credits", windows_.creditsWindow},
             {"about", windows_.aboutWindow}}};
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setFixedHeight(19);
    bar->setSizeGripEnabled(false);
    bar->setStyleSheet(QStringLiteral(
        "QStatusBar { background: #ababab; } QStatusBar::item { border: 1px solid #808080; }"
        "QLabel { color: black; }"));
    QFont narrow = font();
    narrow.setFamilies({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
    narrow.setStretch(QFont::Condensed);
    narrow.setBold(true);
    narrow.setItalic(true);
    // In the order of StatusPanel.
    const std::array<int, kStatusPanels> widths = {350, 150, 150, 70, 50};
    // The widest size and date texts; a panel too narrow for them in this font is widened.
    const std::array<QString, kStatusPanels> widest = {
        QString(), QString(), QString(), QStringLiteral("999999 Кбайт"),
        QStringLiteral("Создан: 00.00.0000 Время: 00:00:00")};
    const std::array<const char*, kStatusPanels> names = {"trackPanel", "stylePanel", "emailPanel",
                                                          "sizePanel", "datePanel"};
    for (std::size_t i = 0; i < statusPanels_.size(); ++i) {
        QLabel* panel = named(new QLabel(bar), names[i]);
        // Names from the site read as they stand, even where they look like HTML.
        panel->setTextFormat(Qt::PlainText);
        panel->setFont(narrow);
        panel->setFixedWidth(
            std::max(widths[i], panel->fontMetrics().horizontalAdvance(widest[i])));
        bar->addWidget(panel);
        statusPanels_[i] = panel;
    }
}

void MainWindow::buildPanels() {
    splash_ = named(new QWidget(centralWidget()), "splash");
    splash_->setGeometry(248, 112, 481, 337);
    pictureLabel(splash_, QStringLiteral(":/splash.jpg"), QRect(0, 0, 481, 329));
    loadBar_ = new QProgressBar(splash_);
    loadBar_->setGeometry(0, 328, 481, 9);
    loadBar_->setTextVisible(false);
    loadBar_->setValue(0);
    loadBar_->setStyleSheet(
        QStringLiteral("QProgressBar { background: black; border: none; }"
                       "QProgressBar::chunk { background: rgb(255, 0, 0); }"));
    splash_->hide();

    goodbye_ = named(new QWidget(centralWidget()), "goodbye");
    goodbye_->setGeometry(280, 208, 409, 153);
    pictureLabel(goodbye_, QStringLiteral(":/goodbye.jpg"), QRect(0, 0, 409, 153));
    goodbye_->hide();
}

void MainWindow::showHeaderPicture(int key) {
    const int shown = headerPicture(key);
    for (std::size_t i = 0; i < headerPictures_.size(); ++i) {
        headerPictures_[i]->setVisible(static_cast<int>(i) == shown);
    }
}

}  // namespace kelvarn
