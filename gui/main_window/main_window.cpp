#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QThread>
#include <cstdio>
#include <utility>

#include "core/catalogue/styles.h"
#include "core/storage/io_error.h"
#include "core/storage/ole_date.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_window.h"
#include "gui/import/author_list_window.h"
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

// The splash progress bar of the catalogue load, repainted as it moves and paced by the
// "LoadDelay" setting.
class SplashLoad final : public LoadObserver {
public:
    SplashLoad(MainWindow& form, int delay, std::function<void(int)> pause)
        : form_(form), delay_(delay), pause_(std::move(pause)) {}

    std::uint32_t count() const { return count_; }

    void loadStarted(std::uint32_t count) override {
        count_ = count;
        form_.LoadBar->setMaximum(static_cast<int>(count));
        form_.LoadBar->setValue(0);
        step_ =
            std::max<std::uint32_t>(1, count / static_cast<std::uint32_t>(form_.LoadBar->width()));
        form_.Panel->repaint();
    }

    void recordLoaded(std::uint32_t number) override {
        // Repaint only when the bar can have grown by a pixel: a million repaints would cost
        // more than the load.
        if (number % step_ == 0 || number == static_cast<std::uint32_t>(form_.LoadBar->maximum())) {
            form_.LoadBar->setValue(static_cast<int>(number));
            form_.LoadBar->repaint();
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
    MainWindow& form_;
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

}  // namespace

MainWindow::MainWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QMainWindow(parent), context_(context), windows_(windows), settings_(context.folder) {
    setWindowTitle(QStringLiteral("Kelvarn v4.0.5 for Zentrova"));
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
    buildHeaderImages();
    Table = makeGrid(views_.Table, {26, 53, 137, 146, 134, 102, 49, 72, 65, 51, 48});
    Recucled = makeGrid(views_.Recucled, {26, 59, 117, 117, 113, 122, 97, 64, 103, 55, 48});
    Favorit = makeGrid(views_.Favorit, {25, 59, 118, 118, 112, 122, 97, 64, 103, 55, 48});
    Recucled->hide();
    Favorit->hide();
    buildContextMenus();
    buildMenu();
    buildStatusBar();
    buildPanels();

    Timer1 = new QTimer(this);
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);

    FormCreate();
    fitToScreen();
    Timer1->start();
}

MainWindow::~MainWindow() {
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
    TreeStyles->resize(TreeStyles->width(), centralWidget()->height());
    for (QTableView* grid : {Table, Favorit, Recucled}) {
        grid->resize(kGridSize - missing);
    }
    adjustSize();
    setFixedSize(sizeHint());
    if (desktop != nullptr) {
        moveOnScreen(this, desktop->availableGeometry().center(), desktop);
    }
}

void MainWindow::FormCreate() {
    News->setChecked(settings_.read(keys::News));
    File_OK->setChecked(settings_.read(keys::Zip));
}

void MainWindow::buildTree() {
    TreeStyles = new QTreeWidget(centralWidget());
    TreeStyles->setGeometry(0, 0, 193, kCentralSize.height());
    TreeStyles->setHeaderHidden(true);
    TreeStyles->setIndentation(28);
    TreeStyles->setIconSize(QSize(20, 20));
    TreeStyles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeStyles->setStyleSheet(
        QStringLiteral("QTreeWidget { background: black; color: white; border: none; }"
                       "QTreeWidget::item:hover { color: #80c0ff; text-decoration: underline; }"));
    const std::array<QIcon, 4> icons = {
        QIcon(QStringLiteral(":/tree/icon0.png")), QIcon(QStringLiteral(":/tree/icon1.png")),
        QIcon(QStringLiteral(":/tree/icon2.png")), QIcon(QStringLiteral(":/tree/icon3.png"))};
    auto node = [&](QTreeWidgetItem* parentNode, const QString& text, int icon, int key) {
        auto* item = parentNode != nullptr ? new QTreeWidgetItem(parentNode)
                                           : new QTreeWidgetItem(TreeStyles);
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
    TreeStyles->collapseAll();
    connect(TreeStyles, &QTreeWidget::itemClicked, this, [this] { TreeStylesClick(); });
    connect(TreeStyles, &QTreeWidget::itemActivated, this, [this] { TreeStylesClick(); });
}

void MainWindow::buildHeaderImages() {
    for (int i = 0; i < static_cast<int>(Image.size()); ++i) {
        Image[static_cast<std::size_t>(i)] =
            pictureLabel(centralWidget(), QStringLiteral(":/header/Image_%1.jpg").arg(i + 1),
                         QRect(200, 0, 200, 24));
        Image[static_cast<std::size_t>(i)]->setVisible(i == 0);
    }
}

QTableView* MainWindow::makeGrid(const RecordGrid& grid, const QList<int>& widths) {
    auto* view = new QTableView(centralWidget());
    view->setGeometry(QRect(QPoint(200, 24), kGridSize));
    view->setModel(new RecordGridModel(grid, view));
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(16);
    view->horizontalHeader()->setFixedHeight(18);
    view->horizontalHeader()->setHighlightSections(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setStyleSheet(
        QStringLiteral("QTableView { background: black; color: white; gridline-color: #404040; }"
                       "QHeaderView::section { background: #ababab; color: black; padding: 0 %1px;"
                       " border: %2px solid #808080; }")
            .arg(kHeaderPadding)
            .arg(kHeaderBorder));
    // A column too narrow for its header or its widest number, date or time in this font is
    // widened rather than the text cut.
    for (int c = 0; c < widths.size(); ++c) {
        QString header = fromCp1251(grid.cell(c, 0));
        int headerRoom = view->fontMetrics().horizontalAdvance(header) + 2 * kHeaderTextMargin;
        QStyleOptionViewItem cell;
        cell.initFrom(view);
        cell.text = kWidestCells[static_cast<std::size_t>(c)];
        cell.features = QStyleOptionViewItem::HasDisplay;
        int cellRoom =
            view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), view).width() +
            kGridLine;
        view->setColumnWidth(c, std::max({widths[c], headerRoom, cellRoom}));
    }
    // The pointer's moves reach the viewports, the header's included, not the views themselves.
    for (QWidget* area : {view->viewport(), view->horizontalHeader()->viewport()}) {
        area->setMouseTracking(true);
        area->installEventFilter(this);
    }
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    return view;
}

void MainWindow::buildContextMenus() {
    auto menu = [this](QTableView* grid, const QStringList& items) {
        auto* m = new QMenu(this);
        for (const QString& text : items) {
            if (text == QStringLiteral("-")) {
                m->addSeparator();
            } else {
                m->addAction(text);
            }
        }
        connect(grid, &QWidget::customContextMenuRequested, m,
                [grid, m](const QPoint& at) { m->popup(grid->viewport()->mapToGlobal(at)); });
        return m;
    };
    const QStringList shared = {"Open URL",
                                "Копировать ссылку",
                                "Копировать E-mail",
                                "Копировать название",
                                "-",
                                "Закачать",
                                "Закачать Все",
                                "-",
                                "Изменить",
                                "Удалить"};
    Context = menu(Table, shared + QStringList{"Добавить в Избранное"});
    Favorit_Context = menu(Favorit, shared + QStringList{"Убрать из Избранного"});
    Recuc_Restore = menu(Recucled, {"Восстановить", "Копировать ссылку", "Копировать E-mail",
                                    "Копировать название", "-", "Изменить"});
    const QList<QMenu*> menus = {Context, Favorit_Context, Recuc_Restore};
    const QList<QStringList> names = {
        {"Open_URL", "Copy_URL", "Copy_Email", "Copy_Name", "Download", "Downl_All", "Change",
         "Del_Mix", "Favorite_Mix"},
        {"Open_URL1", "Copy_URL_Fav", "Copy_mail_fav", "Copy_Name_Fav", "Download1", "Downl_All1",
         "Change1", "Del_Mix1", "Favorite_Mix1"},
        {"Restore", "Copy_URL_Rec", "Copy_Mail_Rec", "Copy_Name_Rec", "Change_mix_Rec"}};
    for (int m = 0; m < menus.size(); ++m) {
        QList<QAction*> items = recordItems(m == 0 ? Table : m == 1 ? Favorit : Recucled);
        for (int i = 0; i < items.size(); ++i) {
            items[i]->setObjectName(names[m][i]);
        }
    }
}

QList<QAction*> MainWindow::recordItems(const QTableView* grid) const {
    QMenu* menu = grid == Table ? Context : grid == Favorit ? Favorit_Context : Recuc_Restore;
    QList<QAction*> items;
    for (QAction* action : menu->actions()) {
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
    auto item = [this](QMenu* menu, const QString& text, const char* name) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    QMenu* base = bar->addMenu(QStringLiteral("База"));
    QMenu* exportMenu = base->addMenu(QStringLiteral("Экспорт"));
    HTML1 = item(exportMenu, QStringLiteral("В HTML"), "HTML1");
    base->addSeparator();
    Reload_base = item(base, QStringLiteral("Перезагрузка базы"), "Reload_base");
    Exit1 = item(base, QStringLiteral("E&xit"), "Exit1");

    QMenu* search = bar->addMenu(QStringLiteral("Поиск"));
    Find1 = item(search, QStringLiteral("&Найти..."), "Find1");

    QMenu* mixes = bar->addMenu(QStringLiteral("Миксы"));
    ADD_Man = item(mixes, QStringLiteral("Добавить..."), "ADD_Man");
    QMenu* show = mixes->addMenu(QStringLiteral("Показать"));
    News = item(show, QStringLiteral("Только новинки"), "News");
    File_OK = item(show, QStringLiteral("Не скаченные"), "File_OK");
    show->addSeparator();
    N6 = item(show, QStringLiteral("Настроить..."), "N6");
    Downloader1 = item(mixes, QStringLiteral("Открыть Downloader"), "Downloader1");
    DuzuRedu1 = item(mixes, QStringLiteral("Проверить DuzuRedu"), "DuzuRedu1");
    mixes->addSeparator();
    N17 = item(mixes, QStringLiteral("Инфа..."), "N17");

    QMenu* help = bar->addMenu(QStringLiteral("Справка"));
    Help1 = item(help, QStringLiteral("Помощь"), "Help1");
    N12 = item(help, QStringLiteral("Разработчики"), "N12");
    N15 = item(help, QStringLiteral("О программе"), "N15");

    // The check marks are on until the settings say otherwise; a click only inverts one, the
    // filter applies at the next load.
    for (QAction* toggle : {News, File_OK}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    connect(Reload_base, &QAction::triggered, this, &MainWindow::Reload_baseClick);
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(Find1, &QAction::triggered, this,
            [this] { showCentredOver(windows_.searchWindow, this); });
    connect(ADD_Man, &QAction::triggered, this,
            [this] { showCentredOver(windows_.manualEntryWindow, this); });
    connect(N6, &QAction::triggered, this, [this] { windows_.newDaysWindow->open(this); });
    connect(Downloader1, &QAction::triggered, this,
            [this] { windows_.downloadWindow->open(this); });
    connect(DuzuRedu1, &QAction::triggered, this,
            [this] { showCentredOver(windows_.importWindow, this); });
    connect(N17, &QAction::triggered, this, [this] { windows_.statisticsWindow->open(this); });
    connect(Help1, &QAction::triggered, this,
            [this] { showCentredOver(windows_.helpWindow, this); });
    connect(N12, &QAction::triggered, this, [this] { windows_.creditsWindow->open(this); });
    connect(N15, &QAction::triggered, this,
            [this] { showCentredOver(windows_.aboutWindow, this); });
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
    for (std::size_t i = 0; i < Info.size(); ++i) {
        Info[i] = new QLabel(bar);
        Info[i]->setFont(narrow);
        Info[i]->setFixedWidth(
            std::max(widths[i], Info[i]->fontMetrics().horizontalAdvance(widest[i])));
        bar->addWidget(Info[i]);
    }
}

void MainWindow::buildPanels() {
    Panel = new QWidget(centralWidget());
    Panel->setGeometry(248, 112, 481, 337);
    Image1 = pictureLabel(Panel, QStringLiteral(":/splash.jpg"), QRect(0, 0, 481, 329));
    LoadBar = new QProgressBar(Panel);
    LoadBar->setGeometry(0, 328, 481, 9);
    LoadBar->setTextVisible(false);
    LoadBar->setValue(0);
    LoadBar->setStyleSheet(
        QStringLiteral("QProgressBar { background: black; border: none; }"
                       "QProgressBar::chunk { background: rgb(255, 0, 0); }"));
    Panel->hide();

    GoodBye = new QWidget(centralWidget());
    GoodBye->setGeometry(280, 208, 409, 153);
    Image2 = pictureLabel(GoodBye, QStringLiteral(":/goodbye.jpg"), QRect(0, 0, 409, 153));
    GoodBye->hide();
}

void MainWindow::pause(int milliseconds) {
    if (context_.sleep) {
        context_.sleep(milliseconds);
        return;
    }
    // The window stays painted but takes no input while it waits, as during the whole load.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents,
                                        static_cast<int>(milliseconds - clock.elapsed()));
        QThread::msleep(1);
    }
}

void MainWindow::loadCatalogue(bool reload) {
    CatalogueFile file(context_.file("Base.vlt"));
    ViewFilter filter = viewFilterFor(News->isChecked(), File_OK->isChecked(), settings_,
                                      context_.today ? context_.today() : oleToday());
    // Once a close is asked for, the rest loads at full speed.
    SplashLoad splash(*this, std::max(0, settings_.read(keys::LoadDelay)), [this](int ms) {
        if (!closeAfterLoad_) {
            pause(ms);
        }
    });
    Panel->show();
    Panel->raise();
    Panel->repaint();
    QString failure;
    try {
        if (reload) {
            reloadViews(file, filter, views_, &splash);
        } else {
            ReadBase(file, filter, views_, &splash);
            CopyTable(views_);
        }
    } catch (const IoError& e) {
        failure = QString::fromStdString(e.what());
    }
    loadedRecords_ = splash.count();
    Panel->hide();
    LoadBar->setValue(0);
    gridsChanged();
    if (!failure.isEmpty()) {
        MessageBox::error(this, failure);
    }
}

void MainWindow::runLoad(bool reload) {
    loading_ = true;
    loadCatalogue(reload);
    loading_ = false;
    // Records the import saved while the load ran; the load may have read some of them.
    for (const auto& [number, record] : std::exchange(savedDuringLoad_, {})) {
        appendToSwap(number, record);
    }
    if (closeAfterLoad_) {
        close();
    }
}

void MainWindow::Timer1Timer() {
    // Off before the load: a load that fails is shown once, not retried at every tick.
    Timer1->stop();
    if (loadTried_) {
        return;
    }
    loadTried_ = true;
    runLoad(false);
}

void MainWindow::Reload_baseClick() {
    for (QTableView* grid : {Table, Recucled, Favorit}) {
        grid->setEnabled(false);
    }
    runLoad(true);
    for (QTableView* grid : {Table, Recucled, Favorit}) {
        grid->setEnabled(true);
    }
}

void MainWindow::gridsChanged() {
    for (QTableView* grid : {Table, Favorit, Recucled}) {
        static_cast<RecordGridModel*>(grid->model())->gridChanged();
    }
}

void MainWindow::appendToSwap(std::uint32_t number, const MixRecord& record) {
    if (loading_) {
        // The load rebuilds Swap whole when it ends: the record waits until then.
        savedDuringLoad_.emplace_back(number, record);
    } else if (number > loadedRecords_) {
        views_.Swap.appendRow(RecordToRow(number, record));
    }
}

void MainWindow::open_close_image(int key) {
    int shown = -1;  // index into Image: Image_N is Image[N - 1]
    if (key >= kKeyAllStyles && key <= 14) {
        shown = key + 1;
    } else if (key == kKeyRecycleBin) {
        shown = 17;
    } else if (key == kKeyFavourites) {
        shown = 16;
    } else if (key == kKeySearch) {
        shown = 18;
    }
    for (int i = 0; i < static_cast<int>(Image.size()); ++i) {
        Image[static_cast<std::size_t>(i)]->setVisible(i == shown);
    }
}

void MainWindow::showOnly(QTableView* grid) {
    for (QTableView* g : {Table, Favorit, Recucled}) {
        g->setVisible(g == grid);
    }
}

QTableView* MainWindow::visibleGrid() const {
    if (!Favorit->isHidden()) {
        return Favorit;
    }
    if (!Recucled->isHidden()) {
        return Recucled;
    }
    return Table;
}

void MainWindow::TreeStylesClick() {
    QTreeWidgetItem* node = TreeStyles->currentItem();
    if (node == nullptr) {
        return;
    }
    int key = node->data(0, kViewKeyRole).toInt();
    open_close_image(key);
    VisibleGrid visible = selectStyleNode(views_, key, toCp1251(node->text(0)));
    static_cast<RecordGridModel*>(Table->model())->gridChanged();
    showOnly(visible == VisibleGrid::Table     ? Table
             : visible == VisibleGrid::Favorit ? Favorit
                                               : Recucled);
}

void MainWindow::gridMouseMove(QTableView* grid, int gridRow) {
    MouseRow = gridRow;
    const RecordGrid& rows = grid == Table     ? views_.Table
                             : grid == Favorit ? views_.Favorit
                                               : views_.Recucled;
    QList<QAction*> items = recordItems(grid);
    if (gridRow <= 0 || gridRow >= rows.rowCount()) {
        for (QLabel* panel : Info) {
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
    Info[0]->setText(QStringLiteral(" ") + cell(kColAuthor) + QStringLiteral(" - ") +
                     cell(kColTitle));
    Info[1]->setText(cell(kColStyle));
    Info[2]->setText(cell(kColEmail));
    Info[3]->setText(cell(kColSize) + QStringLiteral(" Кбайт"));
    Info[4]->setText(QStringLiteral("Создан: ") + cell(kColDate) + QStringLiteral(" Время: ") +
                     cell(kColTime));
}

void MainWindow::TableMouseMove(int gridRow) {
    gridMouseMove(Table, gridRow);
}
void MainWindow::FavoritMouseMove(int gridRow) {
    gridMouseMove(Favorit, gridRow);
}
void MainWindow::RecucledMouseMove(int gridRow) {
    gridMouseMove(Recucled, gridRow);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        for (QTableView* grid : {Table, Favorit, Recucled}) {
            int gridRow = -2;
            if (watched == grid->horizontalHeader()->viewport()) {
                gridRow = 0;
            } else if (watched == grid->viewport()) {
                QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
                QModelIndex index = grid->indexAt(at);
                gridRow = index.isValid() ? RecordGridModel::gridRow(index.row()) : -1;
            }
            if (gridRow == -2) {
                continue;
            }
            if (grid == Table) {
                TableMouseMove(gridRow);
            } else if (grid == Favorit) {
                FavoritMouseMove(gridRow);
            } else {
                RecucledMouseMove(gridRow);
            }
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::writeClosingSettings() {
    try {
        settings_.write(keys::News, News->isChecked());
        settings_.write(keys::Zip, File_OK->isChecked());
        windows_.importWindow->saveSettings();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
}

bool MainWindow::FormCloseQuery() {
    // A run under way ends before anything else closes; it never leaves a record half-written.
    windows_.importWindow->stopRun();
    for (QWidget* window : std::initializer_list<QWidget*>{
             windows_.searchWindow, windows_.manualEntryWindow, windows_.newDaysWindow,
             windows_.downloadWindow, windows_.importWindow, windows_.statisticsWindow,
             windows_.helpWindow, windows_.creditsWindow, windows_.aboutWindow,
             windows_.authorListWindow}) {
        window->close();
    }
    writeClosingSettings();
    std::remove(context_.file("Loops.dat").c_str());

    GoodBye->show();
    GoodBye->raise();
    GoodBye->repaint();
    pause(1000);
    for (int step = 1; step <= 25; ++step) {
        setWindowOpacity((250 - 10 * step) / 255.0);
        // Painting hands the new opacity to the window system now; otherwise it would see only
        // the last step, and the window would vanish at once.
        repaint();
        pause(10);
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (loading_) {
        // The load owns the views until it ends; the close follows it.
        closeAfterLoad_ = true;
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        FormCloseQuery();
    }
    event->accept();
    QApplication::quit();
}

}  // namespace kelvarn
