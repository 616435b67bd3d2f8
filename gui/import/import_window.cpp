// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/import/import_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <chrono>

#include "core/catalogue/styles.h"
#include "core/storage/ole_date.h"
#include "gui/common/message_box.h"
#include "gui/common/queued_call.h"
#include "gui/common/window_util.h"

namespace kelvarn {

// The import grid: its rows, or one empty row when the last run listed none.
class ImportGridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(rows_.size()));
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 8;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || static_cast<std::size_t>(index.row()) >= rows_.size()) {
            return {};
        }
        return fromCp1251(rows_[static_cast<std::size_t>(index.row())].cell(index.column()));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
            return {};
        }
        return fromCp1251(ImportGridHeaders()[static_cast<std::size_t>(section)]);
    }

    void clear() {
        beginResetModel();
        rows_.clear();
        endResetModel();
    }

    void add(const std::vector<ImportRow>& rows) {
        if (rows_.empty()) {
            beginResetModel();  // the placeholder row gives way
            rows_ = rows;
            endResetModel();
            return;
        }
        int first = static_cast<int>(rows_.size());
        beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
        rows_.insert(rows_.end(), rows.begin(), rows.end());
        endInsertRows();
    }

    void replace(const std::vector<ImportRow>& rows) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
    }

    void change(int index, const ImportRow& row) {
        if (static_cast<std::size_t>(index) < rows_.size()) {
            rows_[static_cast<std::size_t>(index)] = row;
            emit dataChanged(this->index(index, 0), this->index(index, 7));
        }
    }

    const std::vector<ImportRow>& rows() const { return rows_; }

private:
    std::vector<ImportRow> rows_;
};

// Carries the worker's reports to the window, in the order they were made.
class ImportWindow::Observer final : public ImportObserver {
public:
    Observer(ImportWindow* window, ImportGridModel* model) : window_(window), model_(model) {}

    // Each report carries what it needs by value: it runs after the observer has gone.
    void status(const std::string& text) override {
        post([window = window_, text = fromCp1251(text)] {
            window->stageLabel_->setText(text);
            window->stageLabel_->repaint();
        });
    }
    void progress(int position, int maximum) override {
        // A stage with nothing to count (an empty page) shows an empty bar: a maximum of 0
        // would draw a moving busy bar instead.
        post([window = window_, position, maximum] {
            window->progressBar_->setMaximum(std::max(maximum, 1));
            window->progressBar_->setValue(position);
        });
    }
    void rowsCleared() override {
        post([model = model_] { model->clear(); });
    }
    void rowsAdded(const std::vector<ImportRow>& rows) override {
        post([model = model_, rows] { model->add(rows); });
    }
    void rowChanged(int index, const ImportRow& row) override {
        post([model = model_, index, row] { model->change(index, row); });
    }
    void rowsMarked(const std::vector<ImportRow>& rows) override {
        post([model = model_, rows] { model->replace(rows); });
    }
    void recordSaved(std::uint32_t number, const MixRecord& record) override {
        post([window = window_, number, record] { emit window->recordSaved(number, record); });
    }
    void beep() override {
        post([] { QApplication::beep(); });
    }

private:
    template <typename Call>
    void post(Call call) {
        queueCall(window_, std::move(call));
    }

    ImportWindow* window_;
    ImportGridModel* model_;
};

ImportWindow::ImportWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), context_(context), settings_(context.folder) {
    setUpSecondaryWindow(this, QStringLiteral("Проверить DuzuRedu"), true, 230);
    qRegisterMetaType<kelvarn::ImportResult>("kelvarn::ImportResult");

    startButton_ = named(new QPushButton(QStringLiteral("Начать"), this), "startButton");
    QWidget* selection = buildSelection();
    buildGrid();
    buildProgressPanel();
    auto* left = new QVBoxLayout;
    left->addWidget(startButton_);
    left->addWidget(selection);
    left->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(grid_, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(startButton_, &QPushButton::clicked, this, &ImportWindow::startImport);
    for (QCheckBox* box : {byStyleBox_, byAuthorBox_, addToQueueBox_}) {
        connect(box, &QCheckBox::toggled, this, &ImportWindow::selectionChanged);
    }
    connect(styleList_, &QListWidget::itemChanged, this, &ImportWindow::selectionChanged);
    readSettings();
}

ImportWindow::~ImportWindow() {
    stopRun();
}

QWidget* ImportWindow::buildSelection() {
    auto* group = new QGroupBox(QStringLiteral("Отобрать"), this);
    group->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
    byStyleBox_ = named(new QCheckBox(QStringLiteral("Отбор по стилю"), group), "byStyle");
    styleList_ = named(new QListWidget(group), "styleList");
    for (int code = 0; code < kImportStyleCount; ++code) {
        auto* item =
            new QListWidgetItem(fromCp1251(StyleName(static_cast<std::uint8_t>(code))), styleList_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    setUpDarkCheckList(styleList_);
    styleList_->setFixedHeight(14 * 17);
    byAuthorBox_ = named(new QCheckBox(QStringLiteral("Отбор по автору"), group), "byAuthor");
    chosenNamesBox_ = named(new QLineEdit(group), "chosenNames");
    chosenNamesBox_->setReadOnly(true);
    chosenNamesBox_->setStyleSheet(QStringLiteral("background: black; color: white;"));
    auto* authorListButton =
        named(new QPushButton(QStringLiteral("Список"), group), "authorListButton");
    addToQueueBox_ =
        named(new QCheckBox(QStringLiteral("Добавить на закачку"), group), "addToQueue");
    // The labels take their colours from the palette, not a style sheet: a sheet's text colour
    // would also draw the tick, pale on the white box.
    for (QCheckBox* box : {byStyleBox_, byAuthorBox_, addToQueueBox_}) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, box == addToQueueBox_ ? Qt::green : Qt::white);
        box->setPalette(palette);
    }
    auto* column = new QVBoxLayout(group);
    for (QWidget* w :
         std::initializer_list<QWidget*>{byStyleBox_, styleList_, byAuthorBox_, chosenNamesBox_,
                                         authorListButton, addToQueueBox_}) {
        column->addWidget(w);
    }
    connect(authorListButton, &QPushButton::clicked, this, &ImportWindow::authorListRequested);
    return group;
}

void ImportWindow::buildGrid() {
    model_ = new ImportGridModel(this);
    grid_ = named(new QTableView(this), "importGrid");
    grid_->setModel(model_);
    setUpGridView(grid_);
    grid_->setWordWrap(false);
    grid_->setStyleSheet(
        QStringLiteral("QTableView { background: black; color: white; gridline-color: #404040; }"
                       "QHeaderView::section { background: #ababab; color: black; }"));
    const int widths[] = {60, 217, 236, 155, 79, 156, 33, 33};
    for (int c = 0; c < 8; ++c) {
        grid_->setColumnWidth(c, widths[c]);
    }
    grid_->setMinimumSize(640, 420);
}

// The run's stage and progress, over the grid while a run is under way.
void ImportWindow::buildProgressPanel() {
    progressPanel_ = named(new QWidget(grid_), "progressPanel");
    progressPanel_->setAutoFillBackground(true);
    progressPanel_->setStyleSheet(QStringLiteral("background: black;"));
    auto* icon = new QLabel(progressPanel_);
    icon->setPixmap(QPixmap(QStringLiteral(":/icon.png"))
                        .scaled(33, 33, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    stageLabel_ = named(new QLabel(QStringLiteral("Загрузка"), progressPanel_), "stageLabel");
    stageLabel_->setTextFormat(Qt::PlainText);
    stageLabel_->setStyleSheet(
        QStringLiteral("color: red; font-weight: bold; font-style: italic;"));
    progressBar_ = named(new QProgressBar(progressPanel_), "progressBar");
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 100);
    progressBar_->setStyleSheet(
        QStringLiteral("QProgressBar { background: black; border: 1px solid #404040; }"
                       "QProgressBar::chunk { background: rgb(0, 0, 255); }"));
    auto* panel = new QGridLayout(progressPanel_);
    panel->addWidget(icon, 0, 0, 2, 1);
    panel->addWidget(stageLabel_, 0, 1);
    panel->addWidget(progressBar_, 1, 1);
    progressPanel_->resize(480, 60);
    progressPanel_->hide();
}

void ImportWindow::readSettings() {
    byStyleBox_->setChecked(settings_.read(keys::CheckStyle));
    byAuthorBox_->setChecked(settings_.read(keys::CheckAvtor));
    addToQueueBox_->setChecked(settings_.read(keys::AddCheck));
    StyleChecks checks = checkedStyles();
    decodeCheckListStyle(settings_.read(keys::CheckListStyle), checks);
    for (int i = 0; i < kImportStyleCount; ++i) {
        styleList_->item(i)->setCheckState(checks[static_cast<std::size_t>(i)] ? Qt::Checked
                                                                               : Qt::Unchecked);
    }
    selectionChanged();
}

void ImportWindow::saveSettings() {
    settings_.write(keys::CheckListStyle, encodeCheckListStyle(checkedStyles()));
    settings_.write(keys::AddCheck, addToQueueBox_->isChecked());
    settings_.write(keys::CheckStyle, byStyleBox_->isChecked());
    settings_.write(keys::CheckAvtor, byAuthorBox_->isChecked());
}

StyleChecks ImportWindow::checkedStyles() const {
    StyleChecks checks{};
    for (int i = 0; i < kImportStyleCount; ++i) {
        checks[static_cast<std::size_t>(i)] = styleList_->item(i)->checkState() == Qt::Checked;
    }
    return checks;
}

void ImportWindow::setChosenNames(const std::vector<std::string>& names) {
    chosenNames_ = names;
    selectionChanged();
}

void ImportWindow::showChosenNames(const QString& summary) {
    chosenNamesBox_->setText(summary);
}

void ImportWindow::selectionChanged() {
    SelectionControls controls;
    controls.byStyle = byStyleBox_->isChecked();
    controls.styles = checkedStyles();
    controls.byAuthor = byAuthorBox_->isChecked();
    controls.addToQueue = addToQueueBox_->isChecked();
    controls.names = chosenNames_;
    selection_.set(std::move(controls));
}

const std::vector<ImportRow>& ImportWindow::gridRows() const {
    return model_->rows();
}

void ImportWindow::startImport() {
    if (running()) {
        return;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    selectionChanged();
    stop_ = false;
    finished_ = false;
    startButton_->setEnabled(false);
    int panelWidth = std::min(480, grid_->width() - 20);
    progressPanel_->setGeometry((grid_->width() - panelWidth) / 2, grid_->height() / 3, panelWidth,
                                60);
    progressPanel_->show();
    progressPanel_->raise();

    ImportSettings settings;
    settings.folder = context_.folder;
    settings.site = context_.site.empty() ? settings_.siteAddress() : context_.site;
    settings.sleep = context_.sleep ? context_.sleep : [](int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    settings.today = context_.today ? context_.today : [] { return oleToday(); };
    settings.timeNow = [] { return oleTimeNow(); };
    worker_ = std::thread([this, settings] {
        Observer observer(this, model_);
        ImportRun run(settings, selection_, observer, stop_);
        ImportResult result = run.run();
        queueCall(this, [this, result] { finishRun(result); });
    });
}

void ImportWindow::finishRun(const ImportResult& result) {
    finished_ = true;
    progressPanel_->hide();
    startButton_->setEnabled(true);
    if (result.outcome == ImportResult::Outcome::Failed) {
        MessageBox::error(this, QString::fromStdString(result.error));
    }
    emit runFinished(result);
}

void ImportWindow::stopRun() {
    stop_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

}  // namespace kelvarn
