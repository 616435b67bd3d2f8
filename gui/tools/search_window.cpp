#include "gui/tools/search_window.h"

#include <QGridLayout>
#include <QGroupBox>

#include "gui/common/window_util.h"

namespace kelvarn {

SearchWindow::SearchWindow(const AppContext&, Windows&, QWidget* parent) : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Поиск"), true, 220);
    auto* GroupBox1 = new QGroupBox(QStringLiteral("Поиск"), this);
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: silver; }"));
    Text_Search = new QLineEdit(GroupBox1);
    Text_Search->setStyleSheet(QStringLiteral("background: black; color: white;"));
    Search_ID = new QRadioButton(QStringLiteral("По ID"), GroupBox1);
    Search_Name = new QRadioButton(QStringLiteral("по названию"), GroupBox1);
    Search_Mail = new QRadioButton(QStringLiteral("по E-mail"), GroupBox1);
    Search_Name->setChecked(true);
    for (QRadioButton* radio : {Search_ID, Search_Name, Search_Mail}) {
        radio->setStyleSheet(QStringLiteral("color: white;"));
    }
    Search = new QPushButton(QStringLiteral("Найти"), this);
    auto* Label1 = new QLabel(QStringLiteral("Найдено:"), this);
    Result = new QLabel(this);
    for (QLabel* label : {Label1, Result}) {
        label->setStyleSheet(QStringLiteral("color: lime;"));
    }
    SearchBar = new QProgressBar(this);
    SearchBar->setTextVisible(false);
    SearchBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));

    auto* inner = new QGridLayout(GroupBox1);
    inner->addWidget(Text_Search, 0, 0, 1, 3);
    inner->addWidget(Search_ID, 1, 0);
    inner->addWidget(Search_Name, 1, 1);
    inner->addWidget(Search_Mail, 1, 2);
    auto* layout = new QGridLayout(this);
    layout->addWidget(GroupBox1, 0, 0, 1, 3);
    layout->addWidget(Search, 1, 0);
    layout->addWidget(Label1, 1, 1);
    layout->addWidget(Result, 1, 2);
    layout->addWidget(SearchBar, 2, 0, 1, 3);
}

}  // namespace kelvarn
