// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/import/author_list_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <unordered_set>

#include "core/import/author_list.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

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

QListWidget* checkList(const char* name, QWidget* parent) {
    auto* list = named(new QListWidget(parent), name);
    list->setFixedSize(220, 320);
    setUpDarkCheckList(list);
    return list;
}

QLabel* limeLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = named(new QLabel(text, parent), name);
    label->setStyleSheet(QStringLiteral("color: lime; font-weight: bold;"));
    return label;
}

QPushButton* button(const QString& text, const QString& tip, const char* name, QWidget* parent) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setToolTip(tip);
    return b;
}

}  // namespace

AuthorListWindow::AuthorListWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), context_(context) {
    setUpSecondaryWindow(this, QStringLiteral("Редактирование списка авторов"), true, 255);
    QLabel* baseCaption =
        limeLabel(QStringLiteral("Список имен авторов имеющихся в базе:"), "baseCaption", this);
    baseNames_ = checkList("baseNames", this);
    QLabel* chosenCaption =
        limeLabel(QStringLiteral("Список выбранных имен:"), "chosenCaption", this);
    chosenList_ = checkList("chosenList", this);
    QPushButton* addButton = button(
        QStringLiteral(">>"), QStringLiteral("Перенести выбранное в список"), "addButton", this);
    QPushButton* refreshButton =
        button(QStringLiteral("Обновить"), QStringLiteral("Обновить список имен имющихся в базе"),
               "refreshButton", this);
    QLabel* findCaption = limeLabel(QStringLiteral("Найти>>>"), "findCaption", this);
    findBox_ = named(new QLineEdit(this), "findBox");
    nameBox_ = named(new QLineEdit(this), "nameBox");
    QPushButton* addNameButton =
        button(QStringLiteral("Добавить"), QStringLiteral("Добавить введеное имя "),
               "addNameButton", this);
    QPushButton* deleteButton = button(
        QStringLiteral("Удалить"), QStringLiteral("Удалить выбранные имена"), "deleteButton", this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(baseCaption, 0, 0, 1, 2);
    grid->addWidget(chosenCaption, 0, 3);
    grid->addWidget(baseNames_, 1, 0, 1, 2);
    grid->addWidget(addButton, 1, 2, Qt::AlignVCenter);
    grid->addWidget(chosenList_, 1, 3);
    grid->addWidget(findCaption, 2, 0);
    grid->addWidget(findBox_, 2, 1);
    grid->addWidget(nameBox_, 2, 3);
    grid->addWidget(refreshButton, 3, 0, 1, 2);
    auto* chosenButtons = new QHBoxLayout;
    chosenButtons->addWidget(addNameButton);
    chosenButtons->addWidget(deleteButton);
    grid->addLayout(chosenButtons, 3, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(refreshButton, &QPushButton::clicked, this, &AuthorListWindow::refreshBaseNames);
    connect(addButton, &QPushButton::clicked, this, &AuthorListWindow::addTickedBaseNames);
    // Typing in either box selects the first name of its list that begins with the text; a
    // click on a base name puts it in the search box.
    connect(findBox_, &QLineEdit::textChanged, this,
            [this](const QString& text) { selectFirstStartingWith(baseNames_, text); });
    connect(baseNames_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { findBox_->setText(item->text()); });
    connect(nameBox_, &QLineEdit::textChanged, this,
            [this](const QString& text) { selectFirstStartingWith(chosenList_, text); });
    connect(addNameButton, &QPushButton::clicked, this, &AuthorListWindow::addTypedName);
    connect(deleteButton, &QPushButton::clicked, this, &AuthorListWindow::deleteTickedNames);
}

std::vector<std::string> AuthorListWindow::chosenNames() const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(chosenList_->count()));
    for (int row = 0; row < chosenList_->count(); ++row) {
        names.push_back(nameOf(chosenList_->item(row)));
    }
    return names;
}

void AuthorListWindow::chosenListChanged() {
    emit chosenNamesChanged(chosenNames());
}

void AuthorListWindow::showSummary() {
    emit summaryChanged(fromCp1251(chosenListText(chosenNames())));
}

void AuthorListWindow::loadChosenNames() {
    chosenList_->clear();
    std::vector<std::string> names;
    bool read = true;
    try {
        names = readAuthorList(context_.file(kAuthorListFileName));
    } catch (const IoError& e) {
        read = false;
        MessageBox::error(this, QString::fromStdString(e.what()));
    }
    for (const std::string& name : names) {
        insertSorted(chosenList_, name);
    }
    chosenListChanged();
    if (read) {
        showSummary();
    }
}

bool AuthorListWindow::saveChosenNames() {
    emit summaryChanged(QString());
    try {
        writeAuthorList(context_.file(kAuthorListFileName), chosenNames());
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        return false;
    }
    showSummary();
    return true;
}

void AuthorListWindow::closeEvent(QCloseEvent* event) {
    if (saveChosenNames()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void AuthorListWindow::refreshBaseNames() {
    baseNames_->clear();
    std::vector<std::string> names;
    try {
        names = baseAuthorNames(CatalogueFile(context_.file(kCatalogueFileName)));
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
        baseNames_->addItem(item);
    }
}

void AuthorListWindow::addTickedBaseNames() {
    bool added = false;
    for (int row = 0; row < baseNames_->count(); ++row) {
        QListWidgetItem* item = baseNames_->item(row);
        if (item->checkState() == Qt::Checked && (item->flags() & Qt::ItemIsEnabled)) {
            insertSorted(chosenList_, nameOf(item));
            disable(item);
            added = true;
        }
    }
    if (added) {
        chosenListChanged();
    }
}

void AuthorListWindow::addTypedName() {
    std::string name = toCp1251(nameBox_->text());
    for (int row = 0; row < chosenList_->count(); ++row) {
        if (nameOf(chosenList_->item(row)) == name) {
            MessageBox::beep();
            MessageBox::message(
                this, QStringLiteral("Автор \"%1\" уже есть в списке!!!").arg(nameBox_->text()));
            return;
        }
    }
    insertSorted(chosenList_, name);
    chosenListChanged();
}

void AuthorListWindow::deleteTickedNames() {
    bool removed = false;
    for (int row = chosenList_->count() - 1; row >= 0; --row) {
        if (chosenList_->item(row)->checkState() == Qt::Checked) {
            delete chosenList_->takeItem(row);
            removed = true;
        }
    }
    if (removed) {
        chosenListChanged();
    }
}

}  // namespace kelvarn
