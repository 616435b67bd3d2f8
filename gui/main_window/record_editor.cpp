// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/main_window/record_editor.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "core/catalogue/styles.h"
#include "gui/common/window_util.h"

namespace kelvarn {

RecordEditor::RecordEditor(QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Mix номер: "), true, 230);
    author_ = named(new QLineEdit(this), "authorBox");
    title_ = named(new QLineEdit(this), "titleBox");
    email_ = named(new QLineEdit(this), "emailBox");
    style_ = named(styleList(this), "styleList");
    rating_ = named(new QComboBox(this), "ratingList");
    for (int rating = 0; rating <= 10; ++rating) {
        rating_->addItem(QString::number(rating));
    }
    hasFile_ = named(new QCheckBox(QStringLiteral("Файл"), this), "hasFileBox");
    hasFile_->setStyleSheet(QStringLiteral("color: lime;"));
    for (QLineEdit* box : {author_, title_, email_}) {
        setUpDarkEditBox(box);
    }
    for (QComboBox* list : {style_, rating_}) {
        list->setStyleSheet(QStringLiteral("background: black; color: white;"));
    }
    auto* ok = named(new QPushButton(QStringLiteral("ОК"), this), "okButton");
    auto* cancel = named(new QPushButton(QStringLiteral("Отмена"), this), "cancelButton");
    connect(ok, &QPushButton::clicked, this, &RecordEditor::confirm);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    auto* form = new QFormLayout;
    auto label = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->setStyleSheet(QStringLiteral("color: silver;"));
        return l;
    };
    form->addRow(label(QStringLiteral("Автор:")), author_);
    form->addRow(label(QStringLiteral("Название:")), title_);
    form->addRow(label(QStringLiteral("E-mail:")), email_);
    auto* lists = new QHBoxLayout;
    lists->addWidget(style_, 1);
    lists->addWidget(rating_);
    lists->addWidget(hasFile_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    author_->setMinimumWidth(300);
}

void RecordEditor::edit(QWidget* owner, std::uint32_t number, const MixRecord& record, Save save) {
    save_ = std::move(save);
    setWindowTitle(QStringLiteral("Mix номер: ") + QString::number(number));
    author_->setText(fromCp1251(record.Author));
    title_->setText(fromCp1251(record.Title));
    email_->setText(fromCp1251(record.Email));
    // A value no item stands for opens with none selected, and "ОК" keeps it.
    style_->setCurrentIndex(record.Style < kStyleCount ? record.Style : -1);
    rating_->setCurrentIndex(record.Rating <= 10 ? record.Rating : -1);
    hasFile_->setChecked(record.HasFile != 0);
    opened_ = shownValues();
    open(owner);
}

RecordEditor::Values RecordEditor::shownValues() const {
    return {author_->text(),        title_->text(),          email_->text(),
            style_->currentIndex(), rating_->currentIndex(), hasFile_->isChecked()};
}

void RecordEditor::confirm() {
    // Only what the user changed: a field left alone keeps what the file holds by now, such as
    // a download's mark made while the editor was open.
    const Values now = shownValues();
    RecordEdit edit;
    if (now.author != opened_.author) {
        edit.author = toCp1251(now.author);
    }
    if (now.title != opened_.title) {
        edit.title = toCp1251(now.title);
    }
    if (now.email != opened_.email) {
        edit.email = toCp1251(now.email);
    }
    if (now.style != opened_.style && now.style >= 0) {
        edit.style = static_cast<std::uint8_t>(now.style);
    }
    if (now.rating != opened_.rating && now.rating >= 0) {
        edit.rating = static_cast<std::uint8_t>(now.rating);
    }
    if (now.hasFile != opened_.hasFile) {
        edit.hasFile = now.hasFile;
    }
    if (isEmpty(edit) || (save_ && save_(edit))) {
        close();
    }
}

}  // namespace kelvarn
