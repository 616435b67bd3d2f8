#include "gui/import/author_list_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <unordered_set>

#include "core/import/author_list.h"
#include "core/storage/cp1251.h"
#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"
#include "gui/import/import_window.h"

namespace kelvarn {
namespace {

// Each item keeps its name's bytes as stored: a byte without a character would not survive the
// round trip through the shown text.
constexpr int kNameRole = Qt::UserRole;

std::string nameOf(const QListWidgetItem* item) {
    return item->data(kNameRole).toByteArray().toStdString();
}

QListWidgetItem* nameItem(const std::string& name) {
    auto* item = new QListWidgetItem(fromCp1251(name));
    item->setData(kNameRole, QByteArray::fromStdString(name));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

void disable(QListWidgetItem* item) {
    item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
}

// QListWidget's own sorting is case-sensitive, so names go in at their place by hand.
void insertSorted(QListWidget* list, const std::string& name) {
    int low = 0;
    int high = list->count();
    while (low < high) {
        int middle = (low + high) / 2;
        if (authorNameLess(name, nameOf(list->item(middle)))) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    list->insertItem(low, nameItem(name));
}

void selectFirstStartingWith(QListWidget* list, const QString& prefix) {
    QAbstractItemModel* model = list->model();
    QModelIndexList found =
        model->match(model->index(0, 0), Qt::DisplayRole, prefix, 1, Qt::MatchStartsWith);
    if (!found.isEmpty()) {
        list->setCurrentRow(found.first().row());
    }
}

QListWidget* checkList(QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setFixedSize(220, 320);
    setUpDarkCheckList(list);
    return list;
}

QLabel* limeLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: lime; font-weight: bold;"));
    return label;
}

QPushButton* button(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setToolTip(tip);
    return b;
}

}  // namespace

AuthorListWindow::AuthorListWindow(const AppContext& context, Windows& windows, QWidget* parent)
    : QWidget(parent), context_(context), windows_(windows) {
    setUpSecondaryWindow(this, QStringLiteral("Редактирование списка авторов"), true, 255);
    Label1 = limeLabel(QStringLiteral("Список имен авторов имеющихся в базе:"), this);
    List_Name_Base = checkList(this);
    Label2 = limeLabel(QStringLiteral("Список выбранных имен:"), this);
    List_Check_Name = checkList(this);
    Add_But = button(QStringLiteral(">>"), QStringLiteral("Перенести выбранное в список"), this);
    Refr_But = button(QStringLiteral("Обновить"),
                      QStringLiteral("Обновить список имен имющихся в базе"), this);
    Label3 = limeLabel(QStringLiteral("Найти>>>"), this);
    Edit1 = new QLineEdit(this);
    Name_Avt = new QLineEdit(this);
    ManualADD_But =
        button(QStringLiteral("Добавить"), QStringLiteral("Добавить введеное имя "), this);
    Del_Name_But =
        button(QStringLiteral("Удалить"), QStringLiteral("Удалить выбранные имена"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Label2, 0, 3);
    grid->addWidget(List_Name_Base, 1, 0, 1, 2);
    grid->addWidget(Add_But, 1, 2, Qt::AlignVCenter);
    grid->addWidget(List_Check_Name, 1, 3);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(Edit1, 2, 1);
    grid->addWidget(Name_Avt, 2, 3);
    grid->addWidget(Refr_But, 3, 0, 1, 2);
    auto* chosenButtons = new QHBoxLayout;
    chosenButtons->addWidget(ManualADD_But);
    chosenButtons->addWidget(Del_Name_But);
    grid->addLayout(chosenButtons, 3, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(Refr_But, &QPushButton::clicked, this, &AuthorListWindow::Refr_ButClick);
    connect(Add_But, &QPushButton::clicked, this, &AuthorListWindow::Add_ButClick);
    connect(Edit1, &QLineEdit::textChanged, this, &AuthorListWindow::Edit1Change);
    connect(List_Name_Base, &QListWidget::itemClicked, this,
            &AuthorListWindow::List_Name_BaseClick);
    connect(Name_Avt, &QLineEdit::textChanged, this, &AuthorListWindow::Name_AvtChange);
    connect(ManualADD_But, &QPushButton::clicked, this, &AuthorListWindow::ManualADD_ButClick);
    connect(Del_Name_But, &QPushButton::clicked, this, &AuthorListWindow::Del_Name_ButClick);

    FormCreate();
}

std::vector<std::string> AuthorListWindow::chosenNames() const {
    std::lock_guard lock(chosenGuard_);
    return chosen_;
}

void AuthorListWindow::chosenListChanged() {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(List_Check_Name->count()));
    for (int row = 0; row < List_Check_Name->count(); ++row) {
        names.push_back(nameOf(List_Check_Name->item(row)));
    }
    {
        std::lock_guard lock(chosenGuard_);
        chosen_ = std::move(names);
    }
    emit chosenNamesChanged();
}

void AuthorListWindow::showChosenListInImport() {
    windows_.importWindow->Edit1->setText(fromCp1251(chosenListText(chosenNames())));
}

void AuthorListWindow::FormCreate() {
    List_Check_Name->clear();
    std::vector<std::string> names;
    bool read = true;
    try {
        names = readAuthorList(context_.file("AvtLst.lst"));
    } catch (const IoError& e) {
        read = false;
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    for (const std::string& name : names) {
        insertSorted(List_Check_Name, name);
    }
    chosenListChanged();
    if (read) {
        showChosenListInImport();
    }
}

bool AuthorListWindow::FormCloseQuery() {
    windows_.importWindow->Edit1->clear();
    try {
        writeAuthorList(context_.file("AvtLst.lst"), chosenNames());
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return false;
    }
    showChosenListInImport();
    return true;
}

void AuthorListWindow::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void AuthorListWindow::Refr_ButClick() {
    List_Name_Base->clear();
    std::vector<std::string> names;
    try {
        names = baseAuthorNames(CatalogueFile(context_.file("Base.vlt")));
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    std::unordered_set<std::string> chosen;
    for (const std::string& name : chosenNames()) {
        chosen.insert(caseFold(name));
    }
    for (const std::string& name : names) {
        QListWidgetItem* item = nameItem(name);
        if (chosen.contains(caseFold(name))) {
            item->setCheckState(Qt::Checked);
            disable(item);
        }
        List_Name_Base->addItem(item);
    }
}

void AuthorListWindow::Add_ButClick() {
    bool added = false;
    for (int row = 0; row < List_Name_Base->count(); ++row) {
        QListWidgetItem* item = List_Name_Base->item(row);
        if (item->checkState() == Qt::Checked && (item->flags() & Qt::ItemIsEnabled)) {
            insertSorted(List_Check_Name, nameOf(item));
            disable(item);
            added = true;
        }
    }
    if (added) {
        chosenListChanged();
    }
}

void AuthorListWindow::Edit1Change() {
    selectFirstStartingWith(List_Name_Base, Edit1->text());
}

void AuthorListWindow::List_Name_BaseClick(QListWidgetItem* item) {
    Edit1->setText(item->text());
}

void AuthorListWindow::Name_AvtChange() {
    selectFirstStartingWith(List_Check_Name, Name_Avt->text());
}

void AuthorListWindow::ManualADD_ButClick() {
    std::string name = toCp1251(Name_Avt->text());
    for (int row = 0; row < List_Check_Name->count(); ++row) {
        if (nameOf(List_Check_Name->item(row)) == name) {
            QApplication::beep();
            MessageBox::message(
                this, QStringLiteral("Автор \"%1\" уже есть в списке!!!").arg(Name_Avt->text()));
            return;
        }
    }
    insertSorted(List_Check_Name, name);
    chosenListChanged();
}

void AuthorListWindow::Del_Name_ButClick() {
    bool removed = false;
    for (int row = List_Check_Name->count() - 1; row >= 0; --row) {
        if (List_Check_Name->item(row)->checkState() == Qt::Checked) {
            delete List_Check_Name->takeItem(row);
            removed = true;
        }
    }
    if (removed) {
        chosenListChanged();
    }
}

}  // namespace kelvarn
