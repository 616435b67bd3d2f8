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
#include "gui/common/window_util.h"
#include "gui/import/author_list_window.h"
#include "gui/main_window/main_window.h"

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

namespace {

// Carries the worker's reports to the window, in the order they were made.
class WindowObserver final : public ImportObserver {
public:
    WindowObserver(ImportWindow* window, ImportGridModel* model, MainWindow* main)
        : window_(window), model_(model), main_(main) {}

    // Each report carries what it needs by value: it runs after the observer has gone.
    void status(const std::string& text) override {
        post([window = window_, text = fromCp1251(text)] {
            window->Load->setText(text);
            window->Load->repaint();
        });
    }
    void progress(int position, int maximum) override {
        // A stage with nothing to count (an empty page) shows an empty bar: a maximum of 0
        // would draw a moving busy bar instead.
        post([window = window_, position, maximum] {
            window->LoadBar->setMaximum(std::max(maximum, 1));
            window->LoadBar->setValue(position);
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
        post([main = main_, number, record] { main->appendToSwap(number, record); });
    }
    void beep() override {
        post([] { QApplication::beep(); });
    }

private:
    template <typename Call>
    void post(Call call) {
        QMetaObject::invokeMethod(window_, std::move(call), Qt::QueuedConnection);
    }

    ImportWindow* window_;
    ImportGridModel* model_;
    MainWindow* main_;
};

}  // namespace

ImportWindow::ImportWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows), settings_(context.folder) {
    setUpSecondaryWindow(this, QStringLiteral("Проверить DuzuRedu"), true, 230);
    qRegisterMetaType<kelvarn::ImportResult>("kelvarn::ImportResult");

    Button1 = new QPushButton(QStringLiteral("Начать"), this);
    auto* GroupBox1 = new QGroupBox(QStringLiteral("Отобрать"), this);
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
    Check_Styles = new QCheckBox(QStringLiteral("Отбор по стилю"), GroupBox1);
    CheckListBox1 = new QListWidget(GroupBox1);
    for (int code = 0; code < kImportStyleCount; ++code) {
        auto* item = new QListWidgetItem(fromCp1251(StyleName(static_cast<std::uint8_t>(code))),
                                         CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    setUpDarkCheckList(CheckListBox1);
    CheckListBox1->setFixedHeight(14 * 17);
    Check_Avtor = new QCheckBox(QStringLiteral("Отбор по автору"), GroupBox1);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setReadOnly(true);
    Edit1->setStyleSheet(QStringLiteral("background: black; color: white;"));
    List_Avtors_Edit = new QPushButton(QStringLiteral("Список"), GroupBox1);
    Add_down = new QCheckBox(QStringLiteral("Добавить на закачку"), GroupBox1);
    // The labels take their colours from the palette, not a style sheet: a sheet's text colour
    // would also draw the tick, pale on the white box.
    for (QCheckBox* box : {Check_Styles, Check_Avtor, Add_down}) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, box == Add_down ? Qt::green : Qt::white);
        box->setPalette(palette);
    }
    auto* group = new QVBoxLayout(GroupBox1);
    for (QWidget* w : std::initializer_list<QWidget*>{Check_Styles, CheckListBox1, Check_Avtor,
                                                      Edit1, List_Avtors_Edit, Add_down}) {
        group->addWidget(w);
    }

    model_ = new ImportGridModel(this);
    Table = new QTableView(this);
    Table->setModel(model_);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(16);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setWordWrap(false);
    Table->setStyleSheet(
        QStringLiteral("QTableView { background: black; color: white; gridline-color: #404040; }"
                       "QHeaderView::section { background: #ababab; color: black; }"));
    const int widths[] = {60, 217, 236, 155, 79, 156, 33, 33};
    for (int c = 0; c < 8; ++c) {
        Table->setColumnWidth(c, widths[c]);
    }
    Table->setMinimumSize(640, 420);

    Panel1 = new QWidget(Table);
    Panel1->setAutoFillBackground(true);
    Panel1->setStyleSheet(QStringLiteral("background: black;"));
    Image1 = new QLabel(Panel1);
    Image1->setPixmap(QPixmap(QStringLiteral(":/icon.png"))
                          .scaled(33, 33, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    Load = new QLabel(QStringLiteral("Загрузка"), Panel1);
    Load->setStyleSheet(QStringLiteral("color: red; font-weight: bold; font-style: italic;"));
    LoadBar = new QProgressBar(Panel1);
    LoadBar->setTextVisible(false);
    LoadBar->setRange(0, 100);
    LoadBar->setStyleSheet(
        QStringLiteral("QProgressBar { background: black; border: 1px solid #404040; }"
                       "QProgressBar::chunk { background: rgb(0, 0, 255); }"));
    auto* panel = new QGridLayout(Panel1);
    panel->addWidget(Image1, 0, 0, 2, 1);
    panel->addWidget(Load, 0, 1);
    panel->addWidget(LoadBar, 1, 1);
    Panel1->resize(480, 60);
    Panel1->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(Button1);
    left->addWidget(GroupBox1);
    left->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(Table, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &ImportWindow::Button1Click);
    connect(List_Avtors_Edit, &QPushButton::clicked, this,
            [this] { showCentredOver(windows_.authorListWindow, this); });
    for (QCheckBox* box : {Check_Styles, Check_Avtor, Add_down}) {
        connect(box, &QCheckBox::toggled, this, &ImportWindow::selectionChanged);
    }
    connect(CheckListBox1, &QListWidget::itemChanged, this, &ImportWindow::selectionChanged);
    FormCreate();
}

ImportWindow::~ImportWindow() {
    stopRun();
}

void ImportWindow::FormCreate() {
    Check_Styles->setChecked(settings_.read(keys::CheckStyle));
    Check_Avtor->setChecked(settings_.read(keys::CheckAvtor));
    Add_down->setChecked(settings_.read(keys::AddCheck));
    StyleChecks checks = checkedStyles();
    decodeCheckListStyle(settings_.read(keys::CheckListStyle), checks);
    for (int i = 0; i < kImportStyleCount; ++i) {
        CheckListBox1->item(i)->setCheckState(checks[static_cast<std::size_t>(i)] ? Qt::Checked
                                                                                  : Qt::Unchecked);
    }
    selectionChanged();
}

StyleChecks ImportWindow::checkedStyles() const {
    StyleChecks checks{};
    for (int i = 0; i < kImportStyleCount; ++i) {
        checks[static_cast<std::size_t>(i)] = CheckListBox1->item(i)->checkState() == Qt::Checked;
    }
    return checks;
}

void ImportWindow::selectionChanged() {
    SelectionControls controls;
    controls.byStyle = Check_Styles->isChecked();
    controls.styles = checkedStyles();
    controls.byAuthor = Check_Avtor->isChecked();
    controls.addToQueue = Add_down->isChecked();
    // The author window is made after this one; until then its list is not there to read.
    if (windows_.authorListWindow != nullptr) {
        controls.names = windows_.authorListWindow->chosenNames();
    }
    selection_.set(std::move(controls));
}

const std::vector<ImportRow>& ImportWindow::gridRows() const {
    return model_->rows();
}

void ImportWindow::Button1Click() {
    if (running()) {
        return;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    selectionChanged();
    stop_ = false;
    finished_ = false;
    Button1->setEnabled(false);
    int panelWidth = std::min(480, Table->width() - 20);
    Panel1->setGeometry((Table->width() - panelWidth) / 2, Table->height() / 3, panelWidth, 60);
    Panel1->show();
    Panel1->raise();

    ImportSettings settings;
    settings.folder = context_.folder;
    settings.site = context_.site.empty() ? settings_.siteAddress() : context_.site;
    settings.sleep = context_.sleep ? context_.sleep : [](int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    settings.today = context_.today ? context_.today : [] { return oleToday(); };
    settings.timeNow = [] { return oleTimeNow(); };
    worker_ = std::thread([this, settings] {
        WindowObserver observer(this, model_, windows_.mainWindow);
        ImportRun run(settings, selection_, observer, stop_);
        ImportResult result = run.run();
        QMetaObject::invokeMethod(
            this, [this, result] { finishRun(result); }, Qt::QueuedConnection);
    });
}

void ImportWindow::finishRun(const ImportResult& result) {
    finished_ = true;
    Panel1->hide();
    Button1->setEnabled(true);
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
