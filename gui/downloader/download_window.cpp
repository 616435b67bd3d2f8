#include "gui/downloader/download_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QVBoxLayout>

#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/downloader/folder_chooser.h"

namespace kelvarn {
namespace {

const QString kCaption = QStringLiteral("Downloader v1.0");

}  // namespace

// The queue grid over the window's rows; an empty queue shows one empty row.
class DownloadQueueModel : public QAbstractTableModel {
public:
    DownloadQueueModel(const DownloadRows& rows, QObject* parent)
        : QAbstractTableModel(parent), rows_(rows) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(rows_.size()));
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 5;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        auto row = static_cast<std::size_t>(index.row());
        if (role == Qt::ToolTipRole && index.column() == 4) {
            return failures_.value(index.row());
        }
        if (role != Qt::DisplayRole || row >= rows_.size()) {
            return {};
        }
        const QueueEntry entry = rows_.entry(row).entry;
        switch (index.column()) {
            case 0:
                return QString::number(entry.RecordNumber);
            case 1:
                return fromCp1251(entry.Id);
            case 2:
                return fromCp1251(entry.Track);
            case 3:
                return QString::number(entry.Size);
            default:
                return fromCp1251(rows_.status(row));
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
            section >= 5) {
            return {};
        }
        return fromCp1251(QueueGridHeaders()[static_cast<std::size_t>(section)]);
    }

    void reset() {
        beginResetModel();
        failures_.clear();
        endResetModel();
    }
    void statusChanged(int row) { emit dataChanged(index(row, 4), index(row, 4)); }
    // Why the row's transfer failed, shown over its status.
    void setFailure(int row, const QString& text) {
        failures_[row] = text;
        statusChanged(row);
    }

private:
    const DownloadRows& rows_;
    QHash<int, QString> failures_;
};

namespace {

// Carries the worker's reports to the window, in the order they were made; reports of a run the
// window has let go are dropped there. Each report carries what it needs by value: it runs after
// the observer has gone.
class WindowObserver final : public DownloadObserver {
public:
    WindowObserver(DownloadWindow* window, DownloadQueueModel* model, const int& currentRun,
                   int run)
        : window_(window), model_(model), currentRun_(currentRun), run_(run) {}

    void rowStatus(std::size_t row, const std::string&) override {
        post([window = window_, row] { window->showRowStatus(static_cast<int>(row)); });
    }
    void transferProgress(std::int64_t kilobytes, std::int64_t maximum) override {
        post([window = window_, kilobytes, maximum] {
            window->Status_Down->setMaximum(
                static_cast<int>(std::min<std::int64_t>(maximum, std::numeric_limits<int>::max())));
            window->Status_Down->setValue(static_cast<int>(std::min(kilobytes, maximum)));
            window->recive->setText(fromCp1251(transferLabel(kilobytes, maximum)));
        });
    }
    void transferCleared() override {
        post([window = window_] {
            window->Status_Down->setValue(0);
            window->recive->clear();
        });
    }
    void rowFailed(std::size_t row, const std::string& message) override {
        post([model = model_, row, text = QString::fromStdString(message)] {
            model->setFailure(static_cast<int>(row), text);
        });
    }

private:
    template <typename Call>
    void post(Call call) {
        QMetaObject::invokeMethod(
            window_,
            [call = std::move(call), &current = currentRun_, run = run_] {
                if (current == run) {
                    call();
                }
            },
            Qt::QueuedConnection);
    }

    DownloadWindow* window_;
    DownloadQueueModel* model_;
    const int& currentRun_;
    int run_;
};

// A run and the observer it reports to, owned by the worker thread.
struct DownloadJob {
    DownloadJob(DownloadWindow* window, DownloadQueueModel* model, const int& currentRun, int run,
                DownloadSettings settings, DownloadRows& rows, SoundPlayer& sound,
                const std::atomic<bool>& stop, const std::atomic<bool>& paused)
        : observer(window, model, currentRun, run),
          downloadRun(std::move(settings), rows, observer, sound, stop, paused) {}

    WindowObserver observer;
    DownloadRun downloadRun;
};

}  // namespace

DownloadWindow::DownloadWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows), settings_(context.folder) {
    setUpSecondaryWindow(this, kCaption, true, 230, true);
    model_ = new DownloadQueueModel(rows_, this);
    List = new QTableView(this);
    List->setModel(model_);
    List->verticalHeader()->hide();
    List->verticalHeader()->setDefaultSectionSize(16);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    List->setStyleSheet(QStringLiteral("QTableView { background: black; color: white; }"));
    int column = 0;
    for (int width : {27, 53, 241, 88, 72}) {
        List->setColumnWidth(column++, width);
    }
    List->setMinimumSize(500, 240);

    auto* label1 = new QLabel(QStringLiteral("Закачено: "), this);
    recive = new QLabel(this);
    for (QLabel* label : {label1, recive}) {
        label->setStyleSheet(QStringLiteral("color: lime; font-weight: bold; font-style: italic;"));
    }
    Status_Down = new QProgressBar(this);
    Status_Down->setTextVisible(false);
    Status_Down->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: cyan; }"));
    LoadBar_list = new QProgressBar(this);
    LoadBar_list->setTextVisible(false);
    LoadBar_list->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));
    LoadBar_list->hide();

    auto* label2 = new QLabel(QStringLiteral("Путь для сохранения"), this);
    label2->setStyleSheet(QStringLiteral("color: silver;"));
    Path = new QLineEdit(this);
    Path->setReadOnly(true);
    Path->setStyleSheet(QStringLiteral("background: black; color: white;"));
    auto* chooseFolder = new QPushButton(this);
    chooseFolder->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ADD_FullName = new QCheckBox(QStringLiteral("Полное название микса"), this);
    ADD_FullName->setStyleSheet(QStringLiteral("color: red;"));

    DelBut = new QPushButton(QStringLiteral("Удалить"), this);
    Dell_All = new QPushButton(QStringLiteral("Удалить все"), this);
    Button1 = new QPushButton(QStringLiteral("Закачать все"), this);
    Pause_but = new QPushButton(QStringLiteral("Приостановить"), this);
    Button2 = new QPushButton(QStringLiteral("Прервать"), this);
    Pause_but->setEnabled(false);
    Button2->setEnabled(false);

    auto* contextMenu = new QMenu(this);
    Down_Cont = contextMenu->addAction(QStringLiteral("Скачать"));
    Del_cont = contextMenu->addAction(QStringLiteral("Удалить"));

    Timer = new QTimer(this);
    Timer->setInterval(100);

    auto* transfer = new QHBoxLayout;
    transfer->addWidget(label1);
    transfer->addWidget(recive, 1);
    auto* folder = new QHBoxLayout;
    folder->addWidget(Path, 1);
    folder->addWidget(chooseFolder);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {DelBut, Dell_All, Button1, Pause_but, Button2}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(LoadBar_list);
    layout->addLayout(transfer);
    layout->addWidget(Status_Down);
    layout->addWidget(label2);
    layout->addLayout(folder);
    layout->addWidget(ADD_FullName);
    layout->addLayout(buttons);

    connect(List->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { selectedRow_ = current.row(); });
    connect(List, &QWidget::customContextMenuRequested, this, [this, contextMenu](QPoint at) {
        // Over a row that names an entry both items act on the selected row; elsewhere neither.
        QModelIndex index = List->indexAt(at);
        bool overEntry = index.isValid() && static_cast<std::size_t>(index.row()) < rows_.size();
        bool idle = !running();
        Down_Cont->setEnabled(overEntry && idle);
        Del_cont->setEnabled(overEntry && idle);
        contextMenu->popup(List->viewport()->mapToGlobal(at));
    });
    connect(chooseFolder, &QPushButton::clicked, this,
            [this] { showCentredOver(windows_.folderChooser, this); });
    connect(DelBut, &QPushButton::clicked, this, &DownloadWindow::deleteSelected);
    connect(Del_cont, &QAction::triggered, this, &DownloadWindow::deleteSelected);
    connect(Dell_All, &QPushButton::clicked, this, &DownloadWindow::deleteAll);
    connect(Button1, &QPushButton::clicked, this, &DownloadWindow::startBatch);
    connect(Down_Cont, &QAction::triggered, this, &DownloadWindow::startSingle);
    connect(Pause_but, &QPushButton::clicked, this, &DownloadWindow::togglePause);
    connect(Button2, &QPushButton::clicked, this, &DownloadWindow::abortRun);
    connect(Timer, &QTimer::timeout, this, &DownloadWindow::refreshCaption);
    FormCreate();
}

DownloadWindow::~DownloadWindow() {
    stopRun();
}

void DownloadWindow::FormCreate() {
    Path->setText(QString::fromStdString(settings_.downloadPath()));
    ADD_FullName->setChecked(settings_.read(keys::FullNames));
    Refresh_List();
}

void DownloadWindow::Refresh_List() {
    std::vector<PendingEntry> pending;
    try {
        pending = QueueFile(context_.file("List.dnl")).pending();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    // The whole queue is read in one pass, so the bar shows only its start and its end.
    LoadBar_list->setMaximum(std::max<int>(1, static_cast<int>(pending.size())));
    LoadBar_list->setValue(LoadBar_list->maximum());
    rows_.load(std::move(pending));
    model_->reset();
    selectRow(0);
}

QString DownloadWindow::savePath() const {
    return Path->text();
}

void DownloadWindow::setSavePath(const QString& path) {
    Path->setText(path);
}

void DownloadWindow::selectRow(int row) {
    List->selectRow(row);
    selectedRow_ = row;
}

DownloadSettings DownloadWindow::runSettings() const {
    DownloadSettings s;
    s.folder = context_.folder;
    s.site = context_.site.empty() ? settings_.siteAddress() : context_.site;
    s.savePath = Path->text().toStdString();
    s.fullNames = ADD_FullName->isChecked();
    return s;
}

void DownloadWindow::deleteSelected() {
    if (selectedRow_ < 0 || static_cast<std::size_t>(selectedRow_) >= rows_.size()) {
        return;  // the empty row of an empty queue
    }
    try {
        QueueFile(context_.file("List.dnl")).markRemoved(rows_.entry(selectedRow_).position);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return;
    }
    rows_.setStatus(selectedRow_, download_status::removed());
    model_->statusChanged(selectedRow_);
}

void DownloadWindow::deleteAll() {
    QueueFile queue(context_.file("List.dnl"));
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        rows_.setStatus(row, download_status::removed());
        model_->statusChanged(static_cast<int>(row));
        try {
            queue.markRemoved(rows_.entry(row).position);
        } catch (const IoError& e) {
            MessageBox::error(this, QString::fromStdString(e.what()));
            return;
        }
    }
}

void DownloadWindow::startBatch() {
    start(true);
}

void DownloadWindow::startSingle() {
    if (static_cast<std::size_t>(selectedRow_) < rows_.size()) {
        start(false);
    }
}

void DownloadWindow::start(bool batch) {
    if (running()) {
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
    auto job =
        std::make_unique<DownloadJob>(this, model_, run_, run, runSettings(), rows_,
                                      context_.sound ? *context_.sound : silence, stop_, paused_);
    worker_ = std::thread([this, job = std::move(job), batch, row, run] {
        DownloadResult result = batch ? job->downloadRun.batch() : job->downloadRun.single(row);
        QMetaObject::invokeMethod(
            this, [this, run, result] { finishRun(run, result); }, Qt::QueuedConnection);
    });
}

void DownloadWindow::setRunning(bool running) {
    ADD_FullName->setEnabled(!running);
    Pause_but->setEnabled(running);
    Button2->setEnabled(running);
    Button1->setEnabled(!running);
    Down_Cont->setEnabled(!running);
    Del_cont->setEnabled(!running);
    List->setEnabled(!running);
    if (running) {
        Timer->start();
    } else {
        Timer->stop();
        setWindowTitle(kCaption);
    }
}

void DownloadWindow::finishRun(int run, const DownloadResult& result) {
    if (run != run_) {
        return;  // aborted: the window is idle already
    }
    finished_ = true;
    worker_.join();
    rows_.endRun();
    setRunning(false);
    if (result.outcome == DownloadResult::Outcome::Failed) {
        MessageBox::error(this, QString::fromStdString(result.error));
    }
    emit runFinished(result);
}

void DownloadWindow::showRowStatus(int row) {
    currentRow_ = row;
    model_->statusChanged(row);
}

void DownloadWindow::refreshCaption() {
    QString status;
    if (currentRow_ >= 0 && static_cast<std::size_t>(currentRow_) < rows_.size()) {
        status = fromCp1251(rows_.status(currentRow_));
    }
    bool ended = status.isEmpty() || status == QStringLiteral("DEL") ||
                 status == fromCp1251(download_status::done());
    setWindowTitle(ended ? kCaption : status);
}

void DownloadWindow::togglePause() {
    paused_ = !paused_;
    Pause_but->setText(paused_ ? QStringLiteral("Возобновить") : QStringLiteral("Приостановить"));
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
    paused_ = false;
    Pause_but->setText(QStringLiteral("Приостановить"));
    Status_Down->setValue(0);
    recive->clear();
    // The row being fetched waits again; one that ended before the abort keeps its end.
    if (currentRow_ >= 0 && static_cast<std::size_t>(currentRow_) < rows_.size()) {
        std::string status = rows_.status(currentRow_);
        if (status != download_status::done() && status != download_status::removed() &&
            status != download_status::failed()) {
            rows_.setStatus(currentRow_, download_status::waiting());
            model_->statusChanged(currentRow_);
        }
    }
    setRunning(false);
    context_.PlaySoundFile("STOP.wav");
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

bool DownloadWindow::FormCloseQuery() {
    // A transfer under way ends first; the queue is compacted only once nothing marks it.
    stopRun();
    ListLoaded = false;
    try {
        settings_.write(keys::Path, Path->text().toStdString());
        settings_.write(keys::FullNames, ADD_FullName->isChecked());
        QueueFile(context_.file("List.dnl")).compact();
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    return true;
}

void DownloadWindow::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

}  // namespace kelvarn
