// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/downloader/download_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>

#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/queued_call.h"
#include "gui/common/window_util.h"
#include "gui/downloader/download_queue_model.h"
#include "gui/downloader/folder_chooser.h"

namespace kelvarn {
namespace {

const QString kCaption = QStringLiteral("Downloader v1.0");

}  // namespace

// Carries the worker's reports to the window, in the order they were made; reports of a run the
// window has let go are dropped there. Each report carries what it needs by value: it runs after
// the observer has gone.
class DownloadWindow::Observer final : public DownloadObserver {
public:
    Observer(DownloadWindow* window, const int& currentRun, int run)
        : window_(window), currentRun_(currentRun), run_(run) {}

    void rowStatus(std::size_t row, const DownloadState&) override {
        post([window = window_, row] { window->showRowStatus(static_cast<int>(row)); });
    }
    void transferProgress(std::int64_t kilobytes, std::int64_t maximum) override {
        post([window = window_, kilobytes, maximum] {
            // A file of no known length: the bar runs without an end.
            const std::int64_t top = std::max<std::int64_t>(maximum, 0);
            window->transferBar_->setMaximum(
                static_cast<int>(std::min<std::int64_t>(top, std::numeric_limits<int>::max())));
            window->transferBar_->setValue(static_cast<int>(std::min(kilobytes, top)));
            window->receivedLabel_->setText(fromCp1251(transferLabel(kilobytes, maximum)));
        });
    }
    void transferCleared() override {
        post([window = window_] {
            window->transferBar_->setValue(0);
            window->receivedLabel_->clear();
        });
    }

private:
    template <typename Call>
    void post(Call call) {
        queueCall(window_, [call = std::move(call), &current = currentRun_, run = run_] {
            if (current == run) {
                call();
            }
        });
    }

    DownloadWindow* window_;
    const int& currentRun_;
    int run_;
};

// A run and the observer it reports to, owned by the worker thread.
struct DownloadWindow::Job {
    Job(DownloadWindow* window, const int& currentRun, int run, DownloadSettings settings,
        DownloadRows& rows, SoundPlayer& sound, const std::atomic<bool>& stop,
        const std::atomic<bool>& paused)
        : observer(window, currentRun, run),
          downloadRun(std::move(settings), rows, observer, sound, stop, paused) {}

    Observer observer;
    DownloadRun downloadRun;
};

DownloadWindow::DownloadWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), context_(context), settings_(context.folder) {
    setUpSecondaryWindow(this, kCaption, true, 230, true);
    buildControls();
    connectControls();
    folderBox_->setText(QString::fromStdString(settings_.downloadPath()));
    fullNamesBox_->setChecked(settings_.read(keys::FullNames));
    loadQueue();
}

void DownloadWindow::buildControls() {
    model_ = new DownloadQueueModel(rows_, this);
    queueGrid_ = named(new QTableView(this), "queueGrid");
    queueGrid_->setModel(model_);
    setUpGridView(queueGrid_);
    queueGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    queueGrid_->setContextMenuPolicy(Qt::CustomContextMenu);
    queueGrid_->setStyleSheet(QStringLiteral("QTableView { background: black; color: white; }"));
    // The status column is as wide as its longest text at the program font; the track gives
    // way, so the grid keeps its width.
    const int statusWidth = statusColumnWidth();
    int column = 0;
    for (int width : {27, 53, 241 - (statusWidth - 72), 88, statusWidth}) {
        queueGrid_->setColumnWidth(column++, width);
    }
    queueGrid_->setMinimumSize(500, 240);

    auto* receivedCaption = new QLabel(QStringLiteral("Закачено: "), this);
    receivedLabel_ = named(new QLabel(this), "received");
    for (QLabel* label : {receivedCaption, receivedLabel_}) {
        label->setStyleSheet(QStringLiteral("color: lime; font-weight: bold; font-style: italic;"));
    }
    transferBar_ = named(new QProgressBar(this), "transferBar");
    transferBar_->setTextVisible(false);
    transferBar_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: cyan; }"));
    queueLoadBar_ = named(new QProgressBar(this), "queueLoadBar");
    queueLoadBar_->setTextVisible(false);
    queueLoadBar_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));
    queueLoadBar_->hide();

    auto* folderCaption = new QLabel(QStringLiteral("Путь для сохранения"), this);
    folderCaption->setStyleSheet(QStringLiteral("color: silver;"));
    folderBox_ = named(new QLineEdit(this), "saveFolder");
    folderBox_->setReadOnly(true);
    folderBox_->setStyleSheet(QStringLiteral("background: black; color: white;"));
    folderButton_ = named(new QPushButton(this), "folderButton");
    folderButton_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    fullNamesBox_ =
        named(new QCheckBox(QStringLiteral("Полное название микса"), this), "fullNames");
    fullNamesBox_->setStyleSheet(QStringLiteral("color: red;"));

    deleteButton_ = named(new QPushButton(QStringLiteral("Удалить"), this), "deleteButton");
    deleteAllButton_ =
        named(new QPushButton(QStringLiteral("Удалить все"), this), "deleteAllButton");
    downloadAllButton_ =
        named(new QPushButton(QStringLiteral("Закачать все"), this), "downloadAllButton");
    pauseButton_ = named(new QPushButton(QStringLiteral("Приостановить"), this), "pauseButton");
    abortButton_ = named(new QPushButton(QStringLiteral("Прервать"), this), "abortButton");
    pauseButton_->setEnabled(false);
    abortButton_->setEnabled(false);

    rowMenu_ = new QMenu(this);
    downloadRowAction_ = named(rowMenu_->addAction(QStringLiteral("Скачать")), "downloadRow");
    deleteRowAction_ = named(rowMenu_->addAction(QStringLiteral("Удалить")), "deleteRow");

    captionTimer_ = new QTimer(this);
    captionTimer_->setInterval(100);

    auto* transfer = new QHBoxLayout;
    transfer->addWidget(receivedCaption);
    transfer->addWidget(receivedLabel_, 1);
    auto* folder = new QHBoxLayout;
    folder->addWidget(folderBox_, 1);
    folder->addWidget(folderButton_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button :
         {deleteButton_, deleteAllButton_, downloadAllButton_, pauseButton_, abortButton_}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(queueGrid_);
    layout->addWidget(queueLoadBar_);
    layout->addLayout(transfer);
    layout->addWidget(transferBar_);
    layout->addWidget(folderCaption);
    layout->addLayout(folder);
    layout->addWidget(fullNamesBox_);
    layout->addLayout(buttons);
}

int DownloadWindow::statusColumnWidth() const {
    int widest = 72;
    for (const DownloadState& state : widestStates(settings_.read(keys::Retries))) {
        QStyleOptionViewItem option;
        option.initFrom(queueGrid_);
        option.text = fromCp1251(statusText(state));
        option.features = QStyleOptionViewItem::HasDisplay;
        // One pixel more for the grid line.
        widest = std::max(widest, queueGrid_->style()
                                          ->sizeFromContents(QStyle::CT_ItemViewItem, &option,
                                                             QSize(), queueGrid_)
                                          .width() +
                                      1);
    }
    return widest;
}

void DownloadWindow::connectControls() {
    connect(queueGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { selectedRow_ = current.row(); });
    connect(queueGrid_, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        // Over a row that names an entry both items act on the selected row; elsewhere neither.
        QModelIndex index = queueGrid_->indexAt(at);
        bool overEntry = index.isValid() && static_cast<std::size_t>(index.row()) < rows_.size();
        bool idle = !running();
        downloadRowAction_->setEnabled(overEntry && idle);
        deleteRowAction_->setEnabled(overEntry && idle);
        rowMenu_->popup(queueGrid_->viewport()->mapToGlobal(at));
    });
    connect(folderButton_, &QPushButton::clicked, this, &DownloadWindow::folderChoiceRequested);
    connect(deleteButton_, &QPushButton::clicked, this, &DownloadWindow::deleteSelected);
    connect(deleteRowAction_, &QAction::triggered, this, &DownloadWindow::deleteSelected);
    connect(deleteAllButton_, &QPushButton::clicked, this, &DownloadWindow::deleteAll);
    connect(downloadAllButton_, &QPushButton::clicked, this, [this] { start(true); });
    connect(downloadRowAction_, &QAction::triggered, this, [this] {
        if (static_cast<std::size_t>(selectedRow_) < rows_.size()) {
            start(false);
        }
    });
    connect(pauseButton_, &QPushButton::clicked, this, &DownloadWindow::togglePause);
    connect(abortButton_, &QPushButton::clicked, this, &DownloadWindow::abortRun);
    connect(captionTimer_, &QTimer::timeout, this, &DownloadWindow::refreshCaption);
}

DownloadWindow::~DownloadWindow() {
    stopRun();
}

void DownloadWindow::open(QWidget* owner) {
    SecondaryWindow::open(owner);
    if (!queueLoaded_) {
        queueLoaded_ = true;
        loadQueue();
    }
}

void DownloadWindow::loadQueue() {
    std::vector<PendingEntry> pending;
    // Taken before the read: a file put in its place meanwhile shows at the next check.
    queueIdentity_ = FileIdentity(context_.file(kQueueFileName));
    try {
        pending = QueueFile(context_.file(kQueueFileName)).pending();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    // The whole queue is read in one pass, so the bar shows only its start and its end.
    queueLoadBar_->setMaximum(std::max<int>(1, static_cast<int>(pending.size())));
    queueLoadBar_->setValue(queueLoadBar_->maximum());
    rows_.load(std::move(pending));
    model_->reset();
    selectRow(0);
}

QString DownloadWindow::savePath() const {
    return folderBox_->text();
}

void DownloadWindow::setSavePath(const QString& path) {
    folderBox_->setText(path);
}

void DownloadWindow::selectRow(int row) {
    queueGrid_->selectRow(row);
    selectedRow_ = row;
}

DownloadSettings DownloadWindow::runSettings() const {
    DownloadSettings s;
    s.folder = context_.folder;
    s.site = context_.site.empty() ? settings_.siteAddress() : context_.site;
    s.savePath = folderBox_->text().toStdString();
    s.fullNames = fullNamesBox_->isChecked();
    readDownloadOptions(settings_, s);
    return s;
}

void DownloadWindow::deleteSelected() {
    const auto row = static_cast<std::size_t>(selectedRow_);
    if (selectedRow_ < 0 || row >= rows_.size()) {
        return;  // the empty row of an empty queue
    }
    try {
        QueueFile(context_.file(kQueueFileName)).markRemoved(rows_.entry(row));
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    rows_.setStatus(row, DownloadState::dropped());
    model_->statusChanged(selectedRow_);
}

void DownloadWindow::deleteAll() {
    QueueFile queue(context_.file(kQueueFileName));
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        rows_.setStatus(row, DownloadState::dropped());
        model_->statusChanged(static_cast<int>(row));
        try {
            queue.markRemoved(rows_.entry(row));
        } catch (const IoError& e) {
            MessageBox::error(this, QString::fromStdString(e.what()));
            return;
        }
    }
}

bool DownloadWindow::reloadReplacedQueue() {
    if (running() || queueIdentity_.stillNamedBy(context_.file(kQueueFileName))) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();  // an aborted run winding down still reads the rows
    }
    loadQueue();
    return true;
}

bool DownloadWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && queueLoaded_) {
        reloadReplacedQueue();
    }
    return SecondaryWindow::event(event);
}

void DownloadWindow::start(bool batch) {
    if (running()) {
        return;
    }
    // A row chosen in a grid of the old file may stand for another entry now: the user sees
    // the queue as it is and chooses again.
    if (reloadReplacedQueue() && !batch) {
        return;
    }
    if (worker_.joinable()) {
        worker_.join();  // an aborted run winding down
    }
    stop_ = false;
    finished_ = false;
    setRunning(true);
    const int run = ++run_;
    const auto row = static_cast<std::size_t>(std::max(selectedRow_, 0));
    static SilentSoundPlayer silence;
    // Made here, so the run is the rows' current one before anything can abort it.
    auto job = std::make_unique<Job>(this, run_, run, runSettings(), rows_,
                                     context_.sound ? *context_.sound : silence, stop_, paused_);
    worker_ = std::thread([this, job = std::move(job), batch, row, run] {
        DownloadResult result = batch ? job->downloadRun.batch() : job->downloadRun.single(row);
        queueCall(this, [this, run, result, batch] { finishRun(run, result, batch); });
    });
}

void DownloadWindow::setRunning(bool running) {
    if (!running) {
        // Whatever ended the run, the next one starts unpaused.
        paused_ = false;
        pauseButton_->setText(QStringLiteral("Приостановить"));
    }
    fullNamesBox_->setEnabled(!running);
    pauseButton_->setEnabled(running);
    abortButton_->setEnabled(running);
    downloadAllButton_->setEnabled(!running);
    downloadRowAction_->setEnabled(!running);
    deleteRowAction_->setEnabled(!running);
    queueGrid_->setEnabled(!running);
    if (running) {
        captionTimer_->start();
    } else {
        captionTimer_->stop();
        setWindowTitle(kCaption);
    }
}

void DownloadWindow::finishRun(int run, const DownloadResult& result, bool batch) {
    if (run != run_) {
        return;  // aborted: the window is idle already
    }
    finished_ = true;
    worker_.join();
    rows_.endRun();
    setRunning(false);
    if (result.outcome == DownloadResult::Outcome::Failed) {
        MessageBox::error(this, QString::fromStdString(result.error));
    } else if (batch && result.outcome == DownloadResult::Outcome::Done) {
        showIdleAndPlay("alldone.wav");
    }
    emit runFinished(result);
}

void DownloadWindow::showIdleAndPlay(const std::string& sound) {
    // The sound holds this thread while it plays: the window shows its end before it starts.
    repaint();
    context_.PlaySoundFile(sound);
}

void DownloadWindow::showRowStatus(int row) {
    currentRow_ = row;
    model_->statusChanged(row);
    // The grid takes no input during a run; it follows the row being fetched instead.
    queueGrid_->scrollTo(model_->index(row, 0));
}

void DownloadWindow::refreshCaption() {
    QString caption = kCaption;
    const auto row = static_cast<std::size_t>(currentRow_);
    if (currentRow_ >= 0 && row < rows_.size()) {
        const DownloadState state = rows_.status(row);
        if (!state.leftQueue()) {
            caption = fromCp1251(statusText(state));
        }
    }
    setWindowTitle(caption);
}

void DownloadWindow::togglePause() {
    paused_ = !paused_;
    pauseButton_->setText(paused_ ? QStringLiteral("Возобновить")
                                  : QStringLiteral("Приостановить"));
}

void DownloadWindow::abortRun() {
    if (!running()) {
        return;
    }
    // The user sees the end at once; the worker winds down on its own and is joined later.
    stop_ = true;
    rows_.endRun();
    ++run_;
    finished_ = true;
    transferBar_->setValue(0);
    receivedLabel_->clear();
    // The row being fetched waits again; one that ended before the abort keeps its end.
    const auto row = static_cast<std::size_t>(currentRow_);
    if (currentRow_ >= 0 && row < rows_.size()) {
        if (!rows_.status(row).isFinal()) {
            rows_.setStatus(row, DownloadState::waiting());
            model_->statusChanged(currentRow_);
        }
    }
    setRunning(false);
    showIdleAndPlay("STOP.wav");
}

void DownloadWindow::stopRun() {
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
        rows_.endRun();
        ++run_;
        finished_ = true;
        setRunning(false);
    }
}

void DownloadWindow::closeEvent(QCloseEvent* event) {
    // A transfer under way ends first; the queue is compacted only once nothing marks it.
    stopRun();
    queueLoaded_ = false;
    try {
        settings_.write(keys::Path, folderBox_->text().toStdString());
        settings_.write(keys::FullNames, fullNamesBox_->isChecked());
        QueueFile(context_.file(kQueueFileName)).compact();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    event->accept();
}

}  // namespace kelvarn
