#include "gui/tools/search_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "gui/common/window_util.h"

namespace kelvarn {

SearchWindow::SearchWindow(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Поиск"), true, 220);
    auto* group = new QGroupBox(QStringLiteral("Поиск"), this);
    group->setStyleSheet(QStringLiteral("QGroupBox { color: silver; }"));
    auto* searchText = named(new QLineEdit(group), "searchText");
    searchText->setStyleSheet(QStringLiteral("background: black; color: white;"));
    auto* byId = named(new QRadioButton(QStringLiteral("По ID"), group), "byId");
    auto* byName = named(new QRadioButton(QStringLiteral("по названию"), group), "byName");
    auto* byEmail = named(new QRadioButton(QStringLiteral("по E-mail"), group), "byEmail");
    byName->setChecked(true);
    for (QRadioButton* radio : {byId, byName, byEmail}) {
        radio->setStyleSheet(QStringLiteral("color: white;"));
    }
    auto* findButton = named(new QPushButton(QStringLiteral("Найти"), this), "findButton");
    auto* foundLabel = new QLabel(QStringLiteral("Найдено:"), this);
    auto* foundCount = named(new QLabel(this), "foundCount");
    for (QLabel* label : {foundLabel, foundCount}) {
        label->setStyleSheet(QStringLiteral("color: lime;"));
    }
    auto* progress = named(new QProgressBar(this), "searchProgress");
    progress->setTextVisible(false);
    progress->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));

    auto* inner = new QGridLayout(group);
    inner->addWidget(searchText, 0, 0, 1, 3);
    inner->addWidget(byId, 1, 0);
    inner->addWidget(byName, 1, 1);
    inner->addWidget(byEmail, 1, 2);
    auto* layout = new QGridLayout(this);
    layout->addWidget(group, 0, 0, 1, 3);
    layout->addWidget(findButton, 1, 0);
    layout->addWidget(foundLabel, 1, 1);
    layout->addWidget(foundCount, 1, 2);
    layout->addWidget(progress, 2, 0, 1, 3);
}

}  // namespace kelvarn
