// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/tools/search_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRegularExpressionValidator>

#include "core/storage/data_files.h"
#include "core/storage/io_error.h"
#include "core/tools/search.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

namespace kelvarn {

SearchWindow::SearchWindow(const AppContext& context, QWidget* parent)
    : SecondaryWindow(parent), context_(context) {
    setUpSecondaryWindow(this, QStringLiteral("Поиск"), true, 220);
    auto* group = new QGroupBox(QStringLiteral("Поиск"), this);
    group->setStyleSheet(QStringLiteral("QGroupBox { color: silver; }"));
    searchText_ = named(new QLineEdit(group), "searchText");
    setUpDarkEditBox(searchText_);
    byId_ = named(new QRadioButton(QStringLiteral("По ID"), group), "byId");
    byName_ = named(new QRadioButton(QStringLiteral("по названию"), group), "byName");
    byEmail_ = named(new QRadioButton(QStringLiteral("по E-mail"), group), "byEmail");
    byName_->setChecked(true);
    digitsOnly_ =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    // The style's own circle would be grey on grey here: a silver ring on black, and a white dot
    // in the chosen one.
    for (QRadioButton* radio : {byId_, byName_, byEmail_}) {
        radio->setStyleSheet(QStringLiteral(
            "QRadioButton { color: white; }"
            "QRadioButton::indicator { width: 9px; height: 9px; border: 1px solid silver;"
            " border-radius: 5px; background: black; }"
            "QRadioButton::indicator:checked { background: qradialgradient(cx: 0.5, cy: 0.5,"
            " radius: 0.5, fx: 0.5, fy: 0.5, stop: 0 white, stop: 0.55 white, stop: 0.7 black); "
            "}"));
    }
    findButton_ = named(new QPushButton(QStringLiteral("Найти"), this), "findButton");
    auto* foundLabel = new QLabel(QStringLiteral("Найдено:"), this);
    foundCount_ = named(new QLabel(this), "foundCount");
    for (QLabel* label : {foundLabel, foundCount_}) {
        label->setStyleSheet(QStringLiteral("color: lime;"));
    }
    progress_ = named(new QProgressBar(this), "searchProgress");
    progress_->setTextVisible(false);
    progress_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));

    auto* inner = new QGridLayout(group);
    inner->addWidget(searchText_, 0, 0, 1, 3);
    inner->addWidget(byId_, 1, 0);
    inner->addWidget(byName_, 1, 1);
    inner->addWidget(byEmail_, 1, 2);
    auto* layout = new QGridLayout(this);
    layout->addWidget(group, 0, 0, 1, 3);
    layout->addWidget(findButton_, 1, 0);
    layout->addWidget(foundLabel, 1, 1);
    layout->addWidget(foundCount_, 1, 2);
    layout->addWidget(progress_, 2, 0, 1, 3);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(findButton_, &QPushButton::clicked, this, &SearchWindow::search);
    connect(byId_, &QRadioButton::toggled, this, &SearchWindow::idModeToggled);
}

void SearchWindow::idModeToggled(bool chosen) {
    if (chosen) {
        searchText_->clear();
    }
    searchText_->setValidator(chosen ? digitsOnly_ : nullptr);
}

void SearchWindow::search() {
    SearchMode mode = byId_->isChecked()      ? SearchMode::Id
                      : byEmail_->isChecked() ? SearchMode::Email
                                              : SearchMode::Name;
    findButton_->setEnabled(false);
    progress_->setValue(0);
    // The disabled button shows before the search holds the thread.
    repaint();
    RecordGrid results;
    try {
        // The bar repaints itself as its value changes, so it moves while the search holds the
        // thread.
        auto advance = [this](std::uint32_t read, std::uint32_t count) {
            progress_->setMaximum(static_cast<int>(count));
            progress_->setValue(static_cast<int>(read));
        };
        results = searchCatalogue(CatalogueFile(context_.file(kCatalogueFileName)),
                                  RecordSearch(mode, toCp1251(searchText_->text())), advance);
    } catch (const IoError& e) {
        MessageBox::error(this, QString::fromStdString(e.what()));
        findButton_->setEnabled(true);
        return;
    }
    emit resultsFound(results);
    progress_->setValue(0);
    foundCount_->setText(QString::number(results.isRecordRow(1) ? results.rowCount() - 1 : 0));
    findButton_->setEnabled(true);
    context_.PlaySoundFile("Search.wav");
}

}  // namespace kelvarn
