#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <utility>

#include "core/catalogue/html_export.h"
#include "core/catalogue/record_edit.h"
#include "core/catalogue/styles.h"
#include "core/import/save_journal.h"
#include "core/storage/backups.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "core/tools/downloaded_mixes.h"
#include "gui/common/file_dialog.h"
#include "gui/common/message_box.h"
#include "gui/common/queued_call.h"
#include "gui/common/record_grid_model.h"
#include "gui/common/secondary_window.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/import/author_list_window.h"
#include "gui/import/import_window.h"
#include "gui/info/about_window.h"
#include "gui/info/credits_window.h"
#include "gui/info/help_window.h"
#include "gui/main_window/new_days_window.h"
#include "gui/main_window/record_editor.h"
#include "gui/tools/manual_entry_window.h"
#include "gui/tools/mix_contents_window.h"
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

// The splash progress bar of the catalogue load, repainted as it moves and paced by the
// "LoadDelay" setting.
// Drops the keyboard and mouse input of every window while it lives; close requests pass.
class InputBlocker final : public QObject {
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        return isUserInput(event->type());
    }

private:
    static bool isUserInput(QEvent::Type type) {
        switch (type) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::TabletMove:
                return true;
            default:
                return false;
        }
    }
};

class SplashLoad final : public LoadObserver {
public:
    SplashLoad(QWidget* splash, QProgressBar* bar, int delay, std::function<void(int)> pause)
        : splash_(splash), bar_(bar), delay_(delay), pause_(std::move(pause)) {}

    std::uint32_t count() const { return count_; }

    void loadStarted(std::uint32_t count) override {
        count_ = count;
        bar_->setMaximum(static_cast<int>(count));
        bar_->setValue(0);
        step_ = std::max<std::uint32_t>(1, count / static_cast<std::uint32_t>(bar_->width()));
        splash_->repaint();
    }

    void recordLoaded(std::uint32_t number) override {
        // Repaint only when the bar can have grown by a pixel: a million repaints would cost
        // more than the load.
        if (number % step_ == 0 || number == static_cast<std::uint32_t>(bar_->maximum())) {
            bar_->setValue(static_cast<int>(number));
            bar_->repaint();
        }
        if (delay_ > 0) {
            pause_(delay_);
        }
    }

    void loadFinished() override {
        if (delay_ > 0) {
            pause_(250);
        }
    }

private:
    QWidget* splash_;
    QProgressBar* bar_;
    int delay_;
    std::function<void(int)> pause_;
    std::uint32_t step_ = 1;
    std::uint32_t count_ = 0;
};

QLabel* pictureLabel(QWidget* parent, const QString& resource, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setPixmap(QPixmap(resource));
    label->setScaledContents(true);
    return label;
}

// The view key of each style tree node.
constexpr int kViewKeyRole = Qt::UserRole;

// An item of a grid's context menu; one without a name is a separator.
struct MenuItem {
    const char* text;
    const char* name;
};

constexpr MenuItem kSeparator{"", nullptr};

const std::vector<MenuItem> kRecordItems = {{"Open URL", "openUrl"},
                                            {"Копировать ссылку", "copyUrl"},
                                            {"Копировать E-mail", "copyEmail"},
                                            {"Копировать название", "copyName"},
                                            kSeparator,
                                            {"Закачать", "download"},
                                            {"Закачать Все", "downloadAll"},
                                            kSeparator,
                                            {"Изменить", "edit"},
                                            {"Удалить", "delete"}};

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
    items.push_back({"Что внутри...", "inspect"});
    return items;
}

const std::array<ViewLook, 3>& viewLooks() {
    static const std::array<ViewLook, 3> looks = {{
        {VisibleGrid::Table,
         &CatalogueViews::Table,
         "catalogueGrid",
         {26, 53, 137, 146, 134, 102, 49, 72, 65, 51, 48},
         "catalogueMenu",
         recordItemsAnd({"Добавить в Избранное", "addToFavourites"})},
        {VisibleGrid::RecycleBin,
         &CatalogueViews::RecycleBin,
         "recycleBinGrid",
         {26, 59, 117, 117, 113, 122, 97, 64, 103, 55, 48},
         "recycleBinMenu",
         {{"Восстановить", "restore"},
          {"Копировать ссылку", "copyUrl"},
          {"Копировать E-mail", "copyEmail"},
          {"Копировать название", "copyName"},
          kSeparator,
          {"Изменить", "edit"}}},
        {VisibleGrid::Favourites,
         &CatalogueViews::Favourites,
         "favouritesGrid",
         {25, 59, 118, 118, 112, 122, 97, 64, 103, 55, 48},
         "favouritesMenu",
         recordItemsAnd({"Убрать из Избранного", "removeFromFavourites"})},
    }};
    return looks;
}

// The header picture of a style tree node's view key, as an index into the pictures: Image_N
// is N - 1.
int headerPicture(int key) {
    switch (key) {
        case kKeyRecycleBin:
            return 17;
        case kKeyFavourites:
            return 16;
        case kKeySearch:
            return 18;
        default:
            return key >= kKeyAllStyles && key < kStyleCount ? key + 1 : -1;
    }
}

}  // namespace

MainWindow::MainWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QMainWindow(parent), context_(context), windows_(windows), settings_(context.folder) {
    setWindowTitle(QStringLiteral("Kelvarn v" KELVARN_VERSION " for Zentrova"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowOpacity(250 / 255.0);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);

    setCentralWidget(new QWidget(this));
    buildTree();
    buildHeaderPictures();
    buildViews();
    buildMenu();
    connectMenu();
    buildStatusBar();
    buildPanels();

    // Whichever window or run writes first on a day, a backup that fails is told here, once.
    setDailyBackups({context.today, [window = QPointer<MainWindow>(this)](const std::string& text) {
                         queueCall(qApp, [window, text] {
                             if (window) {
                                 MessageBox::error(window, QString::fromStdString(text));
                             }
                         });
                     }});

    loadTimer_ = named(new QTimer(this), "loadTimer");
    loadTimer_->setInterval(200);
    connect(loadTimer_, &QTimer::timeout, this, &MainWindow::firstLoad);

    onlyNewAction_->setChecked(settings_.read(keys::News));
    notDownloadedAction_->setChecked(settings_.read(keys::Zip));
    fitToScreen();
    loadTimer_->start();
}

MainWindow::~MainWindow() {
    setDailyBackups({});
    // The grids' models read views_, which dies before the base class deletes the children.
    delete takeCentralWidget();
}

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
                named(menu->addAction(QString::fromUtf8(item.text)), item.name);
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
                connect(action, &QAction::triggered, this,
                        [this, which, name = action->objectName()] { recordCommand(which, name); });
            }
        }
    }
}

MainWindow::View& MainWindow::view(VisibleGrid which) {
    return *std::find_if(viewTable_.begin(), viewTable_.end(),
                         [which](const View& v) { return v.which == which; });
}

const MainWindow::View& MainWindow::visibleView() const {
    const auto shown = std::find_if(viewTable_.begin(), viewTable_.end(),
                                    [](const View& v) { return !v.grid->isHidden(); });
    return shown != viewTable_.end() ? *shown : viewTable_.front();
}

RecordGrid& MainWindow::rowsOf(VisibleGrid which) {
    switch (which) {
        case VisibleGrid::Table:
            return views_.Table;
        case VisibleGrid::Favourites:
            return views_.Favourites;
        case VisibleGrid::RecycleBin:
            break;
    }
    return views_.RecycleBin;
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
    connect(item("reloadCatalogue"), &QAction::triggered, this, &MainWindow::reloadCatalogue);
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
    const std::array<int, 5> widths = {350, 150, 150, 70, 50};
    // The widest size and date texts; a panel too narrow for them in this font is widened.
    const std::array<QString, 5> widest = {QString(), QString(), QString(),
                                           QStringLiteral("999999 Кбайт"),
                                           QStringLiteral("Создан: 00.00.0000 Время: 00:00:00")};
    const std::array<const char*, 5> names = {"trackPanel", "stylePanel", "emailPanel", "sizePanel",
                                              "datePanel"};
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

void MainWindow::pause(int milliseconds) {
    if (context_.sleep) {
        context_.sleep(milliseconds);
        return;
    }
    // The windows stay painted but take no input while the load or the closing waits. Input is
    // dropped, not held back: Qt counts a close request from the window system as input, and
    // held-back input is handed on only when the event loop next wakes for something else, so a
    // close held back here could go unanswered for as long as nothing else happens.
    InputBlocker blocker;
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec();
}

void MainWindow::loadCatalogue(bool reload, bool paced) {
    CatalogueFile file(context_.file("Base.vlt"));
    // Taken before the read: a file put in its place meanwhile shows at the next check.
    catalogueIdentity_ = FileIdentity(file.path());
    loadedFilter_ = viewFilterFor(onlyNewAction_->isChecked(), notDownloadedAction_->isChecked(),
                                  settings_, context_.today ? context_.today() : oleToday());
    // Once a close is asked for, the rest loads at full speed.
    SplashLoad splash(splash_, loadBar_, paced ? std::max(0, settings_.read(keys::LoadDelay)) : 0,
                      [this](int ms) {
                          if (!closeAfterLoad_) {
                              pause(ms);
                          }
                      });
    splash_->show();
    splash_->raise();
    splash_->repaint();
    QString failure;
    try {
        if (reload) {
            reloadViews(file, loadedFilter_, views_, &splash);
        } else {
            loadViews(file, loadedFilter_, views_, &splash);
            copyTableToSwap(views_);
        }
    } catch (const IoError& e) {
        failure = QString::fromStdString(e.what());
    }
    knownRecords_ = splash.count();
    splash_->hide();
    loadBar_->setValue(0);
    gridsChanged();
    if (!failure.isEmpty()) {
        MessageBox::error(this, failure);
    }
}

void MainWindow::runLoad(bool reload, bool paced) {
    loading_ = true;
    loadCatalogue(reload, paced);
    loading_ = false;
    // Records the import saved while the load ran; the load may have read some of them.
    for (const auto& [number, record] : std::exchange(savedDuringLoad_, {})) {
        appendToSwap(number, record);
    }
    if (closeAfterLoad_) {
        close();
    }
}

void MainWindow::firstLoad() {
    // Off before the load: a load that fails is shown once, not retried at every tick.
    loadTimer_->stop();
    if (loadTried_) {
        return;
    }
    loadTried_ = true;
    // A restore killed half-way, or an import killed in its save stage: the files are whole
    // before the catalogue is read.
    try {
        finishInterruptedRestore(context_.folder);
        completeInterruptedSave(context_.folder);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    runLoad(false, true);
}

void MainWindow::reloadCatalogue(bool paced) {
    for (const View& v : viewTable_) {
        v.grid->setEnabled(false);
    }
    runLoad(true, paced);
    for (const View& v : viewTable_) {
        v.grid->setEnabled(true);
    }
}

bool MainWindow::catalogueReplaced() const {
    const std::string path = context_.file("Base.vlt");
    return !catalogueIdentity_.stillNamedBy(path) ||
           (fileExists(path) && CatalogueFile(path).count() < knownRecords_);
}

void MainWindow::reloadKeepingPlace() {
    const View& shown = visibleView();
    const QModelIndex current = shown.grid->currentIndex();
    const std::string number =
        current.isValid()
            ? std::string(shown.rows->cell(kColNumber, RecordGridModel::gridRow(current.row())))
            : std::string();
    reloadCatalogue(false);
    showStyleNode();
    const View& now = visibleView();
    for (int r = 1; !number.empty() && r < now.rows->rowCount(); ++r) {
        if (now.rows->cell(kColNumber, r) == number) {
            now.grid->setCurrentIndex(
                now.grid->model()->index(r - 1, std::max(current.column(), 0)));
            break;
        }
    }
}

void MainWindow::recordChangedOnDisk(std::uint32_t number) {
    MessageBox::message(
        this, QStringLiteral("Запись %1 изменилась на диске: база перечитана.").arg(number));
    reloadKeepingPlace();
}

void MainWindow::gridsChanged() {
    for (const View& v : viewTable_) {
        static_cast<RecordGridModel*>(v.grid->model())->gridChanged();
    }
}

void MainWindow::appendToSwap(std::uint32_t number, const MixRecord& record) {
    if (loading_) {
        // The load rebuilds Swap whole when it ends: the record waits until then.
        savedDuringLoad_.emplace_back(number, record);
    } else if (number == knownRecords_ + 1) {
        views_.Swap.appendRow(RecordToRow(number, record));
        knownRecords_ = number;
    }
    // Past a gap another process appended records in between: the next click reads them all from
    // the file, this one with them.
}

void MainWindow::readNewerRecords() {
    try {
        appendNewerToSwap(CatalogueFile(context_.file("Base.vlt")), loadedFilter_, views_.Swap,
                          knownRecords_);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

std::string MainWindow::siteAddress() const {
    return context_.site.empty() ? settings_.siteAddress() : context_.site;
}

void MainWindow::recordCommand(VisibleGrid which, const QString& item) {
    const RecordGrid& grid = *view(which).rows;
    const int row = menuRow_;
    // A row gone since the menu opened (a load, another command) names nothing to act on.
    if (!grid.isRecordRow(row)) {
        return;
    }
    try {
        if (item == QLatin1String("openUrl")) {
            QDesktopServices::openUrl(QUrl(fromCp1251(copiedAddress(siteAddress(), grid, row))));
        } else if (item == QLatin1String("copyUrl")) {
            QApplication::clipboard()->setText(fromCp1251(copiedAddress(siteAddress(), grid, row)));
        } else if (item == QLatin1String("copyEmail")) {
            QApplication::clipboard()->setText(fromCp1251(grid.cell(kColEmail, row)));
        } else if (item == QLatin1String("copyName")) {
            QApplication::clipboard()->setText(fromCp1251(copiedName(grid, row)));
        } else if (item == QLatin1String("download")) {
            QueueFile queue(context_.file("List.dnl"));
            queued(queueRow(CatalogueFile(context_.file("Base.vlt")), queue, grid, row));
        } else if (item == QLatin1String("downloadAll")) {
            MessageBox::beep();
            bool everyRow =
                MessageBox::question(this, QStringLiteral("Information"),
                                     QStringLiteral("Хотите перекачать все заново?"),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
            QueueFile queue(context_.file("List.dnl"));
            queued(queueAll(CatalogueFile(context_.file("Base.vlt")), queue, grid, everyRow));
        } else if (item == QLatin1String("edit")) {
            editRecord(which, row);
        } else if (item == QLatin1String("delete")) {
            moveRecord(
                which,
                which == VisibleGrid::Table ? RecordMove::Recycle : RecordMove::RecycleFavourite,
                row, "del.wav");
        } else if (item == QLatin1String("addToFavourites")) {
            moveRecord(which, RecordMove::Favourite, row, "fav.wav");
        } else if (item == QLatin1String("removeFromFavourites")) {
            moveRecord(which, RecordMove::Unfavourite, row, "rest.wav");
        } else if (item == QLatin1String("restore")) {
            moveRecord(which, RecordMove::Restore, row, "rest.wav");
        } else if (item == QLatin1String("inspect")) {
            if (std::optional<std::string> file = downloadedFileOf(grid, row)) {
                windows_.mixContentsWindow->showFile(this, *file);
            }
        }
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

std::optional<std::string> MainWindow::downloadedFileOf(const RecordGrid& grid, int row) const {
    return downloadedFile(saveFolderOf(settings_), grid.cell(kColId, row),
                          grid.cell(kColAuthor, row), grid.cell(kColTitle, row));
}

void MainWindow::enableContentsItem(QMenu* menu, VisibleGrid which) {
    QAction* item = menu->findChild<QAction*>(QStringLiteral("inspect"));
    if (item == nullptr || !item->isEnabled()) {
        return;
    }
    try {
        item->setEnabled(downloadedFileOf(*view(which).rows, menuRow_).has_value());
    } catch (const IoError&) {
        item->setEnabled(false);
    }
}

void MainWindow::queued(const QueueOutcome& outcome) {
    if (!outcome.changed.empty()) {
        recordChangedOnDisk(outcome.changed.front().number);
        return;
    }
    context_.PlaySoundFile("add.wav");
}

void MainWindow::moveRecord(VisibleGrid which, RecordMove move, int row, const char* sound) {
    CatalogueFile catalogue(context_.file("Base.vlt"));
    const MoveOutcome outcome = kelvarn::moveRecord(catalogue, views_, move, row);
    if (outcome.write != CheckedWrite::Written) {
        recordChangedOnDisk(recordRefOf(*view(which).rows, row).number);
        return;
    }
    gridsChanged();
    if (outcome.highlight) {
        QTableView* grid = view(which).grid;
        grid->setCurrentIndex(grid->model()->index(*outcome.highlight - 1, kColAuthor));
    }
    context_.PlaySoundFile(sound);
}

void MainWindow::editRecord(VisibleGrid which, int row) {
    const RecordRef ref = recordRefOf(*view(which).rows, row);
    std::optional<MixRecord> record;
    try {
        record = CatalogueFile(context_.file("Base.vlt")).readIfHolding(ref);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    if (!record) {
        recordChangedOnDisk(ref.number);
        return;
    }
    windows_.recordEditor->edit(
        this, ref.number, *record,
        [this, which, ref](const RecordEdit& edit) { return saveEdit(which, ref, edit); });
}

bool MainWindow::saveEdit(VisibleGrid which, const RecordRef& ref, const RecordEdit& edit) {
    CheckedWrite write = CheckedWrite::Declined;
    try {
        CatalogueFile catalogue(context_.file("Base.vlt"));
        write = saveRecordEdit(catalogue, ref, edit);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return false;
    }
    if (write == CheckedWrite::Replaced) {
        recordChangedOnDisk(ref.number);
        return true;
    }
    // The rows that show the record now, found by its number and ID: rows may have moved
    // meanwhile.
    auto applyTo = [&](RecordGrid& grid) {
        for (int r = 1; r < grid.rowCount(); ++r) {
            const RecordRef shown = recordRefOf(grid, r);
            if (shown.number == ref.number && shown.id == ref.id) {
                applyRecordEdit(grid, r, edit);
                return;
            }
        }
    };
    if (which == VisibleGrid::Table) {
        applyTo(views_.Swap);
    }
    applyTo(rowsOf(which));
    gridsChanged();
    return true;
}

void MainWindow::exportVisibleGrid() {
    const QString path = FileDialog::saveFileName(this, QStringLiteral("HTML файлы (*.html)"));
    if (path.isEmpty()) {
        return;
    }
    try {
        exportHtml(*visibleView().rows, siteAddress(), path.toStdString(), context_.folder);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

void MainWindow::showSearchResults(const RecordGrid& results) {
    views_.Table = results;
    showHeaderPicture(kKeySearch);
    static_cast<RecordGridModel*>(view(VisibleGrid::Table).grid->model())->gridChanged();
    for (const View& v : viewTable_) {
        v.grid->setVisible(v.which == VisibleGrid::Table);
    }
}

void MainWindow::showHeaderPicture(int key) {
    const int shown = headerPicture(key);
    for (std::size_t i = 0; i < headerPictures_.size(); ++i) {
        headerPictures_[i]->setVisible(static_cast<int>(i) == shown);
    }
}

void MainWindow::styleNodeClicked() {
    if (styleTree_->currentItem() == nullptr) {
        return;
    }
    // Rows read from a file that a restore has replaced since would name other mixes.
    if (catalogueReplaced()) {
        reloadKeepingPlace();
        return;
    }
    readNewerRecords();
    showStyleNode();
}

void MainWindow::showStyleNode() {
    QTreeWidgetItem* node = styleTree_->currentItem();
    if (node == nullptr) {
        return;
    }
    int key = node->data(0, kViewKeyRole).toInt();
    showHeaderPicture(key);
    VisibleGrid visible = selectStyleNode(views_, key, toCp1251(node->text(0)));
    static_cast<RecordGridModel*>(view(VisibleGrid::Table).grid->model())->gridChanged();
    for (const View& v : viewTable_) {
        v.grid->setVisible(v.which == visible);
    }
}

void MainWindow::pointerMoved(const View& view, int gridRow) {
    rowUnderPointer_ = gridRow;
    const RecordGrid& rows = *view.rows;
    QList<QAction*> items = recordItems(view);
    if (gridRow <= 0 || gridRow >= rows.rowCount()) {
        for (QLabel* panel : statusPanels_) {
            panel->clear();
        }
        for (QAction* action : items) {
            action->setEnabled(false);
        }
        return;
    }
    bool isRecord = !rows.cell(kColNumber, gridRow).empty();
    for (QAction* action : items) {
        action->setEnabled(isRecord);
    }
    auto cell = [&](int column) { return fromCp1251(rows.cell(column, gridRow)); };
    statusPanels_[0]->setText(QStringLiteral(" ") + cell(kColAuthor) + QStringLiteral(" - ") +
                              cell(kColTitle));
    statusPanels_[1]->setText(cell(kColStyle));
    statusPanels_[2]->setText(cell(kColEmail));
    statusPanels_[3]->setText(cell(kColSize) + QStringLiteral(" Кбайт"));
    statusPanels_[4]->setText(QStringLiteral("Создан: ") + cell(kColDate) +
                              QStringLiteral(" Время: ") + cell(kColTime));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        for (const View& v : viewTable_) {
            if (watched == v.grid->horizontalHeader()->viewport()) {
                pointerMoved(v, 0);
                break;
            }
            if (watched == v.grid->viewport()) {
                QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
                QModelIndex index = v.grid->indexAt(at);
                pointerMoved(v, index.isValid() ? RecordGridModel::gridRow(index.row()) : -1);
                break;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::writeClosingSettings() {
    try {
        settings_.write(keys::News, onlyNewAction_->isChecked());
        settings_.write(keys::Zip, notDownloadedAction_->isChecked());
        windows_.importWindow->saveSettings();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

void MainWindow::closingSequence() {
    // The good-bye picture answers the close at once, the other windows gone from the screen;
    // what has to end ends behind it.
    for (const auto& [name, window] : windowItems()) {
        window->hide();
    }
    windows_.authorListWindow->hide();
    goodbye_->show();
    goodbye_->raise();
    goodbye_->repaint();
    QElapsedTimer shown;
    shown.start();
    // A run under way ends before anything else closes; it never leaves a record half-written.
    windows_.importWindow->stopRun();
    // The windows of the menu, in its order, then the author list the import window opens.
    for (const auto& [name, window] : windowItems()) {
        window->close();
    }
    windows_.authorListWindow->close();
    writeClosingSettings();
    std::remove(context_.file("Loops.dat").c_str());

    pause(static_cast<int>(std::max<qint64>(0, 1000 - shown.elapsed())));
    for (int step = 1; step <= 25; ++step) {
        setWindowOpacity((250 - 10 * step) / 255.0);
        // Painting hands the new opacity to the window system now; otherwise it would see only
        // the last step, and the window would vanish at once.
        repaint();
        pause(10);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (loading_) {
        // The load owns the views until it ends; the close follows it.
        closeAfterLoad_ = true;
        event->ignore();
        return;
    }
    if (closing_) {
        // Asked again while the good-bye shows: the close under way ends it.
        event->ignore();
        return;
    }
    closing_ = true;
    closingSequence();
    event->accept();
    QApplication::quit();
}

}  // namespace kelvarn
