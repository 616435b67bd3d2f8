// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include "core/storage/backups.h"
#include "gui/common/message_box.h"
#include "gui/common/queued_call.h"
#include "gui/common/record_grid_model.h"
#include "gui/common/window_fade.h"
#include "gui/common/window_util.h"

namespace kelvarn {

MainWindow::MainWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QMainWindow(parent), context_(context), windows_(windows), settings_(context.folder) {
    setWindowTitle(QStringLiteral("Kelvarn v" KELVARN_VERSION " for Zentrova"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowOpacity(kMainWindowOpacity / 255.0);
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

void MainWindow::gridsChanged() {
    for (const View& v : viewTable_) {
        static_cast<RecordGridModel*>(v.grid->model())->gridChanged();
    }
}

std::string MainWindow::siteAddress() const {
    return context_.site.empty() ? settings_.siteAddress() : context_.site;
}

void MainWindow::showSearchResults(const RecordGrid& results) {
    views_.Table = results;
    showHeaderPicture(kKeySearch);
    static_cast<RecordGridModel*>(view(VisibleGrid::Table).grid->model())->gridChanged();
    for (const View& v : viewTable_) {
        v.grid->setVisible(v.which == VisibleGrid::Table);
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
    VisibleGrid visible = selectStyleNode(views_, key);
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
    auto panel = [this](StatusPanel which) {
        return statusPanels_[static_cast<std::size_t>(which)];
    };
    panel(StatusPanel::Track)
        ->setText(QStringLiteral(" ") + cell(kColAuthor) + QStringLiteral(" - ") + cell(kColTitle));
    panel(StatusPanel::Style)->setText(cell(kColStyle));
    panel(StatusPanel::Email)->setText(cell(kColEmail));
    panel(StatusPanel::Size)->setText(cell(kColSize) + QStringLiteral(" Кбайт"));
    panel(StatusPanel::Date)
        ->setText(QStringLiteral("Создан: ") + cell(kColDate) + QStringLiteral(" Время: ") +
                  cell(kColTime));
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

}  // namespace kelvarn
